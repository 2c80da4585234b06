// Pictures of the resident program's own windows: the first-run setup, the
// tray icon and its command menu, the history, version and progress
// windows.
#include "app/dialogs.h"
#include "app/paths.h"
#include "tools/screenshots/screenshot_studio.h"

QUZ_SCREENSHOT_SCENE(setup, 10) {
  quz::CSetupDlg setup;
  setup.saveFolder = "C:\\QUZ_BACKUP";
  studio.ShowAndCapture(setup, "setup");
}

QUZ_SCREENSHOT_SCENE(tray, 20) {
  studio.MainWindow();
  studio.Pump(1500);
  // The taskbar with the tray icon, idle.
  studio.Capture("tray", studio.WholeScreen());
  studio.CaptureCommandMenu("menu");
}

QUZ_SCREENSHOT_SCENE(history, 30) {
  quz::CRirekiDlg history(quz::ExePath("Rireki.txt"));
  studio.ShowAndCapture(history, "history");
}

QUZ_SCREENSHOT_SCENE(version, 40) {
  quz::CVersionDlg version;
  studio.ShowAndCapture(version, "version");
}

QUZ_SCREENSHOT_SCENE(progress, 50) {
  quz::CProgressDlg progress;
  if (!progress.Open(nullptr)) return studio.Fail("progress: the window was not created");
  studio.Pump(300);
  progress.SetProgress(40, "処理中(2/5)");
  studio.Pump(300);
  studio.Capture("progress", studio.Around(progress.Handle()));
  progress.Destroy();
}
