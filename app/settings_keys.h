// Every key of the settings file "quz.ini", in one place: the keys are the
// file's format, shared by the resident program, quzctl and the engine.
#pragma once

namespace quz {

// The save folder; shorter than 2 bytes means that none was chosen yet.
inline constexpr char kSaveFolderKey[] = "quz保存先フォルダ";
// Seconds between periodic checks (empty: 300; 0: none).
inline constexpr char kIntervalKey[] = "チェック間隔";
// 0 or 1: one whole check after start and no periodic ones.
inline constexpr char kAtStartOnlyKey[] = "全体チェックは起動時のみ";
// 0 or 1: run the change watcher (read at start).
inline constexpr char kChangeWatcherKey[] = "TidemarkTechnologyの利用";

// The exclusion switches of folder searches, 0 or 1.
inline constexpr char kSkipRecycleBinKey[] = "ごみ箱";
inline constexpr char kSkipSaveFolderKey[] = "バックアップファイルの保存場所";
inline constexpr char kSkipTempFolderKey[] = "一時フォルダ";
inline constexpr char kSkipOwnFolderKey[] = "このソフト自身のフォルダ";

// Generations: copies kept per source (0 = all), and the minimum
// management time with its switch.
inline constexpr char kMaxGenerationsKey[] = "世代間理数";
inline constexpr char kMinimumTimeKey[] = "最小管理時間";
inline constexpr char kMinimumTimeOnKey[] = "最小管理時間有効";

// Classification rule number %d, counted from 0: "%d" is the rule's number
// and "%s" one of the suffixes below.
inline constexpr char kRuleKeyFormat[] = "quz振り分け条件%d-%s";
inline constexpr char kRuleKindSuffix[] = "mode";
inline constexpr char kRuleResultSuffix[] = "mode2";
inline constexpr char kRuleExtensionSuffix[] = "ext";
inline constexpr char kRuleSizeSuffix[] = "size";

// Restore: "Yes" or "No" for overwriting without asking; "No" once the user
// chose not to see the open-failure message again; the last other folder.
inline constexpr char kOverwriteAllKey[] = "全て上書き";
inline constexpr char kOpenFailureDialogKey[] = "ファイルオープン失敗時のダイアログ表示";
inline constexpr char kRestoreFolderKey[] = "復元先フォルダ";

// Export and import: the time of the last export, the destination (also
// the import's folder), the work folder, the split mode and the piece size.
inline constexpr char kLastExportKey[] = "最終書き出し日時";
inline constexpr char kDestinationKey[] = "書き出し先フォルダ";
inline constexpr char kWorkFolderKey[] = "作業フォルダ";
inline constexpr char kSplitModeKey[] = "分割詳細設定1";
inline constexpr char kPieceSizeKey[] = "分割詳細設定2";

// Targets: "Yes" once the user chose not to be warned again that a folder
// above the one removed is listed.
inline constexpr char kParentFolderListedKey[] = "上位フォルダが存在するため";

}  // namespace quz
