// The restore window ("quz - ファイル復元") and the dialogs a restore asks
// with: the other folder to restore into, the overwrite question and the
// result.  Windows only.
//
// The window reads a save folder's copy lists, shows the folders the saved
// files came from as a tree, the files of the selected folder and the points
// in time at which copies exist, and runs the restore engine with the
// selection.  Reading the save folder and gathering files and times run on
// worker threads that hand their results to the window's thread; the window
// stops them before it loads another folder, starts another listing or
// closes, and never waits for them while they could be waiting for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "platform/window.h"
#include "restore/restore_engine.h"
#include "restore/restore_listing.h"
#include "restore/restore_table.h"

namespace quz {

// "フォルダー選択": the folder "別の場所に復元" restores into.  A folder may be
// typed (a new one is made by the restore), browsed for or dropped.
class CRestoreFolderDlg : public plat::Dialog {
 public:
  explicit CRestoreFolderDlg(std::string folder);
  // The folder chosen, once the dialog ended with OK.
  const std::string& Folder() const { return folder_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::string folder_;
};

// "ファイルの上書きの確認": the existing file and the copy that would replace
// it.  Ends with IDYES, IDNO or IDC_OVERWRITE_ALL.
class COverwriteDlg : public plat::Dialog {
 public:
  explicit COverwriteDlg(plat::OverwriteQuestion question);
  static plat::OverwriteAnswer AnswerOf(INT_PTR result);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  plat::OverwriteQuestion question_;
  plat::UniqueIcon currentIcon_, newIcon_;
};

// "quz - 復元結果": how many files were restored and whether any failed.
class CRestoreResultDlg : public plat::Dialog {
 public:
  explicit CRestoreResultDlg(RestoreCounts counts);

 protected:
  bool OnInitDialog() override;

 private:
  RestoreCounts counts_;
};

// The restore engine's questions as the restore window asks them: message
// boxes and the overwrite dialog owned by the window, and its own progress
// window.  Used on the window's thread only.
class CRestoreInteraction : public plat::IUserInteraction {
 public:
  explicit CRestoreInteraction(HWND owner) : owner_(owner) {}
  ~CRestoreInteraction() override { CloseProgress(); }
  int Message(const std::string& text, const std::string& caption, unsigned style) override;
  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion& question) override;
  void Progress(int percent, const std::string& caption) override;
  void CloseProgress();

 private:
  HWND owner_;
  ProgressOnDemand progress_;
};

class CRestoreDlg : public plat::Dialog {
 public:
  // The timer of the delayed first load.
  static constexpr UINT_PTR kOpenTimer = 1;
  // At most this many selected files give candidates.
  static constexpr size_t kMaxSelectedFiles = 50000;

  explicit CRestoreDlg(std::string saveFolder);
  ~CRestoreDlg() override;

  // What the window holds, for the tests and the benchmark.
  const CRestoreTable& Table() const { return table_; }
  // The folder whose lists are loaded (ending with "\"); empty before.
  const std::string& LoadedFolder() const { return loadedFolder_; }
  // True while the save folder is read or a listing runs.
  bool Busy() const;
  // The lines of the file list, as it shows them.
  std::vector<std::string> FileLines() const;
  // The tree's item of a folder (without "\"; empty for "全体"), or null.
  HTREEITEM TreeItemOf(std::string_view folder) const;
  // How many loads have ended, for those that wait for one.
  int LoadsDone() const { return loadsDone_; }
  // The progress window of the loading and the listing, while it shows.
  HWND ProgressWindow() const { return progress_.Handle(); }
  // The folder tree, for those that read it.
  const plat::TreeView& Tree() const { return treeView_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

 private:
  struct Loaded {
    CRestoreTable table;
    CRestoreTree tree;
  };

  void SourceChanged();
  void StartLoading(const std::string& folder);
  void LoadProgress(uint64_t load, int32_t done, int32_t total);
  void TakeLoaded(uint64_t load, const std::shared_ptr<Loaded>& loaded, const std::string& folder);
  // The tree with its root alone, or with every folder of the table.
  void ResetTree();
  void FillTree();
  void ClearLists();
  void StopListing();
  void FolderSelected(int32_t item);
  void FilesSelected();
  void StartListing(std::function<void(const StopFlag&, const ListingSink&)> listing, bool showProgress);
  void TakePiece(uint64_t listing, ListingPiece& piece);
  void DrawFileLine(const DRAWITEMSTRUCT& item) const;
  void AddCandidates(const std::vector<RestoreCandidate>& found);
  void ShowProgress(int percent);
  void CloseProgressWhenIdle();
  // The first entries of the selected files' sources.
  std::vector<int32_t> SelectedEntries() const;
  RestoreSelectionRequest Request() const;
  void Restore(bool inPlace);

  std::string saveFolder_;
  std::string loadedFolder_;
  CRestoreTable table_;
  CRestoreTree tree_;
  CCopyTimes times_;
  CCandidateRows candidates_;
  // The tree item shown in the lists; -1 for none.
  int32_t folderItem_ = -1;
  // The lines of the file list, sorted, each with the first entry of its
  // source.  The list box holds only their number (it has no data of its
  // own): 250,000 lines come and go at once.
  std::vector<RestoreFileItem> files_;
  // Results of an older load or listing are dropped by their number.
  uint64_t load_ = 0;
  uint64_t listing_ = 0;
  bool loading_ = false;
  bool listingRuns_ = false;
  bool listingProgress_ = false;
  uint32_t loadStart_ = 0;
  uint32_t listingStart_ = 0;
  bool fillingTree_ = false;
  bool restoring_ = false;
  int loadsDone_ = 0;

  plat::TreeView treeView_;
  // The tree view's item of each folder of tree_.
  std::vector<HTREEITEM> treeItems_;
  plat::ListView candidateList_;
  plat::ImageList images_;
  int rootImage_ = -1, driveImage_ = -1, folderImage_ = -1;
  ProgressOnDemand progress_;
  // Last, so that the workers stop before anything they use goes.  The
  // window waits for the loading, which runs at the window's own priority;
  // the lists fill below it.
  CListFiller loader_{plat::Priority::Normal};
  CListFiller filler_;
};

}  // namespace quz
