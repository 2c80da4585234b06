#include "transfer/kakidashi_dlg.h"

#include <cstdio>

#include "app/error_log.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "resources/resource.h"
#include "transfer/archiver.h"
#include "transfer/transfer_ui.h"

namespace quz::transfer {

namespace {

const char kHelpPage[] = "help\\kakidashi.htm";
// Without a destination the export folder would be made relative to
// whatever folder the program happens to run in.
const char kNoDestinationText[] = "書き出し先フォルダを指定してください";
const char kNoWorkFolderText[] = "作業フォルダを指定してください";
// After the result of an export that did not get through: the result's
// wording alone would read as a success.
const char kNotCompleteText[] =
    "\r\n\r\n書き出しは最後まで終わりませんでした。\r\n"
    "最終書き出し日時は変わらないので、次回も同じファイルが書き出されます";
// How many files and folders could not be read or copied; each of them is
// in the error log with its reason.
const char kNotExportedCountFormat[] = "\r\n書き出せなかったファイルとフォルダが%d個あります（%sに記録しました）";

}  // namespace

// ---- the split-size window

CBunkatsuDlg::CBunkatsuDlg(int splitMode, double pieceSize)
    : plat::Dialog(IDD_BUNKATSU), splitMode_(splitMode), pieceSize_(pieceSize) {}

bool CBunkatsuDlg::OnInitDialog() {
  CheckRadioButton(Handle(), IDC_SPLIT_UNTIL_FULL, IDC_SPLIT_FIXED,
                   splitMode_ == kSplitUntilFull ? IDC_SPLIT_UNTIL_FULL : IDC_SPLIT_FIXED);
  plat::ComboBox reference(Item(IDC_SPLIT_REFERENCE));
  for (const ReferenceSize& r : kReferenceSizes) reference.Add(r.line);
  SetItemText(IDC_SPLIT_SIZE, PieceSizeText(pieceSize_));
  return true;
}

bool CBunkatsuDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_SPLIT_SIZE:
      if (code == EN_CHANGE) pieceSize_ = PieceSizeFromText(ItemText(IDC_SPLIT_SIZE));
      return true;
    case IDC_SPLIT_REFERENCE:
      if (code == CBN_SELCHANGE) {
        int picked = plat::ComboBox(Item(IDC_SPLIT_REFERENCE)).Selection();
        if (picked >= 0 && picked < static_cast<int>(std::size(kReferenceSizes))) {
          pieceSize_ = kReferenceSizes[picked].size;
          SetItemText(IDC_SPLIT_SIZE, PieceSizeText(pieceSize_));
        }
      }
      return true;
    case IDOK:
      splitMode_ = IsChecked(IDC_SPLIT_FIXED) ? kSplitFixedSize : kSplitUntilFull;
      End(IDOK);
      return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

// ---- the export window

CKakidashiDlg::CKakidashiDlg(std::string saveFolder, std::string settingsFile)
    : plat::Dialog(IDD_KAKIDASHI), saveFolder_(std::move(saveFolder)), settingsFile_(std::move(settingsFile)) {}

bool CKakidashiDlg::OnInitDialog() {
  settings_ = LoadExportSettings(settingsFile_);
  plat::AcceptDroppedPath(Item(IDC_EXPORT_DESTINATION));
  plat::AcceptDroppedPath(Item(IDC_EXPORT_WORK_FOLDER));
  SetItemText(IDC_EXPORT_DESTINATION, settings_.destination);
  SetItemText(IDC_EXPORT_WORK_FOLDER, settings_.workFolder);
  ShowLastExportTime();
  filled_ = true;
  return true;
}

void CKakidashiDlg::ShowLastExportTime() {
  SetItemText(IDC_EXPORT_LAST_TIME, LastExportTimeText(settings_.lastExportTime));
}

bool CKakidashiDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_EXPORT_DESTINATION:
    case IDC_EXPORT_WORK_FOLDER:
      // Typed, dropped or browsed: the settings hold the field's text as it
      // stands, byte for byte.
      if (code == EN_CHANGE && filled_)
        WriteSetting(settingsFile_, ItemText(id), id == IDC_EXPORT_DESTINATION ? kDestinationKey : kWorkFolderKey);
      return true;
    case IDC_EXPORT_BROWSE_DESTINATION:
      Browse(IDC_EXPORT_DESTINATION);
      return true;
    case IDC_EXPORT_BROWSE_WORK:
      Browse(IDC_EXPORT_WORK_FOLDER);
      return true;
    case IDC_EXPORT_RESET:
      settings_.lastExportTime = 0;
      ShowLastExportTime();
      ResetLastExportTime(settingsFile_);
      return true;
    case IDC_EXPORT_PACK:
      OnPackClicked();
      return true;
    case IDC_EXPORT_SPLIT:
      EnableItem(IDC_EXPORT_DETAILS, IsChecked(IDC_EXPORT_SPLIT));
      return true;
    case IDC_EXPORT_DETAILS:
      OnDetails();
      return true;
    case IDC_EXPORT_START:
      OnStart();
      return true;
    case IDC_EXPORT_HELP:
      plat::OpenHelpPage(kHelpPage);
      return true;
  }
  // "閉じる" is the cancel button.
  return plat::Dialog::OnCommand(id, code, control);
}

