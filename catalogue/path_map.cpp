#include "catalogue/path_map.h"

#include <cstring>
#include <limits>

#include "app/text.h"

namespace quz {

using namespace pathmap_detail;

namespace pathmap_detail {

uint32_t HashMore(uint32_t h, std::string_view more, bool foldCase) {
  for (char ch : more) {
    if (foldCase && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(ch)));
  }
  return h;
}

uint32_t Hash(std::string_view key, bool foldCase) { return HashMore(0, key, foldCase); }

bool ViewRecord(const CPagedStore& store, int32_t offset, RecordView* view, char* scratch) {
  const char* header = store.Span(offset, kHeaderSize);
  if (!header) {
    if (!store.Read(offset, scratch, kHeaderSize)) return false;
    header = scratch;
  }
  std::memcpy(&view->next, header, 4);
  std::memcpy(&view->value, header + 4, 8);
  int32_t keyLength = static_cast<unsigned char>(header[12]);
  if (keyLength < 1) return false;
  const char* key = store.Span(offset + kHeaderSize, keyLength);
  if (!key) {
    if (!store.Read(offset + kHeaderSize, scratch + kHeaderSize, keyLength)) return false;
    key = scratch + kHeaderSize;
  }
  view->key = std::string_view(key, static_cast<size_t>(keyLength - 1));
  return true;
}

}  // namespace pathmap_detail

namespace {

// Appends a record with next -1; -1 when the store cannot take it.
int32_t AppendRecord(CPagedStore& store, std::string_view key, int64_t value, int32_t limit) {
  if (key.size() > kMaxKeyBytes) return -1;
  int32_t offset = store.Size();
  int32_t size = kHeaderSize + static_cast<int32_t>(key.size()) + 1;
  if (static_cast<int64_t>(offset) + size > limit) return -1;
  char raw[kScratchSize];
  int32_t next = kEndOfChain;
  std::memcpy(raw, &next, 4);
  std::memcpy(raw + 4, &value, 8);
  raw[12] = static_cast<char>(static_cast<unsigned char>(key.size() + 1));
  std::memcpy(raw + kHeaderSize, key.data(), key.size());
  raw[kHeaderSize + key.size()] = '\0';
  if (!store.Write(offset, raw, size)) return -1;
  return offset;
}

bool WriteNextField(CPagedStore& store, int32_t offset, int32_t next) {
  return store.Write(offset, &next, 4);
}

// Splits path for compression; false when it is stored unchanged.
bool SplitPath(std::string_view path, std::string_view* folder, std::string_view* tail) {
  if (path.size() < 4) return false;
  size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) return false;
  *folder = path.substr(0, cut);
  *tail = path.substr(cut);
  return true;
}

void PutCode(char* to, int32_t id) {
  to[0] = static_cast<char>(97 + (id & 127));
  to[1] = static_cast<char>(97 + ((id >> 7) & 127));
  to[2] = static_cast<char>(97 + ((id >> 14) & 127));
}

}  // namespace

// ---- CFolderDictionary ----

CFolderDictionary::CFolderDictionary() : buckets_(5, -1) {}

void CFolderDictionary::InitBuckets(int32_t n) {
  if (n < 1 || !Empty()) return;
  buckets_.assign(static_cast<size_t>(n), -1);
}

int32_t CFolderDictionary::Lookup(std::string_view folder, uint32_t hash) const {
  char scratch[kScratchSize];
  RecordView r;
  for (int32_t at = buckets_[hash % buckets_.size()]; at >= 0; at = r.next) {
    if (!ViewRecord(store_, at, &r, scratch)) return -1;
    if (r.key == folder) return at;
  }
  return -1;
}

int32_t CFolderDictionary::Add(std::string_view folder, uint32_t hash) {
  if (folder.size() > kMaxKeyBytes) return -1;
  uint32_t b = hash % buckets_.size();
  char scratch[kScratchSize];
  RecordView r;
  int32_t last = -1;
  for (int32_t at = buckets_[b]; at >= 0; at = r.next) {
    if (!ViewRecord(store_, at, &r, scratch)) return -1;
    if (r.key == folder) return at;
    last = at;
  }
  int32_t added = AppendRecord(store_, folder, static_cast<int64_t>(folder.size()),
                               kMaxDictionaryBytes);
  if (added < 0) return -1;
  if (last < 0)
    buckets_[b] = added;
  else
    WriteNextField(store_, last, added);
  return added;
}

bool CFolderDictionary::At(int32_t id, std::string* folder) const {
  char scratch[kScratchSize];
  RecordView r;
  if (!ViewRecord(store_, id, &r, scratch)) return false;
  folder->assign(r.key);
  return true;
}

// ---- CPathMap ----

