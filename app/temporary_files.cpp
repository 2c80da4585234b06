#include "app/temporary_files.h"

#include <atomic>
#include <cstdio>

namespace quz {

namespace {

constexpr size_t kPrefixLength = 4;  // "~quz"
constexpr size_t kDigits = 8;
constexpr size_t kNameLength = kPrefixLength + kDigits + 4;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool HasShape(std::string_view name, std::string_view extension) {
  if (name.size() != kNameLength || !SameNoCase(name.substr(0, kPrefixLength), "~quz")) return false;
  for (size_t i = kPrefixLength; i < kPrefixLength + kDigits; ++i) {
    char c = Lower(name[i]);
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return SameNoCase(name.substr(kPrefixLength + kDigits), extension);
}

// Names differ between processes (the seed mixes the clock with an address
// that moves with each start) and within one (the counter); CreateNew
// settles any clash that is left.
uint32_t NextNumber() {
  static std::atomic<uint32_t> counter{static_cast<uint32_t>(plat::TickCount()) * 2654435761u ^
                                       static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&counter) >> 4) ^
                                       static_cast<uint32_t>(plat::Now())};
  uint32_t x = counter.fetch_add(0x9E3779B9u);
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  return x;
}

}  // namespace

bool IsTemporaryName(std::string_view name) { return HasShape(name, ".tmp") || HasShape(name, ".pnd"); }

bool IsPendingNoteName(std::string_view name) { return HasShape(name, ".pnd"); }

std::string TemporaryName(bool pending) {
  char name[32];
  std::snprintf(name, sizeof name, "~quz%08x%s", static_cast<unsigned>(NextNumber()), pending ? ".pnd" : ".tmp");
  return name;
}

std::string CreateTemporaryFile(const std::string& folder, plat::File& file, bool pending) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string path = folder + TemporaryName(pending);
    if (file.Open(path, plat::Access::ReadWrite, plat::Disposition::CreateNew, plat::kShareRead)) return path;
    if (plat::LastError().kind != plat::ErrorKind::AlreadyExists) break;
  }
  return std::string();
}

}  // namespace quz
