#include "catalogue/rules.h"

#include <cstdio>

#include "app/paths.h"
#include "app/settings.h"
#include "app/settings_keys.h"
#include "app/text.h"
#include "platform/shell.h"

namespace quz {

const char kPathTooLongText[] = "パスが長すぎるため対象一覧に登録できません";
const char kListFullText[] = "対象一覧が上限の件数に達しているため登録できません";
const char kNoCodePage932NameText[] = "名前にシフトJISで表せない文字があるため登録できません";
const char kCannotSearchText[] = "フォルダの中を調べられません";

namespace {
std::string RuleKey(int32_t i, const char* suffix) {
  char key[64];
  std::snprintf(key, sizeof key, kRuleKeyFormat, static_cast<int>(i), suffix);
  return key;
}

// Compares folder paths as the exclusions do: case of single-byte letters
// ignored, no more than the first 300 bytes looked at.
bool SameFolderPrefix(const std::string& a, const std::string& b) {
  constexpr size_t kCompared = 300;
  return EqualNoCase(std::string_view(a).substr(0, kCompared),
                     std::string_view(b).substr(0, kCompared));
}
}  // namespace

void LoadRules(CRuleTable& table, const std::string& settingsFile) {
  table.rules.clear();
  for (int32_t i = 0; i < CRuleTable::kMaxRules; ++i) {
    std::string mode = ReadSetting(settingsFile, RuleKey(i, kRuleKindSuffix));
    if (mode.empty()) break;
    std::string mode2 = ReadSetting(settingsFile, RuleKey(i, kRuleResultSuffix));
    if (mode2.empty()) break;
    ClassRule rule;
    int kind = SettingToInt(mode);
    rule.result = static_cast<SaveType>(SettingToInt(mode2));
    if (kind == kRuleExtension) {
      rule.extension =
          CutText(ReadSetting(settingsFile, RuleKey(i, kRuleExtensionSuffix)), ClassRule::kMaxExtension);
    } else if (kind == kRuleSizeAtMost || kind == kRuleSizeAtLeast) {
      std::string size = ReadSetting(settingsFile, RuleKey(i, kRuleSizeSuffix));
      if (size.empty()) continue;
      rule.sizeKB = SettingToInt(size);
    } else if (kind != kRuleEveryFile) {
      continue;
    }
    rule.kind = static_cast<uint8_t>(kind);
    table.rules.push_back(std::move(rule));
  }
}

void SaveRules(const CRuleTable& table, int32_t oldCount, const std::string& settingsFile) {
  // One write for the whole list: the old keys never leave the file before
  // the new ones are in it, whatever happens in between.
  UpdateSettings(settingsFile, [&](std::string& text) {
    for (int32_t i = 0; i < oldCount; ++i) {
      for (const char* suffix : {kRuleKindSuffix, kRuleResultSuffix, kRuleExtensionSuffix, kRuleSizeSuffix})
        ApplyDeleteSetting(text, RuleKey(i, suffix));
    }
    int32_t i = 0;
    for (const ClassRule& rule : table.rules) {
      if (i >= CRuleTable::kMaxRules) break;
      ApplyWriteSetting(text, std::to_string(rule.kind), RuleKey(i, kRuleKindSuffix));
      if (rule.kind == kRuleExtension)
        ApplyWriteSetting(text, rule.extension, RuleKey(i, kRuleExtensionSuffix));
      else if (rule.kind == kRuleSizeAtMost || rule.kind == kRuleSizeAtLeast)
        ApplyWriteSetting(text, std::to_string(rule.sizeKB), RuleKey(i, kRuleSizeSuffix));
      ApplyWriteSetting(text, std::to_string(static_cast<int>(rule.result)), RuleKey(i, kRuleResultSuffix));
      ++i;
    }
    return true;
  });
}

SaveType Classify(const CRuleTable& table, const std::string& path) {
  if (table.rules.empty()) return SaveType::Normal;
  plat::FileStatus status;
  // Sizes are compared in 64 bits: a file of 2 GiB or more must not pass
  // for a small one.
  int64_t size = plat::GetFileStatus(path, status) ? status.size : 0;
  // The extension is what follows the last "." of the name.
  size_t slash = LastCharPos(path, '\\');
  std::string_view name = slash == kNone ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  size_t dot = LastCharPos(name, '.');
  bool hasExtension = dot != kNone;
  std::string_view extension = hasExtension ? name.substr(dot + 1) : std::string_view();
  SaveType result = SaveType::Normal;
  for (const ClassRule& rule : table.rules) {
    bool match = false;
    switch (rule.kind) {
      case kRuleEveryFile:
        match = true;
        break;
      case kRuleExtension:
        match = rule.extension.empty() ? !hasExtension
                                       : hasExtension && EqualNoCase(rule.extension, extension);
        break;
      case kRuleSizeAtMost:
        match = static_cast<int64_t>(rule.sizeKB) * 1024 >= size;
        break;
      case kRuleSizeAtLeast:
        match = static_cast<int64_t>(rule.sizeKB) * 1024 <= size;
        break;
      default:
        break;
    }
    if (match) result = rule.result;
  }
  return result;
}

ExpandContext LoadExpandContext(const std::string& saveFolder, const std::string& settingsFile) {
  ExpandContext context;
  context.skipRecycleBin = ReadIntSetting(settingsFile, kSkipRecycleBinKey) != 0;
  context.skipSaveFolder = ReadIntSetting(settingsFile, kSkipSaveFolderKey) != 0;
  context.skipTempFolder = ReadIntSetting(settingsFile, kSkipTempFolderKey) != 0;
  context.skipOwnFolder = ReadIntSetting(settingsFile, kSkipOwnFolderKey) != 0;
  context.exeFolder = WithSeparator(ProgramFolder());
  context.tempFolder = WithSeparator(plat::TempFolder());
  context.saveFolder = WithSeparator(saveFolder);
  return context;
}

bool ListFolder(const std::string& folder, FolderNames& buffers, const FailureReport& report) {
  std::string prefix = WithSeparator(folder);
  plat::DirReader reader;
  plat::DirEntry entry;
  if (!reader.Open(prefix, true)) return false;
  while (reader.Next(entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    if (buffers.count >= CFileList::kMaxEntries) {
      // More names than the whole catalogue holds.
      if (report) report(prefix + entry.name, kListFullText);
      continue;
    }
    if (static_cast<size_t>(buffers.count) >= buffers.names.size()) {
      buffers.names.emplace_back();
      buffers.isFolder.push_back(0);
    }
    std::string& slot = buffers.names[buffers.count];
    slot.assign(prefix);
    slot.append(entry.name);
    buffers.isFolder[buffers.count] = entry.isDirectory ? 1 : 0;
    ++buffers.count;
  }
  if (report)
    for (const std::string& name : reader.LeftOut()) report(prefix + name, kNoCodePage932NameText);
  return true;
}

bool IsRecycleBin(const std::string& folder) {
  return EqualNoCase(plat::ShellTypeName(folder), "ごみ箱");
}

void ExpandFolder(CFileList& list, int32_t index, const ExpandContext& context,
                  FolderNames& buffers) {
  FileEntry* e = list.EntryAt(index);
  if (!e) return;
  const std::string path = e->Path();
  if ((context.skipRecycleBin && IsRecycleBin(path)) ||
      (context.skipSaveFolder && SameFolderPrefix(path, context.saveFolder)) ||
      (context.skipOwnFolder && SameFolderPrefix(path, context.exeFolder)) ||
      (context.skipTempFolder && SameFolderPrefix(path, context.tempFolder))) {
    e->saveType = SaveType::NoSave;
    return;
  }
  const SaveType type = e->saveType;
  // A folder at the end of its depth, or one that is not to be searched.
  if (SearchDepthOf(type) == 0 || type == SaveType::NoSave) return;
  e->lookedAtTime = static_cast<int32_t>(plat::Now());
  buffers.count = 0;
  if (!ListFolder(path, buffers, context.report)) {
    // A folder that is gone leaves the catalogue in the check pass, and one
    // whose status cannot be read is reported there; this is a folder that
    // is there but keeps its contents from the search.
    std::string reason = LastErrorText(kCannotSearchText);
    if (context.report && plat::GetAttributes(path) != plat::kInvalidAttributes) context.report(path, reason);
    return;
  }
  for (int32_t i = 0; i < buffers.count; ++i) {
    std::string& name = buffers.names[i];
    // The listing already said which names are folders; no second look.
    if (buffers.isFolder[i] && !EndsWithChar(name, '\\')) name += '\\';
    AddResult added = list.Add(name, type);
    if (!context.report) continue;
    if (added == AddResult::Full)
      context.report(name, kListFullText);
    else if (added == AddResult::CannotHold)
      context.report(name, kPathTooLongText);
  }
}

}  // namespace quz
