#include "targets/target_edits.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "platform/platform.h"

namespace quz {

namespace {

// The path with its single-byte capitals made small, so that paths that
// differ only in letter case compare and hash alike; the second byte of a
// double-byte character is left as it is.
void Fold(std::string_view path, std::string& folded, size_t limit = std::string::npos) {
  folded.assign(path.substr(0, limit));
  const size_t n = folded.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(c) && i + 1 < n && IsTrailByte(static_cast<unsigned char>(folded[i + 1])))
      ++i;
    else if (c >= 'A' && c <= 'Z')
      folded[i] = static_cast<char>(c + 32);
  }
}
std::string Folded(std::string_view path) {
  std::string folded;
  Fold(path, folded);
  return folded;
}

// Calls visit(i, entry) for every live entry below one of the folders.
template <class Visit>
void ForEachBelow(CFileList& list, const FolderSet& folders, Visit visit) {
  if (folders.Empty()) return;
  const int32_t count = list.Count();
  for (int32_t i = 0; i < count; ++i) {
    FileEntry* e = list.EntryAt(i);
    if (e && folders.HoldsBelow(e->Path())) visit(i, e);
  }
}

}  // namespace

std::string UpperFolder(std::string_view path) {
  // Without its last character, a folder path loses its "\" and a file
  // path a byte of its name; what is left of either ends in the same
  // folder.
  size_t last = 0;
  for (size_t i = 0; i < path.size(); i += CharLength(path, i)) last = i;
  return FolderOf(path.substr(0, last));
}

void FolderSet::Add(std::string_view folder) {
  std::string key = Folded(WithSeparator(std::string(folder)));
  if (key.size() >= lengths_.size()) lengths_.resize(key.size() + 1);
  lengths_[key.size()] = true;
  folders_.insert(std::move(key));
}

bool FolderSet::HoldsBelow(std::string_view path) const {
  if (folders_.empty() || path.empty()) return false;
  // Only as much as the longest folder, and the character that follows it.
  Fold(path, folded_, lengths_.size() + 1);
  const std::string_view p(folded_);
  // A folder is shorter than what it holds.
  const size_t end = std::min(path.size() - 1, lengths_.size() - 1);
  for (size_t i = 0; i < end; i += CharLength(p, i))
    if (p[i] == '\\' && lengths_[i + 1] && folders_.find(p.substr(0, i + 1)) != folders_.end()) return true;
  return false;
}

std::string UpperFolderMessage(const std::string& path, bool isFolder) {
  const char* format =
      isFolder ? "フォルダ\r\n  %s\r\nには上位フォルダが存在するため、削除してもチェック時に再検索されてしまいます。\r\n"
                 "このフォルダは削除せずに「保存しない」に変更します。\r\n\r\nこのダイアログを次回も表示しますか？"
               : "ファイル\r\n  %s\r\nには上位フォルダが存在するため、削除してもチェック時に再検索されてしまいます。\r\n"
                 "このファイルは削除せずに「保存しない」に変更します。\r\n\r\nこのダイアログを次回も表示しますか？";
  std::vector<char> text(std::char_traits<char>::length(format) + path.size() + 1);
  std::snprintf(text.data(), text.size(), format, path.c_str());
  return text.data();
}

std::string NoSaveFolderQuestion(const std::string& folder) {
  return folder +
         "\r\nに含まれるサブフォルダ・ファイルは今後もバックアップされます。\r\n"
         "特に必要が無ければリストから削除して下さい。\r\n\r\nリストから削除しますか？";
}

