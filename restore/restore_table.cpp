#include "restore/restore_table.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <mutex>

#include "app/text.h"
#include "platform/exceptions.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz {

const char kAllNewestText[] = "全ての最新ファイル";
const char kRootText[] = "全体";

namespace {

const char kListName[] = "quzFileList.txt";

bool IsCharStart(std::string_view text, size_t pos) {
  size_t i = 0;
  while (i < pos) i += CharLength(text, i);
  return i == pos;
}

// A saved name is a plain file name: a damaged or foreign list must not make
// a copy location point somewhere else.
bool PlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    if (CharLength(name, i) == 2) continue;
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

// The number of a fragment's name "%07d.dat"; false for any other name.
bool FragmentNumber(std::string_view name, int32_t* n) {
  if (name.size() != 11 || !EqualNoCase(name.substr(7), ".dat")) return false;
  int32_t value = 0;
  for (size_t i = 0; i < 7; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    value = value * 10 + (name[i] - '0');
  }
  *n = value;
  return true;
}

}  // namespace

int64_t CandidateSlot(int64_t t) {
  // Floor division: -1 lies in the slot before 0.
  return t >= 0 ? t / kCandidateSlot : -((-t + kCandidateSlot - 1) / kCandidateSlot);
}

std::vector<int64_t> ReadCopyTimes(const std::string& location, int32_t timeZoneOffset) {
  std::vector<int64_t> times;
  plat::FileStatus st;
  if (!plat::GetFileStatus(StripTrailingSeparator(location), st)) return times;
  times.push_back(static_cast<int64_t>(st.mtime) - timeZoneOffset);
  // A normal copy has no fragments.  A fragment folder's fragments come from
  // one listing rather than a look-up per number: every look-up of a name
  // that is not there costs a search of the folder on Windows.
  if (!EndsWithChar(location, '\\')) return times;
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(location, entries)) return times;
  std::vector<std::pair<int32_t, plat::Time32>> fragments;
  for (const plat::DirEntry& e : entries) {
    int32_t n = 0;
    if (!e.isDirectory && FragmentNumber(e.name, &n)) fragments.emplace_back(n, e.mtime);
  }
  std::sort(fragments.begin(), fragments.end());
  // Fragments 0, 1, ... up to the first number missing.
  int32_t next = 0;
  for (const auto& [n, mtime] : fragments) {
    if (n != next) break;
    times.push_back(static_cast<int64_t>(mtime) - timeZoneOffset);
    ++next;
  }
  return times;
}

std::string CopyPathOf(const std::string& location, int32_t n) {
  std::string path = location;
  if (n >= 0) {
    char number[16];
    std::snprintf(number, sizeof number, "%07d.dat", static_cast<int>(n));
    path += number;
  }
  return StripTrailingSeparator(path);
}

std::vector<FragmentTime> FragmentsAfter(const std::string& folder, int32_t after) {
  std::vector<FragmentTime> found;
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(folder, entries)) return found;
  for (const plat::DirEntry& e : entries) {
    if (e.isDirectory || e.name.size() != 11 || e.name.compare(7, 4, ".dat") != 0) continue;
    int32_t n = 0;
    bool digits = true;
    for (int i = 0; i < 7; ++i) {
      if (e.name[i] < '0' || e.name[i] > '9') digits = false;
      n = n * 10 + (e.name[i] - '0');
    }
    if (digits && n > after) found.push_back(FragmentTime{n, e.mtime});
  }
  std::sort(found.begin(), found.end(), [](const FragmentTime& a, const FragmentTime& b) { return a.number < b.number; });
  return found;
}

std::string_view SourceFolderView(std::string_view path) {
  size_t pos = LastCharPos(path, '\\');
  return pos == kNone ? std::string_view() : path.substr(0, pos);
}

std::string SourceFolderOf(std::string_view path) { return std::string(SourceFolderView(path)); }

std::string FileNameOf(std::string_view path) {
  size_t pos = LastCharPos(path, '\\');
  return std::string(pos == kNone ? path : path.substr(pos + 1));
}

std::string FoldedKey(std::string_view path) {
  std::string key(path);
  for (size_t i = 0; i < key.size(); i += CharLength(key, i)) {
    if (CharLength(key, i) == 1 && key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] + 32);
  }
  return key;
}

size_t FoldedHash::operator()(std::string_view path) const {
  uint64_t h = 14695981039346656037ull;
  bool trail = false;
  for (char ch : path) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (trail) {
      trail = false;
    } else if (IsLeadByte(c)) {
      trail = true;
    } else if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + 32);
    }
    h = (h ^ c) * 1099511628211ull;
  }
  return static_cast<size_t>(h ^ (h >> 29));
}

