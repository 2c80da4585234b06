// Resource ids of quz.exe: dialogs, controls, menus, icons and commands.
#pragma once

// Icons.
#define IDR_MAINFRAME 128
#define IDI_ANIMATION_FIRST 131  // eight frames, 131 to 138
#define IDI_IDLE 139
#define IDI_LIST_FOLDER 192
#define IDI_LIST_RESERVED 193
#define IDI_LIST_DRIVE 194

// Menus.
#define IDR_TRAY_MENU 129

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_SETUP 102
#define IDD_PROGRESS 167
#define IDD_RIREKI 177

// Setup dialog controls.
#define IDC_REGISTER_STARTUP 1020
#define IDC_BROWSE 1024
#define IDC_SAVE_FOLDER 1028

// History window.
#define IDC_HISTORY_LIST 1100
// Progress window.
#define IDC_PROGRESS_CAPTION 1001
#define IDC_PROGRESS_PERCENT 1002
#define IDC_PROGRESS_BAR 1003
// Version window.
#define IDC_VERSION_TEXT 1010

// Commands.
#define ID_APP_EXIT_RESIDENT 32771
#define ID_SHOW_TARGETS 32772
#define ID_CHECK_NOW 32773
#define ID_APP_ABOUT 32774
#define ID_OPEN_SAVE_FOLDER 32776
#define ID_OPEN_PROGRAM_FOLDER 32777
#define ID_RESTORE 32781
#define ID_EXPORT 32783
#define ID_HISTORY 32784
#define ID_IMPORT 32785
#define ID_SETTINGS 32786
#define ID_HELP_README 32793

// Export window ("更新ファイル書き出し"), its split-size window ("詳細設定")
// and the import window ("quz - 書き出し済みファイル組込").
#define IDD_KAKIDASHI 172
#define IDD_BUNKATSU 173
#define IDD_KUMIKOMI 174
#define IDC_EXPORT_DESTINATION 1300
#define IDC_EXPORT_BROWSE_DESTINATION 1301
#define IDC_EXPORT_WORK_FOLDER 1302
#define IDC_EXPORT_BROWSE_WORK 1303
#define IDC_EXPORT_LAST_TIME 1304
#define IDC_EXPORT_RESET 1305
#define IDC_EXPORT_PACK 1306
#define IDC_EXPORT_SPLIT 1307
#define IDC_EXPORT_DETAILS 1308
#define IDC_EXPORT_START 1309
#define IDC_EXPORT_HELP 1310
#define IDC_SPLIT_UNTIL_FULL 1320
#define IDC_SPLIT_FIXED 1321
#define IDC_SPLIT_SIZE 1322
#define IDC_SPLIT_REFERENCE 1323
#define IDC_IMPORT_FOLDER 1330
#define IDC_IMPORT_BROWSE 1331
#define IDC_IMPORT_REFRESH 1332
#define IDC_IMPORT_LIST 1333
#define IDC_IMPORT_RUN 1334
#define IDC_IMPORT_HELP 1335
