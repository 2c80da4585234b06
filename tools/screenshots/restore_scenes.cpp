// Pictures of the restore window over a small save folder (a tree of
// folders, a file list and its candidates, one file chosen) and of the
// dialogs a restore asks with.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resource.h"
#include "restore/restore_dlg.h"
#include "tools/screenshots/screenshot_studio.h"

namespace {

// A save folder with copies of a few documents saved on two days and a
// mailbox saved as fragments; returns its path.
std::string MakeSaveFolder(const std::string& programFolder) {
  const std::string root = programFolder + "restore-save\\";
  plat::CreateFolder(root);
  const int32_t tz = plat::TimeZoneOffset();
  const int64_t day = (plat::Now() - tz) / 86400 * 86400 - 86400;  // yesterday, local midnight
  struct Copy {
    const char* source;
    int dayOffset, minute;
  };
  const Copy copies[] = {
      {"C:\\Users\\taro\\Documents\\報告書\\月次報告.docx", 0, 9 * 60 + 12},
      {"C:\\Users\\taro\\Documents\\報告書\\月次報告.docx", 0, 17 * 60 + 45},
      {"C:\\Users\\taro\\Documents\\報告書\\月次報告.docx", 1, 10 * 60 + 3},
      {"C:\\Users\\taro\\Documents\\報告書\\予算案.xlsx", 0, 11 * 60 + 30},
      {"C:\\Users\\taro\\Documents\\報告書\\議事録 2026-12.txt", 1, 14 * 60 + 20},
      {"C:\\Users\\taro\\Documents\\写真\\旅行.jpg", 0, 20 * 60},
      {"D:\\作業\\設計書.pdf", 1, 8 * 60 + 50},
  };
  for (const Copy& c : copies) {
    plat::CalendarTime when = plat::BreakDownUtc(day + c.dayOffset * 86400);
    char name[32];
    std::snprintf(name, sizeof name, "%d-%d-%d\\", when.year, when.month, when.day);
    const std::string folder = root + name;
    plat::CreateFolder(folder);
    std::string source = c.source;
    std::string file = source.substr(source.rfind('\\') + 1);
    std::string saved = file;
    for (int n = 2; plat::GetAttributes(folder + saved) != plat::kInvalidAttributes; ++n) {
      size_t dot = file.rfind('.');
      saved = file.substr(0, dot) + "(" + std::to_string(n) + ")" + file.substr(dot);
    }
    plat::WriteWholeFile(folder + saved, std::string(1000 + c.minute, 'x'));
    plat::SetFileTime(folder + saved, static_cast<plat::Time32>(day + c.dayOffset * 86400 + c.minute * 60 + tz));
    std::string list;
    plat::ReadWholeFile(folder + "quzFileList.txt", list);
    plat::WriteWholeFile(folder + "quzFileList.txt", list + saved + "<" + source + "\r\n");
  }
  const std::string mail = root + "inbox.mbx\\";
  plat::CreateFolder(mail);
  plat::WriteWholeFile(mail + "quzFileList.txt", "<C:\\Users\\taro\\Mail\\inbox.mbx\r\n");
  for (int n = 0; n < 3; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%07d.dat", n);
    plat::WriteWholeFile(mail + name, std::string(4, '\0'));
    plat::SetFileTime(mail + name, static_cast<plat::Time32>(day + 86400 + (9 + 3 * n) * 3600 + tz));
  }
  return root;
}

bool Settle(quzshot::Studio& studio, const quz::CRestoreDlg& window) {
  for (int i = 0; i < 100 && (window.Busy() || window.LoadsDone() == 0); ++i) studio.Pump(50);
  return !window.Busy() && window.LoadsDone() > 0;
}

}  // namespace

QUZ_SCREENSHOT_SCENE(restore, 60) {
  quz::CRestoreDlg window(MakeSaveFolder(studio.ProgramFolder()));
  if (!window.CreateModeless(nullptr)) return studio.Fail("restore: the window was not created");
  ShowWindow(window.Handle(), SW_SHOW);
  if (!Settle(studio, window)) {
    window.Destroy();
    return studio.Fail("restore: the save folder did not load");
  }
  // The documents folder, open in the tree, with one file chosen.
  HWND tree = GetDlgItem(window.Handle(), IDC_RESTORE_TREE);
  HTREEITEM item = window.TreeItemOf("C:\\Users\\taro\\Documents\\報告書");
  if (!item) {
    window.Destroy();
    return studio.Fail("restore: the folder is not in the tree");
  }
  TreeView_EnsureVisible(tree, item);
  TreeView_Expand(tree, window.TreeItemOf("D:"), TVE_EXPAND);
  TreeView_SelectItem(tree, item);
  Settle(studio, window);
  HWND files = GetDlgItem(window.Handle(), IDC_RESTORE_FILES);
  SendMessageA(files, LB_SETSEL, TRUE, 1);
  SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(IDC_RESTORE_FILES, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(files));
  Settle(studio, window);
  HWND candidates = GetDlgItem(window.Handle(), IDC_RESTORE_CANDIDATES);
  ListView_SetItemState(candidates, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  SetFocus(tree);
  studio.Pump(300);
  studio.Capture("restore", studio.Around(window.Handle()));
  window.Destroy();
}

QUZ_SCREENSHOT_SCENE(restore_dialogs, 61) {
  quz::CRestoreFolderDlg folder("D:\\復元");
  studio.ShowAndCapture(folder, "restore-folder");

  plat::OverwriteQuestion question;
  question.path = "C:\\Users\\taro\\Documents\\報告書\\月次報告.docx";
  question.currentSize = 2'345'678;
  question.currentTime = plat::Now() - 3600;
  question.newSize = 1'536;
  question.newTime = plat::Now() - 86400;
  quz::COverwriteDlg overwrite(question);
  studio.ShowAndCapture(overwrite, "restore-overwrite");

  quz::CRestoreResultDlg result(quz::RestoreCounts{12, 1});
  studio.ShowAndCapture(result, "restore-result");
}
