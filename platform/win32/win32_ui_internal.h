// What the parts of the window layer tell each other.
#pragma once

#include <windows.h>

namespace plat::ui_internal {

// A window of ours is being destroyed (WM_DESTROY): tasks for it are
// dropped and the threads waiting on one are released.
void WindowClosing(HWND window);
// Its WM_NCDESTROY has ended: the handle may be given to another window.
void WindowGone(HWND window);

}  // namespace plat::ui_internal
