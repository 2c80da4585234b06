#include "transfer/export.h"

#include <cstdio>
#include <cstdlib>

#include "app/paths.h"
#include "app/settings.h"
#include "app/temporary_files.h"
#include "app/text.h"
#include "engine/file_copy.h"
#include "engine/vanished.h"

namespace quz::transfer {

const char kExportResultTitle[] = "quz - 書き出し結果";
const char kNothingToPackText[] = "対象となるファイルがないため圧縮ファイルは作成されませんでした";
const char kCannotCreateFolderText[] = "フォルダを作れません";
const char kNotExportedText[] = "ファイルを書き出せませんでした";
const char kCannotListText[] = "フォルダの中を調べられません";
const char kNameNotExportedText[] = "名前にシフトJISで表せない文字があるため書き出せません";

const ReferenceSize kReferenceSizes[4] = {
    {"01:フロッピーディスク(1.44MB)", 1.44},
    {"02:フロッピーディスク(1.2MB)", 1.2},
    {"03:CD-R/RW(650MB)", 650},
    {"04:CD-R/RW(700MB)", 700},
};

namespace {

std::string NameOf(const std::string& path) {
  size_t slash = LastCharPos(path, '\\');
  return slash == kNone ? path : path.substr(slash + 1);
}

std::string Megabytes(int64_t bytes) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2fMB", static_cast<double>(bytes) / 1048576.0);
  return buffer;
}

}  // namespace

std::string ReadWorkFolder(const std::string& settingsFile) {
  std::string work = ReadSetting(settingsFile, kWorkFolderKey);
  if (work.empty()) {
    work = plat::TempFolder();
    WriteSetting(settingsFile, work, kWorkFolderKey);
  }
  return work;
}

ExportSettings LoadExportSettings(const std::string& settingsFile) {
  ExportSettings s;
  s.lastExportTime = ReadIntSetting(settingsFile, kLastExportKey);
  s.destination = ReadSetting(settingsFile, kDestinationKey);
  s.workFolder = ReadWorkFolder(settingsFile);
  s.splitMode = ReadIntSetting(settingsFile, kSplitModeKey);
  s.pieceSize = PieceSizeFromText(ReadSetting(settingsFile, kPieceSizeKey));
  return s;
}

bool SaveSplitSettings(const std::string& settingsFile, int splitMode, double pieceSize) {
  bool a = WriteIntSetting(settingsFile, splitMode, kSplitModeKey);
  bool b = WriteSetting(settingsFile, PieceSizeText(pieceSize), kPieceSizeKey);
  return a && b;
}

bool ResetLastExportTime(const std::string& settingsFile) {
  return WriteSetting(settingsFile, "0", kLastExportKey);
}

std::string LastExportTimeText(plat::Time32 t, int32_t timeZoneOffset) {
  plat::CalendarTime c = plat::BreakDownUtc(static_cast<int64_t>(t) - timeZoneOffset);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d年%02d月%02d日%02d時%02d分", c.year, c.month, c.day, c.hour, c.minute);
  return buffer;
}

double PieceSizeFromText(const std::string& text) { return std::atof(text.c_str()); }

std::string PieceSizeText(double size) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", size);
  return buffer;
}

std::string ExportStamp(plat::Time32 now, int32_t timeZoneOffset) {
  plat::CalendarTime c = plat::BreakDownUtc(static_cast<int64_t>(now) - timeZoneOffset);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d%02d%02d%02d%02d", c.year % 100, c.month, c.day, c.hour, c.minute);
  return buffer;
}

bool MakeTransferFolder(const std::string& folder, plat::IUserInteraction& ui) {
  std::string path = folder;
  if (CreateSaveFolder(path)) return true;
  ui.Message(kCannotCreateFolderText, folder, plat::kButtonsOk | plat::kIconError);
  return false;
}

namespace {

// One folder level as ListFolderLevel gives it; false when the folder
// cannot be listed.  Names with no code page 932 form go to leftOut.
bool ListLevel(const std::string& folder, std::vector<std::string>& paths, std::vector<std::string>* leftOut) {
  plat::DirReader reader;
  if (!reader.Open(folder, true)) return false;
  const std::string base = WithSeparator(folder);
  plat::DirEntry e;
  while (reader.Next(e)) {
    if (e.name == "." || e.name == "..") continue;
    paths.push_back(base + e.name);
  }
  if (leftOut)
    for (const std::string& name : reader.LeftOut()) leftOut->push_back(base + name);
  return true;
}

}  // namespace

std::vector<std::string> ListFolderLevel(const std::string& folder) {
  std::vector<std::string> paths;
  ListLevel(folder, paths, nullptr);
  return paths;
}

