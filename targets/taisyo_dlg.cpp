#include "targets/taisyo_dlg.h"

#include <algorithm>
#include <cstdio>

#include "app/main_wnd.h"
#include "catalogue/file_list_file.h"
#include "resources/resource.h"

namespace quz {

namespace {
const plat::ListColumn kColumns[kTargetColumns] = {
    {"名前          "},
    {"フォルダ名               "},
    {"  サイズ", LVCFMT_RIGHT},
    {"ファイルの種類    "},
    {"最終チェック日時"},
    {"保存型"},
};
}  // namespace

CTaisyoDlg::CTaisyoDlg(CMainWnd& main)
    : plat::Dialog(IDD_TAISYO),
      main_(main),
      rows_(main.FileList(), WindowsShellTexts()),
      checkChanged_(std::make_shared<std::atomic<bool>>(false)) {
  // A full check that changed the catalogue says so from its own thread;
  // it only raises a flag, and the timer rebuilds the rows here.
  main.Context().refreshList = [changed = checkChanged_] { *changed = true; };
}

CTaisyoDlg::~CTaisyoDlg() {
  CancelSizeSort();
  Destroy();
}

TargetCommandContext CTaisyoDlg::Commands() { return {*this, main_.FileList(), main_.State()}; }

// ---- the window

bool CTaisyoDlg::OnInitDialog() {
  CreateList();
  bigIcon_ = plat::LoadProgramIcon(IDR_MAINFRAME, GetSystemMetrics(SM_CXICON));
  smallIcon_ = plat::LoadProgramIcon(IDR_MAINFRAME);
  SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
  SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  SetItemText(IDC_TAISYO_SAVE_FOLDER, main_.State().saveFolder);
  RefreshList();
  StartTimer(kTimer, kTimerMs);
  checkProgress_.CreateModeless(Handle());
  return true;
}

void CTaisyoDlg::CreateList() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  // The list takes the place of the frame the template keeps for it.
  HWND frame = Item(IDC_TAISYO_LIST_FRAME);
  RECT r{};
  GetWindowRect(frame, &r);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&r), 2);
  HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                              WS_CHILD | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                  LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                              r.left, r.top, r.right - r.left, r.bottom - r.top, Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TAISYO_LIST)),
                              plat::ResourceInstance(), nullptr);
  if (!list) return;
  SendMessageA(list, WM_SETFONT, SendMessageA(Handle(), WM_GETFONT, 0, 0), FALSE);
  SetWindowPos(list, frame, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  list_.Attach(*this, IDC_TAISYO_LIST);
  list_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  list_.SetColumns(kColumns);
  // The last column takes the room the others leave (a scroll bar's width
  // kept free), so that "3階層まで検索" is not cut.
  RECT client{};
  GetClientRect(list, &client);
  int used = 0;
  for (int column = 0; column < kTargetColumns - 1; ++column) used += ListView_GetColumnWidth(list, column);
  int rest = client.right - used - GetSystemMetrics(SM_CXVSCROLL);
  if (rest > ListView_GetColumnWidth(list, kTargetColumns - 1))
    ListView_SetColumnWidth(list, kTargetColumns - 1, rest);
  list_.SetImageList(icons_.Handle());
  list_.SetCellText([this](int row, int column) { return RowText(row, column); });
  list_.SetRowImage([this](int row) { return RowImage(row); });
  ShowWindow(list, SW_SHOWNA);
}

std::string CTaisyoDlg::RowText(int row, int column) {
  int32_t entry = rows_.EntryOfRow(row);
  return entry < 0 ? std::string() : std::string(rows_.CellText(entry, column));
}

int CTaisyoDlg::RowImage(int row) {
  const FileEntry* e = main_.FileList().EntryAt(rows_.EntryOfRow(row));
  return e ? icons_.IconIndexFor(e->Path(), e->IsFolder()) : I_IMAGENONE;
}

void CTaisyoDlg::Hide() {
  ShowWindow(checkProgress_.Handle(), SW_HIDE);
  isShown_ = false;
  ShowWindow(Handle(), SW_HIDE);
}

bool CTaisyoDlg::OnClose() {
  Hide();
  return true;
}

void CTaisyoDlg::OnDestroy() {
  StopTimer(kTimer);
  CancelSizeSort();
}

bool CTaisyoDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_SHOWWINDOW:
      isShown_ = wParam != 0;
      return false;
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wParam);
      std::vector<std::string> paths = plat::DroppedPaths(drop);
      DragFinish(drop);
      TargetCommandContext c = Commands();
      AddDropped(c, paths);
      result = 0;
      return true;
    }
  }
  return false;
}

bool CTaisyoDlg::PreTranslate(MSG& message) {
  // Delete works anywhere in the window, before the controls see the key.
  if (message.message != WM_KEYDOWN || message.wParam != VK_DELETE) return false;
  TargetCommandContext c = Commands();
  DeleteSelected(c);
  return true;
}

