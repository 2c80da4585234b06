// What the target window's commands do to the catalogue, without a window:
// deleting targets with the folder rules, the entries below a folder, save
// type changes, search depths, the properties' totals and the paths the
// open commands hand to the shell.  The commands (target_commands.cpp) add
// the questions, dialogs and the list; these run and are tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "catalogue/file_list.h"

namespace quz {

// The folder directly above a path, ending with "\": "C:\a\" for "C:\a\b\"
// and for "C:\a\b.txt" alike; empty for a drive root and for a path
// without a folder.
std::string UpperFolder(std::string_view path);

// Folders (ending with "\") and what lies below them, letter case ignored
// as the system does.  Looking up a path costs one hash per separator in
// it, so a whole catalogue is tested against any number of folders in one
// pass.
class FolderSet {
 public:
  void Add(std::string_view folder);
  bool Empty() const { return folders_.empty(); }
  // True when path lies inside one of the folders (the folder itself is
  // not inside).
  bool HoldsBelow(std::string_view path) const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_set<std::string, Hash, std::equal_to<>> folders_;
  // Which lengths the folders have: only prefixes of those lengths are
  // looked up.
  std::vector<bool> lengths_;
  mutable std::string folded_;
};

// "ファイル ... には上位フォルダが存在するため ..." (or "フォルダ ..."), the
// question whose Yes shows it again next time.
std::string UpperFolderMessage(const std::string& path, bool isFolder);
inline constexpr char kUpperFolderCaption[] = "「削除」コマンド";
// The question before a folder becomes "保存しない"; Yes makes everything
// listed below it "保存しない" as well.
std::string NoSaveFolderQuestion(const std::string& folder);
inline constexpr char kNoSaveFolderCaption[] = "「保存しない」に変更されるフォルダ";
inline constexpr char kDeleteDuringCheckMessage[] = "バックアップ中はアイテムを削除できません";
inline constexpr char kDeleteDuringCheckCaption[] = "情報";

// The upper-folder question; true (Yes) shows it again next time.
using ShowAgainQuestion = std::function<bool(const std::string& text)>;

// What deleting a selection did.
struct DeletionOutcome {
  int32_t removed = 0;
  // Entries inside a listed folder, made "保存しない" instead.
  int32_t keptAsNoSave = 0;
};

// Deletes the selected entries (catalogue indexes) as if in path order, a
// folder before what it holds: an entry inside a listed folder is kept as
// "保存しない" (the next check would find it again); any other entry is
// removed; a folder loses everything listed below it either way.  The
// catalogue is changed in one pass, with one renumbering, before any
// question: then the user is told about the entries kept, in path order,
// until the one answer that is not Yes, which is stored under
// "上位フォルダが存在するため" in settingsFile.  Nothing may check the
// catalogue meanwhile.
DeletionOutcome DeleteTargets(CFileList& list, const std::vector<int32_t>& selected,
                              const ShowAgainQuestion& ask, const std::string& settingsFile);

// What ApplyBelow does to each entry below a folder.
enum class BelowAction { NoSave = 1, Remove = 2 };
// Every entry below folder becomes "保存しない", or is removed from the
// index (its slot goes at the catalogue's next ApplyRemovals).  Returns the
// catalogue indexes of the entries it changed or removed.
std::vector<int32_t> ApplyBelow(CFileList& list, const std::string& folder, BelowAction action);

// The save type an entry gets from "通常保存", "差分保存" or "保存しない":
// searching is a folder's normal state, so a folder given Normal is Search.
SaveType ChangedSaveType(SaveType requested, bool isFolder);

// The depth choices of the wizard and of a folder's properties, "無制限"
// and "1" to "15": index 0 is any depth, n is n levels.
inline constexpr char kAnyDepthText[] = "無制限";
std::vector<std::string> DepthChoices();
// The choice a folder of that code shows: 0 for Search, n for 10 + n, -1
// for NoSave (no depth to choose); other codes give an index outside the
// choices.
int DepthIndexOf(SaveType type);
// The code of a folder set to a depth choice.
SaveType SaveTypeOfDepthIndex(int index);
// What AddEntry is given for a folder added with a depth choice, so that
// the folder itself gets SaveTypeOfDepthIndex(index).
SaveType FolderTypeForDepthIndex(int index);

// The files and folders of a selection and the bytes of the files.
struct SelectionTotals {
  int32_t files = 0;
  int32_t folders = 0;
  int64_t bytes = 0;
};
// Folders are paths that are folders on disk; everything else counts as a
// file, and adds its size when it can be examined.
SelectionTotals TotalSelection(const std::vector<std::string>& paths);
// "ファイル数 : %d、フォルダ数 : %d".
std::string SelectionCountText(const SelectionTotals& totals);
// "%.3fMB(%lldバイト)", the byte count in full.
std::string SelectionSizeText(const SelectionTotals& totals);

// The path the open commands hand to the shell for an entry: the entry
// itself without its trailing "\", or the folder that holds it.  A drive
// root stays a root ("C:\"): "C:" alone would be the drive's current
// folder.
std::string OpenPathOf(const std::string& entryPath, bool containingFolder);

}  // namespace quz
