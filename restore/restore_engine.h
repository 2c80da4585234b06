// Writing saved files back: picking the newest copy (or the newest fragment
// of a differentially saved file) not later than a candidate time, and
// writing it to the place it came from or into another folder.
//
// Every question, message and progress report goes through the context's
// IUserInteraction; the settings "全て上書き", "ファイルオープン失敗時のダイアログ表示"
// and "復元先フォルダ" live in the context's settings file ("quz.ini"), and
// errors of file operations are appended to "lasterror.txt" beside the
// executable.
//
// A restored file is written under a temporary name in its destination
// folder and put in place only when it is complete, so a failed or partial
// restore never leaves an incomplete file under the destination's name and
// never destroys the file that was there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "restore/restore_table.h"

namespace quz {

extern const char kErrorLogName[];           // "lasterror.txt"

struct RestoreContext {
  RestoreContext(const CRestoreTable& t, plat::IUserInteraction& u) : table(t), ui(u) {}
  const CRestoreTable& table;
  plat::IUserInteraction& ui;
  // Seconds subtracted from file times to read them as local time.
  int32_t timeZoneOffset = plat::TimeZoneOffset();
  // The settings file of "全て上書き", "ファイルオープン失敗時のダイアログ表示" and
  // "復元先フォルダ".
  std::string settingsFile = kSettingsFile;
};

// Which copy restores a source: the entry, and the fragment number (-1 for
// a normal copy).  When the newest state not later than the time asked for
// is a fragment a save set aside as damaged, that fragment's path is in
// `damaged`: the file cannot be restored as it was then.
struct RestoreChoice {
  int32_t entry = -1;
  int32_t fragment = -1;
  std::string damaged;
};

struct RestoreCounts {
  int32_t restored = 0;
  int32_t failed = 0;
};

// What the restore window has selected.
struct RestoreSelectionRequest {
  std::string folder;               // the tree folder, without "\"; empty = "全体"
  std::vector<std::string> files;   // the selected files' source paths
  bool haveCandidate = false;       // a candidate is selected
  int32_t candidateTime = 0;        // its time, local seconds
};

// The newest copy or fragment of source whose local time is not later than
// t + 60 seconds.  Among equal times the one saved later wins (the later
// line of a list, the higher fragment number): two saves can fall in one
// second.  False: none.
bool PickCopy(const RestoreContext& ctx, const std::string& source, int32_t t, RestoreChoice* choice);

// Restores one source as it was at t.  folder is the folder relative names
// start after (see RestoreSelection); destination empty = in place.
// Returns 1 restored, 0 failed.
int RestoreOne(RestoreContext& ctx, const std::string& source, int32_t t, const std::string& folder,
               const std::string& destination);

// Writes the copy at location (fragment number n, -1 for a normal copy) to
// path, asking before it replaces an existing file; usedPath receives the
// copy or the last fragment applied.  The written file gets the times and
// attributes of usedPath.  Returns 1 or 0.
int RestoreFile(RestoreContext& ctx, const std::string& location, const std::string& path, int32_t n,
                std::string* usedPath);

// The message for a file that cannot be opened or created, unless the user
// chose not to see it again.
void ReportOpenFailure(RestoreContext& ctx, const std::string& path);

// The whole restore of a selection into destination (empty = in place):
// every selected file, or every source below the selected folder (which is
// then recreated under destination by its last name).  Shows the progress
// and the result.  Without a candidate it only asks for one.
RestoreCounts RestoreSelection(RestoreContext& ctx, const RestoreSelectionRequest& request,
                               std::string destination);

// The same without the candidate check, the progress start and the result,
// for callers that run several selections as one restore.
RestoreCounts RunRestore(RestoreContext& ctx, const RestoreSelectionRequest& request, std::string destination,
                         bool reportProgress);

// The two buttons of the restore window.  "元の場所に戻す" warns first and
// returns false when the user cancels; both reset "全て上書き" to "No", and
// "別の場所に復元" stores its folder in "復元先フォルダ".
bool RestoreToOriginalPlaces(RestoreContext& ctx, const RestoreSelectionRequest& request, RestoreCounts* counts);
RestoreCounts RestoreToFolder(RestoreContext& ctx, const RestoreSelectionRequest& request, const std::string& folder);

// The two lines of the result window.
std::vector<std::string> RestoreResultLines(const RestoreCounts& counts);
// "サイズ : ..." and "更新日時 : ..." of the overwrite question; a file rebuilt
// from fragments shows "(差分保存のため不明)".
std::string OverwriteSizeText(int64_t size, bool unknown);
std::string OverwriteTimeText(int32_t time, bool unknown);

}  // namespace quz
