#include "catalogue/file_list_file.h"

#include <cstdio>
#include <cstring>

#include "app/paths.h"
#include "platform/platform.h"

namespace quz {

const char kFileListName[] = "FileList.txt";

namespace {
// Optional sign, then digits; what follows the digits is ignored and a
// field without digits reads as 0.  Values outside int32 are clamped.
int32_t ParseField(const char* s) {
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  int64_t v = 0;
  while (*s >= '0' && *s <= '9') {
    if (v < 0x100000000LL) v = v * 10 + (*s - '0');
    ++s;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  return static_cast<int32_t>(v);
}
}  // namespace

namespace {
bool ReadCatalogue(const std::string& file, std::string& buffer) {
  plat::File f;
  return f.Open(file, plat::Access::Read, plat::Disposition::OpenAlways, plat::kShareRead) &&
         f.ReadAll(buffer);
}
}  // namespace

bool LoadFileList(CFileList& list, const std::string& file) {
  std::string buffer;
  // Another program may hold the file a moment (a virus scanner, a
  // backup of the program folder): a few tries before giving up.
  for (int attempt = 1; !ReadCatalogue(file, buffer); ++attempt) {
    if (attempt >= kLoadAttempts) {
      plat::Error error = plat::LastError();
      list.RefuseSaving();
      plat::SetLastError(error.kind, error.code);
      return false;
    }
    plat::Sleep(kLoadRetryMs);
  }
  // Two zero bytes after the text: a line end's second byte may be cleared
  // past the end, and every line stays terminated.
  buffer.append(2, '\0');
  size_t at = 0;
  for (int32_t line = 0; line < CFileList::kMaxEntries; ++line) {
    size_t end = at;
    while (end < buffer.size() - 2 && buffer[end] != '\r' && buffer[end] != '\n') ++end;
    if (end >= buffer.size() - 2) break;
    buffer[end] = '\0';
    buffer[end + 1] = '\0';
    char* text = &buffer[at];
    char* first = std::strchr(text, '<');
    char* second = first ? std::strchr(first + 1, '<') : nullptr;
    char* third = second ? std::strchr(second + 1, '<') : nullptr;
    if (!third) break;
    *first = *second = *third = '\0';
    // A path already listed keeps its first line; one the index cannot hold
    // is passed over.
    list.AddLoaded(std::string_view(text, static_cast<size_t>(first - text)), ParseField(first + 1),
                   static_cast<SaveType>(ParseField(second + 1)), ParseField(third + 1));
    at = end + 2;
  }
  return true;
}

bool LoadFileList(CFileList& list) { return LoadFileList(list, ExePath(kFileListName)); }

bool SaveFileList(const CFileList& list, const std::string& file) {
  if (list.SavingRefused()) {
    plat::SetLastError(plat::ErrorKind::AccessDenied, 0);
    return false;
  }
  std::string out;
  char fields[48];
  int32_t count = list.Count();
  for (int32_t i = 0; i < count; ++i) {
    FileEntry* e = list.EntryAt(i);
    if (!e || e->IsWithdrawn()) continue;
    std::snprintf(fields, sizeof fields, "<%d<%d<%d\r\n", static_cast<int>(e->savedTime.load()),
                  static_cast<int>(e->saveType.load()), static_cast<int>(e->lookedAtTime.load()));
    out += e->Path();
    out += fields;
  }
  std::string temporary = file + ".new";
  {
    plat::File f;
    if (!f.Open(temporary, plat::Access::Write, plat::Disposition::CreateAlways, plat::kShareNone))
      return false;
    if (!f.WriteAll(out) || !f.Flush()) {
      f.Close();
      plat::DeleteFile(temporary);
      return false;
    }
  }
  if (!plat::ReplaceFile(temporary, file)) {
    plat::DeleteFile(temporary);
    return false;
  }
  return true;
}

bool SaveFileList(const CFileList& list) { return SaveFileList(list, ExePath(kFileListName)); }

}  // namespace quz
