#include "targets/target_commands.h"

namespace quz {

// Not built yet: each command does nothing.
void AddFiles(TargetCommandContext&) {}
void AddFolders(TargetCommandContext&) {}
void AddDropped(TargetCommandContext&, const std::vector<std::string>&) {}
void ChangeSaveType(TargetCommandContext&, SaveType) {}
void DeleteSelected(TargetCommandContext&) {}
void OpenEntry(TargetCommandContext&) {}
void OpenContainingFolder(TargetCommandContext&) {}
void ShowProperties(TargetCommandContext&) {}

}  // namespace quz
