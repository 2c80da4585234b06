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

// Settings sheet "quz - 設定全般": its pages, in tab order, and the
// dialog that adds a classification rule.
#define IDD_SETTEI1 240
#define IDD_SETTEI2 241
#define IDD_SETTEI3 242
#define IDD_SETTEI4 191
#define IDD_SETTEI5 243
#define IDD_SETTEI7 244
#define IDD_RULE_ADD 194
// "動作設定"
#define IDC_INTERVAL_BAR 1201
#define IDC_INTERVAL_TEXT 1202
#define IDC_AT_START_ONLY 1203
#define IDC_USE_WATCHER 1204
// "保存場所"
#define IDC_SETTEI_SAVE_FOLDER 1205
#define IDC_SETTEI_BROWSE 1206
// "自動起動"
#define IDC_STARTUP_REGISTER 1207
#define IDC_STARTUP_UNREGISTER 1208
#define IDC_STARTUP_STATUS 1209
// "振り分け"
#define IDC_RULE_ADD 1024
#define IDC_RULE_LIST 1033
#define IDC_RULE_DELETE 1080
// "振り分け２"
#define IDC_SKIP_RECYCLE_BIN 1210
#define IDC_SKIP_SAVE_FOLDER 1211
#define IDC_SKIP_TEMP_FOLDER 1212
#define IDC_SKIP_OWN_FOLDER 1213
// "世代間理"
#define IDC_MAX_GENERATIONS 1214
#define IDC_MAX_GENERATIONS_SPIN 1215
#define IDC_MINIMUM_TIME 1216
#define IDC_MINIMUM_TIME_SPIN 1217
#define IDC_MINIMUM_TIME_ON 1218
#define IDC_DIFFERENTIAL_TOO 1219
#define IDC_DELETE_OLD_GENERATIONS 1220
#define IDC_STAT_SOURCES 1221
#define IDC_STAT_COPIES 1222
#define IDC_STAT_AVERAGE 1223
// "追加する振り分け条件"
#define IDC_RULE_BY_EXTENSION 1062
#define IDC_RULE_BY_SIZE 1063
#define IDC_RULE_COMPARISON 1064
#define IDC_RULE_SIZE 1076
#define IDC_RULE_HELP 1080
#define IDC_RULE_EVERY_FILE 1083
#define IDC_RULE_EXTENSION 1084
#define IDC_RULE_RESULT 1086
