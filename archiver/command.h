// The archiver's command line, as the UNLHA32.DLL entry takes it:
//
//   a [switches] ARCHIVE FOLDER\   packs every file and folder below FOLDER
//                                  under its path relative to FOLDER into a
//                                  new ARCHIVE (an existing one is replaced)
//   e [switches] ARCHIVE FOLDER    writes every entry below FOLDER under its
//                                  stored path, creating folders, replacing
//                                  files, never asking anything
//   l ARCHIVE                      one line per entry
//   t ARCHIVE                      checks every entry's CRC
//
// Arguments may be quoted ("...") or not; quotes only group, "\" is never an
// escape (folder paths end in one).  Switches, each its own word:
//   -d1 (or -d)   pack the whole tree with relative paths (always done)
//   -x (or -x1)   unpack with the stored paths (always done)
//   -r2           recurse into folders (always done)
//   -m1 (or -m)   ask no questions (none are ever asked)
//   -a1           restore the stored MS-DOS attributes on unpacking; without
//                 it files are written with ordinary attributes
//   -o5 -o6 -o7   pack with -lh5- (the default), -lh6- or -lh7-
// Anything else is refused, never guessed.
#pragma once

#include <cstddef>
#include <string>

namespace quz::lzh {

// The results, each with its one-line message.
enum CommandResult : int {
  kResultOk = 0,
  kResultBadCommandLine = 1,   // unknown command or switch, wrong arguments
  kResultInputFailed = 2,      // a missing or unreadable archive, folder or file
  kResultWriteFailed = 3,      // an archive or file that could not be written
  kResultDamagedArchive = 4,   // headers, data or CRC that do not check out
  kResultUnsafePath = 5,       // an entry that would land outside FOLDER
  kResultUnknownMethod = 6,    // an entry packed with a method we lack
  kResultTooLarge = 7,         // a file of 4 GiB or more, which LZH cannot hold
};

// Runs one command line (code page 932).  `message` receives the result's
// one-line message (for "l", the listing), also code page 932.
int RunCommand(const std::string& commandLine, std::string& message);

// Copies text into a buffer of `size` bytes, NUL-terminated, cut so that no
// double-byte character is split.
void CopyToBuffer(const std::string& text, char* buffer, std::size_t size);

}  // namespace quz::lzh