bool FoldedEqual::operator()(std::string_view a, std::string_view b) const { return EqualNoCase(a, b); }

bool IsInFolder(std::string_view path, std::string_view folder) {
  if (folder.empty()) return true;
  if (path.size() < folder.size()) return false;
  if (!EqualNoCase(path.substr(0, folder.size()), folder)) return false;
  if (path.size() == folder.size()) return true;
  // The next character must be a separator of its own, not the trail byte of
  // a double-byte character that folder cut in half.
  return path[folder.size()] == '\\' && IsCharStart(path, folder.size());
}

// ---------------------------------------------------------------- tree

CRestoreTree::CRestoreTree() { Clear(); }

void CRestoreTree::Clear() {
  items_.clear();
  byKey_.clear();
  RestoreFolder root;
  root.label = kRootText;
  items_.push_back(root);
}

int32_t CRestoreTree::AddFolder(std::string_view path, int32_t parent) {
  auto it = byKey_.find(path);
  if (it != byKey_.end()) return it->second;
  RestoreFolder folder;
  folder.path = std::string(path);
  // A drive ("C:") or a network server ("\\server") shows its whole name.
  folder.label = parent == 0 ? folder.path : FileNameOf(path);
  folder.parent = parent;
  folder.isDrive = parent == 0;
  int32_t item = static_cast<int32_t>(items_.size());
  items_.push_back(std::move(folder));
  items_[static_cast<size_t>(parent)].children.push_back(item);
  byKey_.emplace(std::string(path), item);
  return item;
}

void CRestoreTree::AddChain(std::string_view source) {
  // Most sources lie in a folder the tree has already: one look-up.
  size_t last = LastCharPos(source, '\\');
  if (last == kNone || byKey_.find(source.substr(0, last)) != byKey_.end()) return;
  int32_t parent = 0;
  for (size_t i = 0; i < source.size(); i += CharLength(source, i)) {
    if (source[i] != '\\') continue;
    std::string_view folder = source.substr(0, i);
    // The leading separators of a network path ("\\server\share") name no
    // folder of their own.
    if (folder.find_first_not_of('\\') == std::string_view::npos) continue;
    parent = AddFolder(folder, parent);
  }
}

int32_t CRestoreTree::Find(std::string_view folder) const {
  if (folder.empty()) return 0;
  auto it = byKey_.find(folder);
  return it == byKey_.end() ? -1 : it->second;
}

// ---------------------------------------------------------------- table

// Which entries share a source: each source's entries linked in table
// order, found through an open-addressing table of group numbers over one
// array (not a node per source), the sources' texts copied together so that
// comparing them stays among the few distinct ones.
struct CRestoreTable::SourceIndex {
  struct Group {
    uint32_t offset, length;  // in sources
    int32_t first, last;
  };
  struct Bucket {
    uint32_t hash;
    int32_t group;  // -1: empty
  };

  std::mutex mutex;
  std::atomic<int32_t> indexed{0};  // entries covered
  std::vector<int32_t> next;        // the next entry of the same source, -1 after the last
  std::vector<uint8_t> first;       // the first entry of its source
  std::vector<Group> groups;
  std::string sources;
  std::vector<Bucket> buckets = std::vector<Bucket>(1024, Bucket{0, -1});

  int32_t Find(std::string_view source, uint32_t hash) const {
    const size_t mask = buckets.size() - 1;
    for (size_t b = hash & mask;; b = (b + 1) & mask) {
      const Bucket& bucket = buckets[b];
      if (bucket.group < 0) return -1;
      if (bucket.hash != hash) continue;
      const Group& group = groups[static_cast<size_t>(bucket.group)];
      if (EqualNoCase(std::string_view(sources).substr(group.offset, group.length), source)) return bucket.group;
    }
  }
  void Place(uint32_t hash, int32_t group) {
    const size_t mask = buckets.size() - 1;
    size_t b = hash & mask;
    while (buckets[b].group >= 0) b = (b + 1) & mask;
    buckets[b] = Bucket{hash, group};
  }
  void Add(int32_t i, std::string_view source) {
    const uint32_t hash = static_cast<uint32_t>(FoldedHash()(source));
    int32_t g = Find(source, hash);
    next.push_back(-1);
    first.push_back(g < 0);
    if (g >= 0) {
      Group& group = groups[static_cast<size_t>(g)];
      next[static_cast<size_t>(group.last)] = i;
      group.last = i;
      return;
    }
    // Half full at most, so that probes stay short.
    if ((groups.size() + 1) * 2 > buckets.size()) {
      std::vector<Bucket> old(buckets.size() * 2, Bucket{0, -1});
      old.swap(buckets);
      for (const Bucket& bucket : old)
        if (bucket.group >= 0) Place(bucket.hash, bucket.group);
    }
    g = static_cast<int32_t>(groups.size());
    groups.push_back(Group{static_cast<uint32_t>(sources.size()), static_cast<uint32_t>(source.size()), i, i});
    sources += source;
    Place(hash, g);
  }
};

