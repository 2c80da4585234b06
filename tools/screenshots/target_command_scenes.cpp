// Pictures of the target commands' dialogs: both pages of the folder
// wizard and the properties of a folder and of a selection.
#include <shlobj.h>

#include "app/paths.h"
#include "resources/resource.h"
#include "targets/target_dialogs.h"
#include "targets/target_edits.h"
#include "tools/screenshots/screenshot_studio.h"

QUZ_SCREENSHOT_SCENE(folder_add1, 160) {
  quz::CFolderAddDlg1 page;
  const int csidls[] = {CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES,
                        CSIDL_STARTMENU, CSIDL_STARTUP,          CSIDL_RECENT};
  for (int i = 0; i < 6; ++i) page.paths[i] = plat::SpecialFolder(csidls[i]);
  page.paths[quz::CFolderAddDlg1::kWindowsSlot] = plat::SpecialFolder(CSIDL_WINDOWS);
  // The desktop is listed already; a free path is being added.
  page.checked[1] = true;
  page.checked[quz::CFolderAddDlg1::kAnySlot] = true;
  page.anyPath = "D:\\仕事\\見積書";
  studio.ShowAndCapture(page, "folder_add1");
}

QUZ_SCREENSHOT_SCENE(folder_add2, 161) {
  quz::CFolderAddDlg2 page;
  page.depthText = "2";
  studio.ShowAndCapture(page, "folder_add2");
}

QUZ_SCREENSHOT_SCENE(folder_prop, 162) {
  quz::CFolderPropDlg properties("C:\\Documents and Settings\\yamada\\My Documents\\", 3);
  studio.ShowAndCapture(properties, "folder_prop");
}

QUZ_SCREENSHOT_SCENE(selection_prop, 163) {
  quz::SelectionTotals totals;
  totals.files = 1234;
  totals.folders = 56;
  totals.bytes = 6000000000LL;
  quz::CSelectionPropDlg properties(quz::SelectionCountText(totals), quz::SelectionSizeText(totals));
  studio.ShowAndCapture(properties, "selection_prop");
}
