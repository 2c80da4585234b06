#include "restore/restore_table.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "app/temporary_files.h"
#include "app/text.h"
#include "engine/differential_save.h"
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
    if (!e.isDirectory && ParseFragmentName(e.name, n)) fragments.emplace_back(n, e.mtime);
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

std::vector<FragmentTime> FragmentsOutsideChain(const std::string& folder, int32_t after) {
  std::vector<FragmentTime> beyond, setAside;
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(folder, entries)) return beyond;
  for (const plat::DirEntry& e : entries) {
    if (e.isDirectory) continue;
    int32_t n = 0;
    if (ParseFragmentName(e.name, n) && n > after)
      beyond.push_back(FragmentTime{n, e.mtime, folder + e.name});
    else if (IsSetAsideFragmentName(e.name))
      setAside.push_back(FragmentTime{-1, e.mtime, folder + e.name});
  }
  std::sort(beyond.begin(), beyond.end(), [](const FragmentTime& a, const FragmentTime& b) { return a.number < b.number; });
  beyond.insert(beyond.end(), setAside.begin(), setAside.end());
  return beyond;
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

uint32_t FoldedHash(std::string_view path) {
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
  return static_cast<uint32_t>(h ^ (h >> 32));
}

void CPathNumbers::Place(uint32_t hash, int32_t number) {
  const size_t mask = buckets_.size() - 1;
  size_t b = hash & mask;
  while (buckets_[b].number >= 0) b = (b + 1) & mask;
  buckets_[b] = Bucket{hash, number};
}

void CPathNumbers::Insert(uint32_t hash, int32_t number) {
  if ((count_ + 1) * 2 > buckets_.size()) {
    std::vector<Bucket> old(buckets_.size() * 2, Bucket{0, -1});
    old.swap(buckets_);
    for (const Bucket& bucket : old)
      if (bucket.number >= 0) Place(bucket.hash, bucket.number);
  }
  Place(hash, number);
  ++count_;
}

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
  byPath_.Clear();
  RestoreFolder root;
  root.label = kRootText;
  items_.push_back(root);
}

int32_t CRestoreTree::FindItem(std::string_view path, uint32_t hash) const {
  return byPath_.Find(path, hash, [this](int32_t item) -> std::string_view { return At(item).path; });
}

int32_t CRestoreTree::AddFolder(std::string_view path, int32_t parent) {
  const uint32_t hash = FoldedHash(path);
  int32_t found = FindItem(path, hash);
  if (found >= 0) return found;
  RestoreFolder folder;
  folder.path = std::string(path);
  // A drive ("C:") or a network server ("\\server") shows its whole name.
  folder.label = parent == 0 ? folder.path : FileNameOf(path);
  folder.parent = parent;
  folder.isDrive = parent == 0;
  int32_t item = static_cast<int32_t>(items_.size());
  items_.push_back(std::move(folder));
  items_[static_cast<size_t>(parent)].children.push_back(item);
  byPath_.Insert(hash, item);
  return item;
}

void CRestoreTree::AddFolderChain(std::string_view folder) {
  // Most folders are in the tree already: one look-up.
  if (folder.empty() || FindItem(folder, FoldedHash(folder)) >= 0) return;
  int32_t parent = 0;
  for (size_t i = 0; i <= folder.size(); i += i < folder.size() ? CharLength(folder, i) : 1) {
    if (i < folder.size() && folder[i] != '\\') continue;
    std::string_view path = folder.substr(0, i);
    // The leading separators of a network path ("\\server\share") name no
    // folder of their own.
    if (path.find_first_not_of('\\') == std::string_view::npos) continue;
    parent = AddFolder(path, parent);
  }
}

int32_t CRestoreTree::Find(std::string_view folder) const {
  if (folder.empty()) return 0;
  return FindItem(folder, FoldedHash(folder));
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

  std::mutex mutex;
  std::atomic<int32_t> indexed{0};  // entries covered
  std::vector<int32_t> next;        // the next entry of the same source, -1 after the last
  std::vector<uint8_t> first;       // the first entry of its source
  std::vector<Group> groups;
  std::string sources;
  CPathNumbers byPath;

  int32_t Find(std::string_view source, uint32_t hash) const {
    return byPath.Find(source, hash, [this](int32_t g) {
      const Group& group = groups[static_cast<size_t>(g)];
      return std::string_view(sources).substr(group.offset, group.length);
    });
  }
  void Add(int32_t i, std::string_view source) {
    const uint32_t hash = FoldedHash(source);
    int32_t g = Find(source, hash);
    next.push_back(-1);
    first.push_back(g < 0);
    if (g >= 0) {
      Group& group = groups[static_cast<size_t>(g)];
      next[static_cast<size_t>(group.last)] = i;
      group.last = i;
      return;
    }
    g = static_cast<int32_t>(groups.size());
    groups.push_back(Group{static_cast<uint32_t>(sources.size()), static_cast<uint32_t>(source.size()), i, i});
    sources += source;
    byPath.Insert(hash, g);
  }
};

