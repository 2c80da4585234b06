#include "engine/normal_save.h"

#include <cstdio>

#include "app/text.h"
#include "engine/file_copy.h"

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

namespace {
bool PathExists(const std::string& path) {
  plat::FileStatus status;
  return plat::GetFileStatus(path, status);
}
}  // namespace

bool ChooseCopyPath(const std::string& source, const std::string& dateFolder, std::string& copy) {
  std::string name, extension;
  SplitFileName(source, name, extension);
  copy = dateFolder + name + extension;
  if (!PathExists(copy)) return true;
  for (int n = 2; n <= kMaxCopyNumber; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "(%d)", n);
    copy = dateFolder + name + number + extension;
    if (!PathExists(copy)) return true;
  }
  // Every name is taken: nothing may be overwritten.
  copy.clear();
  return false;
}

int SaveNormal(const std::string& source, const std::string& dateFolder,
               std::atomic<int32_t>* stop, SaveNormalResult& result,
               plat::IUserInteraction* ui, CGenerationIndex* index) {
  result = SaveNormalResult();
  std::string copyPath;
  if (!ChooseCopyPath(source, dateFolder, copyPath)) return 0;

  plat::File in;
  if (!in.Open(source, plat::Access::Read, plat::Disposition::OpenExisting,
               plat::kShareRead | plat::kShareWrite))
    return 0;
  plat::File out;
  if (!out.Open(copyPath, plat::Access::ReadWrite, plat::Disposition::CreateAlways,
                plat::kShareRead))
    return 0;
  int ok = CopyFileData(in, out, kCopyAll, stop, ui);
  int64_t size = out.Position();
  in.Close();
  out.Close();
  if (!ok) {
    plat::DeleteFile(copyPath);
    return 0;
  }

  // The line is written once the copy is whole: a list never names a copy
  // that is missing or cut short.
  std::string listPath = dateFolder + kCopyListName;
  std::string name = copyPath.substr(dateFolder.size());
  std::string line = name + "<" + source + "\r\n";
  bool listed = false;
  {
    plat::Lock* lock = index ? &index->Mutex() : nullptr;
    if (lock) lock->Enter();
    plat::File list;
    int64_t end = -1;
    if (list.Open(listPath, plat::Access::ReadWrite, plat::Disposition::OpenAlways,
                  plat::kShareRead) &&
        (end = list.Seek(0, plat::Origin::End)) >= 0) {
      listed = list.WriteAll(line);
      if (!listed) {
        // A line cut short would glue itself to the next one.
        list.SetLength(end);
        ReportWriteFailure(stop, ui);
      }
    }
    list.Close();
    if (lock) lock->Leave();
  }
  if (!listed) {
    // A copy nobody can trace to its source is of no use to a restore.
    plat::DeleteFile(copyPath);
    return 0;
  }
  result.copyPath = copyPath;
  result.size = size;
  return 1;
}

}  // namespace quz
