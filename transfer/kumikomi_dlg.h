// The import window ("quz - 書き出し済みファイル組込"): the export items of
// one folder, listed again as the folder's field changes, and imported all
// at once into the save folder.  Windows only.
#pragma once

#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/window.h"
#include "transfer/import.h"

namespace quz::transfer {

class CKumikomiDlg : public plat::Dialog {
 public:
  // saveFolder: the folder the items are imported into.
  explicit CKumikomiDlg(std::string saveFolder, std::string settingsFile = kSettingsFile);

  // The list's lines, in list order.
  std::vector<std::string> Lines() const;
  // What the last import of this window did.
  const ImportResult& LastResult() const { return result_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  // Stores the folder field and lists its items again.
  void Refresh();
  void OnImport();

  std::string saveFolder_;
  std::string settingsFile_;
  ImportResult result_;
  bool filled_ = false;
};

}  // namespace quz::transfer
