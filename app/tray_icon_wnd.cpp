#include "app/tray_icon_wnd.h"

#include <shellapi.h>

#include <cstring>

#include "app/text.h"

namespace quz {

bool CTrayIconWnd::Create() {
  return CreateTopLevel("quzTrayIconHandler", "TrayIconHandler", WS_OVERLAPPEDWINDOW);
}

BOOL CTrayIconWnd::NotifyTray(int action, HICON icon, const char* text) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof data;
  data.hWnd = Handle();
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE;
  data.uCallbackMessage = kTrayMessage;
  if (icon) {
    data.uFlags |= NIF_ICON;
    data.hIcon = icon;
    lastIcon_ = icon;
  }
  if (text) {
    data.uFlags |= NIF_TIP;
    // The tooltip field holds 63 bytes and its end; a cut in the middle of
    // a double-byte character would show a broken last character.
    std::string tip = CutText(text, sizeof data.szTip - 1);
    std::memcpy(data.szTip, tip.c_str(), tip.size() + 1);
    lastText_ = tip;
  }
  DWORD message = action == kTrayAdd ? NIM_ADD : action == kTrayModify ? NIM_MODIFY : NIM_DELETE;
  return Shell_NotifyIconA(message, &data);
}

LRESULT CTrayIconWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTrayMessage:
      if (wParam != kTrayIconId) return 0;
      switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
          doubleClicked = false;
          StartTimer(kClickTimer, GetDoubleClickTime());
          break;
        case WM_LBUTTONDBLCLK:
          doubleClicked = true;
          StopTimer(kClickTimer);
          break;
        case WM_LBUTTONUP:
          // The double click acts when its button is released.
          if (doubleClicked) PostMessageA(Handle(), WM_LBUTTONDBLCLK, 0, 0);
          break;
        case WM_RBUTTONUP:
          PostMessageA(Handle(), WM_RBUTTONUP, 0, 0);
          break;
      }
      return 0;
    case WM_TIMER:
      if (wParam != kClickTimer) break;
      // No second click came within the double-click time.
      StopTimer(kClickTimer);
      PostMessageA(Handle(), WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONUP:
      OnTraySingleClick();
      return 0;
    case WM_LBUTTONDBLCLK:
      OnTrayDoubleClick();
      return 0;
    case WM_RBUTTONUP:
      OnTrayRightClick();
      return 0;
  }
  return plat::Window::OnMessage(message, wParam, lParam);
}

}  // namespace quz
