#include "engine/history.h"

#include <cstdio>

#include "app/paths.h"
#include "app/text.h"

namespace quz {

const char kHistoryFileName[] = "Rireki.txt";

const char* const kHistoryHeaders[kHistoryColumns] = {
    "名前          ",
    "フォルダ名                        ",
    "チェック時のサイズ",
    "バックアップサイズ",
    "チェック日時          ",
};

std::string HistoryPath() { return ExePath(kHistoryFileName); }

bool OpenHistory(plat::File& history, const std::string& path) {
  // The history window may read the file while a check appends to it.
  return history.Open(path, plat::Access::ReadWrite, plat::Disposition::OpenAlways,
                      plat::kShareRead | plat::kShareWrite);
}

std::string HistoryLine(plat::Time32 time, int64_t checkSize, int64_t backupSize,
                        const std::string& path) {
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "%d %d %d ", static_cast<int>(time),
                static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(checkSize))),
                static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(backupSize))));
  std::string line = numbers;
  line += path;
  line += "\r\n";
  return line;
}

bool AppendHistory(plat::File& history, plat::Time32 time, int64_t checkSize,
                   int64_t backupSize, const std::string& path) {
  if (history.Seek(0, plat::Origin::End) < 0) return false;
  return history.WriteAll(HistoryLine(time, checkSize, backupSize, path));
}

namespace {
// A decimal number as the run-time conversion reads it, ended by a space.
bool TakeNumber(const std::string& line, size_t& at, int64_t& value) {
  size_t space = line.find(' ', at);
  if (space == std::string::npos) return false;
  size_t i = at;
  bool negative = false;
  if (i < space && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
  int64_t v = 0;
  while (i < space && line[i] >= '0' && line[i] <= '9' && v < (int64_t{1} << 40))
    v = v * 10 + (line[i++] - '0');
  value = negative ? -v : v;
  at = space + 1;
  return true;
}
}  // namespace

HistoryRow ParseHistoryLine(const std::string& line) {
  HistoryRow row;
  size_t at = 0;
  int64_t check = 0, backup = 0;
  if (!TakeNumber(line, at, row.time) || !TakeNumber(line, at, check) ||
      !TakeNumber(line, at, backup))
    return row;
  row.checkSize = static_cast<uint32_t>(check);
  row.backupSize = static_cast<uint32_t>(backup);
  row.path = line.substr(at);
  row.ok = true;
  return row;
}

std::vector<std::string> SplitHistory(const std::string& text) {
  std::vector<std::string> rows;
  size_t at = 0;
  while (static_cast<int32_t>(rows.size()) < kMaxHistoryLines - 1) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;  // the text after the last CR LF
    rows.emplace_back(text, at, end - at);
    at = end + 2;
  }
  return rows;
}

std::vector<std::string> LoadHistoryRows(const std::string& path) {
  std::string text;
  if (!plat::ReadWholeFile(path, text)) return {};
  return SplitHistory(text);
}

std::string SizeText(uint32_t bytes) {
  char text[24];
  std::snprintf(text, sizeof text, "%uKB", bytes == 0 ? 0u : bytes / 1024 + 1);
  return text;
}

std::string HistoryCell(const HistoryRow& row, int column) {
  if (!row.ok) return {};
  size_t slash = LastCharPos(row.path, '\\');
  switch (column) {
    case 0:
      return slash == kNone ? row.path : row.path.substr(slash + 1);
    case 1:
      return slash == kNone ? std::string() : row.path.substr(0, slash + 1);
    case 2:
      return SizeText(row.checkSize);
    case 3:
      return SizeText(row.backupSize);
    case 4: {
      plat::CalendarTime t = plat::BreakDownLocal(static_cast<plat::Time32>(row.time));
      char text[48];
      std::snprintf(text, sizeof text, "%d/%02d/%02d %d:%02d", t.year, t.month, t.day, t.hour,
                    t.minute);
      return text;
    }
    default:
      return {};
  }
}

}  // namespace quz
