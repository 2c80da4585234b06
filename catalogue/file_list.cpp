#include "catalogue/file_list.h"

#include <algorithm>
#include <cstring>

#include "app/text.h"

namespace quz {

namespace {
FileEntry* AsEntry(int64_t value) {
  return reinterpret_cast<FileEntry*>(static_cast<intptr_t>(value));
}
int64_t AsValue(FileEntry* e) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(e)); }

bool IsExistingFolder(const std::string& path) {
  uint32_t attributes = plat::GetAttributes(path);
  return attributes != plat::kInvalidAttributes && (attributes & plat::kAttrDirectory) != 0;
}

// A folder found in a folder of code t is searched one level less: Search
// passes on as it is, any other code goes one down.
SaveType SubfolderType(SaveType folderType) {
  return folderType == SaveType::Search ? SaveType::Search
                                        : static_cast<SaveType>(static_cast<int32_t>(folderType) - 1);
}
}  // namespace

std::string FileEntry::Path() const {
  std::string path;
  Path(path);
  return path;
}

void FileEntry::Path(std::string& path) const {
  path.clear();
  if (map_) map_->PathAt(handle_, &path);
}

CFileList::CFileList(RunState* state) : state_(state) { entryIndex.InitBuckets(77777); }

CFileList::~CFileList() = default;

void CFileList::SetClassifier(Classifier classifier) {
  plat::LockGuard guard(lock_);
  classifier_ = std::move(classifier);
}

SaveType CFileList::Classify(const std::string& path) const {
  plat::LockGuard guard(lock_);
  return classifier_ ? classifier_(path) : SaveType::Normal;
}

int32_t& CFileList::Slot(int32_t i) const {
  return chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
}

FileEntry* CFileList::FindEntry(const std::string& path) const {
  int64_t value = 0;
  if (entryIndex.Find(path, &value) && value != 0) return AsEntry(value);
  // The second look is for a folder entry named without its "\\"; a
  // path that long cannot be held by the index anyway.
  char withSeparator[2 * kMaxKeyBytes + 2];
  if (path.size() + 1 >= sizeof withSeparator) return nullptr;
  std::memcpy(withSeparator, path.data(), path.size());
  withSeparator[path.size()] = '\\';
  if (entryIndex.Find(std::string_view(withSeparator, path.size() + 1), &value) && value != 0)
    return AsEntry(value);
  return nullptr;
}

FileEntry* CFileList::EntryAt(int32_t i) const {
  plat::LockGuard guard(lock_);
  if (i < 0 || i >= count) return nullptr;
  int64_t value = 0;
  if (!entryIndex.Record(Slot(i), nullptr, &value)) return nullptr;
  return AsEntry(value);
}

int32_t CFileList::Count() const {
  plat::LockGuard guard(lock_);
  return count;
}

FileEntry* CFileList::NewEntry() {
  if (!free_.empty()) {
    FileEntry* e = free_.back();
    free_.pop_back();
    return e;
  }
  if (blockUsed_ == kBlockSize) {
    blocks_.push_back(std::make_unique<FileEntry[]>(kBlockSize));
    blockUsed_ = 0;
  }
  return &blocks_.back()[blockUsed_++];
}

FileEntry* CFileList::Append(std::string_view path, AddResult* why) {
  AddResult ignored;
  if (!why) why = &ignored;
  if (count >= kMaxEntries) {
    *why = AddResult::Full;
    return nullptr;
  }
  FileEntry* e = NewEntry();
  bool listed = false;
  int32_t handle = entryIndex.InsertUnlessListed(path, AsValue(e), &listed);
  if (handle < 0) {
    free_.push_back(e);
    *why = listed ? AddResult::Listed : AddResult::CannotHold;
    return nullptr;
  }
  *why = AddResult::Added;
  std::unique_ptr<int32_t[]>& chunk = chunks_[count >> kChunkBits];
  if (!chunk) chunk = std::make_unique<int32_t[]>(kChunkSize);
  e->map_ = &entryIndex;
  e->handle_ = handle;
  e->folder_ = EndsWithChar(path, '\\');
  e->savedTime = 0;
  e->saveType = SaveType::Normal;
  e->lookedAtTime = 0;
  Slot(count) = handle;
  e->index = count;
  ++count;
  return e;
}

