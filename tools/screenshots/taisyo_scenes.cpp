// Pictures of the target window for scripts/screenshots: a few hundred
// targets with Japanese names sorted by name, with their icons, and the
// window again while a check shows its progress.
#include <cstdio>
#include <string>

#include "app/main_wnd.h"
#include "resources/resource.h"
#include "targets/taisyo_dlg.h"
#include "tools/screenshots/screenshot_studio.h"

namespace {

// Real files, so that sizes and icons are what the shell gives.
void AddSampleTargets(quz::CFileList& list, const std::string& root) {
  const char* folders[] = {"仕事", "写真", "家計簿", "メール"};
  const char* names[] = {"見積書", "議事録", "報告書", "請求書", "予定表", "旅行", "メモ", "連絡先"};
  const char* extensions[] = {".txt", ".docx", ".xlsx", ".jpg", ".pdf", ".csv"};
  plat::CreateFolder(root);
  const plat::Time32 now = plat::Now();
  list.AddLoaded(root, 0, quz::SaveType::Search, now - 600);
  int n = 0;
  for (const char* folder : folders) {
    std::string path = root + folder + "\\";
    plat::CreateFolder(path);
    list.AddLoaded(path, 0, quz::SaveType::Search, now - 600);
    for (int i = 0; i < 75; ++i, ++n) {
      char name[64];
      std::snprintf(name, sizeof name, "%s%03d%s", names[n % 8], i, extensions[n % 6]);
      plat::WriteWholeFile(path + name, std::string(static_cast<size_t>(n * 733 % 90000), 'x'));
      list.AddLoaded(path + name, 0, n % 9 == 0 ? quz::SaveType::Differential : quz::SaveType::Normal,
                     now - 60 * (n % 50));
    }
  }
}

}  // namespace

QUZ_SCREENSHOT_SCENE(targets, 60) {
  quz::CMainWnd& main = studio.MainWindow();
  auto* targets = dynamic_cast<quz::CTaisyoDlg*>(main.TargetWindow());
  if (!targets) return studio.Fail("targets: no target window");
  AddSampleTargets(main.FileList(), studio.ProgramFolder() + "書類\\");
  SendMessageA(main.Handle(), WM_COMMAND, ID_SHOW_TARGETS, 0);
  // A click on the name column's header.
  NMLISTVIEW click{};
  click.hdr = {targets->List(), IDC_TAISYO_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
  click.iItem = -1;
  click.iSubItem = 0;
  SendMessageA(targets->Handle(), WM_NOTIFY, IDC_TAISYO_LIST, reinterpret_cast<LPARAM>(&click));
  ListView_SetItemState(targets->List(), 3, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  studio.Pump(800);
  studio.Capture("targets", studio.Around(targets->Handle()));

  // A check at entry 120 of the catalogue.
  quz::RunState& state = main.State();
  state.progress = 120;
  studio.Pump(400);
  studio.Capture("targets_progress", studio.Around(targets->Handle()));
  state.progress = -1;
  studio.Pump(300);
  ShowWindow(targets->Handle(), SW_HIDE);
  studio.Pump(200);
}
