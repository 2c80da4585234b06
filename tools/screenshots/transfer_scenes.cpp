// Pictures of the export window (packed and split, as before a floppy-disk
// export), its split-size window and the import window listing a medium.
#include <functional>
#include <string>
#include <vector>

#include "app/paths.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "resources/resource.h"
#include "tools/screenshots/screenshot_studio.h"
#include "transfer/kakidashi_dlg.h"
#include "transfer/kumikomi_dlg.h"

namespace {

// A folder below the program folder with a few files.
std::string SampleFolder(quzshot::Studio& studio, const std::string& name, const std::vector<std::string>& files) {
  std::string folder = studio.ProgramFolder() + name;
  plat::CreateFolder(folder);
  for (const std::string& file : files) plat::WriteWholeFile(folder + "\\" + file, "x");
  return folder;
}

// Shows `dialog` modeless, lets `arrange` set its controls, saves it.
void Capture(quzshot::Studio& studio, plat::Dialog& dialog, const std::string& name,
             const std::function<void(HWND)>& arrange) {
  if (!dialog.CreateModeless(nullptr)) return studio.Fail(name + ": the window was not created");
  arrange(dialog.Handle());
  ShowWindow(dialog.Handle(), SW_SHOW);
  SetForegroundWindow(dialog.Handle());
  studio.Pump(600);
  studio.Capture(name, studio.Around(dialog.Handle()));
  dialog.Destroy();
  studio.Pump(200);
}

}  // namespace

QUZ_SCREENSHOT_SCENE(export_window, 500) {
  const std::string ini = quz::kSettingsFile;
  quz::WriteSetting(ini, "E:\\バックアップ表", "書き出し先フォルダ");
  quz::WriteSetting(ini, "C:\\TEMP\\quz作業", "作業フォルダ");
  quz::WriteSetting(ini, std::to_string(plat::Now() - 3 * 86400), "最終書き出し日時");
  quz::transfer::CKakidashiDlg window(quz::SettledSaveFolder());
  // The boxes as after a click on each (the archiver's presence test is
  // left out: the picture needs no library).
  Capture(studio, window, "export", [](HWND w) {
    CheckDlgButton(w, IDC_EXPORT_PACK, BST_CHECKED);
    CheckDlgButton(w, IDC_EXPORT_SPLIT, BST_CHECKED);
    for (int id : {IDC_EXPORT_WORK_FOLDER, IDC_EXPORT_SPLIT, IDC_EXPORT_DETAILS}) EnableWindow(GetDlgItem(w, id), TRUE);
  });
}

QUZ_SCREENSHOT_SCENE(split_size_window, 510) {
  quz::transfer::CBunkatsuDlg window(1, 1.44);
  Capture(studio, window, "split_size", [](HWND w) { SendDlgItemMessageA(w, IDC_SPLIT_REFERENCE, CB_SETCURSEL, 0, 0); });
}

QUZ_SCREENSHOT_SCENE(import_window, 520) {
  std::string media = SampleFolder(studio, "メディア表",
                                   {"2612071030.lzh", "b001_2612081915.lzh", "b002_2612081915.lzh", "e003_2612081915.lzh"});
  plat::CreateFolder(media + "\\2612011200");
  quz::WriteSetting(quz::kSettingsFile, media, "書き出し先フォルダ");
  quz::transfer::CKumikomiDlg window(quz::SettledSaveFolder());
  Capture(studio, window, "import", [](HWND) {});
}
