#include "catalogue/generation_index.h"

#include <cstring>

#include "app/temporary_files.h"

namespace quz {

const char kCopyListName[] = "quzFileList.txt";

CGenerationIndex::CGenerationIndex() {
  copyIndex.InitBuckets(kCopyBuckets);
  copiesBySource.InitBuckets(kSourceBuckets);
}

CGenerationIndex::~CGenerationIndex() = default;

bool CGenerationIndex::AddCopy(const std::string& source, const std::string& copyPath) {
  plat::LockGuard guard(lock_);
  int64_t value = 0;
  CopyList* list = nullptr;
  if (copiesBySource.Find(source, &value) && value > 0) list = lists_[value - 1].get();
  if (copyIndex.Find(copyPath, nullptr)) return false;
  if (!list) {
    // The source must be holdable before the copy is indexed, or the copy
    // would sit in copyIndex with no list that names it.
    lists_.push_back(std::make_unique<CopyList>());
    if (copiesBySource.Insert(source, static_cast<int64_t>(lists_.size())) < 0) {
      lists_.pop_back();
      return false;
    }
    list = lists_.back().get();
  }
  int32_t handle = copyIndex.Insert(copyPath, 0);
  if (handle < 0) return false;
  list->pairs.push_back(CopyPair{handle, 0});
  return true;
}

CopyList* CGenerationIndex::CopiesOf(const std::string& source) {
  plat::LockGuard guard(lock_);
  int64_t value = 0;
  if (!copiesBySource.Find(source, &value) || value <= 0) return nullptr;
  return lists_[value - 1].get();
}

bool CGenerationIndex::CopyPath(int32_t handle, std::string* path) const {
  plat::LockGuard guard(lock_);
  return copyIndex.Record(handle, path, nullptr);
}

bool CGenerationIndex::HasCopy(const std::string& copyPath) const {
  plat::LockGuard guard(lock_);
  return copyIndex.Find(copyPath, nullptr);
}

bool CGenerationIndex::RemoveCopy(const std::string& copyPath) {
  plat::LockGuard guard(lock_);
  return copyIndex.Remove(copyPath);
}

void CGenerationIndex::MarkRemoved(const std::string& copyPath) {
  plat::LockGuard guard(lock_);
  removedCopies.Insert(copyPath, 0);
}

bool CGenerationIndex::IsRemoved(const std::string& copyPath) const {
  plat::LockGuard guard(lock_);
  return removedCopies.Find(copyPath, nullptr);
}

int32_t CGenerationIndex::SourceCount() const {
  plat::LockGuard guard(lock_);
  return copiesBySource.Count();
}

int32_t CGenerationIndex::CopyCount() const {
  plat::LockGuard guard(lock_);
  return copyIndex.Count();
}

bool CGenerationIndex::LoadCopyList(const std::string& folder) {
  std::string file = folder + kCopyListName;
  // Held from reading to replacing, so that a line a check appends in the
  // meantime cannot be lost by the rewrite.
  plat::LockGuard guard(lock_);
  std::string text;
  if (!plat::ReadWholeFile(file, text)) return false;
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    size_t cr = text.find('\r', at);
    // A last line without its CR LF (a crash while it was appended) is
    // still a line; it gets its CR LF back when the list is rewritten.
    size_t end = cr == std::string::npos ? text.size() : cr;
    std::string_view line(text.data() + at, end - at);
    at = cr == std::string::npos ? text.size() : cr + 2;
    size_t sep = line.find('<');
    if (sep == 0 || sep == std::string_view::npos) {
      // The differential folder's line (no saved name), or a line that
      // names no source: not a generation, kept as it is.
      out.append(line);
      out += "\r\n";
      continue;
    }
    std::string_view name = line.substr(0, sep);
    std::string_view source = line.substr(sep + 1);
    size_t second = source.find('<');
    if (second != std::string_view::npos) source = source.substr(0, second);
    std::string copyPath = folder;
    copyPath.append(name);
    if (removedCopies.Find(copyPath, nullptr)) continue;
    AddCopy(std::string(source), copyPath);
    out.append(name);
    out += '<';
    out.append(source);
    out += "\r\n";
  }
  if (out == text) return true;
  // Replaced whole, so that a crash while writing leaves the old list.
  plat::File replacement;
  std::string temporary = CreateTemporaryFile(folder, replacement);
  if (temporary.empty()) return true;
  bool written = replacement.WriteAll(out);
  replacement.Close();
  if (!written || !plat::ReplaceFile(temporary, file)) plat::DeleteFile(temporary);
  return true;
}

void CGenerationIndex::LoadSaveFolder(const std::string& saveFolder) {
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(saveFolder, entries)) return;
  for (const plat::DirEntry& entry : entries) {
    // "." and ".." and hidden names are passed over; the test is on the
    // name, so a first entry that is a real folder is still loaded.
    if (!entry.isDirectory || entry.name.empty() || entry.name[0] == '.') continue;
    LoadCopyList(saveFolder + entry.name + "\\");
  }
}

void StartIndexLoader(CGenerationIndex& index, RunState& state,
                      std::unique_ptr<plat::Thread>& loader) {
  int32_t ready = 1;
  if (!state.generationReady.compare_exchange_strong(ready, 0)) return;
  if (loader) loader->Join();  // it has finished: generationReady was 1
  loader = std::make_unique<plat::Thread>();
  std::string saveFolder = state.saveFolder;
  RunState* s = &state;
  CGenerationIndex* i = &index;
  if (!loader->Start(
          [i, s, saveFolder] {
            i->LoadSaveFolder(saveFolder);
            s->generationReady = 1;
          },
          plat::Priority::Normal))
    state.generationReady = 1;
}

}  // namespace quz
