// A hidden window with an icon in the notification area that turns the raw
// tray notifications into single-click, double-click and right-click
// operations.
#pragma once

#include <string>

#include "platform/window.h"

namespace quz {

// The notification message of the tray icon: the first user message + 500.
inline constexpr UINT kTrayMessage = WM_USER + 500;
inline constexpr UINT kTrayIconId = 100;
inline constexpr UINT_PTR kClickTimer = 4;

enum TrayAction { kTrayAdd = 0, kTrayModify = 1, kTrayRemove = 2 };

class CTrayIconWnd : public plat::Window {
 public:
  // Creates the hidden window titled "TrayIconHandler".
  virtual bool Create();
  virtual void OnTrayRightClick() {}
  virtual void OnTraySingleClick() {}
  virtual void OnTrayDoubleClick() {}

  // Adds, modifies or removes the tray icon; a null icon or text leaves that
  // part out.  Returns the shell's result (non-zero on success).
  BOOL NotifyTray(int action, HICON icon, const char* text);
  HICON LastTrayIcon() const { return lastIcon_; }
  // The tooltip last given to the shell.
  const std::string& LastTrayText() const { return lastText_; }

 protected:
  // The click timer is handled here; the window's other timers arrive at
  // OnTimer.
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Set by a double click, cleared by each press of the left button.
  bool doubleClicked = false;

 private:
  HICON lastIcon_ = nullptr;
  std::string lastText_;
};

}  // namespace quz
