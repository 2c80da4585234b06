#include "catalogue/path_map.h"

#include <cstring>
#include <limits>

#include "app/text.h"

namespace quz {

using namespace pathmap_detail;

namespace pathmap_detail {
uint32_t Hash(std::string_view key, bool foldCase) {
  uint32_t h = 0;
  for (char ch : key) {
    if (foldCase && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(ch)));
  }
  return h;
}
}  // namespace pathmap_detail

namespace {

bool ReadRecord(const CPagedStore& store, int32_t offset, int32_t* next, int64_t* value,
                std::string* key) {
  unsigned char raw[kHeaderSize];
  if (!store.Read(offset, raw, kHeaderSize)) return false;
  std::memcpy(next, raw, 4);
  std::memcpy(value, raw + 4, 8);
  int32_t keyLength = raw[12];
  if (keyLength < 1) return false;
  key->resize(static_cast<size_t>(keyLength));
  if (!store.Read(offset + kHeaderSize, key->data(), keyLength)) return false;
  key->pop_back();  // the NUL
  return true;
}

// Appends a record with next -1; -1 when the store cannot take it.
int32_t AppendRecord(CPagedStore& store, std::string_view key, int64_t value, int32_t limit) {
  if (key.size() > kMaxKeyBytes) return -1;
  int32_t offset = store.Size();
  int64_t end = static_cast<int64_t>(offset) + kHeaderSize + static_cast<int64_t>(key.size()) + 1;
  if (end > limit) return -1;
  std::string raw(static_cast<size_t>(kHeaderSize), '\0');
  int32_t next = kEndOfChain;
  std::memcpy(raw.data(), &next, 4);
  std::memcpy(raw.data() + 4, &value, 8);
  raw[12] = static_cast<char>(static_cast<unsigned char>(key.size() + 1));
  raw.append(key);
  raw.push_back('\0');
  if (!store.Write(offset, raw.data(), static_cast<int32_t>(raw.size()))) return -1;
  return offset;
}

bool WriteNextField(CPagedStore& store, int32_t offset, int32_t next) {
  return store.Write(offset, &next, 4);
}

}  // namespace

// ---- CFolderDictionary ----

CFolderDictionary::CFolderDictionary() : buckets_(5, -1) {}

void CFolderDictionary::InitBuckets(int32_t n) {
  if (n < 1 || !Empty()) return;
  buckets_.assign(static_cast<size_t>(n), -1);
}

int32_t CFolderDictionary::Lookup(std::string_view folder) const {
  uint32_t b = Hash(folder, false) % buckets_.size();
  std::string key;
  int32_t next;
  int64_t value;
  for (int32_t at = buckets_[b]; at >= 0; at = next) {
    if (!ReadRecord(store_, at, &next, &value, &key)) return -1;
    if (key == folder) return at;
  }
  return -1;
}

int32_t CFolderDictionary::Add(std::string_view folder) {
  if (folder.size() > kMaxKeyBytes) return -1;
  uint32_t b = Hash(folder, false) % buckets_.size();
  std::string key;
  int32_t next;
  int64_t value;
  int32_t last = -1;
  for (int32_t at = buckets_[b]; at >= 0; at = next) {
    if (!ReadRecord(store_, at, &next, &value, &key)) return -1;
    if (key == folder) return at;
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
  int32_t next;
  int64_t value;
  return ReadRecord(store_, id, &next, &value, folder);
}

// ---- CPathMap ----

CPathMap::CPathMap() : buckets_(50, -1) {}

void CPathMap::InitBuckets(int32_t n) {
  plat::LockGuard guard(lock_);
  if (n < 1 || store_.Size() != 0 || !dictionary_.Empty()) return;
  buckets_.assign(static_cast<size_t>(n), -1);
  dictionary_.InitBuckets(n / 10);
}

namespace {
// Splits path for compression; false when it is stored unchanged.
bool SplitPath(std::string_view path, std::string_view* folder, std::string_view* tail) {
  if (path.size() < 4) return false;
  size_t cut = path.rfind('\\');
  if (cut == std::string_view::npos) return false;
  *folder = path.substr(0, cut);
  *tail = path.substr(cut);
  return true;
}

std::string CodeKey(int32_t id, std::string_view tail) {
  std::string key;
  key.push_back(static_cast<char>(97 + (id & 127)));
  key.push_back(static_cast<char>(97 + ((id >> 7) & 127)));
  key.push_back(static_cast<char>(97 + ((id >> 14) & 127)));
  key.append(tail);
  return key;
}
}  // namespace

bool CPathMap::Compress(std::string_view path, bool add, std::string* key) {
  if (!add) return CompressLookup(path, key);
  std::string_view folder, tail;
  if (!SplitPath(path, &folder, &tail)) {
    if (path.size() > kMaxKeyBytes) return false;
    key->assign(path);
    return true;
  }
  if (folder.size() > kMaxKeyBytes || tail.size() + 3 > kMaxKeyBytes) return false;
  int32_t id = dictionary_.Add(folder);
  if (id < 0) return false;
  *key = CodeKey(id, tail);
  return true;
}

bool CPathMap::CompressLookup(std::string_view path, std::string* key) const {
  std::string_view folder, tail;
  if (!SplitPath(path, &folder, &tail)) {
    if (path.size() > kMaxKeyBytes) return false;
    key->assign(path);
    return true;
  }
  if (folder.size() > kMaxKeyBytes || tail.size() + 3 > kMaxKeyBytes) return false;
  // A folder the dictionary lacks cannot be part of any stored key, so a
  // lookup never grows the dictionary.
  int32_t id = dictionary_.Lookup(folder);
  if (id < 0) return false;
  *key = CodeKey(id, tail);
  return true;
}

bool CPathMap::Expand(const std::string& key, std::string* path) const {
  // A compressed key always has the "\\" of its tail after the code; a path
  // kept whole has none there (it is short or has no "\\" at all).
  if (key.size() < 4 || key[3] != '\\') {
    *path = key;
    return true;
  }
  const unsigned char* k = reinterpret_cast<const unsigned char*>(key.data());
  int32_t id = k[0] + 128 * k[1] + 16384 * k[2] - 1601761;
  if (!dictionary_.At(id, path)) return false;
  path->append(key, 3, std::string::npos);
  return true;
}

bool CPathMap::KeysEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() < 4) return EqualNoCase(a, b);
  // The folder code is compared as bytes: its bytes may look like lead
  // bytes and must not shift how the name after it is read.
  return a.substr(0, 3) == b.substr(0, 3) && EqualNoCase(a.substr(3), b.substr(3));
}

