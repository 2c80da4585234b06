// quzctl history: the rows of "Rireki.txt" as the history window shows
// them, one line per row, its five columns separated by tabs.
#include "cli/verbs.h"
#include "engine/history.h"

namespace quzctl {
namespace {

int RunHistory(const std::vector<std::string>& args);

const Verb kHistory{"history", "history", RunHistory};
VerbRegistration registration(kHistory);

int RunHistory(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError(kHistory);
  for (const std::string& line : quz::LoadHistoryRows(quz::HistoryPath())) {
    quz::HistoryRow row = quz::ParseHistoryLine(line);
    std::string text;
    for (int c = 0; c < quz::kHistoryColumns; ++c) {
      if (c) text += '\t';
      text += quz::HistoryCell(row, c);
    }
    PrintLine(text);
  }
  return kExitOk;
}

}  // namespace
}  // namespace quzctl