CRestoreTable::CRestoreTable() { Clear(); }
CRestoreTable::~CRestoreTable() = default;
CRestoreTable::CRestoreTable(CRestoreTable&&) noexcept = default;
CRestoreTable& CRestoreTable::operator=(CRestoreTable&&) noexcept = default;

void CRestoreTable::Clear() {
  slots_.clear();
  texts_.clear();
  textData_.clear();
  folders_.clear();
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

bool CRestoreTable::AddSlot(int32_t text, std::string_view name, std::string_view source) {
  if (Count() >= kMaxRestoreEntries) return false;
  const char* base = textData_[static_cast<size_t>(text)];
  slots_.push_back(EntrySlot{text, static_cast<uint32_t>(name.data() - base),
                             static_cast<uint32_t>(source.data() - base), static_cast<uint16_t>(name.size()),
                             static_cast<uint16_t>(source.size())});
  return true;
}

bool CRestoreTable::IsFirstOfSource(int32_t i) const { return Indexed().first[static_cast<size_t>(i)] != 0; }

int32_t CRestoreTable::AddText(std::string folder, std::string text) {
  const int32_t index = static_cast<int32_t>(texts_.size());
  textData_.push_back(texts_.emplace_back(std::move(text)).data());
  folders_.push_back(std::move(folder));
  return index;
}

bool CRestoreTable::Add(const std::string& location, const std::string& source) {
  if (location.size() > kLongest || source.size() > kLongest) return true;
  const int32_t text = AddText(std::string(), location + source);
  std::string_view view = texts_.back();
  return AddSlot(text, view.substr(0, location.size()), view.substr(location.size()));
}

namespace {

// Whether any byte of text is above 0x7F: only then can a double-byte
// character hide a "\\" as its second byte.  Eight bytes at a time.
bool HasHighBytes(std::string_view text) {
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ull) return true;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) & 0x80) return true;
  return false;
}

// A saved name is a plain file name: a damaged or foreign list must not make
// a copy location point somewhere else.
bool PlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  // Most names are single-byte throughout: one pass over the bytes.
  bool high = false;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    high |= c >= 0x80;
    if (c < 0x20 || c == '/' || c == ':') return false;
  }
  if (!high) return name.find('\\') == std::string_view::npos;
  for (size_t i = 0; i < name.size(); i += CharLength(name, i))
    if (CharLength(name, i) == 1 && name[i] == '\\') return false;
  return true;
}

// The folder of a source path; the last "\\" found from the end when no
// double-byte character can be in the way.
std::string_view FolderOfSource(std::string_view source) {
  if (HasHighBytes(source)) return SourceFolderView(source);
  size_t pos = source.rfind('\\');
  return pos == std::string_view::npos ? std::string_view() : source.substr(0, pos);
}

// The position of the first byte a or b in text from pos on, or text.size().
// Eight bytes at a time: a large save folder's lists are megabytes, and the
// C library's searches do them one byte at a time on some systems.
size_t FindEither(std::string_view text, size_t pos, char a, char b) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  const uint64_t wa = kOnes * static_cast<unsigned char>(a), wb = kOnes * static_cast<unsigned char>(b);
  for (; pos + 8 <= text.size(); pos += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + pos, 8);
    const uint64_t xa = word ^ wa, xb = word ^ wb;
    // A zero byte of xa or xb sets its high bit; a borrow may set bits above
    // the first one too, never below it.
    const uint64_t found = (((xa - kOnes) & ~xa) | ((xb - kOnes) & ~xb)) & kHighs;
    if (found) {
      if constexpr (std::endian::native == std::endian::little) return pos + std::countr_zero(found) / 8;
      break;
    }
  }
  for (; pos < text.size(); ++pos)
    if (text[pos] == a || text[pos] == b) return pos;
  return text.size();
}

// Whether source lies directly in folder, the folder of an earlier source:
// the same bytes up to a separator, and no separator after it.  The bytes
// before it being the same, the separator is no double-byte character's
// second byte; a second byte "\\" after it sends the line the long way.
bool DirectlyIn(std::string_view source, std::string_view folder) {
  const size_t n = folder.size();
  return n > 0 && source.size() > n + 1 && source[n] == '\\' && std::memcmp(source.data(), folder.data(), n) == 0 &&
         FindEither(source, n + 1, '\\', '\\') == source.size();
}

}  // namespace

