// quz.exe: the resident backup program.
#include "app/backup_app.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  quz::CBackupApp app;
  if (!app.InitInstance()) return 0;
  int result = app.Run();
  app.ExitInstance();
  return result;
}
