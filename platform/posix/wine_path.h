// Paths as Wine sees them, for the posix backend and the archiver's Linux
// build: drive Z: is the root "/", "\" is "/", and names are code page 932
// in the program and UTF-8 on disk.  A text with no form in the other
// encoding has no path there: it fails, never turns into another name.
//
// Header-only, so that the archiver library, which links none of quz's
// libraries, maps paths exactly as the platform layer does.
#pragma once

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace plat::wine {

// One conversion direction.  iconv descriptors are not thread-safe and are
// costly to open, so each thread keeps its own (see Cp932ToUtf8).
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // False when the text holds a sequence with no form in the target.
  bool Convert(std::string_view in, std::string& out) {
    out.clear();
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 8);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    while (srcLeft > 0) {
      if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        if (errno != E2BIG) return false;
        size_t used = static_cast<size_t>(dst - out.data());
        out.resize(out.size() * 2);
        dst = out.data() + used;
        dstLeft = out.size() - used;
      }
    }
    if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    out.resize(static_cast<size_t>(dst - out.data()));
    return true;
  }

 private:
  iconv_t cd_;
};

inline bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ASCII is the same in both encodings and needs no converter.
inline bool Cp932ToUtf8(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  thread_local Converter conv("UTF-8", "CP932");
  return conv.Convert(in, out);
}

inline bool Utf8ToCp932(std::string_view in, std::string& out) {
  if (IsAscii(in)) {
    out.assign(in);
    return true;
  }
  thread_local Converter conv("CP932", "UTF-8");
  return conv.Convert(in, out);
}

// Whether a path starts with a drive ("X:"), and whether that drive is Z:
// followed by nothing or a separator.
inline bool HasDrive(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }
inline bool OnDriveZ(std::string_view path) {
  return HasDrive(path) && (path[0] == 'Z' || path[0] == 'z') &&
         (path.size() == 2 || path[2] == '\\' || path[2] == '/');
}

// The native form of a path without its drive ("\a\b" is "/a/b", "a\b"
// stays relative as "a/b").  Forward slashes are separators too, as on
// Windows.
inline bool ToNativeText(std::string_view path, std::string& native) {
  std::string utf8;
  if (!Cp932ToUtf8(path, utf8)) return false;
  // UTF-8 has no byte 0x5C inside a character, so this is safe after
  // conversion (in code page 932 it is not).
  std::replace(utf8.begin(), utf8.end(), '\\', '/');
  native = std::move(utf8);
  return true;
}

// "/a/b" is "Z:\a\b".
inline bool FromNative(std::string_view native, std::string& path) {
  std::string cp;
  if (!Utf8ToCp932(native, cp)) return false;
  std::replace(cp.begin(), cp.end(), '/', '\\');
  path = "Z:" + cp;
  return true;
}

}  // namespace plat::wine
