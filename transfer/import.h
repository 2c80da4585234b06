// The import: export folders, export archives and archive pieces found in
// one folder, brought back into the save folder.  Pieces are gathered in
// the work folder across media until their archive is complete, then
// joined and unpacked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/interaction.h"
#include "transfer/archiver.h"
#include "transfer/pieces.h"

namespace quz::transfer {

extern const char kNoExportItemsText[];  // the list's placeholder line
extern const char kPiecesIncompleteText[];
extern const char kPiecesJoinedText[];
extern const char kImportDoneText[];      // "完了しました"
extern const char kImportDoneCaption[];   // "ファイル組込み"

// Ten characters read as five two-digit numbers: month 1-12, day 1-31,
// hour 0-24, minute 0-60; the year is not checked.
bool IsValidExportStamp(const std::string& text);
// A name (without its extension) that is a stamp, or a piece name ("b" or
// "e", three digits, "_") followed by one.
bool IsExportItemName(const std::string& stem);

// The export items directly in `folder`, as full paths, in listing order.
std::vector<std::string> ListExportItems(const std::string& folder);
// The import window's list: the items sorted ascending ignoring letter
// case, or the placeholder line alone when there is none.
std::vector<std::string> ImportListLines(const std::string& folder);

struct ImportContext {
  std::string saveFolder;
  std::vector<std::string> lines;  // the list, in list order
  std::string settingsFile = kSettingsFile;
  plat::IUserInteraction* ui = nullptr;
  std::string caption = "quz";
  ProgressFunction progress;          // empty: the interaction's Progress
  IArchiverWindow* window = nullptr;  // disabled while the archiver runs
};

struct ImportResult {
  bool ran = false;          // false: the list held only the placeholder
  int32_t filesCopied = 0;   // files of export folders
  int32_t filesFailed = 0;   // files of export folders that could not be written
  int32_t filesRefused = 0;  // names that would lead outside the save folder
  int32_t archivesUnpacked = 0;
  int32_t piecesWaiting = 0; // piece lines whose set is not complete yet
  int32_t problems = 0;      // lines reported with a message
};

// Imports every line; ends with "完了しました" unless the list held only the
// placeholder.  Nothing is ever written outside the save folder.
ImportResult RunImport(ImportContext& ctx);

}  // namespace quz::transfer
