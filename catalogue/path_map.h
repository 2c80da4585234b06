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
// Continues a hash over more bytes, as if they had been part of the key.
uint32_t HashMore(uint32_t h, std::string_view more, bool foldCase);

// A record read from a store: the key points into the store's page, or
// into the scratch buffer when the record crosses a page boundary.
struct RecordView {
  int32_t next = 0;
  int64_t value = 0;
  std::string_view key;  // without the NUL
};
constexpr int32_t kScratchSize = kHeaderSize + 256;
bool ViewRecord(const CPagedStore& store, int32_t offset, RecordView* view, char* scratch);
}  // namespace pathmap_detail

class CFolderDictionary {
 public:
  CFolderDictionary();
  void InitBuckets(int32_t n);
  // Handle of folder's record, or -1 when it is not in the dictionary.
  int32_t Lookup(std::string_view folder) const { return Lookup(folder, pathmap_detail::Hash(folder, false)); }
  int32_t Lookup(std::string_view folder, uint32_t hash) const;
  // Handle of folder's record, appended when absent; -1 when the folder is
  // too long or the dictionary is full.
  int32_t Add(std::string_view folder) { return Add(folder, pathmap_detail::Hash(folder, false)); }
  int32_t Add(std::string_view folder, uint32_t hash);
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
  // The path of the record at a handle, also after the record was removed
  // (its bytes stay in the store).
  bool PathAt(int32_t handle, std::string* path) const;

  // For the catalogue, in one pass over the chains: when path, or path
  // followed by "\", holds a non-zero value, sets *listed and returns -1;
  // otherwise inserts path with value and returns its handle (-1 when the
  // path cannot be held).
  int32_t InsertUnlessListed(std::string_view path, int64_t value, bool* listed);

  int32_t Count() const;
  int32_t StoreSize() const;
  int32_t DictionaryStoreSize() const;

 private:
  // A compressed key in a buffer of its own: three bytes of folder code and
  // the tail, or the path itself.
  struct Key {
    char bytes[kMaxKeyBytes + 1];
    size_t size = 0;
    std::string_view view() const { return std::string_view(bytes, size); }
  };
  // Builds the key; false when the path cannot be held.  With add false a
  // folder part missing from the dictionary also gives false.  *folderHash
  // receives the dictionary hash of the folder part when there is one.
  bool Compress(std::string_view path, bool add, Key* key, uint32_t* folderHash = nullptr) const;
  bool Expand(std::string_view key, std::string* path) const;
  // Handle of the record whose key equals key in its chain, or -1; *last
  // receives the chain's last record (-1 for an empty bucket).
  int32_t FindInChain(uint32_t bucket, std::string_view key, int64_t* value, int32_t* last) const;
  int32_t AppendToChain(uint32_t bucket, int32_t last, std::string_view key, int64_t value);
  int32_t DictionaryId(std::string_view folder, uint32_t hash, bool add) const;
  static bool KeysEqual(std::string_view a, std::string_view b);

  mutable plat::Lock lock_;
  std::vector<int32_t> buckets_;
  CPagedStore store_;
  int32_t count_ = 0;
  // mutable: a lookup may not add folders, but Compress is shared by both.
  mutable CFolderDictionary dictionary_;
  // The folder of the last key built: consecutive paths mostly share it.
  mutable std::string lastFolder_;
  mutable uint32_t lastFolderHash_ = 0;
  mutable int32_t lastFolderId_ = -1;
};

}  // namespace quz
