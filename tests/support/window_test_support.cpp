#include "tests/support/window_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <shlobj.h>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace quztest {

namespace {
// Under Wine a top-level window is an X11 window: with no window manager on
// the test display, hiding one (a dialog that ends, a tray icon removed)
// waits two seconds for an answer that never comes.  The windows of a Wine
// virtual desktop are Wine's own and go at once, so the programs that drive
// windows run in one, as scripts/run runs quz.  Windows started later on
// other threads would stay on the default desktop; no test makes any.
class VirtualDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!UnderWine()) return;
    static const char kName[] = "quztest", kSize[] = "1280x800";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExA(key, kName, 0, REG_SZ, reinterpret_cast<const BYTE*>(kSize), sizeof kSize);
      RegCloseKey(key);
    }
    HDESK desktop = CreateDesktopA(kName, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    EXPECT_TRUE(desktop && SetThreadDesktop(desktop)) << "no virtual desktop: every hidden window costs seconds";
  }
};
[[maybe_unused]] ::testing::Environment* const kDesktop = ::testing::AddGlobalTestEnvironment(new VirtualDesktop);
}  // namespace

void Pump() { plat::PumpWaitingMessages(); }

bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
  uint32_t start = plat::TickCount();
  while (!done()) {
    if (plat::TickCount() - start > timeoutMs) return false;
    Pump();
    plat::Sleep(5);
  }
  return true;
}

void PumpFor(uint32_t ms) {
  const uint32_t start = plat::TickCount();
  PumpUntil([&] { return plat::TickCount() - start >= ms; });
}

// ---- acting inside a modal loop

namespace {
std::map<UINT_PTR, WhileModal*>& PendingActions() {
  static std::map<UINT_PTR, WhileModal*> pending;
  return pending;
}
}  // namespace

WhileModal::WhileModal(std::function<void()> action) : action_(std::move(action)) {
  timer_ = SetTimer(nullptr, 0, 20, Fire);
  PendingActions()[timer_] = this;
}

WhileModal::~WhileModal() {
  if (timer_) {
    KillTimer(nullptr, timer_);
    PendingActions().erase(timer_);
  }
}

void CALLBACK WhileModal::Fire(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  auto it = PendingActions().find(id);
  if (it == PendingActions().end()) return;
  WhileModal* self = it->second;
  PendingActions().erase(it);
  self->timer_ = 0;
  self->ran_ = true;
  auto action = std::move(self->action_);
  if (action) action();
}

// ---- what windows show

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(std::max(GetWindowTextA(window, text.data(), length + 1), 0)));
  return text;
}

void Click(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string ListCell(HWND list, int row, int column) {
  char text[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const auto& path : paths) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);  // GHND zeroes the rest: the names are ANSI
  char* at = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const auto& path : paths) {
    std::memcpy(at, path.c_str(), path.size() + 1);
    at += path.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// ---- the scripted user

namespace {
template <class T>
std::optional<T> Take(std::deque<T>& queue) {
  if (queue.empty()) return std::nullopt;
  T value = std::move(queue.front());
  queue.pop_front();
  return value;
}

std::vector<std::string> MenuItems(HMENU menu) {
  std::vector<std::string> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[256] = {};
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    items.push_back(text);
  }
  return items;
}
}  // namespace

ScriptedUi::ScriptedUi() {
  plat::SetMessageResponder([this](HWND, const std::string& text, const std::string& caption, unsigned style) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back({text, caption, style, GetCurrentThreadId()});
    return Take(answers_).value_or(plat::FirstButtonAnswer(style));
  });
  plat::ShellResponder shell;
  shell.browseFolder = [this](HWND) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++foldersAsked_;
    return Take(folders_).value_or(std::nullopt);
  };
  shell.chooseFiles = [this](HWND, const std::string& filter) {
    std::lock_guard<std::mutex> lock(mutex_);
    filters_.push_back(filter);
    return Take(files_).value_or(std::nullopt);
  };
  shell.specialFolder = [this](int csidl) -> std::optional<std::string> {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = specialFolders_.find(csidl);
    return it == specialFolders_.end() ? std::nullopt : std::optional(it->second);
  };
  shell.open = [this](const std::string& path, const std::string& verb) {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back({path, verb});
  };
  shell.associatedProgram = [this](const std::string& path) -> std::optional<std::string> {
    return associatedProgram ? associatedProgram(path) : std::nullopt;
  };
  plat::SetShellResponder(std::move(shell));
  plat::SetMenuResponder([this](HWND, HMENU menu) {
    std::lock_guard<std::mutex> lock(mutex_);
    menus_.push_back(MenuItems(menu));
    return Take(menuCommands_).value_or(0);
  });
}

ScriptedUi::~ScriptedUi() {
  plat::SetMessageResponder(nullptr);
  plat::SetShellResponder({});
  plat::SetMenuResponder(nullptr);
}

// ---- the fixture

void WindowTest::SetUp() {
  ASSERT_NE(std::getenv("DISPLAY"), nullptr)
      << "these tests drive real windows: run them with a display (scripts/test starts Xvfb)";
  quz::OverrideProgramFolder(dir.path());
  ASSERT_TRUE(quz::WriteSetting(quz::kSettingsFile, SaveFolder(), "quz保存先フォルダ"));
}

void WindowTest::TearDown() {
  Pump();
  quz::OverrideProgramFolder("");
}

}  // namespace quztest
