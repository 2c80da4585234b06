#include "restore/restore_table.h"

#include <algorithm>
#include <cstdio>

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

// Floor division, so that slots stay 300 seconds wide before 1970 too.
int64_t SlotOf(int64_t t) { return t >= 0 ? t / kCandidateSlot : -((-t + kCandidateSlot - 1) / kCandidateSlot); }

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

}  // namespace

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

std::string SourceFolderOf(std::string_view path) {
  size_t pos = LastCharPos(path, '\\');
  return pos == kNone ? std::string() : std::string(path.substr(0, pos));
}

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
  std::string key = FoldedKey(path);
  auto it = byKey_.find(key);
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
  byKey_.emplace(std::move(key), item);
  return item;
}

void CRestoreTree::AddChain(std::string_view source) {
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
  auto it = byKey_.find(FoldedKey(folder));
  return it == byKey_.end() ? -1 : it->second;
}

// ---------------------------------------------------------------- table

void CRestoreTable::Clear() {
  entries_.clear();
  bySource_.clear();
}

bool CRestoreTable::Add(std::string location, std::string source) {
  if (Count() >= kMaxRestoreEntries) return false;
  bySource_[FoldedKey(source)].push_back(Count());
  entries_.push_back(RestoreEntry{std::move(location), std::move(source)});
  return true;
}

bool CRestoreTable::AddList(const std::string& subfolder, std::string_view text, CRestoreTree* tree) {
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
    // A temporary file is never a copy, whatever a list says.
    if (source.empty() || (!name.empty() && (!PlainName(name) || IsTemporaryName(name)))) continue;
    if (!Add(subfolder + std::string(name), std::string(source))) return false;
    if (tree) tree->AddChain(source);
  }
  return true;
}

int CRestoreTable::Load(const std::string& folder, CRestoreTree* tree, const std::function<void()>& afterList) {
  Clear();
  if (tree) tree->Clear();
  std::string base = folder;
  if (!EndsWithChar(base, '\\')) base += '\\';
  std::vector<plat::DirEntry> listing;
  if (!plat::ListDirectory(base, listing)) return 0;
  int lists = 0;
  for (const plat::DirEntry& e : listing) {
    // "." and ".." by name: a drive root lists neither.
    if (!e.isDirectory || e.name == "." || e.name == "..") continue;
    std::string sub = base + e.name + "\\";
    std::string text;
    if (!plat::ReadWholeFile(sub + kListName, text)) continue;
    ++lists;
    bool room = AddList(sub, text, tree);
    if (afterList) afterList();
    if (!room) break;
  }
  return lists;
}

std::vector<int32_t> CRestoreTable::EntriesOf(std::string_view source) const {
  auto it = bySource_.find(FoldedKey(source));
  return it == bySource_.end() ? std::vector<int32_t>() : it->second;
}

bool CRestoreTable::HasSource(std::string_view source) const { return bySource_.count(FoldedKey(source)) != 0; }

// ---------------------------------------------------------------- file list

std::vector<RestoreFileItem> FilesOfFolder(const CRestoreTable& table, std::string_view folder,
                                           const std::atomic<int32_t>* stop, const ProgressFunction& progress) {
  std::vector<RestoreFileItem> items;
  std::unordered_set<std::string> listed;
  plat::ProgressThrottle throttle;
  for (int32_t i = 0; i < table.Count(); ++i) {
    if (stop && stop->load()) break;
    const std::string& source = table.At(i).source;
    if (EqualNoCase(SourceFolderOf(source), folder) && listed.insert(FoldedKey(source)).second)
      items.push_back(RestoreFileItem{FileNameOf(source), i});
    if (progress && throttle.Due()) progress(i + 1, table.Count());
  }
  return items;
}

std::vector<RestoreFileItem> AllSources(const CRestoreTable& table) {
  std::vector<RestoreFileItem> items;
  std::unordered_set<std::string> listed;
  for (int32_t i = 0; i < table.Count(); ++i) {
    const std::string& source = table.At(i).source;
    if (listed.insert(FoldedKey(source)).second) items.push_back(RestoreFileItem{source, i});
  }
  return items;
}

// ---------------------------------------------------------------- candidates

std::string CandidateText(int32_t t) {
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

bool CCandidateList::AddTime(int32_t t) {
  if (!slots_.insert(SlotOf(t)).second) return false;
  items_.push_back(RestoreCandidate{CandidateText(t), t});
  return true;
}

void CCandidateList::AddEntryTimes(const CRestoreTable& table, int32_t entry, const std::string* folder,
                                   int32_t timeZoneOffset) {
  const RestoreEntry& e = table.At(entry);
  if (folder && !IsInFolder(SourceFolderOf(e.source), *folder)) return;
  for (int32_t n = -1; n < kMaxFragments; ++n) {
    plat::FileStatus st;
    if (!plat::GetFileStatus(CopyPathOf(e.location, n), st)) break;
    AddTime(static_cast<int32_t>(static_cast<int64_t>(st.mtime) - timeZoneOffset));
  }
}

std::vector<RestoreCandidate> CCandidateList::Sorted() const {
  std::vector<RestoreCandidate> sorted = items_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RestoreCandidate& a, const RestoreCandidate& b) { return a.text > b.text; });
  return sorted;
}

}  // namespace quz
