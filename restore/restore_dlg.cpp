#include "restore/restore_dlg.h"

#include <algorithm>
#include <climits>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "resources/resource.h"

namespace quz {

namespace {

const char kProgressText[] = "処理中";
// Loads and listings that end sooner show no progress window: it would
// only flash.
constexpr uint32_t kProgressDelayMs = 250;

int Percent(int64_t done, int64_t total) { return total > 0 ? static_cast<int>(done * 100 / total) : 0; }

}  // namespace

CRestoreDlg::CRestoreDlg(std::string saveFolder)
    : plat::Dialog(IDD_RESTORE), saveFolder_(std::move(saveFolder)), times_(plat::TimeZoneOffset()) {}

CRestoreDlg::~CRestoreDlg() = default;

bool CRestoreDlg::Busy() const { return loading_ || listingRuns_; }

HTREEITEM CRestoreDlg::TreeItemOf(std::string_view folder) const {
  int32_t item = tree_.Find(folder);
  return item >= 0 && static_cast<size_t>(item) < treeItems_.size() ? treeItems_[static_cast<size_t>(item)] : nullptr;
}

std::vector<std::string> CRestoreDlg::FileLines() const {
  std::vector<std::string> lines;
  for (const RestoreFileItem& item : files_) lines.push_back(item.text);
  return lines;
}

bool CRestoreDlg::OnInitDialog() {
  plat::AcceptDroppedPath(Item(IDC_RESTORE_SOURCE));

  treeView_.Attach(*this, IDC_RESTORE_TREE);
  if (images_.Create()) {
    rootImage_ = images_.AddProgramIcon(IDR_MAINFRAME);
    driveImage_ = images_.AddProgramIcon(IDI_LIST_DRIVE);
    folderImage_ = images_.AddProgramIcon(IDI_LIST_FOLDER);
    treeView_.SetImageList(images_.Handle());
  }
  treeView_.SetSelectionHandler([this](HTREEITEM item, LPARAM data) {
    // Emptying the tree selects nothing, or whatever item is left.
    if (item && !fillingTree_) FolderSelected(static_cast<int32_t>(data));
  });

  candidateList_.Attach(*this, IDC_RESTORE_CANDIDATES);
  candidateList_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  const plat::ListColumn column{"", LVCFMT_LEFT, 200};
  candidateList_.SetColumns(std::span(&column, 1));
  candidateList_.SetCellText([this](int row, int) {
    return row >= 0 && row < candidates_.Count() ? candidates_.At(row).text : std::string();
  });

  // The file list draws its lines from files_ (it holds no text of its
  // own), as high as a line of its font.
  HWND files = Item(IDC_RESTORE_FILES);
  plat::ListBox(files).SetHorizontalExtent(600);
  {
    plat::WindowDC dc(files);
    HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(files, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.Get(), &metrics);
    SelectObject(dc.Get(), old);
    SendMessageA(files, LB_SETITEMHEIGHT, 0, metrics.tmHeight + 1);
  }
  ResetTree();
  StartTimer(kOpenTimer, 100);
  return true;
}

bool CRestoreDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_RESTORE_SOURCE:
      if (code == EN_CHANGE) SourceChanged();
      return true;
    case IDC_RESTORE_FILES:
      if (code == LBN_SELCHANGE) FilesSelected();
      return true;
    case IDC_RESTORE_ELSEWHERE:
      if (code == BN_CLICKED) Restore(false);
      return true;
    case IDOK:
      Restore(true);
      return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

void CRestoreDlg::OnTimer(UINT_PTR id) {
  if (id == kOpenTimer) {
    StopTimer(kOpenTimer);
    SetItemText(IDC_RESTORE_SOURCE, saveFolder_);
  }
}

void CRestoreDlg::OnDestroy() {
  filler_.Stop();
  loader_.Stop();
  StopTimer(kOpenTimer);
  progress_.Close();
}

// ---------------------------------------------------------------- loading

void CRestoreDlg::SourceChanged() {
  if (restoring_) return;
  std::string text = ItemText(IDC_RESTORE_SOURCE);
  if (text.empty()) return;
  std::string folder = WithSeparator(text);
  plat::FileStatus st;
  if (!IsFullFolderPath(folder) || !plat::GetFileStatus(StripTrailingSeparator(folder, true), st) ||
      !st.isDirectory)
    return;
  if (folder != text) {
    // Written back with its "\"; the change this makes loads the folder.
    SetItemText(IDC_RESTORE_SOURCE, folder);
    SendDlgItemMessageA(Handle(), IDC_RESTORE_SOURCE, EM_SETSEL, folder.size(), folder.size());
    return;
  }
  StartLoading(folder);
}

void CRestoreDlg::StartLoading(const std::string& folder) {
  // Nothing may read the table once it is emptied below.
  loader_.Stop();
  StopListing();

  const uint64_t load = ++load_;
  loading_ = true;
  loadStart_ = plat::TickCount();
  auto loaded = std::make_shared<Loaded>();
  HWND window = Handle();
  bool started = loader_.Start([this, window, load, loaded, folder](const StopFlag& stop) {
    plat::ProgressThrottle throttle;
    loaded->table.Load(folder, &loaded->tree, [&](int32_t done, int32_t total) {
      if (stop) return false;
      if (throttle.Due()) plat::PostUiTask(window, [this, load, done, total] { LoadProgress(load, done, total); });
      return true;
    });
    if (!stop) plat::PostUiTask(window, [this, load, loaded, folder] { TakeLoaded(load, loaded, folder); });
  });
  if (!started) loading_ = false;

  // What the window showed goes while the new folder is read: a large
  // one's lists, table and tree take a while to let go of.
  ClearLists();
  folderItem_ = -1;
  table_.Clear();
  tree_.Clear();
  times_.Reset();
  loadedFolder_.clear();
  ResetTree();
}

void CRestoreDlg::LoadProgress(uint64_t load, int32_t done, int32_t total) {
  if (load != load_ || !loading_) return;
  if (plat::TickCount() - loadStart_ >= kProgressDelayMs) ShowProgress(Percent(done, total));
}

void CRestoreDlg::TakeLoaded(uint64_t load, const std::shared_ptr<Loaded>& loaded, const std::string& folder) {
  if (load != load_ || !loading_) return;
  loader_.Stop();  // it has handed over its last result: this only joins it
  // A listing of the root may have started on the empty table meanwhile.
  StopListing();
  ClearLists();
  folderItem_ = -1;
  table_ = std::move(loaded->table);
  tree_ = std::move(loaded->tree);
  times_.Reset();
  loadedFolder_ = folder;
  loading_ = false;
  FillTree();
  ++loadsDone_;
  CloseProgressWhenIdle();
}

void CRestoreDlg::ResetTree() {
  fillingTree_ = true;
  SendMessageA(treeView_.Handle(), WM_SETREDRAW, FALSE, 0);
  treeView_.Clear();
  treeItems_.assign(1, treeView_.Add(nullptr, kRootText, 0, rootImage_));
  SendMessageA(treeView_.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(treeView_.Handle(), nullptr, TRUE);
  fillingTree_ = false;
}

void CRestoreDlg::FillTree() {
  fillingTree_ = true;
  SendMessageA(treeView_.Handle(), WM_SETREDRAW, FALSE, 0);
  treeView_.Clear();
  HTREEITEM root = treeView_.Add(nullptr, kRootText, 0, rootImage_);
  treeItems_.assign(static_cast<size_t>(tree_.Count()), nullptr);
  treeItems_[0] = root;
  // Each folder's subfolders by name, as the file list orders its files.
  std::vector<std::pair<int32_t, HTREEITEM>> todo{{0, root}};
  while (!todo.empty()) {
    auto [item, handle] = todo.back();
    todo.pop_back();
    std::vector<RestoreFileItem> children;
    for (int32_t child : tree_.At(item).children) children.push_back(RestoreFileItem{tree_.At(child).label, child});
    SortFileItems(children);
    for (const RestoreFileItem& child : children) {
      int image = tree_.At(child.entry).isDrive ? driveImage_ : folderImage_;
      HTREEITEM added = treeView_.Add(handle, child.text, child.entry, image);
      treeItems_[static_cast<size_t>(child.entry)] = added;
      if (added) todo.emplace_back(child.entry, added);
    }
  }
  treeView_.Expand(root);
  SendMessageA(treeView_.Handle(), WM_SETREDRAW, TRUE, 0);
  InvalidateRect(treeView_.Handle(), nullptr, TRUE);
  fillingTree_ = false;
}

// ---------------------------------------------------------------- listings

void CRestoreDlg::ClearLists() {
  // Each emptying redraws its control: an empty one is left alone.
  files_.clear();
  if (SendDlgItemMessageA(Handle(), IDC_RESTORE_FILES, LB_GETCOUNT, 0, 0) != 0)
    SendDlgItemMessageA(Handle(), IDC_RESTORE_FILES, LB_SETCOUNT, 0, 0);
  candidates_.Clear();
  if (ListView_GetItemCount(candidateList_.Handle()) != 0) candidateList_.SetRowCount(0);
}

void CRestoreDlg::StopListing() {
  filler_.Stop();
  ++listing_;  // whatever it posted before it stopped is dropped
  listingRuns_ = false;
}

void CRestoreDlg::FolderSelected(int32_t item) {
  if (item < 0 || item >= tree_.Count()) return;
  StopListing();
  ClearLists();
  folderItem_ = item;
  // "全体" offers no candidate until files are selected.
  if (item != 0) {
    candidates_.AddAllNewest();
    candidateList_.SetRowCount(candidates_.Count());
  }
  std::string folder = tree_.At(item).path;
  StartListing([this, folder](const StopFlag& stop, const ListingSink& sink) {
    ListFolder(table_, times_, folder, stop, sink);
  }, true);
  CloseProgressWhenIdle();
}

void CRestoreDlg::FilesSelected() {
  std::vector<int32_t> firstEntries = SelectedEntries();
  // What the folder's listing still had to find were its candidates: the
  // selected files' own replace them.
  StopListing();
  candidates_.Clear();
  candidateList_.SetRowCount(0);
  std::vector<int32_t> entries = EntriesOfFiles(table_, firstEntries, kMaxSelectedFiles);
  if (!entries.empty()) {
    // Of two saves in one slot only the first gives a candidate: without
    // "全ての最新ファイル" the newest copy of a file saved twice within five
    // minutes could not be chosen at all.
    candidates_.AddAllNewest();
    candidateList_.SetRowCount(candidates_.Count());
    StartListing([this, entries](const StopFlag& stop, const ListingSink& sink) {
      ListCandidates(table_, times_, entries, stop, sink);
    }, false);
  }
  CloseProgressWhenIdle();
}

void CRestoreDlg::StartListing(std::function<void(const StopFlag&, const ListingSink&)> listing, bool showProgress) {
  StopListing();
  const uint64_t id = listing_;
  listingRuns_ = true;
  listingProgress_ = showProgress;
  listingStart_ = plat::TickCount();
  HWND window = Handle();
  ListingSink sink = [this, window, id](ListingPiece&& piece) {
    auto shared = std::make_shared<ListingPiece>(std::move(piece));
    plat::PostUiTask(window, [this, id, shared] { TakePiece(id, *shared); });
  };
  if (!filler_.Start([listing = std::move(listing), sink](const StopFlag& stop) { listing(stop, sink); }))
    listingRuns_ = false;
}

void CRestoreDlg::TakePiece(uint64_t listing, ListingPiece& piece) {
  if (listing != listing_ || !listingRuns_) return;
  if (!piece.files.empty()) {
    // The files come sorted, in one piece.
    files_ = std::move(piece.files);
    SendDlgItemMessageA(Handle(), IDC_RESTORE_FILES, LB_SETCOUNT, files_.size(), 0);
  }
  if (!piece.candidates.empty()) AddCandidates(piece.candidates);
  if (piece.last) {
    listingRuns_ = false;
    CloseProgressWhenIdle();
  } else if (listingProgress_ && plat::TickCount() - listingStart_ >= kProgressDelayMs) {
    ShowProgress(Percent(piece.done, piece.total));
  }
}

bool CRestoreDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message != WM_DRAWITEM || wParam != IDC_RESTORE_FILES) return false;
  DrawFileLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  result = TRUE;
  return true;
}

