// The texts of the classification rules page: how a rule reads in the list,
// and the rule that the add dialog's choices make.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/rules.h"

namespace quz {

// The choices of the add dialog's two lists, in their order.
inline constexpr const char* kRuleComparisons[] = {"以上", "以下"};
inline constexpr const char* kRuleResults[] = {"通常保存する", "差分保存にする", "保存しない"};

// A rule as one line of the list: its condition followed by its result,
// such as "ファイルサイズが500KB以下のとき保存しない".
std::string RuleText(const ClassRule& rule);

// The rule the add dialog describes: `choice` is its radio button (0 by
// extension, 1 by size, 2 every file), `comparison` and `result` the texts
// chosen in its lists.  The extension is kept whatever the choice, cut to
// what a rule holds.
ClassRule MakeRule(int choice, const std::string& extension, int32_t sizeKB, const std::string& comparison,
                   const std::string& result);

}  // namespace quz
