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

ImportResult RunImport(ImportContext& ctx) {
  ImportResult result;
  if (ctx.lines.empty() || EqualNoCase(ctx.lines.front(), kNoExportItemsText)) return result;
  result.ran = true;
  plat::IUserInteraction& ui = *ctx.ui;
  // The work folder is used as a folder, whether or not it was stored
  // with its "\".
  const std::string work = WithSeparator(ReadWorkFolder(ctx.settingsFile));
  const std::string saveFolder = WithSeparator(ctx.saveFolder);
  ProgressReporter throttle(ctx.progress, &ui);
  const size_t n = ctx.lines.size();

  for (size_t i = 0; i < n; ++i) {
    throttle.Update(static_cast<int>(i * 100 / n));
    std::string path = ctx.lines[i];
    const size_t slash = LastCharPos(path, '\\');
    const std::string folder = slash == kNone ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == kNone ? path : path.substr(slash + 1);
    const std::string stem = StemOf(name);
    const std::string extension = name.substr(stem.size());
    bool joined = false;

    if (!stem.empty() && (stem[0] == 'b' || stem[0] == 'e')) {
      const std::string copyPath = work + name;
      plat::File piece;
      if (!piece.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) {
        ui.Message(kCannotOpenText, path, plat::kButtonsOk);
        ++result.problems;
        continue;
      }
      // A piece already in the work folder is where it belongs: copying it
      // onto itself would truncate it.
      if (!EqualNoCase(folder, work)) {
        plat::File copy;
        if (!copy.Open(copyPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
          ui.Message(kCannotCreateText, copyPath, plat::kButtonsOk);
          ++result.problems;
          continue;
        }
        bool whole = CopyFileData(piece, copy, kCopyAll, nullptr, nullptr) == 1;
        whole = copy.Flush() && whole;
        copy.Close();
        if (!whole) {
          // A piece short of bytes would be joined into a broken archive.
          plat::DeleteFile(copyPath);
          ui.Message(kCannotCreateText, copyPath, plat::kButtonsOk);
          ++result.problems;
          continue;
        }
      }
      piece.Close();
      const std::string stamp = stem.size() > 5 ? stem.substr(5) : std::string();
      const std::string joinedPath = work + stamp + extension;
      if (!IsValidExportStamp(stamp) || !JoinPieces(work, stamp, joinedPath, ui, ctx.progress)) {
        ui.Message(kPiecesIncompleteText, joinedPath, plat::kButtonsOk | plat::kIconInformation);
        ++result.piecesWaiting;
        continue;
      }
      joined = true;
      path = joinedPath;
    }

    uint32_t attributes = plat::GetAttributes(path);
    if (attributes == plat::kInvalidAttributes || (attributes & plat::kAttrDirectory)) {
      // An export folder (or a line whose medium is gone: an empty folder).
      const std::string root = WithSeparator(path);
      std::vector<std::string> entries = WalkBreadthFirst(root);
      const size_t count = entries.size();
      for (size_t k = 1; k < count; ++k) {
        throttle.Update(static_cast<int>((k * 100 / count) / n + i * 100 / n));
        const std::string& file = entries[k];
        plat::FileStatus st;
        if (!plat::GetFileStatus(file, st) || st.isDirectory || IsTemporaryName(file.substr(LastCharPos(file, '\\') + 1)))
          continue;
        const std::string relative = file.substr(root.size());
        if (!IsContainedRelative(relative)) {
          ++result.filesRefused;
          continue;
        }
        const std::string target = saveFolder + relative;
        std::string targetFolder = target.substr(0, LastCharPos(target, '\\') + 1);
        CreateSaveFolder(targetFolder);
        if (ImportFile(file, target))
          ++result.filesCopied;
        else
          ++result.filesFailed;
      }
    } else {
      // An archive, or the archive just joined.  The archiver itself
      // refuses names that would lead outside the save folder.
      CArchiver archiver(ui, ArchiverUse::Import, ctx.caption);
      if (!archiver.Load()) {
        ++result.problems;
        continue;
      }
      if (archiver.Run(UnpackCommandLine(path, saveFolder), ctx.window)) {
        ++result.archivesUnpacked;
        if (joined) ui.Message(kPiecesJoinedText, path, plat::kButtonsOk);
      } else {
        ++result.problems;
      }
      archiver.Unload();
    }
  }
  ui.Message(kImportDoneText, kImportDoneCaption, plat::kButtonsOk);
  return result;
}

}  // namespace quz::transfer
