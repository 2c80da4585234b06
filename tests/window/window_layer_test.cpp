// The window layer driven through real messages under Wine, over the
// program's own dialog templates.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <shlobj.h>

#include "platform/exceptions.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "resources/resource.h"
#include "tests/support/window_test_support.h"

namespace {

using quztest::Pump;
using quztest::PumpUntil;

class WindowLayer : public quztest::WindowTest {};

// A hidden window of our own class, destroyed with the object.
class PlainWindow : public plat::Window {
 public:
  PlainWindow() { EXPECT_TRUE(CreateTopLevel("quzTestPlain", "plain", WS_OVERLAPPEDWINDOW)); }
  ~PlainWindow() override { Destroy(); }
  std::function<void()> onDestroy;
  std::function<void(UINT)> onMessage;

 protected:
  void OnDestroy() override {
    if (onDestroy) onDestroy();
  }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_APP && onMessage) onMessage(message);
    return plat::Window::OnMessage(message, wParam, lParam);
  }
};

// ---- work for the user-interface thread

TEST_F(WindowLayer, WorkerTasksRunOnTheUiThreadInOrderAndNeverAfterTheirWindow) {
  // (A tree filled this way: the restore window's tests.)
  auto window = std::make_unique<PlainWindow>();
  HWND handle = window->Handle();
  const DWORD uiThread = GetCurrentThreadId();
  // The worker never touches the window: each step goes over as a task.
  std::vector<int> ran;
  std::atomic<int> offThread{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 150; ++i)
      plat::PostUiTask(handle, [&, i] {
        offThread += GetCurrentThreadId() != uiThread;
        ran.push_back(i);
      });
    plat::PostUiTask(handle, [&] { done = true; });
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(offThread.load(), 0);
  std::vector<int> order(150);
  std::iota(order.begin(), order.end(), 0);
  EXPECT_EQ(ran, order);

  // A task still queued when its window goes is dropped; none is queued for a gone window.
  bool ranLate = false;
  ASSERT_TRUE(plat::PostUiTask(handle, [&] { ranLate = true; }));
  window.reset();
  Pump();
  EXPECT_FALSE(ranLate);
  EXPECT_FALSE(plat::PostUiTask(handle, [&] { ranLate = true; }));
  EXPECT_FALSE(plat::RunUiTask(handle, [&] { ranLate = true; }));
  EXPECT_FALSE(ranLate);
}

TEST_F(WindowLayer, WorkerQuestionIsAnsweredOnTheUiThreadOrReleasedWhenTheWindowGoes) {
  auto owner = std::make_unique<PlainWindow>();
  plat::WindowInteraction interaction(owner->Handle());
  ui.QueueAnswer(plat::kAnswerNo);
  std::atomic<int> answer{0};
  std::thread worker([&] { answer = interaction.Message("続けますか？", "quz", plat::kButtonsYesNo); });
  // Nothing answers while this thread pumps no messages.
  plat::Sleep(200);
  EXPECT_EQ(answer.load(), 0);
  ASSERT_TRUE(PumpUntil([&] { return answer.load() != 0; }));
  worker.join();
  EXPECT_EQ(answer.load(), plat::kAnswerNo);
  auto boxes = ui.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "続けますか？");
  EXPECT_EQ(boxes[0].thread, GetCurrentThreadId());

  // On the window's own thread the question is asked at once.
  EXPECT_EQ(interaction.Message("もう一度", "quz", plat::kButtonsOkCancel), plat::kAnswerOk);
  EXPECT_EQ(ui.Boxes().size(), 2u);

  // The shape of the program's shutdown: the main window, being destroyed,
  // waits for a check thread that waits for the main window to answer a
  // question (the disk-full message).
  answer = 0;
  worker = std::thread([&] { answer = interaction.Message("ディスク", "quz", plat::kButtonsOkCancel); });
  plat::Sleep(200);  // the worker waits for its answer by now
  bool workerEnded = false;
  owner->onDestroy = [&] {
    uint32_t start = plat::TickCount();
    while (answer.load() == 0 && plat::TickCount() - start < 10000) plat::Sleep(5);
    workerEnded = answer.load() != 0;
  };
  owner.reset();
  worker.join();
  EXPECT_TRUE(workerEnded);
  EXPECT_EQ(answer.load(), plat::kAnswerCancel);
  EXPECT_EQ(ui.Boxes().size(), 2u);
  // With the window gone, a question gets the dismissed answer at once.
  EXPECT_EQ(interaction.Message("x", "quz", plat::kButtonsYesNo), plat::kAnswerNo);
}

