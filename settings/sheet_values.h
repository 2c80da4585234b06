// What the settings sheet edits, and the parts of its pages that need no
// window: the interval scale and the test of a save folder's path.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

#include "catalogue/rules.h"
#include "engine/generations.h"

namespace quz {

// The values the main window hands the sheet and takes back after OK.
struct SettingsValues {
  int32_t checkInterval = 300;  // seconds, 0: no periodic check
  bool checkAtStartOnly = false;
  bool useChangeWatcher = false;
  std::string saveFolder;  // ends with "\"
  CRuleTable rules;
  bool rulesChanged = false;  // set by every add and delete on the rules page
  bool skipRecycleBin = false;
  bool skipSaveFolder = false;
  bool skipTempFolder = false;
  bool skipOwnFolder = false;
  int32_t maxGenerations = 0;  // 0: every copy is kept
  int32_t minimumTime = 0;
  int32_t minimumTimeOn = 0;
  GenerationStats statistics;  // shown, never taken back
};

// The positions of the interval scroll bar, left to right.
struct IntervalChoice {
  int32_t seconds;
  const char* text;
};
inline constexpr IntervalChoice kIntervalChoices[] = {
    {30, "30秒"},    {60, "1分"},     {120, "2分"},    {180, "3分"},     {300, "5分"},
    {600, "10分"},   {900, "15分"},   {1200, "20分"},  {1800, "30分"},   {2700, "45分"},
    {3600, "1時間"}, {7200, "2時間"}, {0, "定期チェックしない"},
};
inline constexpr int kIntervalPositions = static_cast<int>(std::size(kIntervalChoices));

// The position that shows an interval; one the scale does not offer shows
// the first position (30 seconds), which is then what the page hands back.
int IntervalPosition(int32_t seconds);

// Whether a folder path names a place of its own: a drive ("C:\...") or a
// network share ("\\server\share\..."), not a path relative to wherever the
// program happens to run.
bool IsFullFolderPath(const std::string& folder);

}  // namespace quz
