#include "targets/cell_text.h"

#include <cstdio>

#include "app/text.h"
#include "platform/platform.h"

namespace quz {

void SplitView(std::string_view path, bool isFolder, std::string_view* name, std::string_view* folder) {
  if (isFolder && EndsWithChar(path, '\\')) path.remove_suffix(1);
  size_t slash = LastCharPos(path, '\\');
  size_t split = slash == kNone ? (path.size() >= 2 && path[1] == ':' ? 2 : 0) : slash + 1;
  if (folder) *folder = path.substr(0, split);
  if (name) *name = path.substr(split);
}

std::string SizeText(const std::string& path) {
  plat::FileStatus status;
  if (!plat::GetFileStatus(path, status) || status.isDirectory) return std::string();
  long long kb = status.size == 0 ? 0 : status.size / 1024 + 1;
  char text[32];
  std::snprintf(text, sizeof text, "%lldKB", kb);
  return text;
}

std::string SaveTypeText(SaveType saveType, bool isFolder) {
  const int depth = SearchDepthOf(saveType);
  if (isFolder && depth >= 0 && depth != kAnyDepth) {
    if (depth == 0) return "保存しない";
    char text[32];
    std::snprintf(text, sizeof text, "%d階層まで検索", depth);
    return text;
  }
  // A folder the user gave a file's save type shows that type's label,
  // never a negative depth.
  switch (saveType) {
    case SaveType::Normal: return "通常保存";
    case SaveType::Differential: return "差分保存";
    case SaveType::NoSave: return "保存しない";
    case SaveType::Search: return "ファイル検索";
    default: return std::string();
  }
}

std::string LookedAtText(int32_t time) {
  if (time < 0) time = 0;
  plat::CalendarTime t = plat::BreakDownLocal(time);
  char text[48];
  std::snprintf(text, sizeof text, "%d/%02d/%02d %d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  return text;
}

bool IsDriveRoot(std::string_view path) { return path.size() < 4; }

std::string_view ListExtension(std::string_view path) {
  if (EndsWithChar(path, '\\')) path.remove_suffix(1);
  size_t slash = LastCharPos(path, '\\');
  std::string_view name = slash == kNone ? path : path.substr(slash + 1);
  // "." is never the second byte of a double-byte character.
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string DriveTypeText(DriveKind kind) {
  switch (kind) {
    case DriveKind::Removable: return "リムーバブル ディスクドライブ";
    case DriveKind::Fixed: return "ハードディスクドライブ";
    case DriveKind::Remote: return "ネットワーク接続ドライブ";
    case DriveKind::CdRom: return "CD-ROMドライブ";
    case DriveKind::RamDisk: return "RAMディスクドライブ";
    case DriveKind::Other: break;
  }
  return std::string();
}

std::string FallbackTypeText(std::string_view extension) {
  if (!extension.empty() && extension[0] == '.') extension.remove_prefix(1);
  if (extension.empty()) return "ファイル";
  std::string upper(extension);
  // Only single-byte letters: the second byte of a double-byte character
  // may look like one.
  for (size_t i = 0; i < upper.size(); i += CharLength(upper, i))
    if (upper[i] >= 'a' && upper[i] <= 'z') upper[i] = static_cast<char>(upper[i] - 32);
  return upper + " ファイル";
}

std::string ShellKey(std::string_view path, bool isFolder) {
  if (IsDriveRoot(path)) return std::string(path);
  if (isFolder) return "\\";
  std::string_view ext = ListExtension(path);
  if (EqualNoCase(ext, ".exe") || EqualNoCase(ext, ".ico") || EqualNoCase(ext, ".lnk")) return std::string(path);
  return std::string(ext);
}

std::string CellText(const FileEntry& entry, int column) {
  const std::string path = entry.Path();
  const bool folder = entry.IsFolder();
  switch (column) {
    case kColumnName:
    case kColumnFolder: {
      std::string_view name, dir;
      SplitView(path, folder, &name, &dir);
      return std::string(column == kColumnName ? name : dir);
    }
    case kColumnSize:
      return folder ? std::string() : SizeText(path);
    case kColumnLookedAt:
      return LookedAtText(entry.lookedAtTime);
    case kColumnSaveType:
      return SaveTypeText(entry.saveType, folder);
    default:
      return std::string();
  }
}

}  // namespace quz
