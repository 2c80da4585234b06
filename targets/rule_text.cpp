#include "targets/rule_text.h"

#include <cstdio>

#include "app/text.h"

namespace quz {

std::string RuleText(const ClassRule& rule) {
  char condition[96];
  switch (rule.kind) {
    case kRuleExtension:
      std::snprintf(condition, sizeof condition, "拡張子が\" %s \"のとき", rule.extension.c_str());
      break;
    case kRuleSizeAtMost:
      std::snprintf(condition, sizeof condition, "ファイルサイズが%dKB以下のとき", static_cast<int>(rule.sizeKB));
      break;
    case kRuleSizeAtLeast:
      std::snprintf(condition, sizeof condition, "ファイルサイズが%dKB以上のとき", static_cast<int>(rule.sizeKB));
      break;
    default:
      std::snprintf(condition, sizeof condition, "全てのファイルを");
      break;
  }
  int result = static_cast<int>(rule.result);
  return std::string(condition) + kRuleResults[result >= 0 && result <= 2 ? result : 0];
}

ClassRule MakeRule(int choice, const std::string& extension, int32_t sizeKB, const std::string& comparison,
                   const std::string& result) {
  ClassRule rule;
  rule.sizeKB = sizeKB;
  rule.extension = CutText(extension, ClassRule::kMaxExtension);
  if (choice == 0)
    rule.kind = kRuleExtension;
  else if (choice == 1)
    rule.kind = comparison == kRuleComparisons[1] ? kRuleSizeAtMost : kRuleSizeAtLeast;
  else
    rule.kind = kRuleEveryFile;
  if (result == kRuleResults[1])
    rule.result = SaveType::Differential;
  else if (result == kRuleResults[2])
    rule.result = SaveType::NoSave;
  else
    rule.result = SaveType::Normal;
  return rule;
}

}  // namespace quz