CPathMap::CPathMap() : buckets_(50, -1) {}

void CPathMap::InitBuckets(int32_t n) {
  plat::LockGuard guard(lock_);
  if (n < 1 || store_.Size() != 0 || !dictionary_.Empty()) return;
  buckets_.assign(static_cast<size_t>(n), -1);
  dictionary_.InitBuckets(n / 10);
}

int32_t CPathMap::DictionaryId(std::string_view folder, uint32_t hash, bool add) const {
  if (lastFolderId_ >= 0 && lastFolderHash_ == hash && folder == lastFolder_) return lastFolderId_;
  int32_t id = add ? dictionary_.Add(folder, hash) : dictionary_.Lookup(folder, hash);
  if (id >= 0) {
    lastFolder_.assign(folder);
    lastFolderHash_ = hash;
    lastFolderId_ = id;
  }
  return id;
}

bool CPathMap::Compress(std::string_view path, bool add, Key* key, uint32_t* folderHash) const {
  std::string_view folder, tail;
  if (!SplitPath(path, &folder, &tail)) {
    if (path.size() > kMaxKeyBytes) return false;
    std::memcpy(key->bytes, path.data(), path.size());
    key->size = path.size();
    return true;
  }
  if (folder.size() > kMaxKeyBytes || tail.size() + 3 > kMaxKeyBytes) return false;
  // Consecutive paths mostly share their folder: then its hash and code
  // are known without hashing it again.
  int32_t id;
  if (lastFolderId_ >= 0 && folder == lastFolder_) {
    id = lastFolderId_;
    if (folderHash) *folderHash = lastFolderHash_;
  } else {
    uint32_t hash = Hash(folder, false);
    if (folderHash) *folderHash = hash;
    // A folder the dictionary lacks cannot be part of any stored key, so a
    // lookup never grows the dictionary.
    id = DictionaryId(folder, hash, add);
  }
  if (id < 0) return false;
  PutCode(key->bytes, id);
  std::memcpy(key->bytes + 3, tail.data(), tail.size());
  key->size = tail.size() + 3;
  return true;
}

bool CPathMap::Expand(std::string_view key, std::string* path) const {
  // A compressed key always has the "\\" of its tail after the code; a path
  // kept whole has none there (it is short or has no "\\" at all).
  if (key.size() < 4 || key[3] != '\\') {
    path->assign(key);
    return true;
  }
  const unsigned char* k = reinterpret_cast<const unsigned char*>(key.data());
  int32_t id = k[0] + 128 * k[1] + 16384 * k[2] - 1601761;
  if (!dictionary_.At(id, path)) return false;
  path->append(key.substr(3));
  return true;
}

bool CPathMap::KeysEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  if (a.size() < 4) return EqualNoCase(a, b);
  // The folder code is compared as bytes: its bytes may look like lead
  // bytes and must not shift how the name after it is read.
  return a.substr(0, 3) == b.substr(0, 3) && EqualNoCase(a.substr(3), b.substr(3));
}

int32_t CPathMap::FindInChain(uint32_t bucket, std::string_view key, int64_t* value,
                              int32_t* last) const {
  char scratch[kScratchSize];
  RecordView r;
  if (last) *last = -1;
  for (int32_t at = buckets_[bucket]; at >= 0; at = r.next) {
    if (!ViewRecord(store_, at, &r, scratch)) return -1;
    if (KeysEqual(r.key, key)) {
      if (value) *value = r.value;
      return at;
    }
    if (last) *last = at;
  }
  return -1;
}

int32_t CPathMap::AppendToChain(uint32_t bucket, int32_t last, std::string_view key, int64_t value) {
  int32_t added = AppendRecord(store_, key, value, std::numeric_limits<int32_t>::max());
  if (added < 0) return -1;
  if (last < 0)
    buckets_[bucket] = added;
  else
    WriteNextField(store_, last, added);
  ++count_;
  return added;
}

int32_t CPathMap::Insert(std::string_view path, int64_t value) {
  plat::LockGuard guard(lock_);
  Key key;
  if (!Compress(path, true, &key)) return -1;
  uint32_t b = Hash(key.view(), true) % buckets_.size();
  int32_t last;
  int32_t at = FindInChain(b, key.view(), nullptr, &last);
  if (at >= 0) {
    store_.Write(at + 4, &value, 8);
    return at;
  }
  return AppendToChain(b, last, key.view(), value);
}

