#include "engine/normal_save.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "app/temporary_files.h"
#include "app/text.h"
#include "engine/crash_point.h"
#include "engine/differential_save.h"
#include "engine/file_copy.h"
#include "engine/save_note.h"

namespace quz {

void SplitFileName(const std::string& path, std::string& name, std::string& extension) {
  size_t slash = LastCharPos(path, '\\');
  std::string file = slash == kNone ? path : path.substr(slash + 1);
  // "." is never the second byte of a double-byte character.
  size_t dot = file.rfind('.');
  if (dot == std::string::npos) {
    name = file;
    extension.clear();
  } else {
    name = file.substr(0, dot);
    extension = file.substr(dot);
  }
}

std::string CopyName(const std::string& source, int32_t n) {
  std::string name, extension;
  SplitFileName(source, name, extension);
  if (n <= 1) return name + extension;
  char number[16];
  std::snprintf(number, sizeof number, "(%d)", static_cast<int>(n));
  return name + number + extension;
}

namespace {

// Names that compare equal on Windows give one key.
size_t NameKey(std::string_view name) {
  std::string folded(name);
  for (size_t i = 0; i < folded.size(); i += CharLength(folded, i))
    if (CharLength(folded, i) == 1 && folded[i] >= 'A' && folded[i] <= 'Z') folded[i] = static_cast<char>(folded[i] + 32);
  return std::hash<std::string>()(folded);
}

// A saved name that reads as "stem(n)ext" is also number n of "stem" +
// "ext".  Taking both readings can only make a number higher than needed,
// never give a name twice.
bool NumberedName(const std::string& saved, std::string& base, int32_t& n) {
  std::string stem, extension;
  SplitFileName(saved, stem, extension);
  if (stem.size() < 3 || stem.back() != ')') return false;
  size_t open = LastCharPos(stem, '(');
  if (open == kNone) return false;
  std::string_view digits = std::string_view(stem).substr(open + 1, stem.size() - open - 2);
  if (digits.empty() || digits.size() > 9) return false;
  n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  base = stem.substr(0, open) + extension;
  return true;
}

// A copy must never carry a name the rest of the program passes over: the
// shape of a temporary file, or the name of a differential image, which
// the export leaves out.
bool ReservedName(const std::string& name) { return IsTemporaryName(name) || name == kTempImageName; }

// The copy names this process knows in the date folder it saves into: for
// each name the highest number a list line or a save of this process gave
// it.  A number once given is not given again that day, even after its copy
// was deleted as an old generation: the list may still name it, and a
// second line under the same name would tie two sources to one copy.
class CDateFolderNames {
 public:
  // Makes folder the current one.  The first time, reads its list and
  // clears away what an interrupted save left in it.
  void Enter(const std::string& folder) {
    if (folder == folder_) return;
    folder_ = folder;
    highest_.clear();
    std::string text;
    if (plat::ReadWholeFile(folder + kCopyListName, text)) {
      size_t at = 0;
      while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        size_t separator = line.find('<');
        if (separator == 0 || separator == std::string_view::npos) continue;
        std::string name(line.substr(0, separator));
        Note(name, 1);
        std::string base;
        int32_t n = 0;
        if (NumberedName(name, base, n)) Note(base, n);
      }
    }
    Tidy(folder);
  }

  // The number to try first for a copy of a file of this name.
  int32_t Next(const std::string& fileName) {
    auto it = highest_.find(NameKey(fileName));
    int32_t n = it == highest_.end() ? 1 : it->second + 1;
    if (n == 1 && ReservedName(fileName)) n = 2;
    return n;
  }

  // Copy number n of fileName now exists in folder under copyName.  Once
  // another folder has become the current one this is moot: the list is
  // read again when the folder comes back.
  void Used(const std::string& folder, const std::string& fileName, int32_t n, const std::string& copyName) {
    if (folder != folder_) return;
    Note(fileName, n);
    Note(copyName, 1);
  }

 private:
  void Note(const std::string& name, int32_t n) {
    int32_t& highest = highest_[NameKey(name)];
    if (n > highest) highest = n;
  }

  // Temporary files are what a save cut short was writing.  The notes of
  // such saves name them too, but a note may not have reached the disk
  // before a power cut.
  static void Tidy(const std::string& folder) {
    std::vector<plat::DirEntry> entries;
    if (!plat::ListDirectory(folder, entries)) return;
    for (const plat::DirEntry& e : entries)
      if (!e.isDirectory && IsTemporaryName(e.name)) plat::DeleteFile(folder + e.name);
  }