// ---- lists

class ListDialog : public plat::Dialog {
 public:
  ListDialog() : plat::Dialog(IDD_RIREKI) {}
  ~ListDialog() override { Destroy(); }
  plat::ListView list;
  std::set<int> asked;

 protected:
  bool OnInitDialog() override {
    EXPECT_TRUE(list.Attach(*this, IDC_HISTORY_LIST));
    const plat::ListColumn columns[] = {{"名前"}, {"サイズ", LVCFMT_RIGHT}, {"種類", LVCFMT_LEFT, 120}};
    list.SetColumns(columns);
    list.SetCellText([this](int row, int column) {
      asked.insert(row);
      return row == 7 ? std::string("行行行") : "行" + std::to_string(row) + ":" + std::to_string(column);
    });
    return true;
  }
};

TEST_F(WindowLayer, VirtualListOfAQuarterMillionRowsAsksOnlyForWhatItShows) {
  // (Its selection: the target window's tests.)
  ListDialog dialog;
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  dialog.list.SetRowCount(250000);
  ShowWindow(dialog.Handle(), SW_SHOW);
  UpdateWindow(dialog.Handle());
  quztest::PumpFor(300);
  EXPECT_EQ(dialog.list.RowCount(), 250000);
  ASSERT_FALSE(dialog.asked.empty());
  EXPECT_LT(dialog.asked.size(), 100u);
  EXPECT_LT(*dialog.asked.rbegin(), 100);

  // A row far down is made when it is asked for, and only that one.
  dialog.asked.clear();
  EXPECT_EQ(dialog.list.ShownText(249999, 2), "行249999:2");
  EXPECT_EQ(dialog.asked, std::set<int>{249999});

  // Wide requests get the same cells; a short buffer never ends in half a double-byte character.
  auto ask = [&](auto& request, UINT code, int row, int column, auto* text, int room) {
    request.hdr = {dialog.list.Handle(), IDC_HISTORY_LIST, code};
    request.item.mask = LVIF_TEXT;
    request.item.iItem = row;
    request.item.iSubItem = column;
    request.item.pszText = text;
    request.item.cchTextMax = room;
    SendMessageA(dialog.Handle(), WM_NOTIFY, IDC_HISTORY_LIST, reinterpret_cast<LPARAM>(&request));
  };
  wchar_t wide[32] = {};
  NMLVDISPINFOW request{};
  ask(request, LVN_GETDISPINFOW, 5, 1, wide, 32);
  EXPECT_STREQ(wide, L"\u884c5:1");
  char narrow[6] = {};
  NMLVDISPINFOA cut{};
  ask(cut, LVN_GETDISPINFOA, 7, 0, narrow, 6);  // room for two and a half characters
  EXPECT_STREQ(narrow, "行行");
}

// ---- wizards (sheets: the settings sheet's tests)

// Every page says what happened to it in one shared record.
using Record = std::vector<std::string>;

class NumberPage : public plat::PropertyPage {
 public:
  explicit NumberPage(Record& record) : PropertyPage(IDD_SETTEI7, "数値"), record(record) {}
  Record& record;
  bool nextAllowed = true;