std::vector<std::string> WalkBreadthFirst(const std::string& root, const ProgressFunction& progress,
                                          const FailureReport& report) {
  std::vector<std::string> entries{root};
  std::vector<std::string> level, leftOut;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (progress) progress(static_cast<int>(i * 10 / entries.size()), kBusyCaption);
    uint32_t attributes = plat::GetAttributes(entries[i]);
    if (attributes != plat::kInvalidAttributes && !(attributes & plat::kAttrDirectory)) continue;
    level.clear();
    leftOut.clear();
    if (!ListLevel(entries[i], level, report ? &leftOut : nullptr)) {
      // A path whose status cannot be read is met again by the caller; a
      // folder that is there but cannot be listed hides its files here.
      std::string reason = LastErrorText(kCannotListText);
      if (report && attributes != plat::kInvalidAttributes) report(entries[i], reason);
      continue;
    }
    for (const std::string& name : leftOut) report(name, kNameNotExportedText);
    // No fixed limit: a save folder keeps every generation of up to a
    // quarter of a million targets, and a walk that stopped short would
    // leave the rest out of every export (or fail every export) for good.
    for (std::string& p : level) entries.push_back(std::move(p));
  }
  return entries;
}

namespace {

// One export on its way through its steps.
struct ExportRun {
  ExportRun(ExportContext& c, ExportResult& r) : ctx(c), result(r), ui(*c.ui), throttle(c.progress, c.ui) {}
  ExportContext& ctx;
  ExportResult& result;
  plat::IUserInteraction& ui;
  ProgressReporter throttle;
  std::string saveFolder;
  std::vector<std::string> staged;  // the copies made, removed after packing
  // A marked failure leaves the last export time where it is, so that the
  // next export takes the same files again.
  bool failed = false;

