// quzctl check: one full check with the state beside the executable.
#include <cstdio>

#include "app/paths.h"
#include "app/run_state.h"
#include "app/settings.h"
#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "catalogue/generation_index.h"
#include "catalogue/rules.h"
#include "cli/verbs.h"
#include "engine/check.h"
#include "engine/generations.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace quzctl {
namespace {

int RunCheck(const std::vector<std::string>& args);

const Verb kCheck{"check", "check", RunCheck};
VerbRegistration registration(kCheck);

// Messages of the engine (the disk-full warning) go to the console; there
// is nobody to ask, so every box takes its first button.
class ConsoleInteraction : public plat::IUserInteraction {
 public:
  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    std::string flat;
    for (char c : text)
      if (c != '\r') flat += c == '\n' ? ' ' : c;
    PrintError(caption + ": " + flat);
    ++shown;
    return plat::FirstButtonAnswer(style);
  }
  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion&) override {
    return plat::OverwriteAnswer::No;
  }
  void Progress(int, const std::string&) override {}
  int shown = 0;
};

int RunCheck(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError(kCheck);
  // The save folder as the resident program settles it at start.
  std::string saveFolder = quz::ReadSetting(quz::kSettingsFile, "quz保存先フォルダ");
  if (saveFolder.empty()) {
    saveFolder = quz::ProgramFolder() + "Save\\";
    quz::WriteSetting(quz::kSettingsFile, saveFolder, "quz保存先フォルダ");
  }
  if (!quz::CreateSaveFolder(saveFolder)) {
    PrintError("cannot create the save folder " + saveFolder);
    return kExitFailed;
  }

  quz::RunState state;
  state.saveFolder = saveFolder;
  quz::CFileList list(&state);
  quz::CRuleTable rules;
  quz::LoadRules(rules, quz::kSettingsFile);
  list.SetClassifier([&rules](const std::string& path) { return quz::Classify(rules, path); });
  if (!quz::LoadFileList(list)) {
    PrintError("cannot read " + quz::ExePath(quz::kFileListName));
    return kExitFailed;
  }
  // The index is complete before the check, so that pruning sees every copy.
  quz::CGenerationIndex index;
  index.LoadSaveFolder(saveFolder);

  ConsoleInteraction ui;
  int32_t saved = 0;
  {
    quz::CheckContext context(list, index, state, &ui);
    context.maxGenerations = quz::ReadIntSetting(quz::kSettingsFile, quz::kMaxGenerationsKey);
    if (!quz::StartFullCheck(context)) {
      PrintError("cannot start the check");
      return kExitFailed;
    }
    int32_t shownProgress = -2;
    while (!quz::WaitForCheck(context, 500)) {
      int32_t at = state.progress;
      if (at >= 0 && at != shownProgress) {
        std::fprintf(stderr, "checking %d of %d\n", static_cast<int>(at) + 1,
                     static_cast<int>(list.Count()));
        shownProgress = at;
      }
    }
    saved = context.savedCount;
  }  // waits for the index loader the check may have started

  // The resident program writes the catalogue at exit; so does this one,
  // so that the saved times are kept.
  if (!quz::SaveFileList(list)) PrintError("cannot write " + quz::ExePath(quz::kFileListName));
  char summary[80];
  std::snprintf(summary, sizeof summary, "%d file%s saved, %d entries checked",
                static_cast<int>(saved), saved == 1 ? "" : "s", static_cast<int>(list.Count()));
  PrintLine(summary);
  return ui.shown ? kExitFailed : kExitOk;
}

}  // namespace
}  // namespace quzctl