 protected:
  bool OnInitDialog() override {
    SetItemInt(IDC_MAX_GENERATIONS, 5);
    return true;
  }
  bool OnSetActive() override {
    record.push_back("number shown");
    SetWizardButtons(PSWIZB_NEXT);
    return true;
  }
  bool OnKillActive() override {
    bool whole = ItemInt(IDC_MAX_GENERATIONS).has_value();
    record.push_back(whole ? "number left" : "number kept");
    return whole;
  }
  void OnReset() override { record.push_back("number cancelled"); }
  int OnWizardNext() override {
    record.push_back(nextAllowed ? "next" : "next refused");
    return nextAllowed ? 0 : -1;
  }
};

class CheckPage : public plat::PropertyPage {
 public:
  explicit CheckPage(Record& record) : PropertyPage(IDD_SETTEI5), record(record) {}
  Record& record;
  bool checked = false;

 protected:
  bool OnSetActive() override {
    record.push_back("check shown");
    SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return true;
  }
  int OnWizardBack() override {
    record.push_back("back");
    return 0;
  }
  bool OnWizardFinish() override {
    checked = IsChecked(IDC_SKIP_TEMP_FOLDER);
    record.push_back("finish");
    return true;
  }
};

// A wizard of both pages, with `drive` acting in it.
bool RunWizard(NumberPage& number, CheckPage& check, const std::function<void(plat::PropertySheet&)>& drive) {
  plat::PropertySheet sheet("フォルダーの新規追加");
  sheet.SetWizard(true);
  sheet.AddPage(number);
  sheet.AddPage(check);
  quztest::WhileModal modal([&] {
    EXPECT_EQ(plat::PropertySheet::Current(), &sheet);
    drive(sheet);
  });
  bool accepted = sheet.DoModal(nullptr);
  EXPECT_TRUE(modal.Ran());
  return accepted;
}

TEST_F(WindowLayer, WizardGoesNextBackAndFinishesOrIsCancelled) {
  Record record;
  NumberPage first(record);
  CheckPage second(record);
  first.nextAllowed = false;
  EXPECT_TRUE(RunWizard(first, second, [&](plat::PropertySheet& wizard) {
    // The second page's window comes with its first showing.
    EXPECT_EQ(second.Handle(), nullptr);
    const std::pair<int, int> steps[] = {{PSBTN_NEXT, 0}, {PSBTN_NEXT, 1}, {PSBTN_BACK, 0}, {PSBTN_NEXT, 1}};
    for (int i = 0; i < 4; ++i) {
      const auto [button, page] = steps[i];
      size_t before = record.size();
      wizard.Press(button);
      ASSERT_TRUE(PumpUntil([&] { return record.size() > before; }));
      Pump();
      EXPECT_EQ(wizard.ActivePage(), page) << record.back();
      first.nextAllowed = true;
      if (i == 1) second.SetChecked(IDC_SKIP_TEMP_FOLDER, true);  // kept through "back"
    }
    wizard.Press(PSBTN_FINISH);
  }));
  EXPECT_TRUE(second.checked);
  EXPECT_EQ(first.Handle(), nullptr);
  EXPECT_EQ(record, (Record{"number shown", "next refused", "next", "number left", "check shown", "back",
                            "number shown", "next", "number left", "check shown", "finish"}));

  record.clear();
  EXPECT_FALSE(RunWizard(first, second, [&](plat::PropertySheet& wizard) { wizard.Press(PSBTN_CANCEL); }));
  EXPECT_EQ(record, (Record{"number shown", "number cancelled"}));
}

// ---- dialogs

// A modeless dialog of two fields, OK and cancel (the new rule's template) with
// the test's handlers; `answers` answers messages with values of their own.
class TestDialog : public plat::Dialog {
 public:
  TestDialog() : plat::Dialog(IDD_RULE_ADD) { EXPECT_TRUE(CreateModeless(nullptr)); }
  ~TestDialog() override { Destroy(); }
  std::function<bool(int id)> onCommand;
  std::function<bool(MSG&)> preTranslate;
  std::map<UINT, INT_PTR> answers;
  bool claimEnd = false;  // handles the end of its window itself