CRestoreTable::CRestoreTable() { Clear(); }
CRestoreTable::~CRestoreTable() = default;
CRestoreTable::CRestoreTable(CRestoreTable&&) noexcept = default;
CRestoreTable& CRestoreTable::operator=(CRestoreTable&&) noexcept = default;

void CRestoreTable::Clear() {
  slots_.clear();
  texts_.clear();
  folders_.assign(1, std::string());  // folder 0: none, for entries added whole
  index_ = std::make_unique<SourceIndex>();
}

const CRestoreTable::SourceIndex& CRestoreTable::Indexed() const {
  SourceIndex& index = *index_;
  if (index.indexed.load(std::memory_order_acquire) == Count()) return index;
  std::lock_guard<std::mutex> lock(index.mutex);
  for (int32_t i = index.indexed.load(std::memory_order_relaxed); i < Count(); ++i) index.Add(i, SourceOf(i));
  index.indexed.store(Count(), std::memory_order_release);
  return index;
}

bool CRestoreTable::AddSlot(int32_t folder, std::string_view name, std::string_view source) {
  if (Count() >= kMaxRestoreEntries) return false;
  slots_.push_back(EntrySlot{name, source, folder});
  return true;
}

bool CRestoreTable::IsFirstOfSource(int32_t i) const { return Indexed().first[static_cast<size_t>(i)] != 0; }

bool CRestoreTable::Add(const std::string& location, const std::string& source) {
  const std::string& text = texts_.emplace_back(location + source);
  std::string_view view = text;
  return AddSlot(0, view.substr(0, location.size()), view.substr(location.size()));
}

bool CRestoreTable::AddList(const std::string& subfolder, std::string listText, CRestoreTree* tree) {
  const int32_t folder = static_cast<int32_t>(folders_.size());
  folders_.push_back(subfolder);
  std::string_view text = texts_.emplace_back(std::move(listText));
  std::string_view lastFolder;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t cr = text.find('\r', pos);
    if (cr == std::string_view::npos) break;  // a last line without its line end
    std::string_view line = text.substr(pos, cr - pos);
    size_t sep = line.find('<');
    if (sep == std::string_view::npos) break;
    std::string_view name = line.substr(0, sep);
    std::string_view source = line.substr(sep + 1);
    size_t second = source.find('<');  // a second "<" ends the source path
    if (second != std::string_view::npos) source = source.substr(0, second);
    pos = cr + 1;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    if (source.empty() || (!name.empty() && !PlainName(name))) continue;
    if (!AddSlot(folder, name, source)) return false;
    // The lines of a list follow the catalogue, folder by folder: a source
    // in the folder of the line before has its folders in the tree already.
    if (tree) {
      std::string_view sourceFolder = SourceFolderView(source);
      if (sourceFolder.empty() || sourceFolder != lastFolder) tree->AddChain(source);
      lastFolder = sourceFolder;
    }
  }
  return true;
}

std::string CRestoreTable::LocationOf(int32_t i) const {
  const EntrySlot& slot = Slot(i);
  const std::string& folder = folders_[static_cast<size_t>(slot.folder)];
  std::string location;
  location.reserve(folder.size() + slot.name.size());
  location += folder;
  location += slot.name;
  return location;
}

namespace {

// Reads the lists of a save folder's subfolders in order on a thread of its
// own, a few ahead of the one taking them: reading waits for the disk and
// taking a list apart for the processor, and on a large save folder each
// takes about as long as the other.
class ListReader {
 public:
  struct List {
    int32_t at = 0;        // in the listing
    std::string folder;    // ending with "\"
    bool found = false;    // the folder holds a list
    std::string text;
  };

