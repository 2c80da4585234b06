// A string-keyed hash map whose keys keep the folder part of a path only once,
// in a shared folder dictionary, as a three-byte folder code.
//
// Records live in a CPagedStore; a record's offset is its handle and stays
// valid for the life of the map (removal only marks it).  Every operation
// takes the map's own lock, so one thread may read while another inserts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/paged_store.h"
#include "platform/platform.h"

namespace quz {

// Longest key, and longest folder part of a path, the one-byte length field
// of a record can describe (the length counts the terminating NUL).
constexpr size_t kMaxKeyBytes = 254;
// Folder codes carry 21 bits, so the dictionary store stays below this.
constexpr int32_t kMaxDictionaryBytes = 1 << 21;

namespace pathmap_detail {
// Record: next (int32), value (int64), key length with NUL (1 byte), key.
constexpr int32_t kHeaderSize = 4 + 8 + 1;
constexpr int32_t kEndOfChain = -1;
constexpr int32_t kRemoved = -2;
uint32_t Hash(std::string_view key, bool foldCase);
}  // namespace pathmap_detail

class CFolderDictionary {
 public:
  CFolderDictionary();
  void InitBuckets(int32_t n);
  // Handle of folder's record, or -1 when it is not in the dictionary.
  int32_t Lookup(std::string_view folder) const;
  // Handle of folder's record, appended when absent; -1 when the folder is
  // too long or the dictionary is full.
  int32_t Add(std::string_view folder);
  // The folder string at a handle; false when the handle names no record.
  bool At(int32_t id, std::string* folder) const;
  int32_t StoreSize() const { return store_.Size(); }
  bool Empty() const { return store_.Size() == 0; }

 private:
  std::vector<int32_t> buckets_;
  CPagedStore store_;
};

class CPathMap {
 public:
  CPathMap();
  CPathMap(const CPathMap&) = delete;
  CPathMap& operator=(const CPathMap&) = delete;

  // Sets the bucket count (and a tenth of it for the folder dictionary);
  // no effect once anything has been stored.
  void InitBuckets(int32_t n);
  // Inserts, or overwrites the value of an existing key in place.  Returns
  // the record handle, or -1 when the path cannot be held (a key or folder
  // part over kMaxKeyBytes, or a full store): such a path is refused, never
  // shortened into some other path's key.
  int32_t Insert(std::string_view path, int64_t value);
  bool Find(std::string_view path, int64_t* value) const;
  bool Remove(std::string_view path);

  // -1 when the map holds a record, 0 when it is empty.
  int32_t FirstPosition() const;
  // Reads the live record at or after position (-1 reads from the start) and
  // moves position past it (0 at the end of the store).  False when no live
  // record is left.
  bool Next(int32_t& position, std::string* path, int64_t* value) const;
  // The path and value of the record at a handle returned by Insert.
  bool Record(int32_t handle, std::string* path, int64_t* value) const;

  int32_t Count() const;
  int32_t StoreSize() const;
  int32_t DictionaryStoreSize() const;

 private:
  struct Header {
    int32_t next;
    int64_t value;
    int32_t keyLength;  // with the NUL
  };
  // Builds the key; false when the path cannot be held.  With add false a
  // folder part missing from the dictionary also gives false.
  bool Compress(std::string_view path, bool add, std::string* key);
  bool CompressLookup(std::string_view path, std::string* key) const;
  bool Expand(const std::string& key, std::string* path) const;
  bool ReadHeader(int32_t offset, Header* h, std::string* key) const;
  bool WriteNext(int32_t offset, int32_t next);
  static bool KeysEqual(std::string_view a, std::string_view b);

  mutable plat::Lock lock_;
  std::vector<int32_t> buckets_;
  CPagedStore store_;
  int32_t count_ = 0;
  CFolderDictionary dictionary_;
};

}  // namespace quz
