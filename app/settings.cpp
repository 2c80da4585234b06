#include "app/settings.h"

#include <climits>
#include <mutex>
#include <random>

#include "app/paths.h"
#include "app/text.h"
#include "platform/platform.h"

namespace quz {

namespace {

std::string Bracketed(std::string_view key) {
  std::string s;
  s.reserve(key.size() + 2);
  s += '[';
  s += key;
  s += ']';
  return s;
}

// Serialises the read-modify-write of the settings file between the threads
// of this process; the lock file does the same between processes.
std::mutex writeMutex;

}  // namespace

bool UpdateSettings(std::string_view fileName, const std::function<bool(std::string& text)>& change) {
  std::lock_guard<std::mutex> guard(writeMutex);
  const std::string path = SettingsPath(fileName);
  plat::FileLock lock;
  // Without the lock (a folder that refuses the lock file, a peer that hangs)
  // the write still goes ahead: the replace below keeps the file whole.
  lock.Acquire(path + ".lock", 10000);

  std::string text;
  plat::ReadWholeFile(path, text);  // a missing file reads as empty
  if (!change(text)) return true;

  static thread_local std::mt19937 random{std::random_device{}()};
  const std::string temp = path + "." + std::to_string(random() % 1000000) + ".tmp";
  plat::File f;
  bool ok = f.Open(temp, plat::Access::Write, plat::Disposition::CreateAlways, plat::kShareNone) &&
            f.WriteAll(text) && f.Flush();
  f.Close();
  // A crash before this point leaves the old file untouched; the replace is
  // atomic, and waits for a reader that holds the file open for a moment.
  if (ok) ok = plat::ReplaceFile(temp, path);
  if (!ok) plat::DeleteFile(temp);
  return ok;
}

std::string SettingsPath(std::string_view fileName) {
  std::string name(fileName);
  bool absolute = (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '\\');
  return absolute ? name : ExePath(name);
}

std::string SettingValueIn(std::string_view text, std::string_view key) {
  const std::string bracketed = Bracketed(key);
  size_t p = FindBytes(text, bracketed);
  if (p == kNone) return std::string();
  size_t end = text.find("\r\n", p);
  if (end == std::string_view::npos) return std::string();  // a last line without CR LF
  size_t start = p + bracketed.size();
  return std::string(text.substr(start, end - start));
}

void ApplyWriteSetting(std::string& text, std::string_view value, std::string_view key) {
  const std::string bracketed = Bracketed(key);
  std::string line = bracketed;
  line += value;
  line += "\r\n";
  size_t p = FindBytes(text, bracketed);
  if (p == kNone) {
    text += line;
    return;
  }
  size_t end = text.find("\r\n", p);
  std::string rest = end == std::string::npos ? std::string() : text.substr(end + 2);
  text.resize(p);
  text += line;
  text += rest;
}

bool ApplyDeleteSetting(std::string& text, std::string_view key) {
  size_t p = FindBytes(text, Bracketed(key));
  if (p == kNone) return false;
  size_t end = text.find("\r\n", p);
  std::string rest = end == std::string::npos ? std::string() : text.substr(end + 2);
  text.resize(p);
  text += rest;
  return true;
}

std::string ReadSetting(std::string_view fileName, std::string_view key) {
  std::string text;
  if (!plat::ReadWholeFile(SettingsPath(fileName), text)) return std::string();
  return SettingValueIn(text, key);
}

bool WriteSetting(std::string_view fileName, std::string_view value, std::string_view key) {
  return UpdateSettings(fileName, [&](std::string& text) {
    ApplyWriteSetting(text, value, key);
    return true;
  });
}

bool DeleteSetting(std::string_view fileName, std::string_view key) {
  return UpdateSettings(fileName, [&](std::string& text) { return ApplyDeleteSetting(text, key); });
}

int SettingToInt(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + (value[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

int ReadIntSetting(std::string_view fileName, std::string_view key) {
  return SettingToInt(ReadSetting(fileName, key));
}

bool WriteIntSetting(std::string_view fileName, int value, std::string_view key) {
  return WriteSetting(fileName, std::to_string(value), key);
}

}  // namespace quz
