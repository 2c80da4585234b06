// The dialogs a restore asks with: the other folder, the overwrite question
// and the result, and the interaction that shows them.
#include <climits>

#include "app/text.h"
#include "resources/resource.h"
#include "restore/restore_dlg.h"

namespace quz {

namespace {

const char kNotAFullPath[] = "復元先のフォルダを、ドライブ名から始まる完全なパスで入力してください";

// The shell's icon for a file or a folder of that name; its kind is enough,
// so the disk is not asked.
plat::UniqueIcon TypeIcon(const std::string& path, bool folder) {
  SHFILEINFOA info{};
  DWORD attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (!SHGetFileInfoA(path.c_str(), attributes, &info, sizeof info, SHGFI_ICON | SHGFI_USEFILEATTRIBUTES))
    return plat::UniqueIcon();
  return plat::UniqueIcon(info.hIcon);
}

std::string Trimmed(std::string text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

// ---------------------------------------------------------------- folder

CRestoreFolderDlg::CRestoreFolderDlg(std::string folder) : plat::Dialog(IDD_RESTORE_FOLDER), folder_(std::move(folder)) {}

bool CRestoreFolderDlg::OnInitDialog() {
  SetItemText(IDC_RESTORE_DESTINATION, folder_);
  plat::AcceptDroppedPath(Item(IDC_RESTORE_DESTINATION));
  return true;
}

bool CRestoreFolderDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_RESTORE_BROWSE && code == BN_CLICKED) {
    std::string folder = ItemText(IDC_RESTORE_DESTINATION);
    if (plat::BrowseFolder(Handle(), folder)) SetItemText(IDC_RESTORE_DESTINATION, folder);
    return true;
  }
  if (id == IDOK) {
    // An empty folder would mean the places the files came from, and a
    // relative one the program's current folder: neither is "elsewhere".
    std::string folder = Trimmed(ItemText(IDC_RESTORE_DESTINATION));
    if (!IsFullFolderPath(folder)) {
      plat::ShowMessage(Handle(), kNotAFullPath, "quz", plat::kButtonsOk | plat::kIconWarning);
      return true;
    }
    folder_ = folder;
    End(IDOK);
    return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

// ---------------------------------------------------------------- overwrite

COverwriteDlg::COverwriteDlg(plat::OverwriteQuestion question)
    : plat::Dialog(IDD_OVERWRITE), question_(std::move(question)) {}

plat::OverwriteAnswer COverwriteDlg::AnswerOf(INT_PTR result) {
  if (result == IDYES) return plat::OverwriteAnswer::Yes;
  if (result == IDC_OVERWRITE_ALL) return plat::OverwriteAnswer::All;
  return plat::OverwriteAnswer::No;
}

bool COverwriteDlg::OnInitDialog() {
  const std::string& path = question_.path;
  SetItemText(IDC_OVERWRITE_FOLDER, FolderOf(path));
  SetItemText(IDC_OVERWRITE_NAME, FileNameOf(path));
  SetItemText(IDC_OVERWRITE_CURRENT_SIZE, OverwriteSizeText(question_.currentSize, false));
  SetItemText(IDC_OVERWRITE_CURRENT_TIME, OverwriteTimeText(question_.currentTime, false));
  SetItemText(IDC_OVERWRITE_NEW_SIZE, OverwriteSizeText(question_.newSize, question_.newUnknown));
  SetItemText(IDC_OVERWRITE_NEW_TIME, OverwriteTimeText(question_.newTime, question_.newUnknown));
  // A copy has the name's kind; a file rebuilt from fragments comes from a
  // folder.
  currentIcon_ = TypeIcon(path, false);
  newIcon_ = TypeIcon(question_.newUnknown ? FolderOf(path) : path, question_.newUnknown);
  SendDlgItemMessageA(Handle(), IDC_OVERWRITE_CURRENT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(currentIcon_.Get()), 0);
  SendDlgItemMessageA(Handle(), IDC_OVERWRITE_NEW_ICON, STM_SETICON, reinterpret_cast<WPARAM>(newIcon_.Get()), 0);
  return true;
}

bool COverwriteDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDYES || id == IDNO || id == IDC_OVERWRITE_ALL) {
    End(id);
    return true;
  }
  // Closing the dialog answers "いいえ".
  if (id == IDCANCEL) {
    End(IDNO);
    return true;
  }
  return plat::Dialog::OnCommand(id, code, control);
}

// ---------------------------------------------------------------- result

CRestoreResultDlg::CRestoreResultDlg(RestoreCounts counts) : plat::Dialog(IDD_RESTORE_RESULT), counts_(counts) {}

bool CRestoreResultDlg::OnInitDialog() {
  std::vector<std::string> lines = RestoreResultLines(counts_);
  SetItemText(IDC_RESULT_RESTORED, lines[0]);
  SetItemText(IDC_RESULT_FAILED, lines[1]);
  return true;
}

// ---------------------------------------------------------------- interaction

namespace {
// The progress window stands above every window: it steps aside while a
// question is asked, so that it covers no part of it.
class ProgressAside {
 public:
  explicit ProgressAside(ProgressOnDemand& progress) : progress_(progress) { progress_.SetVisible(false); }
  ~ProgressAside() { progress_.SetVisible(true); }
  ProgressAside(const ProgressAside&) = delete;
  ProgressAside& operator=(const ProgressAside&) = delete;

 private:
  ProgressOnDemand& progress_;
};
}  // namespace

int CRestoreInteraction::Message(const std::string& text, const std::string& caption, unsigned style) {
  ProgressAside aside(progress_);
  return plat::ShowMessage(owner_, text, caption, style);
}

plat::OverwriteAnswer CRestoreInteraction::AskOverwrite(const plat::OverwriteQuestion& question) {
  ProgressAside aside(progress_);
  COverwriteDlg dialog(question);
  return COverwriteDlg::AnswerOf(dialog.DoModal(owner_));
}

void CRestoreInteraction::Progress(int percent, const std::string& caption) { progress_.Show(owner_, percent, caption); }

void CRestoreInteraction::CloseProgress() { progress_.Close(); }

}  // namespace quz