void CKakidashiDlg::Browse(int field) {
  std::string chosen;
  if (plat::BrowseFolder(Handle(), chosen)) SetItemText(field, chosen);
}

void CKakidashiDlg::OnPackClicked() {
  if (IsChecked(IDC_EXPORT_PACK)) {
    // Without the archiver the box stays checked and nothing else changes;
    // the export then tells the same again.
    plat::WindowInteraction ui(Handle());
    if (!ArchiverPresent(ui)) return;
    EnableItem(IDC_EXPORT_WORK_FOLDER, true);
    EnableItem(IDC_EXPORT_SPLIT, true);
  } else {
    EnableItem(IDC_EXPORT_WORK_FOLDER, false);
    EnableItem(IDC_EXPORT_SPLIT, false);
  }
}

void CKakidashiDlg::OnDetails() {
  CBunkatsuDlg details(settings_.splitMode, settings_.pieceSize);
  if (details.DoModal(Handle()) != IDOK) return;
  settings_.splitMode = details.SplitMode();
  settings_.pieceSize = details.PieceSize();
  SaveSplitSettings(settingsFile_, settings_.splitMode, settings_.pieceSize);
}

void CKakidashiDlg::OnStart() {
  const bool pack = IsChecked(IDC_EXPORT_PACK);
  std::string destination = ItemText(IDC_EXPORT_DESTINATION);
  std::string work = ItemText(IDC_EXPORT_WORK_FOLDER);
  if (destination.empty() || (pack && work.empty())) {
    plat::ShowMessage(Handle(), destination.empty() ? kNoDestinationText : kNoWorkFolderText, "quz",
                      plat::kButtonsOk | plat::kIconWarning);
    return;
  }
  // The fields show the folders as the export uses them, with their "\".
  if (WithSeparator(destination) != destination) SetItemText(IDC_EXPORT_DESTINATION, WithSeparator(destination));
  if (WithSeparator(work) != work) SetItemText(IDC_EXPORT_WORK_FOLDER, WithSeparator(work));

  CTransferUi ui(Handle());
  ExportContext ctx;
  ctx.saveFolder = saveFolder_;
  ctx.destination = destination;
  ctx.workFolder = work;
  ctx.pack = pack;
  ctx.splitEnabled = IsChecked(IDC_EXPORT_SPLIT);
  ctx.splitMode = settings_.splitMode;
  ctx.pieceSize = settings_.pieceSize;
  ctx.lastExportTime = settings_.lastExportTime;
  ctx.settingsFile = settingsFile_;
  ctx.ui = &ui;
  ctx.window = &ui;
  int notExported = 0;
  ctx.reportFailure = [&notExported](const std::string& path, const std::string& reason) {
    ++notExported;
    AppendErrorLog(path, reason);
  };
  result_ = RunExport(ctx);
  ui.CloseProgress();
  if (result_.ok) {
    settings_.lastExportTime = ctx.lastExportTime;
    ShowLastExportTime();
  }
  if (result_.ok) {
    plat::ShowMessage(Handle(), result_.text, kExportResultTitle, plat::kButtonsOk | plat::kIconInformation);
    return;
  }
  std::string text = result_.text + kNotCompleteText;
  if (notExported > 0) {
    char count[256];
    std::snprintf(count, sizeof count, kNotExportedCountFormat, notExported, kErrorLogName);
    text += count;
  }
  plat::ShowMessage(Handle(), text, kExportResultTitle, plat::kButtonsOk | plat::kIconWarning);
}

}  // namespace quz::transfer