bool CTaisyoDlg::OnCommand(int id, int code, HWND control) {
  TargetCommandContext c = Commands();
  switch (id) {
    case IDOK:
    case IDCANCEL:
      Hide();
      return true;
    case IDC_TAISYO_EXIT:
      // The window is hidden, not destroyed: when the exit is refused (a
      // window of the menu is open) it can still be shown again.
      Hide();
      SendMessageA(main_.Handle(), WM_COMMAND, ID_APP_EXIT_RESIDENT, 0);
      return true;
    case IDC_TAISYO_CHECK_NOW:
      StartCheck();
      return true;
    case IDC_TAISYO_HELP:
      plat::OpenHelpPage("help\\taisyo.htm");
      return true;
    case IDC_TAISYO_ADD_FILES:
      AddFiles(c);
      return true;
    case IDC_TAISYO_ADD_FOLDERS:
      AddFolders(c);
      return true;
    case ID_TARGET_OPEN:
      OpenEntry(c);
      return true;
    case ID_TARGET_OPEN_FOLDER:
      OpenContainingFolder(c);
      return true;
    case ID_TARGET_NORMAL:
      ChangeSaveType(c, SaveType::Normal);
      return true;
    case ID_TARGET_DIFFERENTIAL:
      ChangeSaveType(c, SaveType::Differential);
      return true;
    case ID_TARGET_NO_SAVE:
      ChangeSaveType(c, SaveType::NoSave);
      return true;
    case ID_TARGET_DELETE:
      DeleteSelected(c);
      return true;
    case ID_TARGET_PROPERTIES:
      ShowProperties(c);
      return true;
  }
  return false;
}

bool CTaisyoDlg::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_TAISYO_LIST) return false;
  switch (header.code) {
    case NM_CLICK:
      ShowFocusedEntry();
      return false;
    case LVN_ITEMCHANGED: {
      const NMLISTVIEW& change = reinterpret_cast<const NMLISTVIEW&>(header);
      // The keyboard moves the focus as a click does.
      if (change.iItem >= 0 && (change.uNewState & LVIS_FOCUSED) && !(change.uOldState & LVIS_FOCUSED))
        ShowFocusedEntry();
      return false;
    }
    case NM_RCLICK:
      ShowContextMenu();
      result = TRUE;
      return true;
    case LVN_COLUMNCLICK:
      ClickHeader(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      return true;
  }
  return false;
}

void CTaisyoDlg::ShowFocusedEntry() {
  int32_t entry = FocusedEntry();
  const FileEntry* e = main_.FileList().EntryAt(entry);
  if (!e) return;
  SetItemText(IDC_TAISYO_PATH, e->Path());
  SetItemText(IDC_TAISYO_SAVE_TYPE, std::string(rows_.CellText(entry, kColumnSaveType)));
}

void CTaisyoDlg::ShowContextMenu() {
  POINT at{};
  GetCursorPos(&at);
  plat::UniqueMenu menu(LoadMenuA(plat::ResourceInstance(), MAKEINTRESOURCEA(IDR_TAISYO_MENU)));
  if (!menu) return;
  SetForegroundWindow(Handle());
  if (int command = plat::TrackMenu(Handle(), GetSubMenu(menu.Get(), 0), at)) OnCommand(command, 0, nullptr);
}

// ---- rows

void CTaisyoDlg::RefreshList() { Rebuild(false); }

void CTaisyoDlg::Rebuild(bool toTop) {
  if (!Handle() || !list_.Handle()) return;
  CancelSizeSort();
  rows_.BuildRows();
  if (rows_.sortColumn == kColumnSize) {
    StartSizeSort(toTop);
  } else if (rows_.sortColumn >= 0) {
    SortProgress progress([this](int percent) { ShowSortProgress(percent); });
    rows_.SortRows(&progress);
    CloseSortProgress();
  }
  ShowRows(toTop);
}

void CTaisyoDlg::ClickHeader(int column) {
  rows_.sortColumn = column;
  // Rows sorted anew are shown from the top.
  Rebuild(true);
  rows_.sortAscending = !rows_.sortAscending;
}

