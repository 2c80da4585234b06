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

// The target commands: the folder wizard's two pages, a folder's
// properties and the properties of a selection.
#define IDD_FOLDER_ADD1 182
#define IDD_FOLDER_ADD2 186
#define IDD_FOLDER_PROP 188
#define IDD_SELECTION_PROP 189
#define IDC_FOLDERADD_DOCUMENTS 1020
#define IDC_FOLDERADD_DESKTOP 1060
#define IDC_FOLDERADD_FAVORITES 1067
#define IDC_FOLDERADD_STARTMENU 1068
#define IDC_FOLDERADD_STARTUP 1069
#define IDC_FOLDERADD_RECENT 1070
#define IDC_FOLDERADD_ANY 1071
#define IDC_FOLDERADD_ANY_PATH 1028
#define IDC_FOLDERADD_BROWSE 1024
#define IDC_FOLDERADD_WINDOWS 1072
#define IDC_FOLDERADD_BACK 1074
#define IDC_SEARCH_DEPTH 1064
#define IDC_FOLDERPROP_PATH 1013
#define IDC_SELPROP_COUNTS 1077
#define IDC_SELPROP_SIZE 1076
