// The outside LZH archiver, UNLHA32.DLL, as the export and the import use
// it: loaded by its bare name when it is needed, its entry Unlha looked up
// by name, called with one command line and a 255-byte output buffer while
// the calling window is disabled, and unloaded when the operation ends.
// Every failure is told to the user with the text for that operation.
#pragma once

#include <string>

#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz::transfer {

constexpr const char* kArchiverLibrary = "UNLHA32.DLL";
constexpr const char* kArchiverEntry = "Unlha";
constexpr unsigned kArchiverBufferSize = 255;

// The texts differ between packing an export and unpacking an import.
enum class ArchiverUse { Export, Import };

// The window the archiver runs under: disabled for the call, enabled again
// afterwards.  The Windows program passes its dialog; tests record calls.
class IArchiverWindow {
 public:
  virtual ~IArchiverWindow() = default;
  virtual void EnableWindow(bool enable) = 0;
};

// The pack command: archive path, then the folder to pack (ending in "\").
std::string PackCommandLine(const std::string& archivePath, const std::string& folder);
// The unpack command: archive path, then the save folder.  Both paths are
// quoted, so that paths with spaces ("Program Files") stay one argument.
std::string UnpackCommandLine(const std::string& archivePath, const std::string& saveFolder);

class CArchiver {
 public:
  CArchiver(plat::IUserInteraction& ui, ArchiverUse use, std::string caption = "quz");
  ~CArchiver();  // unloads
  CArchiver(const CArchiver&) = delete;
  CArchiver& operator=(const CArchiver&) = delete;

  // Loads the library and looks up Unlha; on failure shows the text of the
  // failure for this use and returns 0.  1 when ready (also when already
  // loaded).
  int Load();
  bool IsLoaded() const { return entry_ != nullptr; }
  // Runs one command line.  `window`, when given, is disabled during the
  // call.  A non-zero result shows "Unlha関数は失敗しました。" and returns 0;
  // success returns 1.  Loads the library first when needed.
  int Run(const std::string& commandLine, IArchiverWindow* window = nullptr);
  void Unload();

  // What the last Run gave: the entry's result (-1 when it was not
  // called) and the text it left in the buffer (kept for diagnostics; the
  // program shows only its own texts).
  int lastResult() const { return lastResult_; }
  const std::string& lastOutput() const { return lastOutput_; }

 private:
  using Entry = int(
#ifdef _WIN32
      __stdcall
#endif
      *)(void* window, const char* commandLine, char* output, unsigned long size);

  void Show(const char* text);

  plat::IUserInteraction& ui_;
  ArchiverUse use_;
  std::string caption_;
  plat::Library library_;
  Entry entry_ = nullptr;
  int lastResult_ = -1;
  std::string lastOutput_;
};

// The presence test of the export window when its pack box is checked:
// loads the library and looks up its entry, showing the export's load
// failure text when the library is missing.  The library is unloaded
// again at once; the export loads it anew.
bool ArchiverPresent(plat::IUserInteraction& ui, const std::string& caption = "quz");

// Failure texts, for callers and tests.
extern const char* const kArchiverLoadFailedExport;
extern const char* const kArchiverLoadFailedImport;
extern const char* const kArchiverEntryMissingExport;
extern const char* const kArchiverEntryMissingImport;
extern const char* const kArchiverFailed;

}  // namespace quz::transfer
