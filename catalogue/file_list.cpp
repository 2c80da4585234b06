#include "catalogue/file_list.h"

#include <algorithm>

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

int32_t SubfolderType(int32_t folderType) {
  return folderType == Search ? Search : folderType - 1;
}
}  // namespace

CFileList::CFileList(RunState* state) : state_(state) { entryIndex.InitBuckets(77777); }

CFileList::~CFileList() {
  int32_t position = entryIndex.FirstPosition();
  int64_t value;
  while (entryIndex.Next(position, nullptr, &value)) delete AsEntry(value);
}

void CFileList::SetClassifier(Classifier classifier) {
  plat::LockGuard guard(lock_);
  classifier_ = std::move(classifier);
}

int32_t CFileList::Classify(const std::string& path) const {
  plat::LockGuard guard(lock_);
  return classifier_ ? classifier_(path) : Normal;
}

int32_t& CFileList::Slot(int32_t i) const {
  return chunks_[i >> kChunkBits][i & (kChunkSize - 1)];
}

FileEntry* CFileList::FindEntry(const std::string& path) const {
  int64_t value = 0;
  if (entryIndex.Find(path, &value) && value != 0) return AsEntry(value);
  if (entryIndex.Find(path + "\\", &value) && value != 0) return AsEntry(value);
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

bool CFileList::Append(FileEntry* e) {
  if (count >= kMaxEntries) return false;
  int32_t handle = entryIndex.Insert(e->path, AsValue(e));
  if (handle < 0) return false;
  std::unique_ptr<int32_t[]>& chunk = chunks_[count >> kChunkBits];
  if (!chunk) chunk = std::make_unique<int32_t[]>(kChunkSize);
  Slot(count) = handle;
  e->index = count;
  ++count;
  return true;
}

void CFileList::TellWatcher(bool revived) {
  if (!state_) return;
  plat::LockGuard guard(state_->watchLock);
  if (revived)
    state_->watchListChanged = 1;
  else
    state_->watchEvent.Set();
}

bool CFileList::AddEntry(const std::string& path, int32_t folderType) {
  bool folder = false;
  bool revived = false;
  {
    plat::LockGuard guard(lock_);
    FileEntry* existing = FindEntry(path);
    if (existing && !existing->IsWithdrawn()) return false;
    if (count >= kMaxEntries) return false;
    folder = IsExistingFolder(path);
    if (existing) {
      existing->savedTime = 0;
      existing->lookedAtTime = 0;
      existing->saveType = folder ? SubfolderType(folderType) : Classify(path);
      revived = true;
    } else {
      auto e = std::make_unique<FileEntry>();
      e->path = path;
      e->saveType = Classify(path);
      if (folder) {
        if (e->path.empty() || e->path.back() != '\\') e->path += '\\';
        e->saveType = SubfolderType(folderType);
      }
      if (FindEntry(e->path) || !Append(e.get())) return false;
      e.release();
    }
  }
  // The watcher's lock is taken only after the list's, never inside it.
  if (folder) TellWatcher(revived);
  return true;
}

bool CFileList::AddLoaded(const std::string& path, int32_t savedTime, int32_t saveType,
                          int32_t lookedAtTime) {
  plat::LockGuard guard(lock_);
  if (FindEntry(path)) return false;
  auto e = std::make_unique<FileEntry>();
  e->path = path;
  e->savedTime = savedTime;
  e->saveType = saveType;
  e->lookedAtTime = lookedAtTime;
  if (!Append(e.get())) return false;
  e.release();
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
      path = e->path;
    }
    plat::FileStatus status;
    if (!plat::GetFileStatus(path, status) || status.isDirectory) continue;
    int32_t type = Classify(path);
    plat::LockGuard guard(lock_);
    if (EntryAt(i) == e) e->saveType = type;
  }
}

bool CFileList::RemoveDuringCheck(int32_t index) {
  plat::LockGuard guard(lock_);
  FileEntry* e = EntryAt(index);
  if (!e) return false;
  entryIndex.Remove(e->path);
  removeList.push_back(index);
  // A reader may still hold the entry it got a moment ago; it stays valid
  // until the slot itself goes at the end of the check.
  retired_.emplace_back(e);
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
  retired_.clear();
}

}  // namespace quz