  ListReader(const std::string& base, const std::vector<plat::DirEntry>& listing) {
    if (!thread_.Start([this, base, &listing] { Run(base, listing); })) {
      // No thread: everything is read here, first.
      bounded_ = false;
      Run(base, listing);
    }
  }
  ~ListReader() {
    Stop();
    thread_.Join();
  }
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  // The next list in listing order; false when there is none.
  bool Next(List& list) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || done_; });
    if (ready_.empty()) return false;
    list = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return true;
  }
  void Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

 private:
  static constexpr size_t kAhead = 16;

  void Run(const std::string& base, const std::vector<plat::DirEntry>& listing) {
    try {
      for (size_t i = 0; i < listing.size(); ++i) {
        const plat::DirEntry& e = listing[i];
        // "." and ".." by name: a drive root lists neither.
        if (!e.isDirectory || e.name == "." || e.name == "..") continue;
        List list;
        list.at = static_cast<int32_t>(i);
        list.folder = base + e.name + "\\";
        list.found = plat::ReadWholeFile(list.folder + kListName, list.text);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !bounded_ || ready_.size() < kAhead || stop_; });
        if (stop_) break;
        ready_.push_back(std::move(list));
        changed_.notify_all();
      }
    } catch (...) {
      plat::ReportCurrentException("list reader");
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<List> ready_;
  bool stop_ = false;
  bool done_ = false;
  bool bounded_ = true;
  plat::Thread thread_;  // last: it runs on the members above
};

}  // namespace

int CRestoreTable::Load(const std::string& folder, CRestoreTree* tree, const LoadProgress& afterFolder) {
  Clear();
  if (tree) tree->Clear();
  std::string base = folder;
  if (!EndsWithChar(base, '\\')) base += '\\';
  std::vector<plat::DirEntry> listing;
  if (!plat::ListDirectory(base, listing)) return 0;
  int lists = 0;
  const int32_t total = static_cast<int32_t>(listing.size());
  ListReader reader(base, listing);
  ListReader::List list;
  while (reader.Next(list)) {
    bool room = true;
    if (list.found) {
      ++lists;
      room = AddList(list.folder, std::move(list.text), tree);
    }
    if ((afterFolder && !afterFolder(list.at + 1, total)) || !room) break;
  }
  return lists;
}

std::vector<int32_t> CRestoreTable::EntriesOf(std::string_view source) const {
  std::vector<int32_t> entries;
  const SourceIndex& index = Indexed();
  int32_t g = index.Find(source, static_cast<uint32_t>(FoldedHash()(source)));
  if (g < 0) return entries;
  for (int32_t i = index.groups[static_cast<size_t>(g)].first; i >= 0; i = index.next[static_cast<size_t>(i)])
    entries.push_back(i);
  return entries;
}

bool CRestoreTable::HasSource(std::string_view source) const {
  return Indexed().Find(source, static_cast<uint32_t>(FoldedHash()(source))) >= 0;
}

// ---------------------------------------------------------------- file list

std::vector<RestoreFileItem> FilesOfFolder(const CRestoreTable& table, std::string_view folder,
                                           const StopFlag* stop, const ProgressFunction& progress) {
  std::vector<RestoreFileItem> items;
  plat::ProgressThrottle throttle;
  for (int32_t i = 0; i < table.Count(); ++i) {
    if (stop && stop->load()) break;
    std::string_view source = table.SourceOf(i);
    if (table.IsFirstOfSource(i) && EqualNoCase(SourceFolderView(source), folder))
      items.push_back(RestoreFileItem{FileNameOf(source), i});
    if (progress && throttle.Due()) progress(i + 1, table.Count());
  }
  return items;
}

std::vector<RestoreFileItem> AllSources(const CRestoreTable& table) {
  std::vector<RestoreFileItem> items;
  for (int32_t i = 0; i < table.Count(); ++i)
    if (table.IsFirstOfSource(i)) items.push_back(RestoreFileItem{std::string(table.SourceOf(i)), i});
  return items;
}

// ---------------------------------------------------------------- candidates

std::string CandidateText(int64_t t) {
  plat::CalendarTime c = plat::BreakDownUtc(t);
  char text[64];
  std::snprintf(text, sizeof text, "%04d年%02d月%02d日%02d時%02d分", c.year, c.month, c.day, c.hour, c.minute);
  return text;
}

void CCandidateList::Clear() {
  items_.clear();
  slots_.clear();
}

void CCandidateList::AddAllNewest() { items_.push_back(RestoreCandidate{kAllNewestText, kAllNewestTime}); }

bool CCandidateList::AddTime(int64_t t) {
  if (!slots_.insert(CandidateSlot(t)).second) return false;
  items_.push_back(RestoreCandidate{CandidateText(t), t});
  return true;
}

void CCandidateList::AddEntryTimes(const CRestoreTable& table, int32_t entry, const std::string* folder,
                                   int32_t timeZoneOffset) {
  if (folder && !IsInFolder(SourceFolderView(table.SourceOf(entry)), *folder)) return;
  for (int64_t t : ReadCopyTimes(table.LocationOf(entry), timeZoneOffset)) AddTime(t);
}

std::vector<RestoreCandidate> CCandidateList::Sorted() const {
  std::vector<RestoreCandidate> sorted = items_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RestoreCandidate& a, const RestoreCandidate& b) { return a.text > b.text; });
  return sorted;
}

}  // namespace quz
