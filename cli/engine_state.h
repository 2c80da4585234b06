// What the verbs that run checks share: the catalogue, the rules and the
// generation index beside the executable, loaded as the resident program
// loads them at start, and a console interaction for the engine's one
// message (the disk-full warning), with nobody there to answer it.
#pragma once

#include <string>

#include "app/paths.h"
#include "app/run_state.h"
#include "app/settings.h"
#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "catalogue/generation_index.h"
#include "catalogue/rules.h"
#include "cli/console_interaction.h"
#include "cli/verbs.h"
#include "platform/interaction.h"

namespace quzctl {

class ReportingInteraction : public plat::IUserInteraction {
 public:
  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    PrintError(caption + ": " + FlattenMessage(text));
    ++shown;
    return plat::FirstButtonAnswer(style);
  }
  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion&) override {
    return plat::OverwriteAnswer::No;
  }
  void Progress(int, const std::string&) override {}
  int shown = 0;
};

// A catalogue that could not be read: its name and the system's reason.
// Nothing is written over it.
inline void PrintCatalogueUnreadable() {
  PrintError("cannot read " + quz::ExePath(quz::kFileListName) + ": " + quz::LastErrorText("") +
             " (it is left as it is)");
}

struct EngineState {
  quz::RunState state;
  quz::CFileList list{&state};
  quz::CRuleTable rules;
  quz::CGenerationIndex index;

  // The save folder as the resident program settles it (the default beside
  // the executable when none is set), the rules, the catalogue and every
  // copy list, complete before a check so that pruning sees every copy.
  // False, with the reason printed, when the save folder cannot be made or
  // the catalogue cannot be read.
  bool Load() {
    std::string saveFolder = quz::SettledSaveFolder();
    if (!quz::CreateSaveFolder(saveFolder)) {
      PrintError("cannot create the save folder " + saveFolder);
      return false;
    }
    state.saveFolder = saveFolder;
    quz::LoadRules(rules, quz::kSettingsFile);
    list.SetClassifier([this](const std::string& path) { return quz::Classify(rules, path); });
    if (!quz::LoadFileList(list)) {
      PrintCatalogueUnreadable();
      return false;
    }
    index.LoadSaveFolder(saveFolder);
    return true;
  }
};

}  // namespace quzctl