void CRestoreDlg::DrawFileLine(const DRAWITEMSTRUCT& item) const {
  RECT r = item.rcItem;
  if (item.itemID < files_.size()) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const std::string& text = files_[item.itemID].text;
    RECT textRect = r;
    textRect.left += 2;
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &r);
}

void CRestoreDlg::AddCandidates(const std::vector<RestoreCandidate>& found) {
  // The selection stays on its candidate while others are sorted in.
  std::vector<int> selected = candidateList_.SelectedRows();
  int64_t selectedTime = 0;
  bool hadSelection = !selected.empty() && selected[0] < candidates_.Count();
  if (hadSelection) selectedTime = candidates_.At(selected[0]).time;
  if (candidates_.Add(found) == 0) return;
  candidateList_.SetRowCount(candidates_.Count());
  if (hadSelection) {
    candidateList_.SelectRow(-1, false);
    int32_t row = candidates_.RowOf(selectedTime);
    if (row >= 0) candidateList_.SelectRow(row);
  }
}

void CRestoreDlg::ShowProgress(int percent) { progress_.Show(Handle(), percent, kProgressText); }

void CRestoreDlg::CloseProgressWhenIdle() {
  if (!Busy()) progress_.Close();
}

std::vector<int32_t> CRestoreDlg::SelectedEntries() const {
  std::vector<int32_t> entries;
  for (int index : plat::ListBox(Item(IDC_RESTORE_FILES)).SelectedIndexes()) {
    if (index < 0 || static_cast<size_t>(index) >= files_.size()) continue;
    int32_t entry = files_[static_cast<size_t>(index)].entry;
    if (entry >= 0 && entry < table_.Count()) entries.push_back(entry);
  }
  return entries;
}

