// quzctl export [--to FOLDER] [--pack] [--work FOLDER] [--split MB | --until-full]
// quzctl export --reset
//
// Exports the files of the save folder changed since the last export, as
// the export window does, with the settings it stores in "quz.ini".  The
// medium questions of split exports are asked on the console.
#include <cstdlib>

#include "app/paths.h"
#include "app/settings.h"
#include "app/text.h"
#include "cli/console_interaction.h"
#include "cli/verbs.h"
#include "transfer/export.h"

namespace quzctl {
namespace {

int RunExportVerb(const std::vector<std::string>& args);

const Verb kExport{"export",
                   "export [--to FOLDER] [--pack] [--work FOLDER] [--split MB | --until-full] | export --reset",
                   RunExportVerb};
VerbRegistration registration(kExport);

bool EnginePathOf(const std::string& arg, std::string* path) {
  if ((arg.size() >= 2 && arg[1] == ':') || arg.rfind("\\\\", 0) == 0) {
    *path = arg;
    return true;
  }
  return plat::ToEnginePath(arg, *path);
}

int RunExportVerb(const std::vector<std::string>& args) {
  namespace t = quz::transfer;
  bool pack = false, reset = false, split = false, untilFull = false;
  std::string to, work;
  double size = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--pack") {
      pack = true;
    } else if (a == "--reset") {
      reset = true;
    } else if (a == "--until-full") {
      untilFull = true;
    } else if (a == "--to") {
      if (!value(&v) || !EnginePathOf(v, &to)) return UsageError(kExport);
    } else if (a == "--work") {
      if (!value(&v) || !EnginePathOf(v, &work)) return UsageError(kExport);
    } else if (a == "--split") {
      char* end = nullptr;
      if (!value(&v)) return UsageError(kExport);
      size = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(size > 0)) return UsageError("export: --split takes megabytes");
      split = true;
    } else {
      return UsageError(kExport);
    }
  }
  if (reset) {
    if (pack || split || untilFull || !to.empty() || !work.empty()) return UsageError(kExport);
    if (!t::ResetLastExportTime(quz::kSettingsFile)) {
      PrintError("cannot write " + quz::SettingsPath(quz::kSettingsFile));
      return kExitFailed;
    }
    PrintLine("最終書き出し日時：" + t::LastExportTimeText(0));
    return kExitOk;
  }
  if (split && untilFull) return UsageError(kExport);
  if ((split || untilFull) && !pack) return UsageError("export: pieces need --pack");

  // What the window writes as its fields change, written before the run.
  if (!to.empty()) quz::WriteSetting(quz::kSettingsFile, to, quz::kDestinationKey);
  if (!work.empty()) quz::WriteSetting(quz::kSettingsFile, work, quz::kWorkFolderKey);
  if (split) t::SaveSplitSettings(quz::kSettingsFile, t::kSplitFixedSize, size);
  if (untilFull) t::SaveSplitSettings(quz::kSettingsFile, t::kSplitUntilFull,
                                      t::LoadExportSettings(quz::kSettingsFile).pieceSize);
  t::ExportSettings settings = t::LoadExportSettings(quz::kSettingsFile);
  if (settings.destination.empty()) return UsageError("export: no destination (--to FOLDER)");

  MediaConsoleInteraction console(t::kNextMediumText);
  FailurePrinter failures;
  t::ExportContext ctx;
  ctx.reportFailure = failures.Report();
  ctx.saveFolder = quz::SettledSaveFolder();
  ctx.destination = settings.destination;
  ctx.workFolder = settings.workFolder;
  ctx.pack = pack;
  ctx.splitEnabled = split || untilFull;
  ctx.splitMode = settings.splitMode;
  ctx.pieceSize = settings.pieceSize;
  ctx.lastExportTime = settings.lastExportTime;
  ctx.settingsFile = quz::kSettingsFile;
  ctx.ui = &console;
  t::ExportResult result = t::RunExport(ctx);
  // The window shows the folders with their "\" and stores what it shows.
  if (ctx.destination != settings.destination)
    quz::WriteSetting(quz::kSettingsFile, ctx.destination, quz::kDestinationKey);
  PrintLine(std::string(t::kExportResultTitle) + ": " + result.text);
  if (!result.ok) {
    PrintError("the export failed; the last export time stays " + t::LastExportTimeText(ctx.lastExportTime));
    return kExitFailed;
  }
  PrintLine("最終書き出し日時：" + t::LastExportTimeText(ctx.lastExportTime));
  return kExitOk;
}

}  // namespace
}  // namespace quzctl
