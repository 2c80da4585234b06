#include "targets/list_icons.h"

#include <objbase.h>

#include "resources/resource.h"

namespace quz {

namespace {
// A file that carries its own icon is asked about as it is on disk; any
// other by its extension alone, without touching the disk (so a missing
// file still gets its type's icon and text).
UINT ShellFlags(const std::string& path, bool isFolder) {
  bool own = !isFolder && ShellKey(path, false) == path;
  return own || IsDriveRoot(path) ? 0 : SHGFI_USEFILEATTRIBUTES;
}
DWORD Attributes(bool isFolder) { return isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL; }
}  // namespace

CListIcons::CListIcons() {
  // The shell's icons need COM on the asking thread.
  com_ = SUCCEEDED(CoInitialize(nullptr));
  images_.Create(10);
  images_.AddProgramIcon(IDI_LIST_FOLDER);
  images_.AddProgramIcon(IDI_LIST_RESERVED);
  images_.AddProgramIcon(IDI_LIST_DRIVE);
}

CListIcons::~CListIcons() {
  if (com_) CoUninitialize();
}

int CListIcons::IconIndexFor(const std::string& path, bool isFolder) {
  if (isFolder) return path.size() == 3 ? kDriveImage : kFolderImage;
  std::string key = ShellKey(path, false);
  auto known = cache_.find(key);
  if (known != cache_.end()) return known->second;
  SHFILEINFOA info{};
  UINT flags = SHGFI_ICON | SHGFI_SMALLICON;
  if (!SHGetFileInfoA(path.c_str(), Attributes(false), &info, sizeof info, flags | ShellFlags(path, false)) ||
      !info.hIcon) {
    // A program file that is gone still shows its type's icon.
    info.hIcon = nullptr;
    SHGetFileInfoA(path.c_str(), Attributes(false), &info, sizeof info, flags | SHGFI_USEFILEATTRIBUTES);
  }
  int index = I_IMAGENONE;
  if (info.hIcon) {
    plat::UniqueIcon icon(info.hIcon);
    int added = images_.AddIcon(icon.Get());
    if (added >= 0) index = added;
  }
  cache_.emplace(std::move(key), index);
  return index;
}

ShellTexts WindowsShellTexts() {
  ShellTexts shell;
  shell.typeName = [](const std::string& path, bool isFolder) {
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(path.c_str(), Attributes(isFolder), &info, sizeof info,
                        SHGFI_TYPENAME | ShellFlags(path, isFolder)))
      return std::string();
    return std::string(info.szTypeName);
  };
  shell.driveKind = [](const std::string& root) {
    switch (GetDriveTypeA(root.c_str())) {
      case DRIVE_REMOVABLE: return DriveKind::Removable;
      case DRIVE_FIXED: return DriveKind::Fixed;
      case DRIVE_REMOTE: return DriveKind::Remote;
      case DRIVE_CDROM: return DriveKind::CdRom;
      case DRIVE_RAMDISK: return DriveKind::RamDisk;
      default: return DriveKind::Other;
    }
  };
  return shell;
}

}  // namespace quz
