// Small helpers shared by the engine tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "tests/support/test_data.h"
#include "tests/support/test_support.h"

namespace enginetest {

using quztest::Pattern;

inline bool IsFile(const std::string& path) {
  plat::FileStatus status;
  return plat::GetFileStatus(path, status) && !status.isDirectory;
}

// A fragment built by hand: header T, then (offset, bytes) records.
struct FragmentBuilder {
  std::string bytes;
  explicit FragmentBuilder(uint32_t total) { quztest::Put32(bytes, total); }
  FragmentBuilder& Record(uint32_t offset, const std::string& data) {
    quztest::Put32(bytes, offset);
    quztest::Put32(bytes, static_cast<uint32_t>(data.size()));
    bytes += data;
    return *this;
  }
};

}  // namespace enginetest
