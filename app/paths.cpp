#include "app/paths.h"

#include <mutex>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "platform/platform.h"

namespace quz {

namespace {
std::mutex overrideMutex;
std::string overrideFolder;
}  // namespace

std::string ProgramFolder() {
  {
    std::lock_guard<std::mutex> lock(overrideMutex);
    if (!overrideFolder.empty()) return overrideFolder;
  }
  static const std::string folder = FolderOf(plat::ExecutablePath());
  return folder;
}

void OverrideProgramFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(overrideMutex);
  overrideFolder = WithSeparator(folder);
}

std::string ExePath(const std::string& name) { return ProgramFolder() + name; }

std::string SettledSaveFolder(std::string_view settingsFile) {
  std::string folder = ReadSetting(settingsFile, kSaveFolderKey);
  if (folder.size() < 2) {
    folder = ProgramFolder() + "Save\\";
    WriteSetting(settingsFile, folder, kSaveFolderKey);
  }
  return WithSeparator(folder);
}

std::string SettledSaveFolder() { return SettledSaveFolder(kSettingsFile); }

bool CreateSaveFolder(std::string& path) {
  if (path.empty()) return false;
  if (!EndsWithChar(path, '\\')) path += '\\';
  // Every separator after the first ends one level ("C:\a\" then "C:\a\b\").
  bool first = true;
  for (size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (path[i] != '\\') continue;
    if (first) {
      first = false;
      continue;
    }
    plat::CreateFolder(path.substr(0, i));
  }
  plat::FileStatus st;
  return plat::GetFileStatus(path, st) && st.isDirectory;
}

}  // namespace quz