 protected:
  bool OnCommand(int id, int code, HWND control) override {
    return onCommand ? onCommand(id) : plat::Dialog::OnCommand(id, code, control);
  }
  bool PreTranslate(MSG& message) override { return preTranslate && preTranslate(message); }
  bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) override {
    if (claimEnd && (message == WM_DESTROY || message == WM_NCDESTROY)) return true;
    auto it = answers.find(message);
    if (it == answers.end()) return false;
    result = it->second;
    return true;
  }
};

TEST_F(WindowLayer, ModelessDialogGetsItsKeysFromTheLoopAnswersAndEndsCleanly) {
  TestDialog dialog;
  std::vector<std::string> heard;
  dialog.onCommand = [&](int id) {
    if (id == IDOK || id == IDCANCEL) heard.push_back(id == IDOK ? "ok" : "cancel");
    return id == IDOK || id == IDCANCEL;
  };
  dialog.preTranslate = [&](MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_DELETE) return false;
    heard.push_back("delete");
    return true;
  };
  ShowWindow(dialog.Handle(), SW_SHOW);
  SetForegroundWindow(dialog.Handle());
  HWND first = dialog.Item(IDC_RULE_EXTENSION), second = dialog.Item(IDC_RULE_SIZE);
  SetFocus(first);
  Pump();
  auto key = [](HWND to, WPARAM key) {
    PostMessageA(to, WM_KEYDOWN, key, 1);
    PostMessageA(to, WM_KEYUP, key, 0xC0000001);
    Pump();
  };
  key(first, VK_TAB);
  EXPECT_EQ(GetFocus(), second);
  for (WPARAM k : {VK_RETURN, VK_ESCAPE, VK_DELETE}) key(second, k);
  EXPECT_EQ(heard, (std::vector<std::string>{"ok", "cancel", "delete"}));

  // Answers reach the sender: a few messages return theirs themselves, and
  // one through the dialog's result.
  dialog.answers = {{WM_CTLCOLORDLG, 0x5101}, {WM_COMPAREITEM, 0x5102}, {WM_QUERYDRAGICON, 0x5103}, {WM_APP + 3, 4242}};
  for (auto [message, answer] : dialog.answers) {
    COMPAREITEMSTRUCT compare{};
    EXPECT_EQ(SendMessageA(dialog.Handle(), message, 0, reinterpret_cast<LPARAM>(&compare)), answer) << message;
  }

  // Its end is cleaned up whatever it handles, and once it is gone, its
  // keys are the loop's no more.
  dialog.claimEnd = true;
  HWND handle = dialog.Handle();
  EXPECT_EQ(plat::Dialog::Current(), &dialog);
  dialog.Destroy();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(dialog.Handle(), nullptr);
  EXPECT_NE(plat::Dialog::Current(), &dialog);
  MSG message{second, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_FALSE(plat::TranslateDialogMessage(message));
}

// ---- the exception boundary