int32_t CPathMap::InsertUnlessListed(std::string_view path, int64_t value, bool* listed) {
  plat::LockGuard guard(lock_);
  *listed = false;
  std::string_view folder, tail;
  if (!SplitPath(path, &folder, &tail) || EndsWithChar(path, '\\')) {
    // Short paths and folder paths: the plain way.
    int64_t found = 0;
    if ((Find(path, &found) && found != 0)) {
      *listed = true;
      return -1;
    }
    if (path.size() < kMaxKeyBytes + 1) {
      char withSeparator[kMaxKeyBytes * 2 + 2];
      std::memcpy(withSeparator, path.data(), path.size());
      withSeparator[path.size()] = '\\';
      if (Find(std::string_view(withSeparator, path.size() + 1), &found) && found != 0) {
        *listed = true;
        return -1;
      }
    }
    return Insert(path, value);
  }
  Key key;
  uint32_t folderHash = 0;
  if (!Compress(path, true, &key, &folderHash)) return -1;
  // path + "\\" would be keyed under the whole path as its folder, whose
  // dictionary hash continues the folder part's over the tail.
  if (path.size() <= kMaxKeyBytes) {
    int32_t id = dictionary_.Lookup(path, HashMore(folderHash, tail, false));
    if (id >= 0) {
      char folderKey[4];
      PutCode(folderKey, id);
      folderKey[3] = '\\';
      std::string_view fk(folderKey, 4);
      int64_t found = 0;
      if (FindInChain(Hash(fk, true) % buckets_.size(), fk, &found, nullptr) >= 0 && found != 0) {
        *listed = true;
        return -1;
      }
    }
  }
  uint32_t b = Hash(key.view(), true) % buckets_.size();
  int32_t last;
  int64_t found = 0;
  int32_t at = FindInChain(b, key.view(), &found, &last);
  if (at >= 0) {
    if (found != 0) {
      *listed = true;
      return -1;
    }
    store_.Write(at + 4, &value, 8);
    return at;
  }
  return AppendToChain(b, last, key.view(), value);
}

bool CPathMap::Find(std::string_view path, int64_t* value) const {
  plat::LockGuard guard(lock_);
  Key key;
  if (!Compress(path, false, &key)) return false;
  return FindInChain(Hash(key.view(), true) % buckets_.size(), key.view(), value, nullptr) >= 0;
}

bool CPathMap::Remove(std::string_view path) {
  plat::LockGuard guard(lock_);
  Key key;
  if (!Compress(path, false, &key)) return false;
  uint32_t b = Hash(key.view(), true) % buckets_.size();
  int32_t previous = -1;
  char scratch[kScratchSize];
  RecordView r;
  for (int32_t at = buckets_[b]; at >= 0; at = r.next) {
    if (!ViewRecord(store_, at, &r, scratch)) return false;
    if (KeysEqual(r.key, key.view())) {
      WriteNextField(store_, at, kRemoved);
      if (previous < 0)
        buckets_[b] = r.next;
      else
        WriteNextField(store_, previous, r.next);
      --count_;
      return true;
    }
    previous = at;
  }
  return false;
}

int32_t CPathMap::FirstPosition() const {
  plat::LockGuard guard(lock_);
  return count_ > 0 ? -1 : 0;
}

bool CPathMap::Next(int32_t& position, std::string* path, int64_t* value) const {
  plat::LockGuard guard(lock_);
  if (position == 0) return false;
  int32_t at = position < 0 ? 0 : position;
  char scratch[kScratchSize];
  RecordView r;
  while (at < store_.Size()) {
    if (!ViewRecord(store_, at, &r, scratch)) break;
    int32_t after = at + kHeaderSize + static_cast<int32_t>(r.key.size()) + 1;
    if (r.next != kRemoved) {
      position = after >= store_.Size() ? 0 : after;
      if (value) *value = r.value;
      if (path && !Expand(r.key, path)) return false;
      return true;
    }
    at = after;
  }
  position = 0;
  return false;
}

bool CPathMap::Record(int32_t handle, std::string* path, int64_t* value) const {
  plat::LockGuard guard(lock_);
  char scratch[kScratchSize];
  RecordView r;
  if (!ViewRecord(store_, handle, &r, scratch) || r.next == kRemoved) return false;
  if (value) *value = r.value;
  if (path && !Expand(r.key, path)) return false;
  return true;
}

bool CPathMap::PathAt(int32_t handle, std::string* path) const {
  plat::LockGuard guard(lock_);
  char scratch[kScratchSize];
  RecordView r;
  return ViewRecord(store_, handle, &r, scratch) && Expand(r.key, path);
}

int32_t CPathMap::Count() const {
  plat::LockGuard guard(lock_);
  return count_;
}

int32_t CPathMap::StoreSize() const {
  plat::LockGuard guard(lock_);
  return store_.Size();
}

int32_t CPathMap::DictionaryStoreSize() const {
  plat::LockGuard guard(lock_);
  return dictionary_.StoreSize();
}

}  // namespace quz
