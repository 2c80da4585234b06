// quzctl watch: the change watcher and its worker in the foreground, on the
// state beside the executable, as the resident program runs them with
// change-driven checks on.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "app/paths.h"
#include "app/settings.h"
#include "catalogue/file_list_file.h"
#include "cli/engine_state.h"
#include "cli/verbs.h"
#include "engine/check.h"
#include "engine/generations.h"
#include "engine/watcher.h"
#include "platform/platform.h"

namespace quzctl {
namespace {

int RunWatch(const std::vector<std::string>& args);

const Verb kWatch{"watch", "watch [--seconds N] [--checks N]", RunWatch};
VerbRegistration registration(kWatch);

int RunWatch(const std::vector<std::string>& args) {
  // The run ends after `seconds`, or once `checks` folder checks are done.
  long seconds = -1, checks = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    long* value = args[i] == "--seconds" ? &seconds : args[i] == "--checks" ? &checks : nullptr;
    if (!value || i + 1 >= args.size()) return UsageError(kWatch);
    char* end = nullptr;
    *value = std::strtol(args[++i].c_str(), &end, 10);
    if (!end || *end || *value < (value == &checks) || *value > 24L * 3600 * 365) return UsageError(kWatch);
  }

  EngineState engine;
  if (!engine.Load()) return kExitFailed;
  quz::RunState& state = engine.state;
  quz::CFileList& list = engine.list;

  plat::Event interrupted(true, false);
  plat::SetInterruptEvent(&interrupted);
  FailurePrinter failures;
  {
    ReportingInteraction ui;
    quz::CheckContext context(list, engine.index, state, &ui);
    context.reportFailure = failures.Report();
    context.maxGenerations = quz::ReadIntSetting(quz::kSettingsFile, quz::kMaxGenerationsKey);
    quz::CChangeWatcher watcher(context);
    std::mutex printing;
    std::atomic<long> checked{0};
    watcher.onFolderChecked = [&](const std::string& folder, int saved) {
      if (checks >= 0 && ++checked >= checks) interrupted.Set();  // the run's end, after this line
      std::lock_guard<std::mutex> lock(printing);
      char count[40];
      std::snprintf(count, sizeof count, "\t%d", saved);
      PrintLine(folder + count);
      std::fflush(stdout);
    };
    watcher.onWatching = [](int folders) {
      std::fprintf(stderr, "watching %d folder%s\n", folders, folders == 1 ? "" : "s");
      std::fflush(stderr);
    };
    if (!watcher.Start()) {
      plat::SetInterruptEvent(nullptr);
      PrintError("cannot start the change watcher");
      return kExitFailed;
    }
    // Once a second: the end of the run, and the catalogue after a folder
    // check changed it, as the resident program's timer does.
    const uint32_t start = plat::TickCount();
    for (;;) {
      uint32_t wait = 1000;
      if (seconds >= 0) {
        uint32_t spent = plat::TickCount() - start;
        uint32_t total = static_cast<uint32_t>(seconds) * 1000u;
        if (spent >= total) break;
        if (total - spent < wait) wait = total - spent;
      }
      if (interrupted.Wait(wait)) break;
      // A failed write is tried again at exit.
      if (state.catalogueChanged.exchange(0) != 0) quz::SaveFileList(list);
    }
    watcher.Stop();
  }  // waits for a running check and the index loader
  plat::SetInterruptEvent(nullptr);

  // The catalogue at exit, as the resident program writes it, so that the
  // saved times are kept.
  if (!quz::SaveFileList(list)) {
    PrintError("cannot write " + quz::ExePath(quz::kFileListName));
    return kExitFailed;
  }
  return failures.Count() ? kExitFailed : kExitOk;
}

}  // namespace
}  // namespace quzctl