bool CPathMap::ReadHeader(int32_t offset, Header* h, std::string* key) const {
  if (!ReadRecord(store_, offset, &h->next, &h->value, key)) return false;
  h->keyLength = static_cast<int32_t>(key->size()) + 1;
  return true;
}

bool CPathMap::WriteNext(int32_t offset, int32_t next) {
  return WriteNextField(store_, offset, next);
}

int32_t CPathMap::Insert(std::string_view path, int64_t value) {
  plat::LockGuard guard(lock_);
  std::string key;
  if (!Compress(path, true, &key)) return -1;
  uint32_t b = Hash(key, true) % buckets_.size();
  int32_t last = -1;
  Header h;
  std::string found;
  for (int32_t at = buckets_[b]; at >= 0; at = h.next) {
    if (!ReadHeader(at, &h, &found)) return -1;
    if (KeysEqual(found, key)) {
      store_.Write(at + 4, &value, 8);
      return at;
    }
    last = at;
  }
  int32_t added = AppendRecord(store_, key, value, std::numeric_limits<int32_t>::max());
  if (added < 0) return -1;
  if (last < 0)
    buckets_[b] = added;
  else
    WriteNext(last, added);
  ++count_;
  return added;
}

bool CPathMap::Find(std::string_view path, int64_t* value) const {
  plat::LockGuard guard(lock_);
  std::string key;
  if (!CompressLookup(path, &key)) return false;
  uint32_t b = Hash(key, true) % buckets_.size();
  Header h;
  std::string found;
  for (int32_t at = buckets_[b]; at >= 0; at = h.next) {
    if (!ReadHeader(at, &h, &found)) return false;
    if (KeysEqual(found, key)) {
      if (value) *value = h.value;
      return true;
    }
  }
  return false;
}

bool CPathMap::Remove(std::string_view path) {
  plat::LockGuard guard(lock_);
  std::string key;
  if (!CompressLookup(path, &key)) return false;
  uint32_t b = Hash(key, true) % buckets_.size();
  int32_t previous = -1;
  Header h;
  std::string found;
  for (int32_t at = buckets_[b]; at >= 0; at = h.next) {
    if (!ReadHeader(at, &h, &found)) return false;
    if (KeysEqual(found, key)) {
      WriteNext(at, kRemoved);
      if (previous < 0)
        buckets_[b] = h.next;
      else
        WriteNext(previous, h.next);
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
  Header h;
  std::string key;
  while (at < store_.Size()) {
    if (!ReadHeader(at, &h, &key)) break;
    int32_t after = at + kHeaderSize + h.keyLength;
    if (h.next != kRemoved) {
      position = after >= store_.Size() ? 0 : after;
      if (value) *value = h.value;
      if (path && !Expand(key, path)) return false;
      return true;
    }
    at = after;
  }
  position = 0;
  return false;
}

bool CPathMap::Record(int32_t handle, std::string* path, int64_t* value) const {
  plat::LockGuard guard(lock_);
  Header h;
  std::string key;
  if (!ReadHeader(handle, &h, &key) || h.next == kRemoved) return false;
  if (value) *value = h.value;
  if (path && !Expand(key, path)) return false;
  return true;
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
