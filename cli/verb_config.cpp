// quzctl config KEY | config KEY VALUE | config --delete KEY
#include "app/settings.h"
#include "cli/verbs.h"

namespace quzctl {
namespace {

int RunConfig(const std::vector<std::string>& args);

const Verb kConfig{"config", "config KEY | config KEY VALUE | config --delete KEY", RunConfig};
VerbRegistration registration(kConfig);

// A key with "]" or a line end, or a value with a line end, would break the
// one-line-per-setting format.
bool ValidKey(const std::string& key) {
  return !key.empty() && key.find_first_of("]\r\n") == std::string::npos;
}
bool ValidValue(const std::string& value) { return value.find_first_of("\r\n") == std::string::npos; }

int RunConfig(const std::vector<std::string>& args) {
  if (args.size() == 2 && args[0] == "--delete") {
    if (!ValidKey(args[1])) return UsageError("config: invalid key");
    if (!quz::DeleteSetting(quz::kSettingsFile, args[1])) {
      PrintError("cannot write " + quz::SettingsPath(quz::kSettingsFile));
      return kExitFailed;
    }
    return kExitOk;
  }
  if (args.empty() || args.size() > 2 || args[0].rfind("--", 0) == 0) return UsageError(kConfig);
  if (!ValidKey(args[0])) return UsageError("config: invalid key");
  if (args.size() == 1) {
    std::string value = quz::ReadSetting(quz::kSettingsFile, args[0]);
    if (!value.empty()) PrintLine(value);
    return kExitOk;
  }
  if (!ValidValue(args[1])) return UsageError("config: a value cannot hold a line end");
  if (!quz::WriteSetting(quz::kSettingsFile, args[1], args[0])) {
    PrintError("cannot write " + quz::SettingsPath(quz::kSettingsFile));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace
}  // namespace quzctl
