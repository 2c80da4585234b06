#include "engine/differential_save.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/paths.h"
#include "app/text.h"
#include "catalogue/generation_index.h"
#include "engine/file_copy.h"
#include "engine/normal_save.h"

namespace quz {

const char kTempImageName[] = "~temp.dat";

namespace {

constexpr int64_t kWordsPerBlock = kCompareBlock / 4;

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
  return WriteHeader(fragment, static_cast<uint32_t>(offset), static_cast<uint32_t>(length)) &&
         fragment.Write(data, length) == length;
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

}  // namespace

std::string FragmentPath(const std::string& folder, int32_t n) {
  char name[24];
  std::snprintf(name, sizeof name, "%07d.dat", static_cast<int>(n));
  return folder + name;
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
  while (fragmentSize - at >= 4) {
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
                     int64_t& backupSize, std::atomic<int32_t>* stop,
                     plat::IUserInteraction* ui) {
  std::string folder = ChooseFragmentFolder(source, saveFolder);
  if (!CreateSaveFolder(folder)) return 0;
  {
    plat::File list;
    if (list.Open(folder + kCopyListName, plat::Access::Write, plat::Disposition::CreateAlways,
                  plat::kShareRead))
      list.WriteAll("<" + source + "\r\n");
  }

  plat::Time32 lastTime = 0;
  int32_t n = CountFragments(folder, &lastTime);
  // Every number is taken: writing would replace a fragment.
  if (n > kMaxFragmentNumber) return 0;

  const std::string imagePath = folder + kTempImageName;
  plat::FileStatus before;
  const bool imageExisted = plat::GetFileStatus(imagePath, before);
  plat::File image;
  if (!image.Open(imagePath, plat::Access::ReadWrite, plat::Disposition::OpenAlways,
                  plat::kShareRead))
    return 0;
  auto dropImage = [&] {
    // An image that may disagree with the fragments must not pass for
    // current; without it the next save rebuilds it.
    image.Close();
    plat::DeleteFile(imagePath);
  };
  if (n == 0) {
    if (!image.SetLength(0)) return 0;
  } else {
    // The times are seconds: an image made afresh a moment after the last
    // fragment can carry its time, so a new image and one whose length is
    // not the last fragment's T are rebuilt as well.
    plat::FileStatus status;
    if (!imageExisted || !image.GetStatus(status) || status.mtime != lastTime ||
        status.size != FragmentTotal(FragmentPath(folder, n - 1))) {
      for (int32_t k = 0; k < n; ++k) {
        plat::File fragment;
        if (!fragment.Open(FragmentPath(folder, k), plat::Access::Read,
                           plat::Disposition::OpenExisting, plat::kShareRead) ||
            !ApplyFragment(fragment, image, nullptr)) {
          dropImage();
          return 0;
        }
      }
      // Current now, even if this save fails further on.
      image.Close();
      plat::SetFileTime(imagePath, lastTime);
      if (!image.Open(imagePath, plat::Access::ReadWrite, plat::Disposition::OpenExisting,
                      plat::kShareRead))
        return 0;
    }
  }

  plat::File in;
  if (!in.Open(source, plat::Access::Read, plat::Disposition::OpenExisting,
               plat::kShareRead | plat::kShareWrite))
    return 0;
  const int64_t total = in.Size();
  const int64_t imageLength = image.Size();
  if (total < 0 || imageLength < 0 || total > kMaxFragmentFileSize) return 0;

  const std::string fragmentPath = FragmentPath(folder, n);
  plat::File fragment;
  if (!fragment.Open(fragmentPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways,
                     plat::kShareRead | plat::kShareWrite))
    return 0;
  auto dropFragment = [&] {
    // A fragment cut short would be applied by every later rebuild and
    // restore; its number stays free for the next save.
    fragment.Close();
    plat::DeleteFile(fragmentPath);
    return 0;
  };
  auto writeFailed = [&] {
    ReportWriteFailure(stop, ui);
    return dropFragment();
  };

  if (in.Seek(0) != 0 || image.Seek(0) != 0) return dropFragment();
  char header[4];
  PutU32(header, static_cast<uint32_t>(total));
  if (fragment.Write(header, 4) != 4) return writeFailed();

  const int64_t common = std::min(total, imageLength);
  CompareBuffers buffers;  // per save, not per thread: see CopyFileData
  for (int64_t start = 0; start < common; start += kCompareBlock) {
    int64_t length = std::min(kCompareBlock, common - start);
    if (!ReadFully(in, buffers.file.get(), length) ||
        !ReadFully(image, buffers.image.get(), length))
      return dropFragment();
    if (!CompareStretch(fragment, start, buffers.file.get(), buffers.image.get(), length))
      return writeFailed();
    if (stop && stop->load() != 0) return dropFragment();
  }

  if (total > common) {
    if (!WriteHeader(fragment, static_cast<uint32_t>(common),
                     static_cast<uint32_t>(total - common)))
      return writeFailed();
    if (in.Seek(common) != common) return dropFragment();
    // Exactly the length the record declares: bytes the file gained since
    // are left for the next save, and a file that shrank fails the save.
    int64_t expected = fragment.Position() + (total - common);
    if (!CopyFileData(in, fragment, total - common, stop, ui) || fragment.Position() != expected)
      return dropFragment();
  }
  backupSize = fragment.Position();

  if (!ApplyFragment(fragment, image, nullptr)) {
    dropImage();
    return dropFragment();
  }
  in.Close();
  fragment.Close();
  image.Close();
  plat::FileStatus status;
  if (plat::GetFileStatus(fragmentPath, status)) plat::SetFileTime(imagePath, status.mtime);
  return 1;
}

}  // namespace quz
