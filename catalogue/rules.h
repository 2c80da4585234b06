// Classification rules (振り分け条件) that give files found in folder targets
// their save type, the four folders a search can skip, and the expansion of
// a folder entry into entries for its contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/error_log.h"
#include "app/settings.h"
#include "catalogue/file_list.h"

namespace quz {

enum RuleKind : uint8_t {
  kRuleExtension = 0,
  kRuleSizeAtMost = 1,
  kRuleSizeAtLeast = 2,
  kRuleEveryFile = 3,
};

struct ClassRule {
  static constexpr size_t kMaxExtension = 22;
  uint8_t kind = kRuleExtension;
  std::string extension;  // without the dot; at most kMaxExtension bytes
  int32_t sizeKB = 0;
  SaveType result = SaveType::Normal;
};

struct CRuleTable {
  static constexpr int32_t kMaxRules = 100;
  std::vector<ClassRule> rules;  // at most kMaxRules, in evaluation order
};

// Reads the rules from the settings file (quz.ini unless told otherwise).
void LoadRules(CRuleTable& table, const std::string& settingsFile = kSettingsFile);
// Deletes the keys of the first oldCount rules, then writes the current ones.
void SaveRules(const CRuleTable& table, int32_t oldCount,
               const std::string& settingsFile = kSettingsFile);
// The save type (Normal, Differential or NoSave as the rules say) the rules
// give the file at path; the last matching rule decides, Normal when none
// matches.
SaveType Classify(const CRuleTable& table, const std::string& path);

// The exclusion switches and the folders they compare with, taken at the
// start of every check.  Folders end with "\".
struct ExpandContext {
  bool skipRecycleBin = false;
  bool skipSaveFolder = false;
  bool skipTempFolder = false;
  bool skipOwnFolder = false;
  std::string exeFolder;
  std::string tempFolder;
  std::string saveFolder;
  // Hears every file or folder found that the catalogue cannot take, and
  // every folder that is there but cannot be searched; none: silent.
  FailureReport report;
};

// Why a found file or folder is not in the catalogue.
extern const char kPathTooLongText[];
extern const char kListFullText[];
extern const char kNoCodePage932NameText[];
// A folder that cannot be searched, when the system gives no reason.
extern const char kCannotSearchText[];

// Reads the four switches from the settings file and fills the folders from
// the platform (the save folder is the caller's).
ExpandContext LoadExpandContext(const std::string& saveFolder,
                                const std::string& settingsFile = kSettingsFile);

// Reused name buffers of one check.
struct FolderNames {
  std::vector<std::string> names;
  std::vector<char> isFolder;  // as the listing reported it, per slot
  int32_t count = 0;
};

// Appends folder + name for every entry of folder (which ends with "\"),
// "." and ".." left out; nothing, and false, when the folder cannot be
// listed.  Names with no code page 932 form, and names beyond what the
// buffers hold, are handed to report.
bool ListFolder(const std::string& folder, FolderNames& buffers, const FailureReport& report = nullptr);

// Expands the folder entry at index: applies the exclusions, then adds every
// file and sub-folder found with the entry's own code as folder type.  What
// the catalogue cannot take, and a folder that is there but cannot be
// listed, go to context.report.
void ExpandFolder(CFileList& list, int32_t index, const ExpandContext& context,
                  FolderNames& buffers);

// Whether folder is the recycle bin (on Windows by the shell's type name
// "ごみ箱", on the posix backend the user's trash folder).
bool IsRecycleBin(const std::string& folder);

}  // namespace quz
