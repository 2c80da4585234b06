// Named points at which a test can make the process end abruptly, as a kill
// or a power cut would end it, to prove that no such moment leaves a save
// folder a later check cannot use.  The environment variable QUZ_CRASH_AT
// holds "name" or "name:count": the process ends (exit code
// kCrashExitCode, no clean-up of any kind) the count-th time it passes the
// point of that name (the first time without a count).  Without the
// variable a point costs one comparison.
#pragma once

namespace quz {

constexpr int kCrashExitCode = 86;

void CrashPoint(const char* name);

}  // namespace quz
