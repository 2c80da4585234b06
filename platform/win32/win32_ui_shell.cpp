#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <mutex>

#include "platform/cp932.h"
#include "platform/platform.h"
#include "platform/window.h"

namespace plat {

namespace {
// A responder that any thread may replace while another reads it.
template <class T>
class Guarded {
 public:
  void Set(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
  }
  T Get() {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }

 private:
  std::mutex mutex_;
  T value_;
};

Guarded<MessageResponder> messageResponder;
Guarded<ShellResponder> shellResponder;
Guarded<MenuResponder> menuResponder;

// "name|pattern||" as the chooser wants it: NUL-separated, a second NUL at
// the end.  A trail byte may equal "|"; it is stepped over.
std::string ChooserFilter(const std::string& filter) {
  std::string out = filter;
  for (size_t i = 0; i < out.size(); i += CharLength(out, i))
    if (out[i] == '|') out[i] = '\0';
  out.append(2, '\0');
  return out;
}
}  // namespace

// ---- message boxes

void SetMessageResponder(MessageResponder responder) { messageResponder.Set(std::move(responder)); }

int ShowMessage(HWND owner, const std::string& text, const std::string& caption, unsigned style) {
  if (MessageResponder responder = messageResponder.Get()) return responder(owner, text, caption, style);
  return MessageBoxA(owner, text.c_str(), caption.c_str(), style);
}

// ---- the shell

void SetShellResponder(ShellResponder responder) { shellResponder.Set(std::move(responder)); }

bool BrowseFolder(HWND owner, std::string& folder) {
  if (auto respond = shellResponder.Get().browseFolder) {
    std::optional<std::string> chosen = respond(owner);
    if (!chosen) return false;
    folder = *chosen;
    return true;
  }
  HRESULT initialised = CoInitialize(nullptr);
  char display[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pszDisplayName = display;
  info.lpszTitle = "フォルダまたはドライブを選んでください";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
  bool ok = false;
  if (chosen) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, path)) {
      folder = path;
      ok = true;
    }
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(initialised)) CoUninitialize();
  return ok;
}

bool ChooseFiles(HWND owner, const std::string& filter, std::vector<std::string>& files) {
  if (auto respond = shellResponder.Get().chooseFiles) {
    std::optional<std::vector<std::string>> chosen = respond(owner, filter);
    if (!chosen) return false;
    files = *chosen;
    return true;
  }
  std::string filters = ChooserFilter(filter);
  std::string buffer(65536, '\0');
  OPENFILENAMEA info{};
  info.lStructSize = sizeof info;
  info.hwndOwner = owner;
  info.lpstrFilter = filters.c_str();
  info.lpstrFile = buffer.data();
  info.nMaxFile = static_cast<DWORD>(buffer.size());
  info.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&info)) return false;
  // One file: its full path.  Several: the folder, then each name, all
  // NUL-separated, a second NUL at the end.
  std::vector<std::string> parts;
  for (const char* at = buffer.c_str(); *at; at += std::strlen(at) + 1) parts.emplace_back(at);
  files.clear();
  if (parts.size() == 1) {
    files.push_back(parts[0]);
  } else if (parts.size() > 1) {
    std::string folder = WithSeparator(parts[0]);
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  }
  return !files.empty();
}

std::string SpecialFolder(int csidl) {
  if (auto respond = shellResponder.Get().specialFolder)
    if (std::optional<std::string> folder = respond(csidl)) return *folder;
  char path[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return std::string();
  return path;
}

void ShellOpen(const std::string& path, const char* verb) {
  if (auto respond = shellResponder.Get().open) {
    respond(path, verb ? verb : "");
    return;
  }
  ShellExecuteA(nullptr, verb, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string AssociatedProgram(const std::string& path) {
  if (auto respond = shellResponder.Get().associatedProgram)
    if (std::optional<std::string> program = respond(path)) return *program;
  char program[MAX_PATH + 1] = {};
  // Values up to 32 are errors.
  if (reinterpret_cast<INT_PTR>(FindExecutableA(path.c_str(), nullptr, program)) <= 32) return std::string();
  return program;
}

void OpenHelpPage(const std::string& relativePath) { ShellOpen(FolderOf(ExecutablePath()) + relativePath); }

long CreateShellLink(const std::string& target, const std::string& shortcut,
                     const std::string& arguments, const std::string& description,
                     const std::string& workingFolder, const std::string& iconPath, int iconIndex) {
  HRESULT initialised = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) {
    if (SUCCEEDED(initialised)) CoUninitialize();
    return result;
  }
  WORD hotKey = 0;
  link->GetHotkey(&hotKey);
  link->SetHotkey(4);
  link->SetArguments(arguments.c_str());
  link->SetDescription(description.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetIconLocation(iconPath.c_str(), iconIndex);
  link->SetPath(target.c_str());
  IPersistFile* file = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    wchar_t wide[MAX_PATH + 1] = {};
    if (MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH) == 0)
      result = E_INVALIDARG;
    else
      result = file->Save(wide, TRUE);
    file->Release();
  }
  link->Release();
  if (SUCCEEDED(initialised)) CoUninitialize();
  return SUCCEEDED(result) ? 0 : result;
}

// ---- dropped files

std::vector<std::string> DroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char path[MAX_PATH + 1] = {};
    if (DragQueryFileA(drop, i, path, sizeof path) > 0) paths.emplace_back(path);
  }
  return paths;
}

namespace {
LRESULT CALLBACK DropEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR) {
  if (message == WM_DROPFILES) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    std::vector<std::string> paths = DroppedPaths(drop);
    DragFinish(drop);
    if (!paths.empty()) {
      // WM_SETTEXT on an edit control tells its owner with EN_CHANGE only
      // when typed; say it ourselves so the owner reacts as to typing.
      SetWindowTextA(edit, paths[0].c_str());
      SendMessageA(GetParent(edit), WM_COMMAND,
                   MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    }
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(edit, DropEditProcedure, id);
  return DefSubclassProc(edit, message, wParam, lParam);
}
}  // namespace

void AcceptDroppedPath(HWND edit) {
  DragAcceptFiles(edit, TRUE);
  SetWindowSubclass(edit, DropEditProcedure, 1, 0);
}

// ---- pop-up menus

void SetMenuResponder(MenuResponder responder) { menuResponder.Set(std::move(responder)); }

int TrackMenu(HWND owner, HMENU menu, POINT at, UINT flags) {
  if (MenuResponder responder = menuResponder.Get()) return responder(owner, menu);
  int command = static_cast<int>(
      TrackPopupMenu(menu, flags | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
  // Lets the menu close properly when the owner was brought forward for it.
  PostMessageA(owner, WM_NULL, 0, 0);
  return command;
}

}  // namespace plat
