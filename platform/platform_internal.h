// Between the common platform code and the backends; not for engine code.
#pragma once

#include <mutex>

#include "platform/platform.h"

namespace plat::detail {

void SetCurrentThreadPriority(Priority priority);

}  // namespace plat::detail