void CFileList::TellWatcher(bool revived) {
  if (!state_) return;
  plat::LockGuard guard(state_->watchLock);
  if (revived)
    state_->watchListChanged = 1;
  else
    state_->watchEvent.Set();
}

AddResult CFileList::Add(const std::string& path, SaveType folderType) {
  bool folder = false;
  bool revived = false;
  {
    plat::LockGuard guard(lock_);
    FileEntry* existing = FindEntry(path);
    if (existing && !existing->IsWithdrawn()) return AddResult::Listed;
    if (count >= kMaxEntries) return AddResult::Full;
    folder = IsExistingFolder(path);
    if (existing) {
      existing->savedTime = 0;
      existing->lookedAtTime = 0;
      existing->saveType = folder ? SubfolderType(folderType) : Classify(path);
      revived = true;
    } else {
      std::string listed = path;
      SaveType type = Classify(path);
      if (folder) {
        listed = WithSeparator(listed);
        type = SubfolderType(folderType);
      }
      if (listed.size() > kMaxPathBytes) return AddResult::CannotHold;
      AddResult why;
      FileEntry* e = Append(listed, &why);
      if (!e) return why;
      e->saveType = type;
    }
  }
  // The watcher's lock is taken only after the list's, never inside it.
  if (folder) TellWatcher(revived);
  return AddResult::Added;
}

bool CFileList::AddLoaded(std::string_view path, int32_t savedTime, SaveType saveType,
                          int32_t lookedAtTime) {
  plat::LockGuard guard(lock_);
  FileEntry* e = Append(path);
  if (!e) return false;
  e->savedTime = savedTime;
  e->saveType = saveType;
  e->lookedAtTime = lookedAtTime;
  return true;
}

void CFileList::Reclassify() {
  // A check that began before the rules changed may still add and remove
  // entries, so the lock is taken per entry and the file is examined
  // outside it; an entry that left its slot meanwhile is not touched.
  for (int32_t i = 0; i < Count(); ++i) {
    FileEntry* e;
    std::string path;
    {
      plat::LockGuard guard(lock_);
      e = EntryAt(i);
      if (!e) continue;
      path = e->Path();
    }
    plat::FileStatus status;
    if (!plat::GetFileStatus(path, status) || status.isDirectory) continue;
    SaveType type = Classify(path);
    plat::LockGuard guard(lock_);
    if (EntryAt(i) == e) e->saveType = type;
  }
}

bool CFileList::RemoveDuringCheck(int32_t index) {
  plat::LockGuard guard(lock_);
  FileEntry* e = EntryAt(index);
  if (!e) return false;
  entryIndex.Remove(e->Path());
  removeList.push_back(index);
  // A reader may still hold the entry it got a moment ago; it stays valid
  // until the slot itself goes at the end of the check.
  retired_.push_back(e);
  return true;
}

int32_t CFileList::PendingRemovals() const {
  plat::LockGuard guard(lock_);
  return static_cast<int32_t>(removeList.size());
}

void CFileList::ApplyRemovals() {
  plat::LockGuard guard(lock_);
  std::sort(removeList.begin(), removeList.end());
  removeList.erase(std::unique(removeList.begin(), removeList.end()), removeList.end());
  // One pass instead of one shift per removed slot.
  int32_t kept = 0;
  size_t next = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (next < removeList.size() && removeList[next] == i) {
      ++next;
      continue;
    }
    Slot(kept++) = Slot(i);
  }
  count = kept;
  removeList.clear();
  for (int32_t i = 0; i < count; ++i) {
    FileEntry* e = EntryAt(i);
    if (e) e->index = i;
  }
  free_.insert(free_.end(), retired_.begin(), retired_.end());
  retired_.clear();
}

}  // namespace quz
