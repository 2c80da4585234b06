#include "transfer/export.h"

#include <cstdio>
#include <cstdlib>

#include "app/paths.h"
#include "app/settings.h"
#include "app/temporary_files.h"
#include "app/text.h"
#include "engine/file_copy.h"

namespace quz::transfer {

const char kExportResultTitle[] = "quz - 書き出し結果";
const char kNothingToPackText[] = "対象となるファイルがないため圧縮ファイルは作成されませんでした";

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

std::vector<std::string> ListFolderLevel(const std::string& folder) {
  std::vector<std::string> paths;
  plat::DirReader reader;
  if (!reader.Open(folder, true)) return paths;
  const std::string base = WithSeparator(folder);
  plat::DirEntry e;
  while (reader.Next(e)) {
    if (e.name == "." || e.name == "..") continue;
    paths.push_back(base + e.name);
  }
  return paths;
}

std::vector<std::string> WalkBreadthFirst(const std::string& root, const ProgressFunction& progress) {
  std::vector<std::string> entries{root};
  for (size_t i = 0; i < entries.size() && i < static_cast<size_t>(kMaxExportEntries); ++i) {
    if (progress) progress(static_cast<int>(i * 10 / entries.size()), kBusyCaption);
    uint32_t attributes = plat::GetAttributes(entries[i]);
    if (attributes != plat::kInvalidAttributes && !(attributes & plat::kAttrDirectory)) continue;
    for (std::string& p : ListFolderLevel(entries[i])) {
      if (entries.size() >= static_cast<size_t>(kMaxExportEntries)) break;
      entries.push_back(std::move(p));
    }
  }
  return entries;
}

ExportResult RunExport(ExportContext& ctx) {
  ExportResult result;
  plat::IUserInteraction& ui = *ctx.ui;
  auto now = [&] { return ctx.clock ? ctx.clock() : plat::Now(); };

  // 1-2: the folders end with "\"; the export folder is named by the stamp.
  ctx.destination = WithSeparator(ctx.destination);
  ctx.workFolder = WithSeparator(ctx.workFolder);
  const std::string saveFolder = WithSeparator(ctx.saveFolder);
  result.stamp = ExportStamp(now(), ctx.timeZoneOffset);
  result.exportFolder = (ctx.pack ? ctx.workFolder : ctx.destination) + result.stamp + "\\";

  // 3-4: the breadth-first walk, 0 to 9 %.
  ProgressReporter throttle(ctx.progress, &ui);
  std::vector<std::string> entries = WalkBreadthFirst(saveFolder, [&](int percent, const std::string&) {
    throttle.Update(percent);
  });

  // 5: the export folder.
  std::string exportFolder = result.exportFolder;
  CreateSaveFolder(exportFolder);

  // 6: select and copy, 10 to 99 %.
  bool failed = false;
  std::vector<std::string> staged;
  const size_t count = entries.size();
  for (size_t i = 0; i < count; ++i) {
    throttle.Update(static_cast<int>(i * 90 / count + 10));
    const std::string& path = entries[i];
    plat::FileStatus st;
    if (!plat::GetFileStatus(path, st) || st.isDirectory) continue;
    if (st.mtime < ctx.lastExportTime) continue;
    plat::File source;
    if (!source.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead | plat::kShareWrite))
      continue;
    // The combined image of a differentially saved file is rebuilt from its
    // fragments; only the fragments travel.  A temporary file is no backup.
    if (NameOf(path) == "~temp.dat" || IsTemporaryName(NameOf(path))) continue;
    const std::string copyPath = result.exportFolder + path.substr(saveFolder.size());
    std::string copyFolder = FolderOf(copyPath);
    CreateSaveFolder(copyFolder);
    plat::File copy;
    if (!copy.Open(copyPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
      // Still silent, but a file the export could not write (a removed or
      // read-only medium) must be taken again by the next export.
      ++result.failedCopies;
      failed = true;
      continue;
    }
    staged.push_back(copyPath);
    bool whole = CopyFileData(source, copy, kCopyAll, nullptr, nullptr) == 1;
    whole = copy.Flush() && whole;
    copy.Close();
    if (!whole) {
      // A copy that broke off is no copy: it must not be imported later in
      // place of the saved file, and the next export must take the file
      // again, so the export is marked failed.
      plat::DeleteFile(copyPath);
      ++result.failedCopies;
      failed = true;
      continue;
    }
    // The copy keeps the saved file's time: the restore orders the copies
    // of a source by their times, so a save folder rebuilt by the import
    // must carry them, not the time of the export.
    plat::SetFileTime(copyPath, st.mtime);
    ++result.files;
    result.bytes += st.size;
  }
  entries.clear();

  if (ctx.pack) {
    // 9: pack, write the pieces, remove the staged copies.
    result.archivePath = ctx.workFolder + result.stamp + ".lzh";
    CArchiver archiver(ui, ArchiverUse::Export, ctx.caption);
    if (!archiver.Load()) {
      failed = true;
    } else {
      // An archive of the same stamp (an earlier export in the same minute)
      // would otherwise stand in for an export that packed nothing.
      plat::DeleteFile(result.archivePath);
      if (!archiver.Run(PackCommandLine(result.archivePath, result.exportFolder), ctx.window)) {
        failed = true;
      } else {
        plat::File archive;
        if (!archive.Open(result.archivePath, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) {
          if (result.bytes == 0) {
            ui.Message(kNothingToPackText, ctx.caption, plat::kButtonsOk);
          } else {
            ui.Message(kCannotOpenText, ctx.caption, plat::kButtonsOk);
            failed = true;
          }
        } else {
          PieceWriterContext writer;
          writer.ui = &ui;
          writer.caption = ctx.caption;
          writer.splitEnabled = ctx.splitEnabled;
          writer.splitMode = ctx.splitMode;
          writer.pieceSize = ctx.pieceSize;
          writer.freeSpace = ctx.freeSpace;
          writer.progress = ctx.progress;
          if (!WritePieces(writer, archive, result.stamp + ".lzh", ctx.destination, &result.pieces)) failed = true;
          result.place = ctx.destination;
        }
      }
    }
    archiver.Unload();
    for (const std::string& s : staged) plat::DeleteFile(s);
    plat::FileStatus ast;
    if (plat::GetFileStatus(result.archivePath, ast) && !ast.isDirectory) result.archiveSize = ast.size;
    if (result.place.empty()) result.place = result.archivePath;
  }

  // 10: the last export time moves only after an export that kept every
  // byte, and it is taken now, at the end.
  if (!failed) {
    ctx.lastExportTime = now();
    WriteIntSetting(ctx.settingsFile, ctx.lastExportTime, kLastExportKey);
    result.ok = 1;
  }

  // 12: the result window's text.
  result.text = std::to_string(result.files) + "個" + Megabytes(result.bytes) + "のファイルを";
  if (ctx.pack)
    result.text += Megabytes(result.archiveSize) + "に圧縮して" + result.place + "に書き出しました";
  else
    result.text += result.exportFolder + "に書き出しました";
  return result;
}

}  // namespace quz::transfer
