#include "archiver/command.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "archiver/archive.h"
#include "archiver/files.h"
#include "archiver/names.h"
#include "archiver/stream.h"

namespace quz::lzh {

namespace {

struct Word {
  std::string text;
  bool quoted = false;
};

std::vector<Word> SplitWords(const std::string& line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
    if (i >= line.size()) break;
    Word w;
    bool inQuotes = false;
    // Neither '"' nor blanks occur as the second byte of a double-byte
    // character, so scanning bytes is safe.
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        inQuotes = !inQuotes;
        w.quoted = true;
      } else if (!inQuotes && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
        break;
      } else {
        w.text += c;
      }
    }
    words.push_back(std::move(w));
  }
  return words;
}

struct Options {
  char command = 0;
  std::vector<std::string> args;
  bool restoreAttributes = false;
  Method method = Method::kLh5;
};

// Every result carries its message; the first problem met decides both.
struct Outcome {
  int result = kResultOk;
  std::string message;
  void Fail(int r, const std::string& m) {
    if (result == kResultOk) {
      result = r;
      message = m;
    }
  }
};

bool ParseCommandLine(const std::string& line, Options& o, Outcome& out) {
  std::vector<Word> words = SplitWords(line);
  if (words.empty()) {
    out.Fail(kResultBadCommandLine, "コマンドがありません");
    return false;
  }
  const std::string& cmd = words[0].text;
  if (cmd.size() != 1 || !std::strchr("aAeElLtT", cmd[0])) {
    out.Fail(kResultBadCommandLine, "不明なコマンドです: " + cmd);
    return false;
  }
  o.command = static_cast<char>(cmd[0] | 0x20);
  for (std::size_t i = 1; i < words.size(); ++i) {
    const Word& w = words[i];
    if (w.quoted || w.text.empty() || w.text[0] != '-') {
      o.args.push_back(w.text);
      continue;
    }
    const std::string& s = w.text;
    if (s == "-d" || s == "-d1" || s == "-x" || s == "-x1" || s == "-r2" || s == "-m" || s == "-m1") {
      // What these ask for is what every command does anyway.
    } else if (s == "-a1") {
      o.restoreAttributes = true;
    } else if (s == "-o5") {
      o.method = Method::kLh5;
    } else if (s == "-o6") {
      o.method = Method::kLh6;
    } else if (s == "-o7") {
      o.method = Method::kLh7;
    } else {
      out.Fail(kResultBadCommandLine, "不明なスイッチです: " + s);
      return false;
    }
  }
  std::size_t want = (o.command == 'a' || o.command == 'e') ? 2 : 1;
  if (o.args.size() != want) {
    out.Fail(kResultBadCommandLine, o.args.size() < want ? "引数が足りません" : "引数が多すぎます");
    return false;
  }
  for (const std::string& a : o.args) {
    if (a.empty()) {
      out.Fail(kResultBadCommandLine, "空のパスは使えません");
      return false;
    }
  }
  return true;
}

// Text of one path joined to a folder in command-line (code page 932) form.
std::string JoinCp932(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return EndsWithSeparator(folder) ? folder + name : folder + "\\" + name;
}

bool SameText(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return plat::EqualNoCase(a, b);
#else
  return a == b;
#endif
}

// Names Windows gives to devices, with any extension: writing to one would
// not make a file inside the folder.
bool IsDeviceName(const std::string& part) {
  std::string stem;
  for (char c : part) {
    if (c == '.') break;
    stem += static_cast<char>((c >= 'a' && c <= 'z') ? c - 0x20 : c);
  }
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
         stem[3] <= '9';
}

bool IsSafeEntryName(const std::string& path) {
  if (!IsSafePath(path)) return false;
  for (const std::string& part : SplitPath(path))
    if (IsDeviceName(part)) return false;
  return true;
}

// ------------------------------------------------------------------ packing

struct PackItem {
  std::string relative;  // code page 932, "\" between levels
  std::string native;
  files::Item item;
};

bool Collect(const std::string& cpFolder, const std::string& nativeFolder, const std::string& relative,
             const std::vector<std::string>& skip, std::vector<PackItem>& out, Outcome& outcome) {
  std::vector<files::Item> items;
  std::string badName;
  if (!files::ListFolder(nativeFolder, items, &badName)) {
    outcome.Fail(kResultInputFailed, badName.empty() ? "フォルダを読めません: " + cpFolder
                                                     : "名前を変換できないファイルがあります: " + cpFolder);
    return false;
  }
  for (files::Item& item : items) {
    PackItem p;
    p.relative = relative.empty() ? item.name : relative + "\\" + item.name;
    p.native = files::Join(nativeFolder, item.nativeName);
    bool skipped = false;
    for (const std::string& s : skip) skipped = skipped || SameText(s, p.native);
    if (skipped) continue;
    std::string cpPath = JoinCp932(cpFolder, item.name);
    p.item = item;
    if (item.isFolder) {
      out.push_back(p);
      if (!Collect(cpPath, p.native, p.relative, skip, out, outcome)) return false;
    } else {
      if (item.size > 0xFFFFFFFFull) {
        outcome.Fail(kResultTooLarge, "4GB以上のファイルは格納できません: " + cpPath);
        return false;
      }
      out.push_back(std::move(p));
    }
  }
  return true;
}

