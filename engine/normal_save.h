// The normal save: a full copy of a changed file in the date folder of the
// running check, under its own name or "name(n).ext", with one line in the
// folder's "quzFileList.txt" naming its source.
//
// A copy is written under a temporary name and renamed to its copy name
// only once its last byte is written and flushed; its list line follows the
// rename.  The save's note (engine/save_note.h) names the temporary file,
// and the copy until its line is written, so that a save cut short at any
// moment leaves nothing the next save does not recognise and remove: the
// date folder holds the same copies and lines as before the save began.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "catalogue/generation_index.h"
#include "platform/interaction.h"

namespace quz {

// The file name of a path split at its last "\" and at the last "." after
// it: "C:\a\report.doc" gives "report" and ".doc"; "README" gives "README"
// and "".
void SplitFileName(const std::string& path, std::string& name, std::string& extension);

// The name of copy number n of source: its own file name for 1, the name
// with "(n)" before the extension from 2 on ("report(2).doc", "README(2)").
std::string CopyName(const std::string& source, int32_t n);

struct SaveNormalResult {
  std::string copyPath;  // the copy as written
  int64_t size = 0;      // bytes copied
};

// Copies source into dateFolder (which ends with "\").  Returns 1 when the
// copy was written completely and its line was appended to the folder's
// copy list, 0 otherwise: a copy that stopped half-way (full disk, stop
// request, a read error, a source that shrank) never gets a copy name.
//
// The copy takes the number after the highest one this day has given its
// name (in a list line or in a save of this process), so names go on past
// "(999)" and a name whose copy was deleted as an old generation is not
// given to another copy while a line may still name it; finding it costs
// one rename, not a search through the names already taken.  The first save
// of a process into a date folder reads the folder's list and removes the
// temporary files in it.
//
// When `index` is given, the folder's list is read and appended to under
// its lock, so that a running loader cannot lose a line while rewriting the
// list.
int SaveNormal(const std::string& source, const std::string& dateFolder,
               std::atomic<int32_t>* stop, SaveNormalResult& result,
               plat::IUserInteraction* ui = nullptr, CGenerationIndex* index = nullptr);

}  // namespace quz
