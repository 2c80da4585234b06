// The texts the target list shows for a catalogue entry, computed the same
// way for the window and for quzctl.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/file_list.h"

namespace quz {

enum TargetColumn : int {
  kColumnName = 0,
  kColumnFolder = 1,
  kColumnSize = 2,
  kColumnType = 3,
  kColumnLookedAt = 4,
  kColumnSaveType = 5,
};

// Name and containing folder of a path as the list splits it: a folder's
// trailing "\" is dropped first, and a drive root shows its drive alone
// ("C:") as folder and an empty name.
void SplitForList(const std::string& path, bool isFolder, std::string* name, std::string* folder);
// "%dKB" (a started kilobyte counts whole; 0KB for an empty file), empty for
// folders and files that cannot be examined.
std::string SizeText(const std::string& path);
// The label of a save type; for folders, the search depth.
std::string SaveTypeText(SaveType saveType, bool isFolder);
// "%d/%02d/%02d %d:%02d" in local time.
std::string LookedAtText(int32_t time);

// The text of one cell of the entry; the type column (the shell's
// description) is the window's own and gives an empty text here.
std::string CellText(const FileEntry& entry, int column);

}  // namespace quz
