// The shell's part of the target list: the small icons of its rows, kept in
// one image list and asked of the shell once per ShellKey, and the type
// texts and drive kinds of its type column.  Windows only.
#pragma once

#include <string>
#include <unordered_map>

#include "platform/window.h"
#include "targets/target_rows.h"

namespace quz {

class CListIcons {
 public:
  // The fixed images, in this order.
  static constexpr int kFolderImage = 0;
  static constexpr int kReservedImage = 1;
  static constexpr int kDriveImage = 2;

  CListIcons();
  ~CListIcons();
  CListIcons(const CListIcons&) = delete;
  CListIcons& operator=(const CListIcons&) = delete;

  // The image list with the fixed images; it grows by one image per new
  // key and is never emptied.
  HIMAGELIST Handle() const { return images_.Handle(); }
  int ImageCount() const { return images_.Count(); }
  // The image of a row: the fixed ones for folders and drive roots, else
  // the shell's small icon of the path, fetched on first use of its key.
  int IconIndexFor(const std::string& path, bool isFolder);

 private:
  plat::ImageList images_;
  std::unordered_map<std::string, int> cache_;
  bool com_ = false;
};

// The Windows shell's answers for the type column.
ShellTexts WindowsShellTexts();

}  // namespace quz
