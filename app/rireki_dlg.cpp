#include "app/dialogs.h"

#include <commctrl.h>

#include "engine/history.h"
#include "resources/resource.h"

namespace quz {

CRirekiDlg::CRirekiDlg(std::string historyFile)
    : plat::Dialog(IDD_RIREKI), historyFile_(std::move(historyFile)) {}

bool CRirekiDlg::OnInitDialog() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  HWND place = Item(IDC_HISTORY_PLACE);
  RECT area{};
  GetWindowRect(place, &area);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&area), 2);
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                          area.left + 10, area.top + 10, area.right - area.left, area.bottom - area.top,
                          Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)),
                          plat::ResourceInstance(), nullptr);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
  for (int column = 0; column < kHistoryColumns; ++column) {
    LVCOLUMNA header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    header.fmt = column == 2 || column == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    header.pszText = const_cast<char*>(kHistoryHeaders[column]);
    header.cx = static_cast<int>(SendMessageA(list_, LVM_GETSTRINGWIDTHA, 0,
                                              reinterpret_cast<LPARAM>(kHistoryHeaders[column]))) + 15;
    header.iSubItem = column;
    SendMessageA(list_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
  }
  // An unreadable file leaves the list empty.
  rows_ = LoadHistoryRows(historyFile_);
  ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), LVSICF_NOINVALIDATEALL);
  return true;
}

bool CRirekiDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message != WM_NOTIFY) return false;
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header->hwndFrom != list_) return false;
  if (header->code == LVN_GETDISPINFOA) {
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
    if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < RowCount() && item.cchTextMax > 0) {
      std::string cell = HistoryCell(ParseHistoryLine(rows_[item.iItem]), item.iSubItem);
      lstrcpynA(item.pszText, cell.c_str(), item.cchTextMax);
    }
    result = 0;
    return true;
  }
  if (header->code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
    if ((item.mask & LVIF_TEXT) && item.iItem >= 0 && item.iItem < RowCount() && item.cchTextMax > 0) {
      std::string cell = HistoryCell(ParseHistoryLine(rows_[item.iItem]), item.iSubItem);
      int n = MultiByteToWideChar(CP_ACP, 0, cell.c_str(), -1, item.pszText, item.cchTextMax);
      if (n == 0) item.pszText[0] = 0;
      item.pszText[item.cchTextMax - 1] = 0;
    }
    result = 0;
    return true;
  }
  return false;
}

}  // namespace quz
