#include "transfer/archiver.h"

#include <vector>

namespace quz::transfer {

const char* const kArchiverLoadFailedExport =
    "UNLHA32.DLLがロードできません。\r\nこの機能を利用するためには実行ファイルと同じフォルダにUNLHA32.DLLを置く必要があります。";
const char* const kArchiverLoadFailedImport =
    "UNLHA32.DLLがロードできません。\r\nLZHファイルを解凍するためには実行ファイルと同じフォルダにUNLHA32.DLLを置く必要があります。";
const char* const kArchiverEntryMissingExport = "Unlha関数をUNLHA32.DLLに発見できません。";
const char* const kArchiverEntryMissingImport =
    "Unlha関数をUNLHA32.DLLに発見できません。\r\nUNLHA32.DLLが壊れている可能性があります";
const char* const kArchiverFailed = "Unlha関数は失敗しました。";

std::string PackCommandLine(const std::string& archivePath, const std::string& folder) {
  return "a -d1 \"" + archivePath + "\" \"" + folder + "\"";
}

std::string UnpackCommandLine(const std::string& archivePath, const std::string& saveFolder) {
  return "e -x -a1 -r2 -m1 \"" + archivePath + "\" \"" + saveFolder + "\"";
}

CArchiver::CArchiver(plat::IUserInteraction& ui, ArchiverUse use, std::string caption)
    : ui_(ui), use_(use), caption_(std::move(caption)) {}

CArchiver::~CArchiver() { Unload(); }

void CArchiver::Show(const char* text) { ui_.Message(text, caption_, plat::kButtonsOk); }

int CArchiver::Load() {
  if (entry_) return 1;
  if (!library_.Load(kArchiverLibrary)) {
    Show(use_ == ArchiverUse::Export ? kArchiverLoadFailedExport : kArchiverLoadFailedImport);
    return 0;
  }
  entry_ = reinterpret_cast<Entry>(library_.Symbol(kArchiverEntry));
  if (!entry_) {
    library_.Unload();
    Show(use_ == ArchiverUse::Export ? kArchiverEntryMissingExport : kArchiverEntryMissingImport);
    return 0;
  }
  return 1;
}

int CArchiver::Run(const std::string& commandLine, IArchiverWindow* window) {
  lastResult_ = -1;
  lastOutput_.clear();
  if (!Load()) return 0;
  // One byte more than the entry is told, so that a library writing one
  // byte too many cannot reach past the buffer.
  std::vector<char> output(kArchiverBufferSize + 1, '\0');
  if (window) window->EnableWindow(false);
  lastResult_ = entry_(nullptr, commandLine.c_str(), output.data(), kArchiverBufferSize);
  if (window) window->EnableWindow(true);
  output[kArchiverBufferSize] = '\0';
  lastOutput_ = output.data();
  if (lastResult_ != 0) {
    Show(kArchiverFailed);
    return 0;
  }
  return 1;
}

void CArchiver::Unload() {
  entry_ = nullptr;
  library_.Unload();
}

bool ArchiverPresent(plat::IUserInteraction& ui, const std::string& caption) {
  CArchiver archiver(ui, ArchiverUse::Export, caption);
  return archiver.Load() == 1;
}

}  // namespace quz::transfer
