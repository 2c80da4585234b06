#include "targets/target_rows.h"

#include <cstring>

#include "app/text.h"

namespace quz {

// ---- cell texts

void CellColumn::Clear() {
  at_.clear();
  blocks_.clear();
  used_ = kBlockSize;
  last_ = nullptr;
  lastSize_ = 0;
}

const char* CellColumn::Find(int32_t entry) const {
  return entry >= 0 && static_cast<size_t>(entry) < at_.size() ? at_[static_cast<size_t>(entry)] : nullptr;
}

const char* CellColumn::Store(int32_t entry, std::string_view text) {
  if (entry < 0) return "";
  text = text.substr(0, CutLength(text, kMaxText));
  if (!last_ || text.size() != lastSize_ || std::memcmp(last_, text.data(), text.size()) != 0) {
    if (used_ + text.size() + 1 > kBlockSize) {
      blocks_.push_back(std::make_unique<char[]>(kBlockSize));
      used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    used_ += text.size() + 1;
    last_ = at;
    lastSize_ = text.size();
  }
  if (static_cast<size_t>(entry) >= at_.size()) at_.resize(static_cast<size_t>(entry) + 1, nullptr);
  at_[static_cast<size_t>(entry)] = last_;
  return last_;
}

void CellColumn::Forget(int32_t entry) {
  if (entry >= 0 && static_cast<size_t>(entry) < at_.size()) at_[static_cast<size_t>(entry)] = nullptr;
}

// ---- sizes

bool SizeJob::Run() {
  keys.assign(paths.size(), 0);
  for (size_t i = 0; i < paths.size(); ++i) {
    if (cancelled.load()) return false;
    keys[i] = SizeKey(paths[i]);
    done = static_cast<int32_t>(i + 1);
  }
  return true;
}

// ---- rows

CTargetRows::CTargetRows(const CFileList& list, ShellTexts shell) : list_(list), shell_(std::move(shell)) {}

int32_t CTargetRows::BuildRows() {
  for (CellColumn& column : cells_) column.Clear();
  ++generation_;
  rows_.clear();
  const int32_t count = list_.Count();
  rows_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const FileEntry* e = list_.EntryAt(i);
    if (e && !e->IsWithdrawn()) rows_.push_back(i);
  }
  return RowCount();
}

void CTargetRows::SortRows(SortProgress* progress) {
  if (sortColumn < 0 || sortColumn >= kTargetColumns) return;
  if (sortColumn != kColumnSize) return SortByText(progress);
  std::shared_ptr<SizeJob> job = MakeSizeJob();
  job->keys.resize(job->paths.size());
  for (size_t i = 0; i < job->paths.size(); ++i) {
    job->keys[i] = SizeKey(job->paths[i]);
    if (progress) progress->Step(static_cast<int64_t>(i + 1), static_cast<int64_t>(job->paths.size()));
  }
  ApplySizes(*job);
}

int32_t CTargetRows::Refresh(SortProgress* progress) {
  BuildRows();
  SortRows(progress);
  return RowCount();
}

void CTargetRows::ClickHeader(int column, SortProgress* progress) {
  sortColumn = column;
  Refresh(progress);
  sortAscending = !sortAscending;
}

std::shared_ptr<SizeJob> CTargetRows::MakeSizeJob() const {
  auto job = std::make_shared<SizeJob>();
  job->generation = generation_;
  job->ascending = sortAscending;
  job->paths.reserve(rows_.size());
  for (int32_t entry : rows_) {
    const FileEntry* e = list_.EntryAt(entry);
    job->paths.push_back(e ? e->Path() : std::string());
  }
  return job;
}

bool CTargetRows::ApplySizes(const SizeJob& job) {
  if (job.generation != generation_ || job.keys.size() != rows_.size()) return false;
  // Ascending keys reversed under an ascending flag: see sortColumn.
  SortRowsBySize(rows_, job.keys, job.ascending);
  return true;
}

void CTargetRows::SortByText(SortProgress* progress) {
  const int column = sortColumn;
  const int64_t n = RowCount();
  std::vector<KeyedRow> keyed(rows_.size());
  // Computing the texts is the first half of the work the window shows.
  if (progress) progress->SetPart(0, 50);
  for (size_t i = 0; i < rows_.size(); ++i) {
    keyed[i] = {CellText(rows_[i], column).data(), rows_[i]};
    if (progress) progress->Step(static_cast<int64_t>(i + 1), n);
  }
  if (progress) progress->SetPart(50, 100);
  SortKeyedRows(keyed, sortAscending, progress);
  for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].entry;
}

int32_t CTargetRows::EntryOfRow(int32_t row) const {
  return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)] : -1;
}

std::string_view CTargetRows::CellText(int32_t entry, int column) {
  if (column < 0 || column >= kTargetColumns) return "";
  CellColumn& cells = cells_[column];
  if (const char* text = cells.Find(entry)) return text;
  FileEntry* e = list_.EntryAt(entry);
  // An entry a running check removed has no text (and none is kept).
  if (!e) return "";
  if (column == kColumnName || column == kColumnFolder) {
    // The commonest texts of a sort, cut from the path where they lie.
    e->Path(path_);
    std::string_view name, folder;
    SplitView(path_, e->IsFolder(), &name, &folder);
    return cells.Store(entry, column == kColumnName ? name : folder);
  }
  return cells.Store(entry, ComputeCell(*e, column));
}

void CTargetRows::ForgetCells(int32_t entry) {
  for (CellColumn& column : cells_) column.Forget(entry);
}

std::string_view CTargetRows::ComputeCell(FileEntry& e, int column) {
  switch (column) {
    case kColumnType:
      e.Path(path_);
      return TypeText(path_, e.IsFolder());
    case kColumnLookedAt: {
      int32_t time = e.lookedAtTime.load();
      // A time before 1970 is taken for "never" and kept as such.
      if (time < 0) {
        e.lookedAtTime.compare_exchange_strong(time, 0);
        time = 0;
      }
      return TimeText(time);
    }
    default:
      scratch_ = quz::CellText(e, column);
      return scratch_;
  }
}

const std::string& CTargetRows::TypeText(const std::string& path, bool isFolder) {
  std::string key = ShellKey(path, isFolder);
  auto known = typeTexts_.find(key);
  if (known != typeTexts_.end()) return known->second;
  std::string text;
  if (IsDriveRoot(path) && shell_.driveKind) text = DriveTypeText(shell_.driveKind(path));
  if (text.empty() && shell_.typeName) text = shell_.typeName(path, isFolder);
  if (text.empty()) text = FallbackTypeText(ListExtension(path));
  return typeTexts_.emplace(std::move(key), std::move(text)).first->second;
}

const std::string& CTargetRows::TimeText(int32_t time) {
  // A zone's offset is whole minutes, so one minute of time is one text.
  const int64_t minute = time / 60;
  if (minute != timeMinute_) {
    timeText_ = LookedAtText(time);
    timeMinute_ = minute;
  }
  return timeText_;
}

}  // namespace quz