// A temporary file beside `native` that did not exist before.
bool CreateTemporary(const std::string& native, std::string& tempPath, FileSink& sink) {
  for (int n = 0; n < 1000; ++n) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%03d.tmp", n);
    std::FILE* f = nullptr;
    if (files::CreateNewFile(native + suffix, f)) {
      tempPath = native + suffix;
      sink.Attach(f);
      return true;
    }
  }
  return false;
}

Entry EntryFor(const PackItem& p) {
  Entry e;
  e.path = p.relative;
  e.attributes = p.item.attributes;
  e.hasUnixTime = true;
  e.unixTime = p.item.unixTime;
  e.hasWindowsTimes = true;
  e.created = p.item.created;
  e.modified = p.item.modified;
  e.accessed = p.item.accessed;
  return e;
}

void Pack(const Options& o, Outcome& out) {
  const std::string& archive = o.args[0];
  const std::string& folder = o.args[1];
  std::string nativeArchive, nativeFolder;
  if (!files::ToNative(archive, nativeArchive)) {
    out.Fail(kResultWriteFailed, "書庫を作れません: " + archive);
    return;
  }
  files::Item folderItem;
  if (!files::ToNative(folder, nativeFolder) || !files::Stat(nativeFolder, folderItem) || !folderItem.isFolder) {
    out.Fail(kResultInputFailed, "フォルダが見つかりません: " + folder);
    return;
  }
  // The archive, or its temporary, may be written inside the folder.
  std::vector<std::string> skip{nativeArchive};
  for (int n = 0; n < 1000; ++n) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%03d.tmp", n);
    skip.push_back(nativeArchive + suffix);
  }
  std::vector<PackItem> items;
  if (!Collect(folder, nativeFolder, "", skip, items, out)) return;
  std::size_t fileCount = 0;
  for (const PackItem& p : items) fileCount += p.item.isFolder ? 0 : 1;
  if (fileCount == 0) {
    out.message = "格納するファイルがありません";
    return;
  }

  files::Item existing;
  if (files::Stat(nativeArchive, existing) && existing.isFolder) {
    out.Fail(kResultWriteFailed, "書庫と同じ名前のフォルダがあります: " + archive);
    return;
  }
  std::string temp;
  FileSink sink;
  if (!CreateTemporary(nativeArchive, temp, sink)) {
    out.Fail(kResultWriteFailed, "書庫を作れません: " + archive);
    return;
  }
  ArchiveWriter writer(sink);
  for (const PackItem& p : items) {
    Entry e = EntryFor(p);
    Error err;
    if (p.item.isFolder) {
      err = writer.AddFolder(e);
    } else {
      FileSource src;
      if (!src.Open(p.native)) {
        out.Fail(kResultInputFailed, "ファイルを読めません: " + JoinCp932(folder, p.relative));
        break;
      }
      err = writer.AddFile(e, src, p.item.size, o.method);
    }
    if (err == Error::kOk) continue;
    std::string where = JoinCp932(folder, p.relative);
    switch (err) {
      case Error::kReadFailed:
      case Error::kSizeChanged: out.Fail(kResultInputFailed, "ファイルを読めません: " + where); break;
      case Error::kTooLarge: out.Fail(kResultTooLarge, "4GB以上のファイルは格納できません: " + where); break;
      case Error::kBadName: out.Fail(kResultInputFailed, "格納できない名前です: " + where); break;
      default: out.Fail(kResultWriteFailed, "書庫に書き込めません: " + archive); break;
    }
    break;
  }
  if (out.result == kResultOk && writer.Finish() != Error::kOk)
    out.Fail(kResultWriteFailed, "書庫に書き込めません: " + archive);
  bool closed = sink.Close();
  if (out.result == kResultOk && !closed) out.Fail(kResultWriteFailed, "書庫に書き込めません: " + archive);
  if (out.result == kResultOk && !files::ReplaceWith(temp, nativeArchive))
    out.Fail(kResultWriteFailed, "書庫を作れません: " + archive);
  if (out.result != kResultOk) {
    files::RemoveFile(temp);
    return;
  }
  out.message = std::to_string(fileCount) + " 個のファイルを格納しました";
}

