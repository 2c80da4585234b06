// The normal save: a full copy of a changed file in the date folder of the
// running check, under its own name or "name(n).ext", with one line in the
// folder's "quzFileList.txt" naming its source.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "catalogue/generation_index.h"
#include "platform/interaction.h"

namespace quz {

// The highest number a copy name gets; when it is taken too the save fails.
constexpr int kMaxCopyNumber = 999;

// The file name of a path split at its last "\" and at the last "." after
// it: "C:\a\report.doc" gives "report" and ".doc"; "README" gives "README"
// and "".
void SplitFileName(const std::string& path, std::string& name, std::string& extension);

// The first free copy name for source in dateFolder (which ends with "\"):
// dateFolder + name + extension, else dateFolder + name + "(n)" + extension
// for n = 2 .. kMaxCopyNumber.  False when all of them exist.
bool ChooseCopyPath(const std::string& source, const std::string& dateFolder, std::string& copy);

struct SaveNormalResult {
  std::string copyPath;  // the copy as written
  int64_t size = 0;      // bytes copied
};

// Copies source into dateFolder.  Returns 1 when the copy was written
// completely and its line was appended to the folder's copy list, 0
// otherwise: a copy that stopped half-way (full disk, stop request, a read
// error, a source that shrank) is deleted, so no incomplete copy is ever
// listed or restored and its name stays free.  When `index` is given, the
// list line is appended under its lock, so that a running loader cannot
// lose it while rewriting the list.
int SaveNormal(const std::string& source, const std::string& dateFolder,
               std::atomic<int32_t>* stop, SaveNormalResult& result,
               plat::IUserInteraction* ui = nullptr, CGenerationIndex* index = nullptr);

}  // namespace quz
