// The check cycle: FullCheck walks the whole catalogue, FolderCheck the
// entries under one changed folder; both expand folder entries first (the
// search pass), then look at every file entry (the check pass) and save
// those whose modification time differs from their savedTime.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "app/settings.h"
#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/differential_save.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz {

// Everything a check works on.  The main window owns one for the whole run;
// quzctl and the tests make their own.  The catalogue's classifier decides
// the save type of found files.
struct CheckContext {
  CheckContext(CFileList& list, CGenerationIndex& index, RunState& state,
               plat::IUserInteraction* ui = nullptr)
      : list(list), index(index), state(state), ui(ui) {}
  // Waits for a running check and for the index loader.
  ~CheckContext();
  CheckContext(const CheckContext&) = delete;
  CheckContext& operator=(const CheckContext&) = delete;

  CFileList& list;
  CGenerationIndex& index;
  RunState& state;
  plat::IUserInteraction* ui;  // the disk-full warning; none: silent

  // "世代間理数": copies kept per source, 0 = all.
  int32_t maxGenerations = 0;
  // Differential files larger than this are saved whole (the fragment
  // format holds 32-bit lengths); tests lower it.
  int64_t maxFragmentFileSize = kMaxFragmentFileSize;
  // The settings file the exclusion switches are read from at every check.
  std::string settingsFile = kSettingsFile;
  // Where the catalogue and the history are written; empty: beside the
  // executable.
  std::string catalogueFile;
  std::string historyFile;
  // Called by a full check that added or removed entries (the target
  // window refreshes its rows).
  std::function<void()> refreshList;

  // The full-check thread and the index loader the check restarts.
  plat::Thread checkThread;
  std::atomic<int32_t> checkRunning{0};
  std::unique_ptr<plat::Thread> loader;

  // Files saved by the last (or the running) check.
  std::atomic<int32_t> savedCount{0};
  // Damaged fragments the last check set aside (their new paths), so that
  // they can be reported; read it only once the check has ended.
  std::vector<std::string> setAsideFragments;
};

// The date folder of a check at `now`: saveFolder (ending with "\") and the
// local date as "%d-%d-%d\", no leading zeros.
std::string DateFolder(const std::string& saveFolder, plat::Time32 now);

// Checks catalogue entry i; saves it when its modification time changed.
// Returns 1 when it was saved.  Sets `changed` when the entry was found gone
// and removed, and `pruned` when generations were deleted.  history may be
// null (no history line).
int CheckEntry(CheckContext& context, int32_t i, plat::File* history,
               const std::string& dateFolder, bool& changed, bool& pruned);

// One whole check on the calling thread; returns 1.
int FullCheck(CheckContext& context);
// Starts FullCheck on a thread of its own (below-normal priority) unless
// checks are blocked (state.checksBlocked), a full check runs or a folder
// check runs.  True when it was started.
bool StartFullCheck(CheckContext& context);
// Waits for a started full check; true when none runs any more.
bool WaitForCheck(CheckContext& context, uint32_t timeoutMs = plat::kInfinite);

// Watch kinds of a changed folder.
enum WatchKind { kWatchContents = 1, kWatchTree = 2 };
// Checks the entries under folder (ending with "\"); with kWatchContents
// only those directly in it (and what the search pass adds below it).
// Sets state.catalogueChanged when entries were added or removed.
int FolderCheck(CheckContext& context, const std::string& folder, int kind);

}  // namespace quz