// ---------------------------------------------------------------- reading

bool OpenArchive(const std::string& archive, FileSource& src, Outcome& out) {
  std::string native;
  files::Item item;
  if (!files::ToNative(archive, native) || !files::Stat(native, item) || item.isFolder) {
    out.Fail(kResultInputFailed, "書庫が見つかりません: " + archive);
    return false;
  }
  if (!src.Open(native)) {
    out.Fail(kResultInputFailed, "書庫を読めません: " + archive);
    return false;
  }
  if (src.Size() <= 0) {
    out.Fail(kResultDamagedArchive, "書庫ではありません: " + archive);
    return false;
  }
  return true;
}

// The result of a library failure while reading an archive.
void ReadFailure(Error err, const std::string& archive, const std::string& name, Outcome& out) {
  std::string where = name.empty() ? archive : archive + " " + name;
  switch (err) {
    case Error::kReadFailed: out.Fail(kResultInputFailed, "書庫を読めません: " + where); break;
    case Error::kWriteFailed: out.Fail(kResultWriteFailed, "ファイルに書き込めません: " + where); break;
    case Error::kCrcMismatch: out.Fail(kResultDamagedArchive, "CRCが一致しません: " + where); break;
    case Error::kUnsupportedLevel: out.Fail(kResultDamagedArchive, "未対応のヘッダです: " + where); break;
    default: out.Fail(kResultDamagedArchive, "書庫が壊れています: " + where); break;
  }
}

std::string DisplayName(const Entry& e) { return e.isFolder() ? e.path + "\\" : e.path; }

// Opens the archive named by the command and hands every entry to visit,
// in archive order, until visit returns false or the archive ends.  A read
// failure of the walk itself is the command's result.
template <typename Visit>
void ForEachEntry(const Options& o, Outcome& out, Visit visit) {
  FileSource src;
  if (!OpenArchive(o.args[0], src, out)) return;
  ArchiveReader reader(src);
  for (;;) {
    Entry e;
    bool atEnd = false;
    Error err = reader.Next(e, atEnd);
    if (err != Error::kOk) {
      ReadFailure(err, o.args[0], "", out);
      return;
    }
    if (atEnd || !visit(reader, e)) return;
  }
}

void List(const Options& o, Outcome& out) {
  std::string text;
  ForEachEntry(o, out, [&](ArchiveReader&, const Entry& e) {
    char line[64];
    std::snprintf(line, sizeof line, "%.5s %10llu %10llu %04X ", e.methodId,
                  static_cast<unsigned long long>(e.originalSize), static_cast<unsigned long long>(e.packedSize),
                  e.crc);
    text += line + DisplayName(e) + "\r\n";
    return true;
  });
  if (out.result == kResultOk) out.message = text;
}

void Test(const Options& o, Outcome& out) {
  std::size_t count = 0;
  ForEachEntry(o, out, [&](ArchiveReader& reader, const Entry& e) {
    if (!e.knownMethod) {
      out.Fail(kResultUnknownMethod, std::string("未対応の圧縮方式です: ") + e.methodId + " " + e.path);
      return true;
    }
    DiscardSink sink;
    Error err = reader.Extract(e, sink);
    if (err != Error::kOk) {
      ReadFailure(err, o.args[0], e.path, out);
      return false;
    }
    if (!e.isFolder()) ++count;
    return true;
  });
  if (out.result == kResultOk) out.message = std::to_string(count) + " 個のファイルは正常です";
}

// ---------------------------------------------------------------- unpacking

std::int64_t EntryTime(const Entry& e) {
  if (e.hasWindowsTimes && e.modified) return files::FileTimeToUnix(e.modified);
  if (e.hasUnixTime) return e.unixTime;
  if (e.hasDosTime) {
    // MS-DOS stamps are local time; without the zone at hand they are
    // taken as they are.
    std::uint32_t d = e.dosTime;
    int year = 1980 + static_cast<int>(d >> 25), month = (d >> 21) & 15, day = (d >> 16) & 31;
    int hour = (d >> 11) & 31, minute = (d >> 5) & 63, second = static_cast<int>(d & 31) * 2;
    if (month < 1) month = 1;
    if (day < 1) day = 1;
    // Days from the civil date (proleptic Gregorian).
    int y = year - (month <= 2);
    int era = y / 400;
    int yoe = y - era * 400;
    int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
  }
  return 0;
}

struct FolderStamp {
  std::string native;
  Entry entry;
};

