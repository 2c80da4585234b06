#include "engine/differential_save.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "app/paths.h"
#include "app/temporary_files.h"
#include "app/text.h"
#include "catalogue/generation_index.h"
#include "engine/crash_point.h"
#include "engine/file_copy.h"
#include "engine/normal_save.h"
#include "engine/save_note.h"

namespace quz {

const char kTempImageName[] = "~temp.dat";

namespace {

constexpr char kSetAsideMark[] = ".damaged";

struct CompareBuffers {
  std::unique_ptr<char[]> file{new char[kCompareBlock]};
  std::unique_ptr<char[]> image{new char[kCompareBlock]};
};

void PutU32(char* at, uint32_t v) {
  at[0] = static_cast<char>(v & 0xFF);
  at[1] = static_cast<char>((v >> 8) & 0xFF);
  at[2] = static_cast<char>((v >> 16) & 0xFF);
  at[3] = static_cast<char>((v >> 24) & 0xFF);
}

uint32_t GetU32(const char* at) {
  const auto* b = reinterpret_cast<const unsigned char*>(at);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

bool ReadU32(plat::File& file, uint32_t& value) {
  char bytes[4];
  if (!ReadFully(file, bytes, 4)) return false;
  value = GetU32(bytes);
  return true;
}

bool WriteHeader(plat::File& file, uint32_t a, uint32_t b) {
  char bytes[8];
  PutU32(bytes, a);
  PutU32(bytes + 4, b);
  return file.Write(bytes, 8) == 8;
}

bool WriteRecord(plat::File& fragment, int64_t offset, const char* data, int64_t length) {
  bool ok = WriteHeader(fragment, static_cast<uint32_t>(offset), static_cast<uint32_t>(length)) &&
            fragment.Write(data, length) == length;
  CrashPoint("fragment-record");
  return ok;
}

bool WordEqual(const char* a, const char* b, int64_t word) {
  return std::memcmp(a + 4 * word, b + 4 * word, 4) == 0;
}

// Writes the records of one compared stretch: `length` bytes at `start` of
// the file, `words` whole words of them compared.  A differing run ends at
// 8 equal words; a run that reaches the end takes in the first of the
// trailing equal words, but never goes past the stretch.
bool CompareStretch(plat::File& fragment, int64_t start, const char* file, const char* image,
                    int64_t length) {
  if (std::memcmp(file, image, static_cast<size_t>(length)) == 0) return true;
  const int64_t words = length / 4;
  int64_t coveredTo = 0;
  int64_t i = 0;
  while (i < words) {
    if (WordEqual(file, image, i)) {
      ++i;
      continue;
    }
    int64_t j = i + 1, equal = 0, lastDifferent = i;
    bool ended = false;
    for (; j < words; ++j) {
      if (WordEqual(file, image, j)) {
        if (++equal == kEqualWordsToEnd) {
          ended = true;
          break;
        }
      } else {
        equal = 0;
        lastDifferent = j;
      }
    }
    int64_t end = ended ? 4 * (lastDifferent + 1) : std::min(4 * (words - equal + 1), length);
    if (!WriteRecord(fragment, start + 4 * i, file + 4 * i, end - 4 * i)) return false;
    coveredTo = end;
    i = ended ? j + 1 : words;
  }
  // The last 1 to 3 bytes of the common length are no whole word; a change
  // confined to them must not be lost.
  int64_t tail = 4 * words;
  if (coveredTo < length && tail < length &&
      std::memcmp(file + tail, image + tail, static_cast<size_t>(length - tail)) != 0)
    return WriteRecord(fragment, start + tail, file + tail, length - tail);
  return true;
}

std::string CopyListLine(const std::string& folder) {
  plat::File list;
  if (!list.Open(folder + kCopyListName, plat::Access::Read, plat::Disposition::OpenExisting,
                 plat::kShareRead | plat::kShareWrite))
    return std::string(1, '\0');  // no list: a new folder
  char text[262];
  int64_t got = list.Read(text, 261);
  if (got <= 1) return std::string(1, '\0');
  std::string line(text + 1, static_cast<size_t>(got - 1));  // after the "<"
  size_t cr = line.rfind('\r');
  if (cr == std::string::npos) return std::string(1, '\0');
  line.resize(cr);
  return line;
}

// The total length a fragment declares; -1 when it cannot be read.
int64_t FragmentTotal(const std::string& path) {
  plat::File fragment;
  uint32_t total = 0;
  if (!fragment.Open(path, plat::Access::Read, plat::Disposition::OpenExisting,
                     plat::kShareRead | plat::kShareWrite) ||
      !ReadU32(fragment, total))
    return -1;
  return total;
}

// ---------------------------------------------------------------- the folder

// The folder's one line names its source.  It is replaced whole, and only
// when it says something else: a kill while it was rewritten in place left
// a folder nobody owned, and the next save of the file took another one.
void WriteOwnerLine(const std::string& folder, const std::string& source, CSaveNote& note) {
  const std::string list = folder + kCopyListName;
  const std::string line = "<" + source + "\r\n";
  std::string now;
  if (plat::ReadWholeFile(list, now) && now == line) return;
  plat::File file;
  std::string temporary = note.CreateTemporary(folder, file);
  if (temporary.empty()) return;
  bool written = file.WriteAll(line) && file.Flush();
  file.Close();
  if (!written || !plat::ReplaceFile(temporary, list)) plat::DeleteFile(temporary);
}

// What a fragment folder holds: the chain of fragments 0 to n-1 without a
// gap and their times, the fragments stranded beyond a gap, and the image.
struct FolderScan {
  std::vector<plat::Time32> chain;
  std::vector<int32_t> stranded;
  bool haveImage = false;
  plat::FileStatus image;
};

// Reads the folder once, removing the temporary files an interrupted save
// left in it.
FolderScan ScanFragmentFolder(const std::string& folder) {
  FolderScan scan;
  std::map<int32_t, plat::Time32> fragments;
  plat::DirReader reader;
  plat::DirEntry e;
  if (reader.Open(folder)) {
    while (reader.Next(e)) {
      if (e.isDirectory) continue;
      int32_t n = 0;
      if (ParseFragmentName(e.name, n)) {
        fragments[n] = e.mtime;
      } else if (e.name == kTempImageName) {
        scan.haveImage = true;
        scan.image.size = e.size;
        scan.image.mtime = e.mtime;
      } else if (IsTemporaryName(e.name)) {
        plat::DeleteFile(folder + e.name);
      }
    }
  }
  for (const auto& [n, mtime] : fragments) {
    if (n == static_cast<int32_t>(scan.chain.size()))
      scan.chain.push_back(mtime);
    else
      scan.stranded.push_back(n);
  }
  return scan;
}

// Renames fragment n out of the chain; its data and time stay for whoever
// wants to look at it.  Returns the new path, or an empty string.
std::string SetAside(const std::string& folder, int32_t n) {
  for (int k = 1; k < 1000; ++k) {
    char name[48];
    if (k == 1)
      std::snprintf(name, sizeof name, "%07d%s.dat", static_cast<int>(n), kSetAsideMark);
    else
      std::snprintf(name, sizeof name, "%07d%s(%d).dat", static_cast<int>(n), kSetAsideMark, k);
    if (plat::MoveFile(FragmentPath(folder, n), folder + name)) return folder + name;
    if (plat::LastError().kind != plat::ErrorKind::AlreadyExists) break;
  }
  return std::string();
}

// Sets aside the fragments numbered (in increasing order) in `numbers`, the
// last first, so that the chain never has a gap in front of a fragment
// still in it.  False when one could not be renamed (it still counts, so
// nothing may be built on it).
bool SetAsideRange(const std::string& folder, const std::vector<int32_t>& numbers,
                   DifferentialSaveResult& result) {
  for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
    std::string path = SetAside(folder, *it);
    if (path.empty()) return false;
    result.setAside.push_back(path);
  }
  return true;
}

// ---------------------------------------------------------------- the image

enum class FragmentState { Intact, Damaged, Unreadable };

// Walks a fragment's record headers without applying anything: damaged
// when it is shorter than its header, a record runs past the fragment's end
// or past T, or bytes are left over that make no record.
FragmentState InspectFragment(plat::File& fragment) {
  const int64_t size = fragment.Size();
  if (size < 0) return FragmentState::Unreadable;
  if (size < 4) return FragmentState::Damaged;
  uint32_t total = 0;
  if (fragment.Seek(0) != 0 || !ReadU32(fragment, total)) return FragmentState::Unreadable;
  int64_t at = 4;
  while (at < size) {
    if (size - at < 8) return FragmentState::Damaged;
    uint32_t offset = 0, length = 0;
    if (fragment.Seek(at) != at || !ReadU32(fragment, offset) || !ReadU32(fragment, length))
      return FragmentState::Unreadable;
    at += 8;
    if (size - at < length || int64_t{offset} + length > total) return FragmentState::Damaged;
    at += length;
  }
  return FragmentState::Intact;
}

// The file as the last save left it, which the comparison reads: nothing
// (no fragments yet: an empty file), "~temp.dat" itself when it is current,
// or a file under a temporary name (rebuilt from the fragments, or moved
// out of the image's name while the new fragment is published).
struct WorkImage {
  explicit WorkImage(CSaveNote& n) : note(n) {}
  CSaveNote& note;
  std::string folder;
  bool inPlace = false;     // it is "~temp.dat"
  std::string temporary;    // or the temporary file it is in
  plat::File file;          // open for reading while the comparison runs
  plat::Time32 time = 0;    // the newest fragment's, which a current image carries
  int64_t Length() { return file.IsOpen() ? file.Size() : 0; }
};

bool IsCurrent(const FolderScan& scan, const std::string& folder) {
  // The times are seconds, so the length must agree as well: an image is
  // never taken for current merely because two saves fell in one second.
  return scan.haveImage && scan.image.mtime == scan.chain.back() &&
         scan.image.size == FragmentTotal(FragmentPath(folder, static_cast<int32_t>(scan.chain.size()) - 1));
}

// Applies fragments 0 to n-1 to a new temporary image.  A damaged fragment
// is set aside with all that follow it and the chain ends before it.
// False when a fragment could not be opened or read, or the image written.
bool RebuildImage(WorkImage& image, std::vector<plat::Time32>& chain, DifferentialSaveResult& result) {
  image.temporary = image.note.CreateTemporary(image.folder, image.file);
  if (image.temporary.empty()) return false;
  for (int32_t k = 0; k < static_cast<int32_t>(chain.size()); ++k) {
    plat::File fragment;
    if (!fragment.Open(FragmentPath(image.folder, k), plat::Access::Read, plat::Disposition::OpenExisting,
                       plat::kShareRead))
      return false;
    FragmentState state = InspectFragment(fragment);
    if (state == FragmentState::Unreadable) return false;
    if (state == FragmentState::Damaged) {
      fragment.Close();
      std::vector<int32_t> rest;
      for (int32_t m = k; m < static_cast<int32_t>(chain.size()); ++m) rest.push_back(m);
      if (!SetAsideRange(image.folder, rest, result)) return false;
      chain.resize(static_cast<size_t>(k));
      break;
    }
    if (!ApplyFragment(fragment, image.file, nullptr)) return false;
    CrashPoint("image-rebuilding");
  }
  if (!image.file.Flush()) return false;
  if (!chain.empty()) image.time = chain.back();
  return true;
}

void DropImage(WorkImage& image) {
  image.file.Close();
  if (!image.temporary.empty()) plat::DeleteFile(image.temporary);
  image.temporary.clear();
  image.inPlace = false;
}

// Gets the image for a chain: "~temp.dat" when it is current, otherwise a
// rebuilt one (the stale one is removed first, so that it can never pass
// for current later).  The chain may come back shorter (see RebuildImage).
bool TakeImage(WorkImage& image, const FolderScan& scan, std::vector<plat::Time32>& chain,
               DifferentialSaveResult& result) {
  const std::string imagePath = image.folder + kTempImageName;
  if (!chain.empty() && IsCurrent(scan, image.folder)) {
    image.inPlace = true;
    image.time = chain.back();
    return image.file.Open(imagePath, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead);
  }
  if (scan.haveImage && !plat::DeleteFile(imagePath)) return false;
  if (chain.empty()) return true;
  if (!RebuildImage(image, chain, result)) {
    DropImage(image);
    return false;
  }
  // When every fragment was set aside the file starts afresh.
  if (chain.empty()) DropImage(image);
  return chain.empty() || image.file.Seek(0) == 0;
}

// Puts the image back under its name when the save fails before its
// fragment is published: it is still current for the chain, and a rebuilt
// one spares the next save the rebuild.
void GiveImageBack(WorkImage& image) {
  image.file.Close();
  if (image.temporary.empty() || image.time == 0) {
    DropImage(image);
    return;
  }
  if (!plat::SetFileTime(image.temporary, image.time) ||
      !plat::ReplaceFile(image.temporary, image.folder + kTempImageName))
    plat::DeleteFile(image.temporary);
  image.temporary.clear();
}

// Takes the image out of its name before a new fragment is published: an
// image whose fragment is newer must never carry the name, however the
// save ends.  A save that starts afresh gets an empty file.
bool MoveImageAside(WorkImage& image) {
  image.file.Close();
  if (!image.temporary.empty()) return true;
  plat::File file;
  image.temporary = image.note.CreateTemporary(image.folder, file);
  if (image.temporary.empty()) return false;
  file.Close();
  if (!image.inPlace) return true;
  image.inPlace = false;
  if (plat::ReplaceFile(image.folder + kTempImageName, image.temporary)) return true;
  DropImage(image);
  return false;
}

// Applies the new fragment to the image and gives it its name back with
// the fragment's time, once it is whole.  Any failure leaves no image: the
// next save rebuilds it.
void UpdateImage(WorkImage& image, const std::string& fragmentPath) {
  plat::File target, fragment;
  plat::FileStatus status;
  bool ok = target.Open(image.temporary, plat::Access::ReadWrite, plat::Disposition::OpenExisting,
                        plat::kShareRead) &&
            fragment.Open(fragmentPath, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead) &&
            ApplyFragment(fragment, target, nullptr) && target.Flush() && fragment.GetStatus(status);
  target.Close();
  fragment.Close();
  ok = ok && plat::SetFileTime(image.temporary, status.mtime);
  if (ok) CrashPoint("image-updated");
  if (!ok || !plat::ReplaceFile(image.temporary, image.folder + kTempImageName)) plat::DeleteFile(image.temporary);
  image.temporary.clear();
}

// ---------------------------------------------------------------- the fragment

// Writes the differences of the source from the image into a new temporary
// fragment, flushed to the disk.  Returns its path, or an empty string
// (nothing left behind).
std::string WriteFragment(plat::File& in, int64_t total, WorkImage& image, const std::string& folder,
                          std::atomic<int32_t>* stop, plat::IUserInteraction* ui) {
  const int64_t imageLength = image.Length();
  if (imageLength < 0 || in.Seek(0) != 0 || (image.file.IsOpen() && image.file.Seek(0) != 0))
    return std::string();
  plat::File fragment;
  std::string path = image.note.CreateTemporary(folder, fragment);
  if (path.empty()) return path;
  auto drop = [&] {
    fragment.Close();
    plat::DeleteFile(path);
    return std::string();
  };
  auto writeFailed = [&] {
    ReportWriteFailure(stop, ui);
    return drop();
  };

  char header[4];
  PutU32(header, static_cast<uint32_t>(total));
  if (fragment.Write(header, 4) != 4) return writeFailed();
  CrashPoint("fragment-header");

  const int64_t common = std::min(total, imageLength);
  CompareBuffers buffers;  // per save, not per thread: see CopyFileData
  for (int64_t start = 0; start < common; start += kCompareBlock) {
    int64_t length = std::min(kCompareBlock, common - start);
    if (!ReadFully(in, buffers.file.get(), length) || !ReadFully(image.file, buffers.image.get(), length))
      return drop();
    if (!CompareStretch(fragment, start, buffers.file.get(), buffers.image.get(), length)) return writeFailed();
    if (stop && stop->load() != 0) return drop();
  }

  if (total > common) {
    if (!WriteHeader(fragment, static_cast<uint32_t>(common), static_cast<uint32_t>(total - common)))
      return writeFailed();
    if (in.Seek(common) != common) return drop();
    // Exactly the length the record declares: bytes the file gained since
    // are left for the next save, and a file that shrank fails the save.
    int64_t expected = fragment.Position() + (total - common);
    if (!CopyFileData(in, fragment, total - common, stop, ui) || fragment.Position() != expected) return drop();
  }
  if (!fragment.Flush()) return writeFailed();
  fragment.Close();
  CrashPoint("fragment-written");
  return path;
}

}  // namespace

// ---------------------------------------------------------------- public

std::string FragmentPath(const std::string& folder, int32_t n) {
  char name[24];
  std::snprintf(name, sizeof name, "%07d.dat", static_cast<int>(n));
  return folder + name;
}

bool ParseFragmentName(std::string_view name, int32_t& n) {
  if (name.size() != 11 || name.substr(7) != ".dat") return false;
  n = 0;
  for (size_t i = 0; i < 7; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    n = n * 10 + (name[i] - '0');
  }
  return true;
}

bool IsSetAsideFragmentName(std::string_view name) {
  const std::string_view mark = kSetAsideMark;
  if (name.size() < 7 + mark.size() + 4 || name.substr(name.size() - 4) != ".dat") return false;
  for (size_t i = 0; i < 7; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  if (name.substr(7, mark.size()) != mark) return false;
  std::string_view rest = name.substr(7 + mark.size(), name.size() - 4 - 7 - mark.size());
  if (rest.empty()) return true;
  if (rest.size() < 3 || rest.front() != '(' || rest.back() != ')') return false;
  for (char c : rest.substr(1, rest.size() - 2))
    if (c < '0' || c > '9') return false;
  return true;
}

std::string ChooseFragmentFolder(const std::string& source, const std::string& saveFolder) {
  std::string name, extension;
  SplitFileName(source, name, extension);
  std::string base = saveFolder + name + extension;
  for (int64_t i = 0;; ++i) {
    std::string candidate = base;
    if (i > 0) {
      char number[24];
      std::snprintf(number, sizeof number, "(%lld)", static_cast<long long>(i));
      candidate += number;
    }
    candidate += '\\';
    std::string owner = CopyListLine(candidate);
    // A folder without a readable list line is free; the one naming this
    // source is its own.
    if (owner == std::string(1, '\0') || EqualNoCase(owner, source)) return candidate;
  }
}

int32_t CountFragments(const std::string& folder, plat::Time32* lastTime) {
  int32_t n = 0;
  plat::FileStatus status;
  while (n <= kMaxFragmentNumber && plat::GetFileStatus(FragmentPath(folder, n), status)) {
    if (lastTime) *lastTime = status.mtime;
    ++n;
  }
  return n;
}

int ApplyFragment(plat::File& fragment, plat::File& image, std::atomic<int32_t>* stop) {
  if (fragment.Seek(0) != 0) return 0;
  int64_t fragmentSize = fragment.Size();
  uint32_t total = 0;
  if (!ReadU32(fragment, total)) return 0;
  if (!image.SetLength(total)) return 0;
  int64_t at = 4;
  while (at < fragmentSize) {
    // A record header cut short is damage as much as cut data is.
    if (fragmentSize - at < 8) return 0;
    uint32_t offset = 0, length = 0;
    if (!ReadU32(fragment, offset) || !ReadU32(fragment, length)) return 0;
    at += 8;
    // A record the fragment does not hold whole, or one past the length
    // it declares, marks a damaged fragment: never apply it in part.
    if (fragmentSize - at < length || int64_t{offset} + length > total) return 0;
    if (image.Seek(offset) != offset) return 0;
    if (!CopyFileData(fragment, image, length, stop)) return 0;
    at += length;
  }
  return 1;
}

int SaveDifferential(const std::string& source, const std::string& saveFolder,
                     std::atomic<int32_t>* stop, DifferentialSaveResult& result,
                     plat::IUserInteraction* ui, int64_t maxFileSize) {
  result = DifferentialSaveResult();
  std::string folder = ChooseFragmentFolder(source, saveFolder);
  if (!CreateSaveFolder(folder)) return 0;
  ClearInterruptedSaves(saveFolder);
  CSaveNote note(saveFolder);
  WriteOwnerLine(folder, source, note);

  FolderScan scan = ScanFragmentFolder(folder);
  // Fragments beyond a gap were made on top of the one that is missing: a
  // new fragment in the gap would make them follow the wrong state.
  if (!SetAsideRange(folder, scan.stranded, result)) return 0;
  std::vector<plat::Time32> chain = scan.chain;
  // Every number is taken: writing would replace a fragment.
  if (static_cast<int32_t>(chain.size()) > kMaxFragmentNumber) return 0;

  plat::File in;
  if (!in.Open(source, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead | plat::kShareWrite))
    return 0;
  const int64_t total = in.Size();
  if (total < 0 || total > maxFileSize) return 0;

  WorkImage image(note);
  image.folder = folder;
  if (!TakeImage(image, scan, chain, result)) return 0;
  const int32_t n = static_cast<int32_t>(chain.size());

  const std::string written = WriteFragment(in, total, image, folder, stop, ui);
  in.Close();
  if (written.empty()) {
    GiveImageBack(image);
    return 0;
  }
  const std::string fragmentPath = FragmentPath(folder, n);
  if (!MoveImageAside(image)) {
    plat::DeleteFile(written);
    return 0;
  }
  CrashPoint("image-moved");
  if (!plat::MoveFile(written, fragmentPath)) {
    plat::DeleteFile(written);
    GiveImageBack(image);
    return 0;
  }
  CrashPoint("fragment-published");

  plat::FileStatus status;
  result.backupSize = plat::GetFileStatus(fragmentPath, status) ? status.size : 0;
  UpdateImage(image, fragmentPath);
  return 1;
}

}  // namespace quz
