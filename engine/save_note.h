// Notes in the save folder of what a save has under way.  Every temporary
// file a save writes below the save folder is named in its note before it
// exists, and so is a copy while it is being put in place, until its list
// line is written.  A save that is cut short (a kill, a power cut) leaves
// its note behind; the first save of the next process removes what the note
// names, in whatever folder and on whatever day it was left, and the note.
//
// The note's handle stays open while its save runs, so that no other
// process can take a live note for a left-over: the clearing removes a note
// before it acts on it, and an open note cannot be removed.
#pragma once

#include <string>

#include "platform/platform.h"

namespace quz {

class CSaveNote {
 public:
  // A note in saveFolder (which ends with "\").  When it cannot be made the
  // save goes on without one.
  explicit CSaveNote(const std::string& saveFolder);
  // Removes the note: the save is over, whatever its outcome.
  ~CSaveNote();
  CSaveNote(const CSaveNote&) = delete;
  CSaveNote& operator=(const CSaveNote&) = delete;

  // Creates a new, empty temporary file in folder (a folder directly below
  // the save folder, ending with "\"), named in the note before it exists,
  // open for reading and writing.  Returns its path, or an empty string.
  std::string CreateTemporary(const std::string& folder, plat::File& file);
  // Names the copy path (a file in a folder directly below the save folder)
  // is becoming: a later clearing removes it unless its folder's list names
  // it.
  void Becoming(const std::string& path);

 private:
  void Write();

  std::string saveFolder_, path_;
  std::string temporaries_, becoming_;
  plat::File file_;
};

// Removes what the notes left in saveFolder name, and the notes, once per
// process and save folder.  A temporary file is removed whatever the note
// says about it; a copy only while its folder's list does not name it.
void ClearInterruptedSaves(const std::string& saveFolder);

}  // namespace quz