bool CRestoreTable::AddList(const std::string& subfolder, std::string listText, CRestoreTree* tree) {
  // Entries keep 32-bit offsets into their list.
  if (listText.size() > UINT32_MAX) return true;
  const int32_t index = AddText(subfolder, std::move(listText));
  const std::string_view text = texts_.back();
  std::string_view lastFolder;
  size_t pos = 0;
  while (pos < text.size()) {
    // saved name "<" source path ["<" ...] "\r": a line without "<" or
    // without its line end ends the list.
    const size_t sep = FindEither(text, pos, '<', '\r');
    if (sep == text.size() || text[sep] == '\r') break;
    size_t end = FindEither(text, sep + 1, '<', '\r');  // a second "<" ends the source path
    size_t cr = end < text.size() && text[end] == '<' ? FindEither(text, end, '\r', '\r') : end;
    if (cr == text.size()) break;
    std::string_view name = text.substr(pos, sep - pos);
    std::string_view source = text.substr(sep + 1, end - sep - 1);
    pos = cr + 1;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    // A temporary file is never a copy, whatever a list says.
    if (source.empty() || source.size() > kLongest || (!name.empty() && (!PlainName(name) || IsTemporaryName(name))))
      continue;
    if (!AddSlot(index, name, source)) return false;
    // The lines of a list follow the catalogue, folder by folder: a source
    // in the folder of the line before has its folders in the tree already.
    if (tree && !DirectlyIn(source, lastFolder)) {
      lastFolder = FolderOfSource(source);
      tree->AddFolderChain(lastFolder);
    }
  }
  return true;
}

std::string CRestoreTable::LocationOf(int32_t i) const {
  const EntrySlot& slot = Slot(i);
  const std::string& folder = folders_[static_cast<size_t>(slot.text)];
  std::string_view name = NameOf(slot);
  std::string location;
  location.reserve(folder.size() + name.size());
  location += folder;
  location += name;
  return location;
}

namespace {

// Reads the lists of a save folder's subfolders in order on a thread of its
// own while those read so far are taken apart: reading waits for the disk
// (and on Wine for its server), taking apart for the processor.  Every list
// read stays in the table anyway, so the reader never waits; the one taking
// them waits for a batch at a time, since every wake-up is a trip through
// the system.
class ListReader {
 public:
  struct List {
    int32_t at = 0;      // in the listing
    std::string folder;  // ending with "\"
    bool found = false;  // the folder holds a list
    std::string text;
  };

  ListReader(const std::string& base, const std::vector<plat::DirEntry>& listing) : base_(base), listing_(listing) {
    // Without a thread everything is read here, first.
    if (!thread_.Start([this] { Run(); }, plat::Priority::Normal, "list reader")) Run();
  }
  ~ListReader() {
    stop_ = true;
    thread_.Join();
  }
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  // The lists read since the last call, in listing order: a batch, or what
  // is left once reading has ended; empty when every list has been taken.
  std::vector<List> Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    wanted_ = kBatch;
    changed_.wait(lock, [&] { return ready_.size() >= kBatch || done_; });
    wanted_ = SIZE_MAX;
    std::vector<List> taken;
    taken.swap(ready_);
    return taken;
  }

 private:
  static constexpr size_t kBatch = 16;

  void Run() {
    for (size_t i = 0; i < listing_.size() && !stop_; ++i) {
      const plat::DirEntry& e = listing_[i];
      // "." and ".." by name: a drive root lists neither.
      if (!e.isDirectory || e.name == "." || e.name == "..") continue;
      List list;
      list.at = static_cast<int32_t>(i);
      list.folder = base_ + e.name + "\\";
      list.found = plat::ReadWholeFile(list.folder + kListName, list.text);
      std::lock_guard<std::mutex> lock(mutex_);
      ready_.push_back(std::move(list));
      if (ready_.size() >= wanted_) changed_.notify_one();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_one();
  }

  const std::string& base_;
  const std::vector<plat::DirEntry>& listing_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<List> ready_;
  size_t wanted_ = SIZE_MAX;  // how many ready lists wake the one taking them
  bool done_ = false;
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
  // The entries' room at once: only what is filled takes memory, and a
  // large save folder is spared moving its entries again and again.
  slots_.reserve(kMaxRestoreEntries);
  int lists = 0;
  const int32_t total = static_cast<int32_t>(listing.size());
  ListReader reader(base, listing);
  for (std::vector<ListReader::List> batch = reader.Take(); !batch.empty(); batch = reader.Take()) {
    for (ListReader::List& list : batch) {
      bool room = true;
      if (list.found) {
        ++lists;
        room = AddList(list.folder, std::move(list.text), tree);
      }
      if ((afterFolder && !afterFolder(list.at + 1, total)) || !room) return lists;
    }
  }
  return lists;
}

std::vector<int32_t> CRestoreTable::EntriesOf(std::string_view source) const {
  std::vector<int32_t> entries;
  const SourceIndex& index = Indexed();
  int32_t g = index.Find(source, FoldedHash(source));
  if (g < 0) return entries;
  for (int32_t i = index.groups[static_cast<size_t>(g)].first; i >= 0; i = index.next[static_cast<size_t>(i)])
    entries.push_back(i);
  return entries;
}

bool CRestoreTable::HasSource(std::string_view source) const {
  return Indexed().Find(source, FoldedHash(source)) >= 0;
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
