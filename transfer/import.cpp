#include "transfer/import.h"

#include <algorithm>
#include <cctype>

#include "app/paths.h"
#include "app/settings.h"
#include "app/temporary_files.h"
#include "app/text.h"
#include "engine/file_copy.h"
#include "transfer/export.h"

namespace quz::transfer {

const char kNoExportItemsText[] = "現在のフォルダに対象となるファイルはありません";
const char kPiecesIncompleteText[] =
    "この分割ファイルはまだ全て集まっていませんが\r\nその一部をハードディスクに複製しました\r\n"
    "全ての分割されたファイルが集まると自動で処理が進みます";
const char kPiecesJoinedText[] = "この分割ファイルは正常に結合・復元されました";
const char kImportDoneText[] = "完了しました";
const char kImportDoneCaption[] = "ファイル組込み";

namespace {

// A name without its extension (the part before the last ".").
std::string StemOf(const std::string& name) {
  size_t dot = LastCharPos(name, '.');
  return dot == kNone ? name : name.substr(0, dot);
}

// A path below a folder that stays below it: no empty, "." or ".."
// component, no drive or stream.
bool IsContainedRelative(const std::string& relative) {
  if (relative.empty()) return false;
  size_t start = 0;
  for (size_t i = 0; i <= relative.size(); i += (i < relative.size() ? CharLength(relative, i) : 1)) {
    if (i < relative.size() && relative[i] == ':') return false;
    if (i == relative.size() || relative[i] == '\\' || relative[i] == '/') {
      std::string part = relative.substr(start, i - start);
      if (part.empty() || part == "." || part == "..") return false;
      start = i + 1;
    }
  }
  return true;
}

bool LessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// Copies one file of an export folder into the save folder.  The copy is
// written beside its target and put in place only when whole, so a failed
// copy never destroys the saved file it was to replace.
bool ImportFile(const std::string& source, const std::string& target) {
  plat::File in;
  if (!in.Open(source, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) return false;
  plat::File out;
  const std::string temp = CreateTemporaryFile(FolderOf(target), out);
  if (temp.empty()) return false;
  bool whole = CopyFileData(in, out, kCopyAll, nullptr, nullptr) == 1;
  whole = out.Flush() && whole;
  out.Close();
  plat::FileStatus st;
  bool haveStatus = in.GetStatus(st);
  in.Close();
  if (!whole || !plat::ReplaceFile(temp, target)) {
    plat::DeleteFile(temp);
    return false;
  }
  if (haveStatus) {
    plat::SetFileTime(target, st.mtime);
    plat::SetAttributes(target, st.attributes & ~plat::kAttrDirectory);
  }
  return true;
}

}  // namespace

bool IsValidExportStamp(const std::string& text) {
  if (text.size() != 10) return false;
  int v[5];
  for (int k = 0; k < 5; ++k) v[k] = SettingToInt(text.substr(2 * k, 2));
  return v[1] >= 1 && v[1] <= 12 && v[2] >= 1 && v[2] <= 31 && v[3] >= 0 && v[3] <= 24 && v[4] >= 0 && v[4] <= 60;
}

bool IsExportItemName(const std::string& stem) {
  std::string rest = stem;
  if (!rest.empty() && (rest[0] == 'b' || rest[0] == 'e')) rest = rest.size() > 5 ? rest.substr(5) : std::string();
  return IsValidExportStamp(rest);
}

std::vector<std::string> ListExportItems(const std::string& folder) {
  std::vector<std::string> items;
  // An empty field names no folder (listing it would list the folder the
  // program runs in).
  if (folder.empty()) return items;
  for (const std::string& path : ListFolderLevel(WithSeparator(folder))) {
    size_t slash = LastCharPos(path, '\\');
    if (IsExportItemName(StemOf(path.substr(slash + 1)))) items.push_back(path);
  }
  return items;
}

std::vector<std::string> ImportListLines(const std::string& folder) {
  std::vector<std::string> lines = ListExportItems(folder);
  std::stable_sort(lines.begin(), lines.end(), LessNoCase);
  if (lines.empty()) lines.push_back(kNoExportItemsText);
  return lines;
}

namespace {

// One import on its way through the lines of the list.
struct ImportRun {
  ImportRun(ImportContext& c, ImportResult& r) : ctx(c), result(r), ui(*c.ui), throttle(c.progress, c.ui) {}
  ImportContext& ctx;
  ImportResult& result;
  plat::IUserInteraction& ui;
  ProgressReporter throttle;
  std::string work;        // the work folder, with its "\"
  std::string saveFolder;  // with its "\"
  // The work folder is made when the first piece comes; one that cannot be
  // made is told once.
  enum class WorkFolder { NotYet, Made, CannotMake } workFolder = WorkFolder::NotYet;
};

// A line split into its folder, its name without the extension and the
// extension.
struct LineParts {
  std::string folder, stem, extension;
};

LineParts SplitLine(const std::string& path) {
  const size_t slash = LastCharPos(path, '\\');
  LineParts parts;
  parts.folder = slash == kNone ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == kNone ? path : path.substr(slash + 1);
  parts.stem = StemOf(name);
  parts.extension = name.substr(parts.stem.size());
  return parts;
}

bool IsPieceLine(const LineParts& parts) {
  return !parts.stem.empty() && (parts.stem[0] == 'b' || parts.stem[0] == 'e');
}

// Gathers a piece in the work folder, where the pieces of one archive come
// together across media, and joins them once all are there.  Returns the
// joined archive's path, or empty when the set is not complete yet or the
// piece could not be gathered (both said in a message).
std::string GatherPiece(ImportRun& run, const std::string& path, const LineParts& parts) {
  using WorkFolder = ImportRun::WorkFolder;
  if (run.workFolder == WorkFolder::NotYet)
    run.workFolder = MakeTransferFolder(run.work, run.ui) ? WorkFolder::Made : WorkFolder::CannotMake;
  if (run.workFolder == WorkFolder::CannotMake) {
    ++run.result.problems;
    return std::string();
  }
  const std::string copyPath = run.work + parts.stem + parts.extension;
  plat::File piece;
  if (!piece.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) {
    run.ui.Message(kCannotOpenText, path, plat::kButtonsOk);
    ++run.result.problems;
    return std::string();
  }
  // A piece already in the work folder is where it belongs: copying it onto
  // itself would truncate it.
  if (!EqualNoCase(parts.folder, run.work)) {
    plat::File copy;
    if (!copy.Open(copyPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
      run.ui.Message(kCannotCreateText, copyPath, plat::kButtonsOk);
      ++run.result.problems;
      return std::string();
    }
    bool whole = CopyFileData(piece, copy, kCopyAll, nullptr, nullptr) == 1;
    whole = copy.Flush() && whole;
    copy.Close();
    if (!whole) {
      // A piece short of bytes would be joined into a broken archive.
      plat::DeleteFile(copyPath);
      run.ui.Message(kCannotCreateText, copyPath, plat::kButtonsOk);
      ++run.result.problems;
      return std::string();
    }
  }
  piece.Close();
  const std::string stamp = parts.stem.size() > 5 ? parts.stem.substr(5) : std::string();
  const std::string joinedPath = run.work + stamp + parts.extension;
  if (!IsValidExportStamp(stamp) || !JoinPieces(run.work, stamp, joinedPath, run.ui, run.ctx.progress)) {
    run.ui.Message(kPiecesIncompleteText, joinedPath, plat::kButtonsOk | plat::kIconInformation);
    ++run.result.piecesWaiting;
    return std::string();
  }
  return joinedPath;
}

// Copies every file of an export folder into the save folder (a line whose
// medium is gone reads as an empty folder).  Line i of n sets the progress.
void ImportFolder(ImportRun& run, const std::string& path, size_t i, size_t n) {
  const std::string root = WithSeparator(path);
  std::vector<std::string> entries = WalkBreadthFirst(root);
  const size_t count = entries.size();
  for (size_t k = 1; k < count; ++k) {
    run.throttle.Update(static_cast<int>((k * 100 / count) / n + i * 100 / n));
    const std::string& file = entries[k];
    plat::FileStatus st;
    if (!plat::GetFileStatus(file, st) || st.isDirectory || IsTemporaryName(file.substr(LastCharPos(file, '\\') + 1)))
      continue;
    const std::string relative = file.substr(root.size());
    if (!IsContainedRelative(relative)) {
      ++run.result.filesRefused;
      continue;
    }
    const std::string target = run.saveFolder + relative;
    std::string targetFolder = target.substr(0, LastCharPos(target, '\\') + 1);
    CreateSaveFolder(targetFolder);
    if (ImportFile(file, target))
      ++run.result.filesCopied;
    else
      ++run.result.filesFailed;
  }
}

// Unpacks an archive (or the archive just joined from pieces) into the save
// folder.  The archiver itself refuses names that would lead outside it.
void ImportArchive(ImportRun& run, const std::string& path, bool joined) {
  CArchiver archiver(run.ui, ArchiverUse::Import, run.ctx.caption);
  if (!archiver.Load()) {
    ++run.result.problems;
    return;
  }
  if (archiver.Run(UnpackCommandLine(path, run.saveFolder), run.ctx.window)) {
    ++run.result.archivesUnpacked;
    if (joined) run.ui.Message(kPiecesJoinedText, path, plat::kButtonsOk);
  } else {
    ++run.result.problems;
  }
  archiver.Unload();
}

}  // namespace

ImportResult RunImport(ImportContext& ctx) {
  ImportResult result;
  if (ctx.lines.empty() || EqualNoCase(ctx.lines.front(), kNoExportItemsText)) return result;
  result.ran = true;
  ImportRun run(ctx, result);
  // The work folder is used as a folder, whether or not it was stored with
  // its "\".
  run.work = WithSeparator(ReadWorkFolder(ctx.settingsFile));
  run.saveFolder = WithSeparator(ctx.saveFolder);
  const size_t n = ctx.lines.size();
  for (size_t i = 0; i < n; ++i) {
    run.throttle.Update(static_cast<int>(i * 100 / n));
    std::string path = ctx.lines[i];
    const LineParts parts = SplitLine(path);
    const bool piece = IsPieceLine(parts);
    if (piece) {
      path = GatherPiece(run, path, parts);
      if (path.empty()) continue;
    }
    uint32_t attributes = plat::GetAttributes(path);
    if (attributes == plat::kInvalidAttributes || (attributes & plat::kAttrDirectory))
      ImportFolder(run, path, i, n);
    else
      ImportArchive(run, path, piece);
  }
  run.ui.Message(kImportDoneText, kImportDoneCaption, plat::kButtonsOk);
  return result;
}

}  // namespace quz::transfer
