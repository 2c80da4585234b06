#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "platform/window.h"

namespace plat {

namespace {
std::string ProgramFolderOfExe() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string exe(path, length);
  // The last separator, stepping over double-byte characters.
  size_t slash = std::string::npos;
  for (size_t i = 0; i < exe.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(exe[i])) && i + 1 < exe.size()) {
      ++i;
      continue;
    }
    if (exe[i] == '\\') slash = i;
  }
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}
}  // namespace

bool BrowseFolder(HWND owner, std::string& folder) {
  CoInitialize(nullptr);
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
  CoUninitialize();
  return ok;
}

void ShellOpen(const std::string& path) {
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenHelpPage(const std::string& relativePath) { ShellOpen(ProgramFolderOfExe() + relativePath); }

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

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE)) return std::string();
  return path;
}

namespace {
LRESULT CALLBACK DropEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR) {
  if (message == WM_DROPFILES) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    char path[261] = {};
    if (DragQueryFileA(drop, 0, path, sizeof path) > 0) {
      // WM_SETTEXT on an edit control tells its owner with EN_CHANGE only
      // when typed; say it ourselves so the owner reacts as to typing.
      SetWindowTextA(edit, path);
      SendMessageA(GetParent(edit), WM_COMMAND,
                   MAKEWPARAM(GetDlgCtrlID(edit), EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    }
    DragFinish(drop);
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

}  // namespace plat
