// The history file "Rireki.txt" beside the executable: one line per saved
// file, "time size backupSize path" CR LF, appended in the order of saving,
// and the texts its rows show in the history window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace quz {

extern const char kHistoryFileName[];
// The most line starts the window keeps; one less is the most rows.
constexpr int32_t kMaxHistoryLines = 500000;

// The history file's full path (beside the executable).
std::string HistoryPath();

// Opens the history file for appending during a check: read-write, created
// when missing, contents kept.  False when it cannot be opened; the check
// then goes on without history lines.
bool OpenHistory(plat::File& history, const std::string& path);
// "%d %d %d %s" CR LF: entry time, size at the check, backup size, path.
// Sizes are written as the 32-bit values the format holds; the window
// reads them back unsigned, so files up to 4 GiB show right.
std::string HistoryLine(plat::Time32 time, int64_t checkSize, int64_t backupSize,
                        const std::string& path);
// Moves to the end and appends one line.
bool AppendHistory(plat::File& history, plat::Time32 time, int64_t checkSize,
                   int64_t backupSize, const std::string& path);

// The fields of one row; ok is false when a separator is missing.
struct HistoryRow {
  bool ok = false;
  int64_t time = 0;
  uint32_t checkSize = 0;
  uint32_t backupSize = 0;
  std::string path;
};
HistoryRow ParseHistoryLine(const std::string& line);

// The lines of the history text that are rows: every line ended by CR LF,
// oldest first, at most kMaxHistoryLines - 1.
std::vector<std::string> SplitHistory(const std::string& text);
// Reads the history file; an unreadable file gives no rows.
std::vector<std::string> LoadHistoryRows(const std::string& path);

// The window's column headers and the texts of a row's cells.
constexpr int kHistoryColumns = 5;
extern const char* const kHistoryHeaders[kHistoryColumns];
// The text of column 0 (name), 1 (folder), 2 (size at the check),
// 3 (backup size) or 4 (local date and time); empty for a malformed line.
std::string HistoryCell(const HistoryRow& row, int column);
// "%dKB": bytes / 1024 + 1, and "0KB" for 0.
std::string SizeText(uint32_t bytes);

}  // namespace quz
