#include "app/text.h"

namespace quz {

size_t FindBytes(std::string_view text, std::string_view s) {
  if (text.empty()) return kNone;
  return text.find(s);
}

size_t FindChars(std::string_view text, std::string_view s) {
  if (text.empty()) return kNone;
  if (s.empty()) return 0;
  for (size_t i = 0; i + s.size() <= text.size(); i += CharLength(text, i)) {
    if (text.compare(i, s.size(), s) == 0) return i;
  }
  return kNone;
}

}  // namespace quz
