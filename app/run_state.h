// The run-time state that the main window owns for the whole run and that
// the catalogue, the checks, the change watcher and the windows share.
//
// It is a plain record so that everything below the windows runs (and is
// tested) without them: the resident program's main window holds one, and so
// do quzctl and the tests.  Subsystems add the long-lived objects they own
// (the catalogue, the rules, the generation index, the settings in memory)
// as members here when they are built.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace quz {

struct RunState {
  // Signalled at shutdown; given to every check thread.
  plat::Event stopEvent{true, false};
  // Wakes the change watcher: at shutdown and when folder entries are added.
  plat::Event watchEvent{true, false};
  // Guards the change queue and the watcher's flags.
  plat::Lock watchLock;

  // 1 asks a running check, a copy or the watcher to finish.
  std::atomic<int32_t> stopRequested{0};
  // Index of the catalogue entry a running check works on; -1 when idle.
  std::atomic<int32_t> progress{-1};
  // Set while a window is open that works on what checks change (the
  // restore, export, history, import and settings windows): no full check
  // and no folder check starts then.
  std::atomic<bool> checksBlocked{false};
  // 0 while the generation index is being (re)loaded.
  std::atomic<int32_t> generationReady{1};
  // 1 while the change watcher checks changed files.
  std::atomic<int32_t> changeCheckRunning{0};
  // Set under watchLock when the watched folders change.
  std::atomic<int32_t> watchListChanged{0};
  // Set when a check changed the catalogue, so that it is written.
  std::atomic<int32_t> catalogueChanged{0};

  // The save folder in memory, always ending with "\".
  std::string saveFolder;
};

}  // namespace quz