DeletionOutcome DeleteTargets(CFileList& list, const std::vector<int32_t>& selected,
                              const ShowAgainQuestion& ask, const std::string& settingsFile) {
  DeletionOutcome outcome;
  const int32_t count = list.Count();
  auto inRange = [count](int32_t i) { return i >= 0 && i < count; };
  // Whatever lies below a selected folder goes with that folder, which
  // comes first in path order, whether it is kept or removed.  What is
  // left of the selection then lies below none of its own folders, so the
  // order in which it is handled changes nothing but the order of the
  // messages.
  FolderSet selectedFolders;
  for (int32_t i : selected)
    if (const FileEntry* e = inRange(i) ? list.EntryAt(i) : nullptr; e && e->IsFolder() && !e->IsWithdrawn())
      selectedFolders.Add(e->Path());

  std::vector<char> handled(static_cast<size_t>(count), 0), leaving(static_cast<size_t>(count), 0);
  FolderSet emptied;
  std::vector<std::pair<std::string, std::string>> kept;  // folded and as listed
  // Rows of one folder usually come one after the other and share their
  // upper folder: it is looked up once for them.
  std::string lastUpper;
  bool lastUpperListed = false;
  for (int32_t i : selected) {
    if (!inRange(i) || handled[i]) continue;
    handled[i] = 1;
    FileEntry* e = list.EntryAt(i);
    if (!e || e->IsWithdrawn()) continue;
    std::string path = e->Path();
    if (selectedFolders.HoldsBelow(path)) {
      leaving[i] = 1;
      continue;
    }
    // Kept or not, a folder is not searched again, so what was found in
    // it goes.
    if (e->IsFolder()) emptied.Add(path);
    std::string upper = UpperFolder(path);
    if (upper.empty() || upper != lastUpper) {
      lastUpperListed = !upper.empty() && list.FindEntry(upper);
      lastUpper = std::move(upper);
    }
    if (lastUpperListed) {
      e->saveType = SaveType::NoSave;
      kept.emplace_back(Folded(path), std::move(path));
    } else {
      leaving[i] = 1;
    }
  }
  if (!emptied.Empty())
    for (int32_t i = 0; i < count; ++i)
      if (const FileEntry* e = leaving[i] ? nullptr : list.EntryAt(i); e && emptied.HoldsBelow(e->Path()))
        leaving[i] = 1;
  for (int32_t i = 0; i < count; ++i)
    if (leaving[i] && list.RemoveDuringCheck(i)) ++outcome.removed;
  // One renumbering for the whole selection.
  list.ApplyRemovals();

  outcome.keptAsNoSave = static_cast<int32_t>(kept.size());
  if (kept.empty() || EqualNoCase(ReadSetting(settingsFile, kParentFolderListedKey), "Yes")) return outcome;
  std::sort(kept.begin(), kept.end());
  for (const auto& [folded, path] : kept)
    if (!ask(UpperFolderMessage(path, EndsWithChar(path, '\\')))) {
      WriteSetting(settingsFile, "Yes", kParentFolderListedKey);
      break;
    }
  return outcome;
}

std::vector<int32_t> ApplyBelow(CFileList& list, const std::string& folder, BelowAction action) {
  FolderSet folders;
  folders.Add(folder);
  std::vector<int32_t> touched;
  ForEachBelow(list, folders, [&](int32_t i, FileEntry* e) {
    if (action == BelowAction::NoSave)
      e->saveType = SaveType::NoSave;
    else if (!list.RemoveDuringCheck(i))
      return;
    touched.push_back(i);
  });
  return touched;
}

SaveType ChangedSaveType(SaveType requested, bool isFolder) {
  return isFolder && requested == SaveType::Normal ? SaveType::Search : requested;
}

std::vector<std::string> DepthChoices() {
  std::vector<std::string> choices{kAnyDepthText};
  for (int n = 1; n <= kMaxSearchDepth; ++n) choices.push_back(std::to_string(n));
  return choices;
}

int DepthIndexOf(SaveType type) {
  if (type == SaveType::NoSave) return -1;
  const int depth = SearchDepthOf(type);
  if (depth == kAnyDepth) return 0;
  // A file's code on a folder (or a depth no choice stands for) selects
  // nothing, and leaves the code as it is unless the user chooses.
  return depth >= 0 && depth <= kMaxSearchDepth ? depth : -2;
}

SaveType SaveTypeOfDepthIndex(int index) { return index == 0 ? SaveType::Search : SearchDepthType(index); }

SaveType FolderTypeForDepthIndex(int index) {
  return index == 0 ? SaveType::Search : SearchDepthType(index + 1);
}

SelectionTotals TotalSelection(const std::vector<std::string>& paths) {
  SelectionTotals totals;
  for (const std::string& path : paths) {
    plat::FileStatus status;
    bool examined = plat::GetFileStatus(path, status);
    if (examined && status.isDirectory) {
      ++totals.folders;
    } else {
      ++totals.files;
      if (examined) totals.bytes += status.size;
    }
  }
  return totals;
}

std::string SelectionCountText(const SelectionTotals& totals) {
  char text[96];
  std::snprintf(text, sizeof text, "ファイル数 : %d、フォルダ数 : %d", totals.files, totals.folders);
  return text;
}

std::string SelectionSizeText(const SelectionTotals& totals) {
  char text[96];
  std::snprintf(text, sizeof text, "%.3fMB(%lldバイト)", static_cast<double>(totals.bytes) / 1048576.0,
                static_cast<long long>(totals.bytes));
  return text;
}

std::string OpenPathOf(const std::string& entryPath, bool containingFolder) {
  std::string path = StripTrailingSeparator(entryPath, true);
  if (containingFolder) {
    size_t slash = LastCharPos(path, '\\');
    if (slash != kNone) path.resize(slash);
  }
  // "C:" names the drive's current folder; its root is meant.
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

}  // namespace quz