TEST_F(WindowLayer, ExceptionsInProceduresAndTasksAreReportedAndTheLoopGoesOn) {
  std::vector<std::string> reported;
  plat::SetExceptionHandler(
      [&](const std::string& where, const std::string& what) { reported.push_back(where + ": " + what); });
  PlainWindow window;
  window.onMessage = [](UINT message) {
    if (message == WM_APP + 1) throw std::runtime_error("window failed");
    if (message == WM_APP + 2) throw 42;
  };
  TestDialog dialog;
  dialog.onCommand = [](int id) {
    if (id == 500) throw std::runtime_error("dialog failed");
    return false;
  };
  PostMessageA(window.Handle(), WM_APP + 1, 0, 0);
  PostMessageA(dialog.Handle(), WM_COMMAND, 500, 0);
  plat::PostUiTask(window.Handle(), [] { throw std::runtime_error("task failed"); });
  PostMessageA(window.Handle(), WM_APP + 2, 0, 0);
  plat::PostUiTask(window.Handle(), [] { PostQuitMessage(7); });
  EXPECT_EQ(plat::RunMessageLoop(), 7);
  plat::SetExceptionHandler(nullptr);
  EXPECT_EQ(reported, (std::vector<std::string>{"window procedure: window failed", "dialog procedure: dialog failed",
                                                "UI task: task failed",
                                                "window procedure: an exception that is not a std::exception"}));
  EXPECT_TRUE(IsWindow(window.Handle()));
  EXPECT_TRUE(IsWindow(dialog.Handle()));
}

// ---- small controls

TEST_F(WindowLayer, ScrollBarComboAndListBoxHelpers) {
  // (Line steps, the drag and the choices: the tests of the windows that use them.)
  PlainWindow window;
  auto make = [&](const char* kind, DWORD style) {
    return CreateWindowExA(0, kind, "", WS_CHILD | style, 0, 0, 200, 100, window.Handle(), nullptr, nullptr, nullptr);
  };
  plat::ScrollBar bar(make("SCROLLBAR", SBS_HORZ));
  bar.SetRange(0, 12);
  // An arrow stops at the end; a page is one step; Home and End go to the ends.
  const struct {
    int from;
    WPARAM request;
    int to;
  } moves[] = {{0, SB_LINELEFT, 0}, {4, SB_PAGERIGHT, 5}, {4, SB_PAGELEFT, 3}, {4, SB_LEFT, 0}, {4, SB_RIGHT, 12}};
  for (const auto& move : moves) {
    bar.SetPosition(move.from);
    EXPECT_EQ(bar.Requested(move.request), move.to) << move.from << " " << LOWORD(move.request);
  }

  plat::ComboBox combo(make("COMBOBOX", CBS_DROPDOWNLIST));
  for (const char* text : {"無制限", "1", "2"}) combo.Add(text);
  EXPECT_FALSE(combo.SelectText("16"));

  plat::ListBox files(make("LISTBOX", LBS_EXTENDEDSEL));
  for (int i = 0; i < 4; ++i) files.Add("ファイル" + std::to_string(i), 10 + i);
  SendMessageA(files.Handle(), LB_SELITEMRANGE, TRUE, MAKELPARAM(1, 2));
  EXPECT_EQ(files.SelectedIndexes(), (std::vector<int>{1, 2}));
  EXPECT_EQ(files.Text(2), "ファイル2");
  EXPECT_EQ(files.Data(3), 13);
  EXPECT_EQ(files.Data(files.Add("番号なし")), 0);
}

// ---- the shell's responders

TEST_F(WindowLayer, ResponderAnswersMenusAndTheShellGivesTheSpecialFoldersNotScripted) {
  // (Choosers, scripted special folders and opened paths: the tests of the
  // windows that use them.)
  EXPECT_FALSE(plat::SpecialFolder(CSIDL_WINDOWS).empty());

  plat::UniqueMenu menu(CreatePopupMenu());
  AppendMenuA(menu.Get(), MF_STRING, 32789, "開く(&O)");
  AppendMenuA(menu.Get(), MF_STRING, 32788, "削除(&D)");
  ui.QueueMenuCommand(32788);
  EXPECT_EQ(plat::TrackMenu(nullptr, menu.Get(), POINT{10, 10}), 32788);
  EXPECT_EQ(plat::TrackMenu(nullptr, menu.Get(), POINT{10, 10}), 0);
  ASSERT_EQ(ui.Menus().size(), 2u);
  EXPECT_EQ(ui.Menus()[0], (std::vector<std::string>{"開く(&O)", "削除(&D)"}));
}

}  // namespace
