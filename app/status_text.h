// The texts the tray icon shows: what the program is doing, cut to the
// length the notification area takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quz {

inline constexpr size_t kTrayTipBytes = 63;

// The tooltip of a busy tick: the progress of a running check, the survey
// of folders while at entry 0, or the loading of the generation index.
std::string BusyTrayText(int32_t progress, int32_t count, int32_t generationReady);
// "quz - 待機中".
std::string IdleTrayText();
// At most `maxBytes` bytes of text, never ending in the first half of a
// double-byte character.
std::string CutTrayText(const std::string& text, size_t maxBytes = kTrayTipBytes);

}  // namespace quz
