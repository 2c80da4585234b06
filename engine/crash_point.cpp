#include "engine/crash_point.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quz {

namespace {

struct CrashSetting {
  std::string name;
  long count = 1;
  std::atomic<long> passed{0};

  CrashSetting() {
    const char* text = std::getenv("QUZ_CRASH_AT");
    if (!text) return;
    name = text;
    size_t colon = name.find(':');
    if (colon != std::string::npos) {
      count = std::strtol(name.c_str() + colon + 1, nullptr, 10);
      name.resize(colon);
    }
  }
};

CrashSetting& Setting() {
  static CrashSetting setting;
  return setting;
}

}  // namespace

void CrashPoint(const char* name) {
  CrashSetting& s = Setting();
  if (s.name.empty() || s.name != name) return;
  if (s.passed.fetch_add(1) + 1 >= s.count) std::_Exit(kCrashExitCode);
}

}  // namespace quz
