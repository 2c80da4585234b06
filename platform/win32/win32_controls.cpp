#include <algorithm>

#include "platform/cp932.h"
#include "platform/window.h"

namespace plat {

namespace {
// Texts are code page 932 whatever the system's code page.
constexpr UINT kTextCodePage = 932;

// Copies `text` into a buffer of `size` bytes, cut at a character boundary.
void CopyCut(const std::string& text, char* buffer, int size) {
  if (size <= 0) return;
  size_t n = CutLength(text, static_cast<size_t>(size) - 1);
  text.copy(buffer, n);
  buffer[n] = '\0';
}

void CopyCut(const std::string& text, wchar_t* buffer, int size) {
  if (size <= 0) return;
  int n = MultiByteToWideChar(kTextCodePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kTextCodePage, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), n);
  size_t keep = std::min(wide.size(), static_cast<size_t>(size) - 1);
  wide.copy(buffer, keep);
  buffer[keep] = L'\0';
}

}  // namespace

// ---- controls

Control::~Control() { Detach(); }

void Control::Detach() {
  if (owner_) {
    auto& list = owner_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  owner_ = nullptr;
  hwnd_ = nullptr;
}

bool Control::Attach(WindowBase& owner, int id) {
  Detach();
  hwnd_ = GetDlgItem(owner.Handle(), id);
  if (!hwnd_) return false;
  owner_ = &owner;
  owner.controls_.push_back(this);
  return true;
}

// ---- list views

void ListView::SetColumns(std::span<const ListColumn> columns) {
  HWND header = ListView_GetHeader(Handle());
  int at = header ? Header_GetItemCount(header) : 0;
  for (const ListColumn& column : columns) {
    LVCOLUMNA item{};
    item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    item.fmt = column.format;
    item.pszText = const_cast<char*>(column.header);
    item.cx = column.width != ListColumn::kHeaderWidth
                  ? column.width
                  : static_cast<int>(SendMessageA(Handle(), LVM_GETSTRINGWIDTHA, 0,
                                                  reinterpret_cast<LPARAM>(column.header))) + 15;
    item.iSubItem = at;
    SendMessageA(Handle(), LVM_INSERTCOLUMNA, at, reinterpret_cast<LPARAM>(&item));
    ++at;
  }
}

void ListView::SetExtendedStyle(DWORD style) { ListView_SetExtendedListViewStyle(Handle(), style); }

void ListView::SetImageList(HIMAGELIST images, int which) {
  // The list would destroy an image list it does not share; the caller
  // owns it.
  SetWindowLongPtrA(Handle(), GWL_STYLE, GetWindowLongPtrA(Handle(), GWL_STYLE) | LVS_SHAREIMAGELISTS);
  ListView_SetImageList(Handle(), images, which);
}

void ListView::SetRowCount(int rows) {
  ListView_SetItemCountEx(Handle(), rows, LVSICF_NOSCROLL);
  InvalidateRect(Handle(), nullptr, FALSE);
}

void ListView::RedrawRows(int first, int last) { ListView_RedrawItems(Handle(), first, last); }

int ListView::AddItem(const std::string& text, LPARAM data) {
  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = RowCount();
  item.pszText = const_cast<char*>(text.c_str());
  item.lParam = data;
  return static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

LPARAM ListView::ItemData(int row) const {
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
  return item.lParam;
}

void ListView::Clear() { ListView_DeleteAllItems(Handle()); }

int ListView::RowCount() const { return ListView_GetItemCount(Handle()); }

int ListView::FocusedRow() const { return ListView_GetNextItem(Handle(), -1, LVNI_FOCUSED); }

std::vector<int> ListView::SelectedRows() const {
  std::vector<int> rows;
  for (int row = ListView_GetNextItem(Handle(), -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(Handle(), row, LVNI_SELECTED))
    rows.push_back(row);
  return rows;
}

void ListView::SelectRow(int row, bool selected) {
  UINT state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  ListView_SetItemState(Handle(), row, state, LVIS_SELECTED | LVIS_FOCUSED);
}

std::string ListView::ShownText(int row, int column) const {
  char text[1024] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(Handle(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

bool ListView::OnNotify(NMHDR& header, LRESULT& result) {
  // The list asks in ANSI or wide characters, as its owner's window
  // answered WM_NOTIFYFORMAT; both are answered from the same cells.
  auto answer = [this](auto& item) {
    if (item.iItem < 0) return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
      CopyCut(cellText_ ? cellText_(item.iItem, item.iSubItem) : std::string(), item.pszText, item.cchTextMax);
    if ((item.mask & LVIF_IMAGE) && rowImage_ && item.iSubItem == 0) item.iImage = rowImage_(item.iItem);
  };
  switch (header.code) {
    case LVN_GETDISPINFOA:
      answer(reinterpret_cast<NMLVDISPINFOA&>(header).item);
      result = 0;
      return true;
    case LVN_GETDISPINFOW:
      answer(reinterpret_cast<NMLVDISPINFOW&>(header).item);
      result = 0;
      return true;
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
      // Typing a row's first letters finds nothing in a virtual list.
      result = -1;
      return true;
  }
  return false;
}

// ---- tree views

void TreeView::SetImageList(HIMAGELIST images) { TreeView_SetImageList(Handle(), images, TVSIL_NORMAL); }

HTREEITEM TreeView::Add(HTREEITEM parent, const std::string& text, LPARAM data, int image, int selectedImage) {
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.lParam = data;
  if (image >= 0) {
    insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage >= 0 ? selectedImage : image;
  }
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TreeView::Clear() { TreeView_DeleteAllItems(Handle()); }

void TreeView::Expand(HTREEITEM item) { TreeView_Expand(Handle(), item, TVE_EXPAND); }

bool TreeView::Select(HTREEITEM item) { return TreeView_SelectItem(Handle(), item) != FALSE; }

HTREEITEM TreeView::Selected() const { return TreeView_GetSelection(Handle()); }

HTREEITEM TreeView::Root() const { return TreeView_GetRoot(Handle()); }

HTREEITEM TreeView::FirstChild(HTREEITEM item) const { return TreeView_GetChild(Handle(), item); }

HTREEITEM TreeView::NextSibling(HTREEITEM item) const { return TreeView_GetNextSibling(Handle(), item); }

int TreeView::Count() const { return static_cast<int>(TreeView_GetCount(Handle())); }

std::string TreeView::Text(HTREEITEM item) const {
  char text[1024] = {};
  TVITEMA info{};
  info.mask = TVIF_TEXT;
  info.hItem = item;
  info.pszText = text;
  info.cchTextMax = sizeof text;
  if (!SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info))) return std::string();
  return text;
}

LPARAM TreeView::Data(HTREEITEM item) const {
  TVITEMA info{};
  info.mask = TVIF_PARAM;
  info.hItem = item;
  if (!SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info))) return 0;
  return info.lParam;
}

bool TreeView::IsExpanded(HTREEITEM item) const {
  return (TreeView_GetItemState(Handle(), item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool TreeView::OnNotify(NMHDR& header, LRESULT& result) {
  if (header.code != TVN_SELCHANGEDA && header.code != TVN_SELCHANGEDW) return false;
  // The new item's handle and number lie at the same places in both forms.
  auto& change = reinterpret_cast<NMTREEVIEWA&>(header);
  if (onSelect_) onSelect_(change.itemNew.hItem, Data(change.itemNew.hItem));
  result = 0;
  return false;  // the owner may want to hear it too
}

// ---- list boxes and combo boxes

namespace {
const ItemControl::Messages kListBoxMessages = {LB_ADDSTRING,    LB_DELETESTRING, LB_RESETCONTENT, LB_GETCOUNT,
                                                LB_GETTEXTLEN,   LB_GETTEXT,      LB_GETITEMDATA,  LB_SETITEMDATA,
                                                LB_GETCURSEL,    LB_SETCURSEL};
const ItemControl::Messages kComboBoxMessages = {CB_ADDSTRING,    CB_DELETESTRING, CB_RESETCONTENT, CB_GETCOUNT,
                                                 CB_GETLBTEXTLEN, CB_GETLBTEXT,    CB_GETITEMDATA,  CB_SETITEMDATA,
                                                 CB_GETCURSEL,    CB_SETCURSEL};
}  // namespace

int ItemControl::Add(const std::string& text, LPARAM data) {
  LRESULT index = SendMessageA(hwnd_, messages_.add, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index < 0) return -1;
  SendMessageA(hwnd_, messages_.setData, static_cast<WPARAM>(index), data);
  return static_cast<int>(index);
}

void ItemControl::Remove(int index) { SendMessageA(hwnd_, messages_.remove, static_cast<WPARAM>(index), 0); }

void ItemControl::Clear() { SendMessageA(hwnd_, messages_.reset, 0, 0); }

int ItemControl::Count() const { return static_cast<int>(SendMessageA(hwnd_, messages_.count, 0, 0)); }

std::string ItemControl::Text(int index) const {
  LRESULT length = SendMessageA(hwnd_, messages_.textLength, static_cast<WPARAM>(index), 0);
  if (length < 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LRESULT got =
      SendMessageA(hwnd_, messages_.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got < 0 ? 0 : std::min(static_cast<size_t>(got), static_cast<size_t>(length)));
  return text;
}

LPARAM ItemControl::Data(int index) const {
  return SendMessageA(hwnd_, messages_.getData, static_cast<WPARAM>(index), 0);
}

int ItemControl::Selection() const { return static_cast<int>(SendMessageA(hwnd_, messages_.getSelection, 0, 0)); }

void ItemControl::Select(int index) { SendMessageA(hwnd_, messages_.setSelection, static_cast<WPARAM>(index), 0); }

bool ItemControl::SelectText(const std::string& text) {
  for (int i = 0; i < Count(); ++i)
    if (Text(i) == text) {
      Select(i);
      return true;
    }
  return false;
}

ListBox::ListBox(HWND hwnd) : ItemControl(hwnd, kListBoxMessages) {}

std::vector<int> ListBox::SelectedIndexes() const {
  LRESULT count = SendMessageA(Handle(), LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> indexes(static_cast<size_t>(count));
  LRESULT got =
      SendMessageA(Handle(), LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(indexes.data()));
  indexes.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return indexes;
}

void ListBox::SetHorizontalExtent(int pixels) {
  SendMessageA(Handle(), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
}

ComboBox::ComboBox(HWND hwnd) : ItemControl(hwnd, kComboBoxMessages) {}

// ---- scroll bars and spin buttons

void ScrollBar::SetRange(int min, int max) { SetScrollRange(hwnd_, SB_CTL, min, max, TRUE); }

void ScrollBar::SetPosition(int position) { SetScrollPos(hwnd_, SB_CTL, position, TRUE); }

int ScrollBar::Position() const { return GetScrollPos(hwnd_, SB_CTL); }

int ScrollBar::Requested(WPARAM wParam) const {
  int min = 0, max = 0;
  GetScrollRange(hwnd_, SB_CTL, &min, &max);
  int position = Position();
  switch (LOWORD(wParam)) {
    case SB_LINELEFT:
    case SB_PAGELEFT:
      --position;
      break;
    case SB_LINERIGHT:
    case SB_PAGERIGHT:
      ++position;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      position = static_cast<short>(HIWORD(wParam));
      break;
    case SB_LEFT:
      position = min;
      break;
    case SB_RIGHT:
      position = max;
      break;
  }
  return std::clamp(position, min, max);
}

void SpinButton::SetRange(int min, int max) { SendMessageA(hwnd_, UDM_SETRANGE32, min, max); }

void SpinButton::SetPosition(int position) { SendMessageA(hwnd_, UDM_SETPOS32, 0, position); }

int SpinButton::Position() const { return static_cast<int>(SendMessageA(hwnd_, UDM_GETPOS32, 0, 0)); }

// ---- icons and image lists

UniqueIcon LoadProgramIcon(int id, int size) {
  if (size == 0) size = GetSystemMetrics(SM_CXSMICON);
  return UniqueIcon(static_cast<HICON>(
      LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
}

ImageList::~ImageList() {
  if (list_) ImageList_Destroy(list_);
}

bool ImageList::Create(int grow) {
  if (list_) ImageList_Destroy(list_);
  list_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, grow);
  return list_ != nullptr;
}

int ImageList::AddIcon(HICON icon) { return list_ && icon ? ImageList_AddIcon(list_, icon) : -1; }

int ImageList::AddProgramIcon(int id) {
  UniqueIcon icon = LoadProgramIcon(id, 16);
  return AddIcon(icon.Get());
}

int ImageList::Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

}  // namespace plat