void CTaisyoDlg::ShowRows(bool toTop) {
  HWND list = list_.Handle();
  const int top = ListView_GetTopIndex(list);
  ClearSelection();
  list_.SetRowCount(rows_.RowCount());
  if (toTop) {
    if (rows_.RowCount() > 0) ListView_EnsureVisible(list, 0, FALSE);
  } else if (ListView_GetTopIndex(list) != top && top < rows_.RowCount()) {
    // Back where the user was: the last row of that page shown at the
    // bottom puts its first one at the top.
    ListView_EnsureVisible(list, std::min(top + ListView_GetCountPerPage(list), rows_.RowCount()) - 1, FALSE);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%d個(最大%d個)", rows_.RowCount(), CFileList::kMaxEntries);
  SetItemText(IDC_TAISYO_COUNT, text);
}

void CTaisyoDlg::ClearSelection() {
  // The rows now show other entries: a selection kept by row number would
  // point a command at entries the user never chose.  The list tells its
  // owner of every row whose state changes, which takes seconds for a
  // quarter of a million rows; a list left with no rows for a moment
  // forgets its selection without a word, and a few rows are cleared one
  // by one.
  HWND list = list_.Handle();
  const int selected = ListView_GetSelectedCount(list);
  if (selected > kFewRows) {
    ListView_SetItemCountEx(list, 0, LVSICF_NOSCROLL);
    return;
  }
  if (selected > 0)
    for (int row : list_.SelectedRows()) ListView_SetItemState(list, row, 0, LVIS_SELECTED);
  const int focused = list_.FocusedRow();
  if (focused >= 0) ListView_SetItemState(list, focused, 0, LVIS_FOCUSED);
}

std::vector<int32_t> CTaisyoDlg::SelectedEntries() const {
  std::vector<int32_t> entries;
  if (ListView_GetSelectedCount(list_.Handle()) == 0) return entries;
  for (int row : list_.SelectedRows()) {
    int32_t entry = rows_.EntryOfRow(row);
    if (entry >= 0) entries.push_back(entry);
  }
  return entries;
}

int32_t CTaisyoDlg::FocusedEntry() const { return rows_.EntryOfRow(list_.FocusedRow()); }

void CTaisyoDlg::ForgetCells(int32_t entry) { rows_.ForgetCells(entry); }

void CTaisyoDlg::Repaint() {
  if (list_.Handle()) InvalidateRect(list_.Handle(), nullptr, FALSE);
}

bool CTaisyoDlg::StartCheck() { return main_.StartCheck(); }

void CTaisyoDlg::ShowSaveTypeText(const std::string& text) { SetItemText(IDC_TAISYO_SAVE_TYPE, text); }

// ---- the size sort

void CTaisyoDlg::StartSizeSort(bool toTop) {
  std::shared_ptr<SizeJob> job = rows_.MakeSizeJob();
  HWND self = Handle();
  sizeJob_ = job;
  sizeToTop_ = toTop;
  sizeProgress_ = std::make_unique<SortProgress>([this](int percent) { ShowSortProgress(percent); });
  bool started = sizeThread_.Start(
      [job, self, this] {
        // Only the task touches the window, on its thread and only while it
        // exists.
        if (job->Run()) plat::PostUiTask(self, [this, job] { FinishSizeSort(job); });
      },
      plat::Priority::BelowNormal);
  if (!started) {
    job->Run();
    FinishSizeSort(job);
    return;
  }
  // A list of ordinary length is sorted before the window shows it.
  if (sizeThread_.Join(kSizeWaitMs)) FinishSizeSort(job);
}

void CTaisyoDlg::FinishSizeSort(const std::shared_ptr<SizeJob>& job) {
  if (job != sizeJob_) return;
  sizeJob_.reset();
  sizeProgress_.reset();
  CloseSortProgress();
  if (!rows_.ApplySizes(*job)) return;
  ShowRows(sizeToTop_);
  Repaint();
}

void CTaisyoDlg::CancelSizeSort() {
  if (sizeJob_) sizeJob_->cancelled = true;
  sizeJob_.reset();
  sizeProgress_.reset();
  sizeThread_.Join();
  CloseSortProgress();
}

void CTaisyoDlg::ShowSortProgress(int percent) { sortProgress_.Show(Handle(), percent, "処理中"); }

void CTaisyoDlg::CloseSortProgress() { sortProgress_.Close(); }

// ---- the timer

void CTaisyoDlg::OnTimer(UINT_PTR id) {
  if (id != kTimer) return;
  RunState& state = main_.State();
  // A folder check leaves the catalogue changed: it is written and the
  // rows rebuilt once no check works on it any more.
  bool idle = main_.Context().checkRunning.load() == 0 && state.changeCheckRunning.load() == 0;
  if (idle && state.catalogueChanged.load()) {
    state.catalogueChanged = 0;
    checkChanged_->store(false);
    SaveFileList(main_.FileList());
    RefreshList();
  } else if (checkChanged_->exchange(false)) {
    RefreshList();
  }
  if (sizeJob_ && sizeProgress_) sizeProgress_->Step(sizeJob_->done.load(), static_cast<int64_t>(sizeJob_->paths.size()));
  if (!isShown_) return;
  ShowCheckProgress();
}

void CTaisyoDlg::ShowCheckProgress() {
  const int32_t progress = main_.State().progress.load();
  if (progress == -1) {
    ShowWindow(checkProgress_.Handle(), SW_HIDE);
    return;
  }
  const int32_t count = main_.FileList().Count();
  int percent = 10;
  std::string caption = "ファイル調査中";
  if (progress != 0 && count != 0) {
    percent = static_cast<int>(static_cast<int64_t>(progress) * 90 / count + 10);
    char text[64];
    std::snprintf(text, sizeof text, "処理中(%d/%d)", progress, count);
    caption = text;
  }
  ShowWindow(checkProgress_.Handle(), SW_SHOWNOACTIVATE);
  checkProgress_.SetProgress(percent, caption);
}

}  // namespace quz
