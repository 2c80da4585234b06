#include "engine/save_note.h"

#include <mutex>
#include <set>

#include "app/temporary_files.h"
#include "app/text.h"
#include "catalogue/generation_index.h"

namespace quz {

namespace {

// A path below the save folder as the note holds it: the folder's name, "\"
// and the file's name.
bool Relative(const std::string& saveFolder, const std::string& path, std::string& relative) {
  if (path.size() <= saveFolder.size() || path.compare(0, saveFolder.size(), saveFolder) != 0) return false;
  relative = path.substr(saveFolder.size());
  return true;
}

// A plain name: nothing in it that leads to another folder.
bool PlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); i += CharLength(name, i))
    if (CharLength(name, i) == 1 && (name[i] == '\\' || name[i] == '/' || name[i] == ':' ||
                                     static_cast<unsigned char>(name[i]) < 0x20))
      return false;
  return true;
}

// Whether folder's copy list names `name`.  A list that exists but cannot
// be read counts as naming it: nothing is removed on a guess.
bool Listed(const std::string& folder, const std::string& name) {
  std::string text;
  if (!plat::ReadWholeFile(folder + kCopyListName, text)) {
    plat::FileStatus status;
    return plat::GetFileStatus(folder + kCopyListName, status);
  }
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    at = end + 1;
    size_t separator = line.find('<');
    if (separator != std::string_view::npos && EqualNoCase(line.substr(0, separator), name)) return true;
  }
  return false;
}

// Acts on one line of a note left behind.
void ClearLine(const std::string& saveFolder, std::string_view line) {
  if (line.size() < 3 || line[1] != ' ') return;
  std::string relative(line.substr(2));
  size_t slash = LastCharPos(relative, '\\');
  if (slash == kNone) return;
  std::string folder = relative.substr(0, slash), name = relative.substr(slash + 1);
  if (!PlainName(folder) || !PlainName(name)) return;
  if (line[0] == 'T' && IsTemporaryName(name)) plat::DeleteFile(saveFolder + relative);
  if (line[0] == 'C' && !Listed(saveFolder + folder + "\\", name)) plat::DeleteFile(saveFolder + relative);
}

}  // namespace

CSaveNote::CSaveNote(const std::string& saveFolder) : saveFolder_(saveFolder) {
  path_ = CreateTemporaryFile(saveFolder, file_, true);
}

CSaveNote::~CSaveNote() {
  file_.Close();
  if (!path_.empty()) plat::DeleteFile(path_);
}

std::string CSaveNote::CreateTemporary(const std::string& folder, plat::File& file) {
  std::string relativeFolder;
  const bool below = Relative(saveFolder_, folder, relativeFolder);
  for (int attempt = 0; attempt < 64; ++attempt) {
    const std::string name = TemporaryName();
    const std::string line = below ? "T " + relativeFolder + name + "\r\n" : std::string();
    temporaries_ += line;
    Write();
    if (file.Open(folder + name, plat::Access::ReadWrite, plat::Disposition::CreateNew, plat::kShareRead))
      return folder + name;
    temporaries_.resize(temporaries_.size() - line.size());
    if (plat::LastError().kind != plat::ErrorKind::AlreadyExists) break;
  }
  Write();
  return std::string();
}

void CSaveNote::Becoming(const std::string& path) {
  std::string relative;
  becoming_ = Relative(saveFolder_, path, relative) ? "C " + relative + "\r\n" : std::string();
  Write();
}

void CSaveNote::Write() {
  if (!file_.IsOpen()) return;
  const std::string text = temporaries_ + becoming_;
  if (file_.Seek(0) == 0 && file_.WriteAll(text)) file_.SetLength(static_cast<int64_t>(text.size()));
}

void ClearInterruptedSaves(const std::string& saveFolder) {
  static std::mutex mutex;
  static std::set<std::string> cleared;
  {
    std::lock_guard<std::mutex> guard(mutex);
    if (!cleared.insert(saveFolder).second) return;
  }
  std::vector<plat::DirEntry> entries;
  if (!plat::ListDirectory(saveFolder, entries)) return;
  for (const plat::DirEntry& e : entries) {
    if (e.isDirectory || !IsPendingNoteName(e.name)) continue;
    const std::string path = saveFolder + e.name;
    std::string text;
    // Removed before it is acted on: a note whose save still runs is open
    // and cannot be removed.
    if (!plat::ReadWholeFile(path, text) || !plat::DeleteFile(path)) continue;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      ClearLine(saveFolder, std::string_view(text).substr(at, end - at));
      at = end + 2;
    }
  }
}

}  // namespace quz
