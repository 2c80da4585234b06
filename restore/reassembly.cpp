#include "restore/reassembly.h"

#include "engine/differential_save.h"
#include "engine/file_copy.h"
#include "restore/restore_table.h"

namespace quz {

const char kDamagedFragmentText[] = "差分保存のファイルが壊れているか途中で切れています";

namespace {

const char kCopyFailed[] = "ファイルの読み書きに失敗しました";

// What went wrong in the call that just failed: the system's text, or,
// when no system call failed, the caller's own explanation.
TransferResult Fail(const std::string& path, const char* otherwise) {
  TransferResult r;
  r.kind = TransferResult::Failed;
  r.path = path;
  int code = plat::LastError().code;
  r.message = code ? plat::ErrorMessage(code) : std::string(otherwise);
  return r;
}

}  // namespace

TransferResult CopyAllData(plat::File& source, plat::File& dest, const std::string& sourcePath) {
  plat::SetLastError(plat::ErrorKind::None, 0);
  // No stop flag: a failed write ends this file only, silently.
  if (!CopyFileData(source, dest, kCopyAll, nullptr, nullptr)) return Fail(sourcePath, kCopyFailed);
  return TransferResult{};
}

TransferResult ApplyFragments(const std::string& folder, int32_t n, plat::File& dest, std::string* lastFragment) {
  for (int32_t i = 0; i <= n; ++i) {
    std::string path = CopyPathOf(folder, i);
    plat::File fragment;
    if (!fragment.Open(path, plat::Access::Read, plat::Disposition::OpenExisting,
                       plat::kShareRead | plat::kShareWrite)) {
      TransferResult r;
      r.kind = TransferResult::OpenFailed;
      r.path = path;
      return r;
    }
    plat::SetLastError(plat::ErrorKind::None, 0);
    if (!ApplyFragment(fragment, dest, nullptr)) return Fail(path, kDamagedFragmentText);
    if (lastFragment) *lastFragment = path;
  }
  return TransferResult{};
}

}  // namespace quz