  std::string folder_;
  std::unordered_map<size_t, int32_t> highest_;
};

std::mutex namesMutex;
CDateFolderNames& Names() {
  static CDateFolderNames names;
  return names;
}

// Holds the index's lock when there is an index.
class IndexLock {
 public:
  explicit IndexLock(CGenerationIndex* index) : lock_(index ? &index->Mutex() : nullptr) {
    if (lock_) lock_->Enter();
  }
  ~IndexLock() {
    if (lock_) lock_->Leave();
  }
  IndexLock(const IndexLock&) = delete;
  IndexLock& operator=(const IndexLock&) = delete;

 private:
  plat::Lock* lock_;
};

// The save folder a date folder lies in.
std::string SaveFolderOf(const std::string& dateFolder) { return FolderOf(StripTrailingSeparator(dateFolder)); }

// Copies the whole source into a new temporary file in dateFolder, flushed
// to the disk; returns its path, or an empty string (nothing left behind).
std::string WriteTemporaryCopy(const std::string& source, const std::string& dateFolder, CSaveNote& note,
                               std::atomic<int32_t>* stop, plat::IUserInteraction* ui, int64_t& size) {
  plat::File in;
  if (!in.Open(source, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead | plat::kShareWrite))
    return std::string();
  plat::File out;
  std::string temporary = note.CreateTemporary(dateFolder, out);
  if (temporary.empty()) return temporary;
  bool whole = CopyFileData(in, out, kCopyAll, stop, ui) == 1;
  size = out.Position();
  if (whole && !out.Flush()) {
    whole = false;
    ReportWriteFailure(stop, ui);
  }
  out.Close();
  if (!whole) {
    plat::DeleteFile(temporary);
    return std::string();
  }
  CrashPoint("normal-copied");
  return temporary;
}

// Renames the temporary copy to the first free number from `first` on,
// with the note naming the copy it is about to become.  Returns the copy
// name and its number, or an empty name.
std::string PutInPlace(const std::string& temporary, const std::string& source, const std::string& dateFolder,
                       int32_t first, CSaveNote& note, int32_t& number) {
  for (int32_t n = first; n < INT32_MAX; ++n) {
    std::string name = CopyName(source, n);
    note.Becoming(dateFolder + name);
    if (plat::MoveFile(temporary, dateFolder + name)) {
      number = n;
      return name;
    }
    if (plat::LastError().kind != plat::ErrorKind::AlreadyExists) return std::string();
  }
  return std::string();
}

// Appends "name<source" CR LF to the folder's list; a line cut short is
// taken back, since it would glue itself to the next one.
bool AppendListLine(const std::string& dateFolder, const std::string& name, const std::string& source,
                    std::atomic<int32_t>* stop, plat::IUserInteraction* ui, CGenerationIndex* index) {
  IndexLock lock(index);
  plat::File list;
  int64_t end = -1;
  if (!list.Open(dateFolder + kCopyListName, plat::Access::ReadWrite, plat::Disposition::OpenAlways,
                 plat::kShareRead) ||
      (end = list.Seek(0, plat::Origin::End)) < 0)
    return false;
  if (list.WriteAll(name + "<" + source + "\r\n")) return true;
  list.SetLength(end);
  ReportWriteFailure(stop, ui);
  return false;
}

}  // namespace

int SaveNormal(const std::string& source, const std::string& dateFolder,
               std::atomic<int32_t>* stop, SaveNormalResult& result,
               plat::IUserInteraction* ui, CGenerationIndex* index) {
  result = SaveNormalResult();
  const std::string fileName = CopyName(source, 1);
  int32_t first = 1;
  ClearInterruptedSaves(SaveFolderOf(dateFolder));
  {
    // Under the index's lock: the loader rewrites lists through temporary
    // files, which the tidying must not take for left-overs.
    IndexLock lock(index);
    std::lock_guard<std::mutex> guard(namesMutex);
    Names().Enter(dateFolder);
    first = Names().Next(fileName);
  }

  int64_t size = 0;
  CSaveNote note(SaveFolderOf(dateFolder));
  const std::string temporary = WriteTemporaryCopy(source, dateFolder, note, stop, ui, size);
  if (temporary.empty()) return 0;
  int32_t number = 0;
  const std::string name = PutInPlace(temporary, source, dateFolder, first, note, number);
  if (name.empty()) {
    plat::DeleteFile(temporary);
    return 0;
  }
  const std::string copyPath = dateFolder + name;
  {
    std::lock_guard<std::mutex> guard(namesMutex);
    Names().Used(dateFolder, fileName, number, name);
  }
  CrashPoint("normal-renamed");

  // A copy no line names cannot be traced to its source by a restore.
  if (!AppendListLine(dateFolder, name, source, stop, ui, index)) {
    plat::DeleteFile(copyPath);
    return 0;
  }
  CrashPoint("normal-listed");
  result.copyPath = copyPath;
  result.size = size;
  return 1;
}

}  // namespace quz
