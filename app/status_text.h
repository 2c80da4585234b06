// The texts the tray icon shows: what the program is doing.
#pragma once

#include <cstdint>
#include <string>

namespace quz {

// The tooltip of a busy tick: the progress of a running check, the survey
// of folders while at entry 0, or the loading of the generation index.
std::string BusyTrayText(int32_t progress, int32_t count, int32_t generationReady);
// "quz - 待機中".
std::string IdleTrayText();

}  // namespace quz
