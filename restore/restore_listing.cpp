#include "restore/restore_listing.h"

#include <algorithm>

#include "app/text.h"
#include "platform/exceptions.h"
#include "platform/interaction.h"

namespace quz {

// ---------------------------------------------------------------- copy times

void CCopyTimes::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Span>().swap(spans_);
  std::vector<int64_t>().swap(times_);
}

std::vector<int64_t> CCopyTimes::Of(const CRestoreTable& table, int32_t entry) {
  const size_t i = static_cast<size_t>(entry);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spans_.size() < static_cast<size_t>(table.Count())) spans_.resize(static_cast<size_t>(table.Count()));
    const Span& span = spans_[i];
    if (span.read) return std::vector<int64_t>(times_.begin() + span.offset, times_.begin() + span.offset + span.count);
  }
  // Read without the lock: the other thread need not wait for the disk.
  std::vector<int64_t> times = ReadCopyTimes(table.LocationOf(entry), timeZoneOffset_);
  std::lock_guard<std::mutex> lock(mutex_);
  if (i < spans_.size() && !spans_[i].read && times_.size() + times.size() <= UINT32_MAX) {
    spans_[i] = Span{static_cast<uint32_t>(times_.size()), static_cast<uint32_t>(times.size()), true};
    times_.insert(times_.end(), times.begin(), times.end());
  }
  return times;
}

// ---------------------------------------------------------------- file list order

namespace {

bool FileItemLess(const RestoreFileItem& x, const RestoreFileItem& y) {
  std::string_view a = x.text, b = y.text;
  // Equal up to i, so a character starts at i in both texts.
  for (size_t i = 0; i < a.size() && i < b.size();) {
    size_t len = CharLength(a, i);
    for (size_t k = 0; k < len && i + k < b.size(); ++k) {
      unsigned char ca = static_cast<unsigned char>(a[i + k]), cb = static_cast<unsigned char>(b[i + k]);
      if (len == 1) {
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
      }
      if (ca != cb) return ca < cb;
    }
    i += len;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

bool TextDescending(const RestoreCandidate& a, const RestoreCandidate& b) { return a.text > b.text; }

}  // namespace

void SortFileItems(std::vector<RestoreFileItem>& items) { std::sort(items.begin(), items.end(), FileItemLess); }

// ---------------------------------------------------------------- candidate rows

void CCandidateRows::Clear() {
  rows_.clear();
  slots_.clear();
}

void CCandidateRows::AddAllNewest() {
  if (RowOf(kAllNewestTime) >= 0) return;
  rows_.insert(rows_.begin(), RestoreCandidate{kAllNewestText, kAllNewestTime});
}

int CCandidateRows::Add(const std::vector<RestoreCandidate>& found) {
  std::vector<RestoreCandidate> added;
  for (const RestoreCandidate& c : found)
    if (slots_.insert(CandidateSlot(c.time)).second) added.push_back(c);
  if (added.empty()) return 0;
  std::sort(added.begin(), added.end(), TextDescending);
  std::vector<RestoreCandidate> merged;
  merged.reserve(rows_.size() + added.size());
  std::merge(std::make_move_iterator(rows_.begin()), std::make_move_iterator(rows_.end()),
             std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
             std::back_inserter(merged), TextDescending);
  rows_ = std::move(merged);
  return static_cast<int>(added.size());
}

int32_t CCandidateRows::RowOf(int64_t t) const {
  for (size_t row = 0; row < rows_.size(); ++row)
    if (rows_[row].time == t) return static_cast<int32_t>(row);
  return -1;
}

// ---------------------------------------------------------------- listings

namespace {

// Gathers candidates in slots of their own and hands them over at most every
// 50 ms.
class CandidateGatherer {
 public:
  CandidateGatherer(CCopyTimes& times, const ListingSink& sink) : times_(times), sink_(sink) {}
  void AddEntry(const CRestoreTable& table, int32_t entry) {
    for (int64_t t : times_.Of(table, entry))
      if (found_.AddTime(t)) piece_.candidates.push_back(found_.Items().back());
  }
  void Progress(int32_t done, int32_t total) {
    if (!throttle_.Due()) return;
    Hand(done, total, false);
  }
  void Finish(int32_t total) { Hand(total, total, true); }

 private:
  void Hand(int32_t done, int32_t total, bool last) {
    piece_.done = done;
    piece_.total = total;
    piece_.last = last;
    sink_(std::move(piece_));
    piece_ = ListingPiece();
  }
  CCopyTimes& times_;
  const ListingSink& sink_;
  CCandidateList found_;
  ListingPiece piece_;
  plat::ProgressThrottle throttle_;
};

}  // namespace

void ListFolder(const CRestoreTable& table, CCopyTimes& times, const std::string& folder, const StopFlag& stop,
                const ListingSink& sink) {
  const int32_t total = table.Count();
  ListingPiece files;
  files.files = folder.empty() ? AllSources(table) : FilesOfFolder(table, folder, &stop);
  if (stop) return;
  SortFileItems(files.files);
  files.total = total;
  if (folder.empty()) {
    // "全体" offers no candidate until files are selected.
    files.done = total;
    files.last = true;
    sink(std::move(files));
    return;
  }
  sink(std::move(files));

  CandidateGatherer gatherer(times, sink);
  for (int32_t i = 0; i < total; ++i) {
    if (stop) return;
    if (IsInFolder(SourceFolderView(table.SourceOf(i)), folder)) gatherer.AddEntry(table, i);
    gatherer.Progress(i + 1, total);
  }
  if (stop) return;
  gatherer.Finish(total);
}

void ListCandidates(const CRestoreTable& table, CCopyTimes& times, const std::vector<int32_t>& entries,
                    const StopFlag& stop, const ListingSink& sink) {
  CandidateGatherer gatherer(times, sink);
  const int32_t total = static_cast<int32_t>(entries.size());
  for (int32_t i = 0; i < total; ++i) {
    if (stop) return;
    gatherer.AddEntry(table, entries[static_cast<size_t>(i)]);
    gatherer.Progress(i + 1, total);
  }
  if (stop) return;
  gatherer.Finish(total);
}

std::vector<int32_t> EntriesOfFiles(const CRestoreTable& table, const std::vector<int32_t>& firstEntries,
                                    size_t maxFiles) {
  std::vector<int32_t> entries;
  const size_t files = std::min(firstEntries.size(), maxFiles);
  for (size_t f = 0; f < files; ++f) {
    int32_t first = firstEntries[f];
    if (first < 0 || first >= table.Count()) continue;
    for (int32_t entry : table.EntriesOf(table.SourceOf(first))) entries.push_back(entry);
  }
  return entries;
}

bool IsFullFolderPath(std::string_view path) {
  if (path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\')
    return true;
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

// ---------------------------------------------------------------- the worker

CListFiller::~CListFiller() { Stop(); }

bool CListFiller::Start(Job job) {
  Stop();
  stop_ = false;
  return thread_.Start(
      [this, job = std::move(job)] {
        try {
          job(stop_);
        } catch (...) {
          plat::ReportCurrentException("restore list thread");
        }
      },
      priority_);
}

void CListFiller::Stop() {
  stop_ = true;
  thread_.Join();
}

}  // namespace quz
