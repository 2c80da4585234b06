#include "engine/vanished.h"

#include "app/text.h"

namespace quz {

std::string VolumeRoot(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path.substr(0, 3);
  if (path.rfind("\\\\", 0) != 0) return std::string();
  // "\\server\share\": the root ends at the separator after the share, or
  // at the end of a path that names the share alone.
  int separators = 0;
  for (size_t i = 2; i < path.size(); i += CharLength(path, i)) {
    if (path[i] != '\\') continue;
    if (++separators == 2) return i > 2 ? path.substr(0, i + 1) : std::string();
  }
  return separators == 1 && !EndsWithChar(path, '\\') ? path + "\\" : std::string();
}

bool VolumeReachable(const std::string& root) {
  plat::FileStatus status;
  return !root.empty() && plat::GetFileStatus(root, status) && status.isDirectory;
}

bool HasVanished(const std::string& path, const plat::Error& failure) {
  return failure.kind == plat::ErrorKind::NotFound && VolumeReachable(VolumeRoot(path));
}

}  // namespace quz
