// quzctl import FOLDER
//
// Imports every export folder, archive and piece found in FOLDER into the
// save folder, as the import window does with its whole list.  Pieces are
// gathered in the work folder: run it again with the next medium.
#include "app/paths.h"
#include "app/settings.h"
#include "cli/console_interaction.h"
#include "cli/verbs.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace quzctl {
namespace {

int RunImportVerb(const std::vector<std::string>& args);

const Verb kImport{"import", "import FOLDER", RunImportVerb};
VerbRegistration registration(kImport);

int RunImportVerb(const std::vector<std::string>& args) {
  namespace t = quz::transfer;
  if (args.size() != 1 || args[0].empty() || args[0].rfind("--", 0) == 0) return UsageError(kImport);
  std::string folder;
  const std::string& a = args[0];
  if ((a.size() >= 2 && a[1] == ':') || a.rfind("\\\\", 0) == 0)
    folder = a;
  else if (!plat::ToEnginePath(a, folder))
    return UsageError("import: the folder has no engine form");
  // The import window keeps its folder under the export's destination key.
  quz::WriteSetting(quz::kSettingsFile, folder, quz::kDestinationKey);

  MediaConsoleInteraction console;
  t::ImportContext ctx;
  ctx.saveFolder = quz::SettledSaveFolder();
  ctx.lines = t::ImportListLines(folder);
  ctx.settingsFile = quz::kSettingsFile;
  ctx.ui = &console;
  for (const std::string& line : ctx.lines) PrintLine(line);
  t::ImportResult result = t::RunImport(ctx);
  if (!result.ran) return kExitOk;
  PrintLine(std::to_string(result.filesCopied) + " files copied, " + std::to_string(result.archivesUnpacked) +
            " archives unpacked, " + std::to_string(result.piecesWaiting) + " piece sets incomplete");
  return result.problems == 0 && result.filesFailed == 0 && result.filesRefused == 0 ? kExitOk : kExitFailed;
}

}  // namespace
}  // namespace quzctl
