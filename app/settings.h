// The settings file "quz.ini": one line per setting, "[key]value" CR LF,
// in the order the keys were first written, no sections.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quz {

inline constexpr const char* kSettingsFile = "quz.ini";

// The value of the first "[key]" in the file, up to its CR LF; empty when the
// file, the key or the line end is missing.
std::string ReadSetting(std::string_view fileName, std::string_view key);
// Replaces the key's line (keeping the lines before and after it) or
// appends it.  Returns false when the file could not be written.
bool WriteSetting(std::string_view fileName, std::string_view value, std::string_view key);
// Removes the key's line; a key that is not there changes nothing.
bool DeleteSetting(std::string_view fileName, std::string_view key);

// Several changes in one write: `change` edits the text of the file (with
// the Apply* operations below) and says whether it changed anything; the
// file is then replaced as a whole, so a reader (or a crash) sees it before
// or after every change, never between two of them.
bool UpdateSettings(std::string_view fileName, const std::function<bool(std::string& text)>& change);

// Reads a number as the run-time text-to-integer conversion does: leading
// blanks, a sign, digits; anything else (or nothing) reads as 0.
int SettingToInt(std::string_view value);
int ReadIntSetting(std::string_view fileName, std::string_view key);
bool WriteIntSetting(std::string_view fileName, int value, std::string_view key);

// The same operations on the text of the file, for callers that hold it.
std::string SettingValueIn(std::string_view text, std::string_view key);
void ApplyWriteSetting(std::string& text, std::string_view value, std::string_view key);
bool ApplyDeleteSetting(std::string& text, std::string_view key);  // false: not found

// The file a settings name stands for: a bare name is beside the executable.
std::string SettingsPath(std::string_view fileName);

}  // namespace quz