// ---------------------------------------------------------------- restoring

RestoreSelectionRequest CRestoreDlg::Request() const {
  RestoreSelectionRequest request;
  if (folderItem_ > 0) request.folder = tree_.At(folderItem_).path;
  for (int32_t entry : SelectedEntries()) request.files.emplace_back(table_.SourceOf(entry));
  std::vector<int> rows = candidateList_.SelectedRows();
  if (!rows.empty() && rows[0] < candidates_.Count()) {
    request.haveCandidate = true;
    request.candidateTime = static_cast<int32_t>(
        std::clamp<int64_t>(candidates_.At(rows[0]).time, INT32_MIN, INT32_MAX));
  }
  return request;
}

void CRestoreDlg::Restore(bool inPlace) {
  // While a folder loads there is nothing to choose from yet.
  if (loading_ || restoring_) return;
  RestoreSelectionRequest request = Request();
  restoring_ = true;
  CRestoreInteraction ui(Handle());
  RestoreContext ctx(table_, ui);
  ctx.timeZoneOffset = times_.TimeZoneOffset();
  ctx.showResult = [this, &ui](const RestoreCounts& counts) {
    ui.CloseProgress();
    CRestoreResultDlg result(counts);
    result.DoModal(Handle());
  };
  if (inPlace) {
    RestoreToOriginalPlaces(ctx, request, nullptr);
  } else {
    CRestoreFolderDlg folder(ReadSetting(kSettingsFile, kRestoreFolderKey));
    if (folder.DoModal(Handle()) == IDOK) RestoreToFolder(ctx, request, folder.Folder());
  }
  restoring_ = false;
}

}  // namespace quz
