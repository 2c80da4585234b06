// The export window ("更新ファイル書き出し") and its split-size window
// ("詳細設定").  Every field is written to the settings as it changes, so
// that the next export, the import window and quzctl see it at once.
// Windows only.
#pragma once

#include <string>

#include "app/settings.h"
#include "platform/window.h"
#include "transfer/export.h"

namespace quz::transfer {

// The split mode and the piece size: a radio choice, a size field read as a
// decimal number (not a number reads as 0) and four reference sizes.
class CBunkatsuDlg : public plat::Dialog {
 public:
  CBunkatsuDlg(int splitMode, double pieceSize);
  // What OK returns: 0 (until the medium is full) or 1 (fixed size), and
  // the size in megabytes.
  int SplitMode() const { return splitMode_; }
  double PieceSize() const { return pieceSize_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  int splitMode_;
  double pieceSize_;
};

class CKakidashiDlg : public plat::Dialog {
 public:
  // saveFolder: the folder whose changed files are exported.
  explicit CKakidashiDlg(std::string saveFolder, std::string settingsFile = kSettingsFile);

  plat::Time32 LastExportTime() const { return settings_.lastExportTime; }
  int SplitMode() const { return settings_.splitMode; }
  double PieceSize() const { return settings_.pieceSize; }
  // What the last export of this window did.
  const ExportResult& LastResult() const { return result_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void ShowLastExportTime();
  void OnPackClicked();
  void OnDetails();
  void OnStart();
  void Browse(int field);

  std::string saveFolder_;
  std::string settingsFile_;
  ExportSettings settings_;
  ExportResult result_;
  // The fields are written to the settings only once they hold what was
  // read from them.
  bool filled_ = false;
};

}  // namespace quz::transfer
