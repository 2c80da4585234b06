// The texts the target list shows for a catalogue entry, computed the same
// way for the window and for quzctl.
//
// Whether an entry is a folder is read from its path (folder entries end
// with "\"), never asked of the file system: the list computes these texts
// for every row it sorts, and a status call per row would cost seconds at a
// quarter of a million rows.  Only the size needs the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
inline constexpr int kTargetColumns = 6;

// Name and containing folder of a path as the list splits it, as parts of
// `path`: a folder's trailing "\" is dropped first, and a drive root shows
// its drive alone ("C:") as folder and an empty name.
void SplitView(std::string_view path, bool isFolder, std::string_view* name, std::string_view* folder);
// "%dKB" (a started kilobyte counts whole; 0KB for an empty file), empty for
// folders and files that cannot be examined.  Sizes are 64-bit.
std::string SizeText(const std::string& path);
// The label of a save type; for folders, the search depth.
std::string SaveTypeText(SaveType saveType, bool isFolder);
// "%d/%02d/%02d %d:%02d" in local time.
std::string LookedAtText(int32_t time);

// A drive root such as "C:\": a path of fewer than four bytes.
bool IsDriveRoot(std::string_view path);
// The extension of the last name of a path, with its dot; empty when the
// name has none.  A folder's trailing "\" is not part of its name.
std::string_view ListExtension(std::string_view path);

// The kinds of drive the type column names.
enum class DriveKind { Other, Removable, Fixed, Remote, CdRom, RamDisk };
// The type column's text for a drive root of that kind; empty for Other.
std::string DriveTypeText(DriveKind kind);
// The type column's text when the shell has none: the extension without
// its dot, in upper case as the shell writes extensions, and " ファイル";
// "ファイル" alone without an extension.
std::string FallbackTypeText(std::string_view extension);

// What the shell tells about a path depends only on this key, so the list
// asks it once per key: the extension (letter case kept), or the whole path
// for the files that carry their own icon (.exe, .ico, .lnk).  Folders
// share one key and every drive root has its own.
std::string ShellKey(std::string_view path, bool isFolder);

// The text of one cell of the entry; the type column (the shell's
// description) is the window's own and gives an empty text here.
std::string CellText(const FileEntry& entry, int column);

}  // namespace quz
