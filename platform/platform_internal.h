// Between the common platform code and the backends; not for engine code.
#pragma once

#include <mutex>

#include "platform/platform.h"

namespace plat::detail {

void SetCurrentThreadPriority(Priority priority);

#ifndef _WIN32
// The native form of an engine path, without a trailing "/".
bool EngineToNativePath(const std::string& path, std::string& native);
// A descriptor that polls readable while event is set; -1 when none can be made.
int EventDescriptor(Event& event);
#endif

}  // namespace plat::detail
