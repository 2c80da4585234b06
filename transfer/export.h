// The export: every file of the save folder changed since the last export,
// copied into a stamped export folder on the destination, or packed into
// one LZH archive in the work folder and written to the destination as
// pieces.  The export window fills an ExportContext and shows what comes
// back; quzctl does the same on the console.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/error_log.h"
#include "app/settings.h"
#include "app/settings_keys.h"
#include "platform/interaction.h"
#include "platform/platform.h"
#include "transfer/archiver.h"
#include "transfer/pieces.h"

namespace quz::transfer {

extern const char kExportResultTitle[];  // "quz - 書き出し結果"
extern const char kNothingToPackText[];
extern const char kCannotCreateFolderText[];  // "フォルダを作れません"
// Why a file was not exported, when the system gives no reason of its own.
extern const char kNotExportedText[];
extern const char kCannotListText[];
extern const char kNameNotExportedText[];

// What the export window loads when it opens.
struct ExportSettings {
  std::string destination;
  std::string workFolder;
  plat::Time32 lastExportTime = 0;
  int splitMode = kSplitUntilFull;
  double pieceSize = 0;
};
// Reads the settings; a missing work folder becomes the system's temporary
// folder and is written back at once.
ExportSettings LoadExportSettings(const std::string& settingsFile);
// The work folder as the import and the export read it (same rule).
std::string ReadWorkFolder(const std::string& settingsFile);
// The split-size window's OK: "%d" and "%.2f".
bool SaveSplitSettings(const std::string& settingsFile, int splitMode, double pieceSize);
// The reset button: the next export takes every file.
bool ResetLastExportTime(const std::string& settingsFile);
// The last export time as the window shows it ("%Y年%m月%d日%H時%M分", local
// standard time).
std::string LastExportTimeText(plat::Time32 t, int32_t timeZoneOffset = plat::TimeZoneOffset());

// The reference sizes of the split-size window, in order.
struct ReferenceSize {
  const char* line;
  double size;
};
extern const ReferenceSize kReferenceSizes[4];
// The size field's text read as a decimal number; not a number gives 0.
double PieceSizeFromText(const std::string& text);
std::string PieceSizeText(double size);  // "%.2f"

// "%y%m%d%H%M" of local standard time.
std::string ExportStamp(plat::Time32 now, int32_t timeZoneOffset);

// Creates every missing level of `folder` (the work folder, a
// destination).  One that cannot be made is told once, with its path as
// the caption, and false comes back.
bool MakeTransferFolder(const std::string& folder, plat::IUserInteraction& ui);

// Lists one folder level: each entry but "." and ".." as the folder, a "\"
// when the folder lacks one, and the name.
std::vector<std::string> ListFolderLevel(const std::string& folder);
// The breadth-first walk of the export and the import: `root` first, then
// every file and folder below it, however many there are.  A path
// that cannot be read counts as a folder and lists nothing.  report, when
// given, hears a folder that is there but cannot be listed, each name with
// no code page 932 form.
std::vector<std::string> WalkBreadthFirst(const std::string& root, const ProgressFunction& progress = nullptr,
                                          const FailureReport& report = nullptr);

struct ExportContext {
  std::string saveFolder;   // the root whose files are exported
  std::string destination;  // given a trailing "\" by the export
  std::string workFolder;   // likewise
  bool pack = false;
  bool splitEnabled = false;
  int splitMode = kSplitUntilFull;
  double pieceSize = 0;      // megabytes
  plat::Time32 lastExportTime = 0;  // files older than this are not taken; moved on success
  std::string settingsFile = kSettingsFile;
  plat::IUserInteraction* ui = nullptr;
  std::string caption = "quz";
  ProgressFunction progress;     // empty: the interaction's Progress
  FreeSpaceFunction freeSpace;   // empty: the platform's figure
  IArchiverWindow* window = nullptr;  // disabled while the archiver runs
  std::function<plat::Time32()> clock;  // empty: plat::Now
  int32_t timeZoneOffset = plat::TimeZoneOffset();
  // Hears every file the export could not read, copy or give its time, and
  // every folder or name the walk could not take; each of them marks the
  // export failed.  None: silent (the export still fails).
  FailureReport reportFailure;
};

struct ExportResult {
  int ok = 0;               // 1: recorded as the last export; 0: marked failed
  int32_t files = 0;        // files copied whole
  int64_t bytes = 0;        // their sizes
  int32_t failedCopies = 0; // copies not made, broken off or left without their time
  std::string stamp;
  std::string exportFolder;
  std::string archivePath;  // packed form
  int64_t archiveSize = 0;  // 0 when there is no archive
  int pieces = 0;
  std::string place;        // where the result says the export went
  std::string text;         // the result window's text
};

// Runs the export.  Messages and questions go through ctx.ui (which must be
// set); the result window's text comes back in the result, for the caller
// to show with kExportResultTitle.  On success ctx.lastExportTime and
// "最終書き出し日時" hold the time the export ended.
ExportResult RunExport(ExportContext& ctx);

}  // namespace quz::transfer
