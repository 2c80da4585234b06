#include "app/dialogs.h"
#include "engine/history.h"
#include "resources/resource.h"

namespace quz {

CRirekiDlg::CRirekiDlg(std::string historyFile)
    : plat::Dialog(IDD_RIREKI), historyFile_(std::move(historyFile)) {}

bool CRirekiDlg::OnInitDialog() {
  list_.Attach(*this, IDC_HISTORY_LIST);
  list_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  plat::ListColumn columns[kHistoryColumns];
  for (int column = 0; column < kHistoryColumns; ++column)
    columns[column] = {kHistoryHeaders[column], column == 2 || column == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT};
  list_.SetColumns(columns);
  // An unreadable file leaves the list empty.
  rows_ = LoadHistoryRows(historyFile_);
  list_.SetCellText([this](int row, int column) {
    return row < RowCount() ? HistoryCell(ParseHistoryLine(rows_[row]), column) : std::string();
  });
  list_.SetRowCount(RowCount());
  return true;
}

}  // namespace quz
