// The rows of the target list over the catalogue, without the window: which
// entry each row shows, the texts of its cells (computed when first asked
// and kept until the rows are rebuilt), and the order the header clicks
// choose.  The window wires a list view to it; quzctl, the tests and the
// benchmark use it as it is.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/file_list.h"
#include "targets/cell_text.h"
#include "targets/row_sort.h"

namespace quz {

// What the shell says about files, for the type column.  The window asks
// the Windows shell; without an answer (or without a shell at all) the
// column falls back to FallbackTypeText.
struct ShellTexts {
  // The shell's type description of a file or folder; empty when it has
  // none.  Asked once per ShellKey.
  std::function<std::string(const std::string& path, bool isFolder)> typeName;
  // The kind of drive a drive root ("C:\") is.
  std::function<DriveKind(const std::string& root)> driveKind;
};

// The texts of one column by catalogue index.  They are kept in large
// blocks and never move until Clear, so a sort compares them where they
// are; a text equal to the one stored just before it is kept once (the
// rows of one folder share their folder's text).
class CellColumn {
 public:
  void Clear();
  // The stored text; null when it was not computed yet.
  const char* Find(int32_t entry) const;
  const char* Store(int32_t entry, std::string_view text);
  void Forget(int32_t entry);

 private:
  static constexpr size_t kBlockSize = 1 << 16;
  static constexpr size_t kMaxText = 1023;
  std::vector<const char*> at_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = kBlockSize;
  const char* last_ = nullptr;
  size_t lastSize_ = 0;
};

// The sizes a size sort orders by.  Reading them costs one status call per
// row, seconds at a quarter of a million rows, so the window reads them on
// a thread of its own (Run) and applies them when they are all there.
struct SizeJob {
  std::vector<std::string> paths;  // of the rows, in row order
  std::vector<int64_t> keys;       // SizeKey of each path, once Run is done
  std::atomic<int32_t> done{0};
  std::atomic<bool> cancelled{false};
  uint32_t generation = 0;  // of the rows it was made for
  bool ascending = true;    // the direction when it was asked for
  // Reads every key unless cancelled; true when all were read.
  bool Run();
};

class CTargetRows {
 public:
  explicit CTargetRows(const CFileList& list, ShellTexts shell = {});

  // The column the rows are sorted by (-1: catalogue order) and the
  // direction of the next sort.  A header click sorts by its column and
  // then turns the direction round, whichever column is clicked; so with
  // the first click on the size column (which sorts by a reversed
  // ascending order) the largest files come first.
  int sortColumn = -1;
  bool sortAscending = true;

  // Forgets every cell text and lists each entry that is not withdrawn, in
  // catalogue order; the number of rows.
  int32_t BuildRows();
  // Sorts the rows by sortColumn (reading every file's size for the size
  // column).
  void SortRows(SortProgress* progress = nullptr);
  // BuildRows, then SortRows.
  int32_t Refresh(SortProgress* progress = nullptr);
  // A click on a column's header.
  void ClickHeader(int column, SortProgress* progress = nullptr);

  // The two halves of a size sort for a window that reads the sizes on
  // another thread: the job for the rows as they are, and its result.
  // Applying is refused (false) when the rows were rebuilt meanwhile.
  std::shared_ptr<SizeJob> MakeSizeJob() const;
  bool ApplySizes(const SizeJob& job);

  int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }
  // The catalogue index a row shows; -1 for no row.
  int32_t EntryOfRow(int32_t row) const;
  const std::vector<int32_t>& Rows() const { return rows_; }
  // Changes with every BuildRows.
  uint32_t Generation() const { return generation_; }

  // The text of a cell of catalogue entry `entry`: computed on first use
  // and kept until the rows are rebuilt.  Stays valid until then.
  std::string_view CellText(int32_t entry, int column);
  // Forgets the texts of one entry, which are computed again when asked.
  void ForgetCells(int32_t entry);

 private:
  // The text of a cell of the other columns, valid until the next call.
  std::string_view ComputeCell(FileEntry& e, int column);
  const std::string& TypeText(const std::string& path, bool isFolder);
  const std::string& TimeText(int32_t time);
  void SortByText(SortProgress* progress);

  const CFileList& list_;
  ShellTexts shell_;
  std::vector<int32_t> rows_;
  uint32_t generation_ = 0;
  CellColumn cells_[kTargetColumns];
  // The shell's answers by ShellKey, for the life of the list: a new
  // extension costs one question, a row none.
  std::unordered_map<std::string, std::string> typeTexts_;
  // Times of one minute share a text; checks give whole folders nearly
  // the same time, so most rows find theirs here.
  int64_t timeMinute_ = -1;
  std::string timeText_;
  // Reused for every row: no allocation per cell.
  std::string path_, scratch_;
};

}  // namespace quz