void Unpack(const Options& o, Outcome& out) {
  const std::string& archive = o.args[0];
  const std::string& folder = o.args[1];
  FileSource src;
  if (!OpenArchive(archive, src, out)) return;
  std::string nativeFolder;
  if (!files::ToNative(folder, nativeFolder) || !files::MakeFolders(nativeFolder)) {
    out.Fail(kResultWriteFailed, "フォルダを作れません: " + folder);
    return;
  }
  ArchiveReader reader(src);
  std::size_t count = 0;
  std::vector<FolderStamp> folders;
  for (;;) {
    Entry e;
    bool atEnd = false;
    Error err = reader.Next(e, atEnd);
    if (err != Error::kOk) {
      ReadFailure(err, archive, "", out);
      break;
    }
    if (atEnd) break;
    if (!IsSafeEntryName(e.path)) {
      out.Fail(kResultUnsafePath, "安全でない名前のため展開しません: " + e.path);
      continue;
    }
    std::string native;
    if (!files::ToNative(JoinCp932(folder, e.path), native)) {
      out.Fail(kResultWriteFailed, "この名前のファイルは作れません: " + e.path);
      continue;
    }
    if (files::LinkOnTheWay(nativeFolder, native)) {
      out.Fail(kResultUnsafePath, "リンクを通る名前のため展開しません: " + e.path);
      continue;
    }
    if (!e.knownMethod) {
      out.Fail(kResultUnknownMethod, std::string("未対応の圧縮方式です: ") + e.methodId + " " + e.path);
      continue;
    }
    if (e.isFolder()) {
      if (!files::MakeFolders(native)) {
        out.Fail(kResultWriteFailed, "フォルダを作れません: " + JoinCp932(folder, e.path));
        continue;
      }
      folders.push_back({native, e});
      continue;
    }
    std::size_t cut = native.find_last_of(files::Separator());
    // The native form of a code page 932 path has no "\" inside a
    // character on Linux; on Windows the last separator is found on the
    // command-line form instead.
#ifdef _WIN32
    {
      std::vector<std::string> parts = SplitPath(JoinCp932(folder, e.path));
      std::size_t tail = parts.back().size();
      cut = native.size() - tail - 1;
    }
#endif
    std::string parent = native.substr(0, cut);
    if (!parent.empty() && !files::MakeFolders(parent)) {
      out.Fail(kResultWriteFailed, "フォルダを作れません: " + JoinCp932(folder, e.path));
      continue;
    }
    std::string temp;
    FileSink sink;
    if (!CreateTemporary(native, temp, sink)) {
      out.Fail(kResultWriteFailed, "ファイルを作れません: " + JoinCp932(folder, e.path));
      continue;
    }
    err = reader.Extract(e, sink);
    bool closed = sink.Close();
    if (err == Error::kOk && !closed) err = Error::kWriteFailed;
    if (err != Error::kOk) {
      files::RemoveFile(temp);
      ReadFailure(err, archive, e.path, out);
      if (err == Error::kWriteFailed) continue;  // a full disk may spare the next, smaller file
      break;                                     // the rest of a damaged archive cannot be trusted
    }
    files::SetTimes(temp, EntryTime(e), e.hasWindowsTimes ? e.created : 0, e.hasWindowsTimes ? e.modified : 0,
                    e.hasWindowsTimes ? e.accessed : 0);
    if (!files::ReplaceWith(temp, native)) {
      files::RemoveFile(temp);
      out.Fail(kResultWriteFailed, "ファイルを置けません: " + JoinCp932(folder, e.path));
      continue;
    }
    if (o.restoreAttributes) files::SetAttributes(native, e.attributes);
    ++count;
  }
  // Writing files into a folder changes its time: folders get theirs last.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    const Entry& e = it->entry;
    files::SetTimes(it->native, EntryTime(e), e.hasWindowsTimes ? e.created : 0, e.hasWindowsTimes ? e.modified : 0,
                    e.hasWindowsTimes ? e.accessed : 0);
  }
  if (out.result == kResultOk) out.message = std::to_string(count) + " 個のファイルを展開しました";
}

}  // namespace

int RunCommand(const std::string& commandLine, std::string& message) {
  Options o;
  Outcome out;
  if (ParseCommandLine(commandLine, o, out)) {
    switch (o.command) {
      case 'a': Pack(o, out); break;
      case 'e': Unpack(o, out); break;
      case 'l': List(o, out); break;
      case 't': Test(o, out); break;
    }
  }
  message = out.message;
  return out.result;
}

void CopyToBuffer(const std::string& text, char* buffer, std::size_t size) {
  if (!buffer || size == 0) return;
  std::size_t n = plat::CutLength(text, size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace quz::lzh
