#include "archiver/names.h"

namespace quz::lzh {

namespace {

bool IsSeparator(unsigned char c) { return c == '\\' || c == '/' || c == 0xFF; }

}  // namespace

std::string NormaliseSeparators(const std::string& stored) {
  std::string out;
  out.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); i += CharLength(stored, i)) {
    if (CharLength(stored, i) == 2)
      out.append(stored, i, 2);
    else
      out += IsSeparator(static_cast<unsigned char>(stored[i])) ? '\\' : stored[i];
  }
  return out;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (CharLength(path, i) == 2)
      parts.back().append(path, i, 2);
    else if (IsSeparator(static_cast<unsigned char>(path[i])))
      parts.emplace_back();
    else
      parts.back() += path[i];
  }
  return parts;
}

bool IsSafePath(const std::string& path) {
  if (path.empty()) return false;
  std::vector<std::string> parts = SplitPath(path);
  if (parts.front().empty()) return false;  // absolute
  bool any = false;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    bool onlyDots = true;
    for (std::size_t i = 0; i < part.size(); i += CharLength(part, i)) {
      unsigned char c = static_cast<unsigned char>(part[i]);
      if (CharLength(part, i) == 2) {
        onlyDots = false;
        continue;
      }
      if (c < 0x20 || c == 0x7F || c == ':') return false;
      if (c != '.' && c != ' ') onlyDots = false;
    }
    if (onlyDots) return false;
    any = true;
  }
  return any;
}

}  // namespace quz::lzh