  plat::Time32 Now() const { return ctx.clock ? ctx.clock() : plat::Now(); }
  // A file the export could not read, copy or stamp: it is named, and the
  // export is marked failed.
  void Fail(const std::string& path, const std::string& reason) {
    failed = true;
    if (ctx.reportFailure) ctx.reportFailure(path, reason);
  }
};

// The folders end with "\"; the export folder is named by the stamp of
// the export's start.
void NameExportFolder(ExportRun& run) {
  ExportContext& ctx = run.ctx;
  ctx.destination = WithSeparator(ctx.destination);
  ctx.workFolder = WithSeparator(ctx.workFolder);
  run.saveFolder = WithSeparator(ctx.saveFolder);
  run.result.stamp = ExportStamp(run.Now(), ctx.timeZoneOffset);
  run.result.exportFolder = (ctx.pack ? ctx.workFolder : ctx.destination) + run.result.stamp + "\\";
  if (ctx.pack) run.result.archivePath = ctx.workFolder + run.result.stamp + ".lzh";
}

// The export folder, below the work folder or the destination.  One that
// cannot be made is told once, by its path, and the export stops there:
// every copy into it would fail the same way.
bool MakeExportFolder(ExportRun& run) {
  const bool made = MakeTransferFolder(run.ctx.pack ? run.ctx.workFolder : run.ctx.destination, run.ui) &&
                    MakeTransferFolder(run.result.exportFolder, run.ui);
  if (!made) run.failed = true;
  return made;
}

// Every file and folder of the save folder, 0 to 9 %.  What the walk
// cannot see is a failure: those files would otherwise be passed over by
// every later export too.
std::vector<std::string> WalkSaveFolder(ExportRun& run) {
  return WalkBreadthFirst(
      run.saveFolder, [&](int percent, const std::string&) { run.throttle.Update(percent); },
      [&](const std::string& path, const std::string& reason) { run.Fail(path, reason); });
}

// Copies one changed file of the save folder into the export folder.  The
// copy keeps the saved file's time: the restore orders the copies of a
// source by their times, so a save folder rebuilt by the import must carry
// them, not the time of the export.
void ExportFile(ExportRun& run, const std::string& path, const plat::FileStatus& status) {
  plat::File source;
  if (!source.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead | plat::kShareWrite)) {
    const plat::Error failure = plat::LastError();
    // A copy that generations management deleted meanwhile is no loss.
    if (!HasVanished(path, failure)) run.Fail(path, failure.code ? plat::ErrorMessage(failure.code) : kNotExportedText);
    return;
  }
  const std::string copyPath = run.result.exportFolder + path.substr(run.saveFolder.size());
  std::string copyFolder = FolderOf(copyPath);
  CreateSaveFolder(copyFolder);
  plat::File copy;
  if (!copy.Open(copyPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
    // A removed or read-only medium.
    ++run.result.failedCopies;
    run.Fail(copyPath, LastErrorText(kNotExportedText));
    return;
  }
  run.staged.push_back(copyPath);
  plat::SetLastError(plat::ErrorKind::None, 0);
  bool whole = CopyFileData(source, copy, kCopyAll, nullptr, nullptr) == 1;
  whole = copy.Flush() && whole;
  std::string reason = LastErrorText(kNotExportedText);
  copy.Close();
  // A copy that broke off is no copy, and one without the saved file's
  // time would be restored out of order after an import: neither may be
  // imported later in place of the saved file.
  if (whole && !plat::SetFileTime(copyPath, status.mtime)) {
    whole = false;
    reason = LastErrorText(kNotExportedText);
  }
  if (!whole) {
    plat::DeleteFile(copyPath);
    ++run.result.failedCopies;
    run.Fail(path, reason);
    return;
  }
  ++run.result.files;
  run.result.bytes += status.size;
}

// Selects the files changed since the last export and copies them, 10 to
// 99 %.
void CopyChangedFiles(ExportRun& run, const std::vector<std::string>& entries) {
  const size_t count = entries.size();
  for (size_t i = 0; i < count; ++i) {
    run.throttle.Update(static_cast<int>(i * 90 / count + 10));
    const std::string& path = entries[i];
    plat::FileStatus status;
    if (!plat::GetFileStatus(path, status)) {
      const plat::Error failure = plat::LastError();
      if (!HasVanished(path, failure)) run.Fail(path, failure.code ? plat::ErrorMessage(failure.code) : kNotExportedText);
      continue;
    }
    if (status.isDirectory || status.mtime < run.ctx.lastExportTime) continue;
    // The combined image of a differentially saved file is rebuilt from its
    // fragments; only the fragments travel.  A temporary file is no backup.
    // Both are looked at before the file is opened: a save may hold them at
    // this moment.
    if (NameOf(path) == "~temp.dat" || IsTemporaryName(NameOf(path))) continue;
    ExportFile(run, path, status);
  }
}

// The packed form: the export folder packed into one archive in the work
// folder, written to the destination as pieces; the staged copies go.
void PackAndWritePieces(ExportRun& run) {
  ExportContext& ctx = run.ctx;
  ExportResult& result = run.result;
  CArchiver archiver(run.ui, ArchiverUse::Export, ctx.caption);
  if (!archiver.Load()) {
    run.failed = true;
  } else {
    // An archive of the same stamp (an earlier export in the same minute)
    // would otherwise stand in for an export that packed nothing.
    plat::DeleteFile(result.archivePath);
    if (!archiver.Run(PackCommandLine(result.archivePath, result.exportFolder), ctx.window)) {
      run.failed = true;
    } else {
      plat::File archive;
      if (!archive.Open(result.archivePath, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) {
        if (result.bytes == 0) {
          run.ui.Message(kNothingToPackText, ctx.caption, plat::kButtonsOk);
        } else {
          run.ui.Message(kCannotOpenText, ctx.caption, plat::kButtonsOk);
          run.failed = true;
        }
      } else {
        PieceWriterContext writer;
        writer.ui = &run.ui;
        writer.caption = ctx.caption;
        writer.splitEnabled = ctx.splitEnabled;
        writer.splitMode = ctx.splitMode;
        writer.pieceSize = ctx.pieceSize;
        writer.freeSpace = ctx.freeSpace;
        writer.progress = ctx.progress;
        if (!WritePieces(writer, archive, result.stamp + ".lzh", ctx.destination, &result.pieces)) run.failed = true;
        result.place = ctx.destination;
      }
    }
  }
  archiver.Unload();
  for (const std::string& s : run.staged) plat::DeleteFile(s);
  plat::FileStatus archiveStatus;
  if (plat::GetFileStatus(result.archivePath, archiveStatus) && !archiveStatus.isDirectory)
    result.archiveSize = archiveStatus.size;
  if (result.place.empty()) result.place = result.archivePath;
}

// The last export time moves only after an export that kept every file and
// every byte, and it is taken now, at the end.
void RecordExport(ExportRun& run) {
  if (run.failed) return;
  run.ctx.lastExportTime = run.Now();
  WriteIntSetting(run.ctx.settingsFile, run.ctx.lastExportTime, kLastExportKey);
  run.result.ok = 1;
}

std::string ResultText(const ExportContext& ctx, const ExportResult& result) {
  std::string text = std::to_string(result.files) + "個" + Megabytes(result.bytes) + "のファイルを";
  if (ctx.pack) {
    const std::string& place = result.place.empty() ? result.archivePath : result.place;
    return text + Megabytes(result.archiveSize) + "に圧縮して" + place + "に書き出しました";
  }
  return text + result.exportFolder + "に書き出しました";
}

}  // namespace

ExportResult RunExport(ExportContext& ctx) {
  ExportResult result;
  ExportRun run(ctx, result);
  NameExportFolder(run);
  if (MakeExportFolder(run)) {
    CopyChangedFiles(run, WalkSaveFolder(run));
    if (ctx.pack) PackAndWritePieces(run);
  }
  RecordExport(run);
  result.text = ResultText(ctx, result);
  return result;
}

}  // namespace quz::transfer
