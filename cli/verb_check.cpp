// quzctl check: one full check with the state beside the executable.
#include <cstdio>

#include "app/paths.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "cli/engine_state.h"
#include "cli/verbs.h"
#include "engine/check.h"
#include "engine/generations.h"
#include "platform/platform.h"

namespace quzctl {
namespace {

int RunCheck(const std::vector<std::string>& args);

const Verb kCheck{"check", "check", RunCheck};
VerbRegistration registration(kCheck);

int RunCheck(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError(kCheck);
  EngineState engine;
  if (!engine.Load()) return kExitFailed;
  quz::RunState& state = engine.state;
  quz::CFileList& list = engine.list;

  ReportingInteraction ui;
  int32_t saved = 0;
  {
    quz::CheckContext context(list, engine.index, state, &ui);
    context.maxGenerations = quz::ReadIntSetting(quz::kSettingsFile, quz::kMaxGenerationsKey);
    if (!quz::StartFullCheck(context)) {
      PrintError("cannot start the check");
      return kExitFailed;
    }
    int32_t shownProgress = -2;
    while (!quz::WaitForCheck(context, 500)) {
      int32_t at = state.progress;
      if (at >= 0 && at != shownProgress) {
        std::fprintf(stderr, "checking %d of %d\n", static_cast<int>(at) + 1,
                     static_cast<int>(list.Count()));
        shownProgress = at;
      }
    }
    saved = context.savedCount;
    for (const std::string& path : context.setAsideFragments) PrintError("damaged fragment set aside: " + path);
  }  // waits for the index loader the check may have started

  // The resident program writes the catalogue at exit; so does this one,
  // so that the saved times are kept.
  if (!quz::SaveFileList(list)) PrintError("cannot write " + quz::ExePath(quz::kFileListName));
  char summary[80];
  std::snprintf(summary, sizeof summary, "%d file%s saved, %d entries checked",
                static_cast<int>(saved), saved == 1 ? "" : "s", static_cast<int>(list.Count()));
  PrintLine(summary);
  return ui.shown ? kExitFailed : kExitOk;
}

}  // namespace
}  // namespace quzctl
