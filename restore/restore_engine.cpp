#include "restore/restore_engine.h"

#include <cstdio>
#include <unordered_set>

#include "app/paths.h"
#include "app/settings.h"
#include "app/temporary_files.h"
#include "app/text.h"
#include "restore/reassembly.h"

namespace quz {

const char kErrorLogName[] = "lasterror.txt";

namespace {

const char kProgressText[] = "処理中";
const char kOpenFailureText[] =
    "ファイルを開けないか作成できません\r\nこのファイルの処理をスキップします\r\n\r\nこのダイアログを次回も表示しますか？";
const char kNoCandidateText[] = "復元するファイルまたはフォルダの最終更新日時を選んで下さい";
const char kInPlaceWarning[] =
    "現在あるファイルは上書きされ、完全に消滅します。\r\n必要ならＯＫを押す前に現在のファイルを別の場所に複写してください。\r\n\r\nこの操作を実行しますか？";
const char kInPlaceCaption[] = "元の場所に戻す - 警告";
const char kResultCaption[] = "quz - 復元結果";
const char kOutsideDestination[] = "復元先フォルダの外を指すパスのため復元しません";
constexpr uint32_t kKeptAttributes = plat::kAttrReadOnly | plat::kAttrHidden | plat::kAttrSystem | plat::kAttrArchive;

// The standard 24-character date text with its line feed, as ctime writes it.
std::string DateText(plat::CalendarTime c) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %02d:%02d:%02d %d\n", kDays[(c.weekday % 7 + 7) % 7],
                kMonths[(c.month + 11) % 12], c.day, c.hour, c.minute, c.second, c.year);
  return text;
}

void AppendErrorLog(const std::string& path, std::string message) {
  plat::File log;
  if (!log.Open(ExePath(kErrorLogName), plat::Access::ReadWrite, plat::Disposition::OpenAlways, plat::kShareRead))
    return;
  if (log.Seek(0, plat::Origin::End) < 0) return;
  if (message.size() > 500) message.resize(500);
  log.WriteAll(DateText(plat::BreakDownLocal(plat::Now())) + " " + path + " " + message + "\r\n");
}

void LogLastError(const std::string& path) {
  int code = plat::LastError().code;
  AppendErrorLog(path, code ? plat::ErrorMessage(code) : std::string());
}

// A path component that names a file or folder of its own: never "." or
// "..", nothing Windows would read as a separator, a drive or a stream, and
// no trailing dot or blank that Windows would drop (".. " is "..").
bool PlainComponent(std::string_view c) {
  if (c.empty()) return false;
  if (c.back() == '.' || c.back() == ' ') return false;
  for (size_t i = 0; i < c.size(); i += CharLength(c, i)) {
    if (CharLength(c, i) == 2) continue;
    unsigned char ch = static_cast<unsigned char>(c[i]);
    if (ch < 0x20 || std::string_view("/:*?\"<>|").find(static_cast<char>(ch)) != std::string_view::npos)
      return false;
  }
  return true;
}

// "\a\b\x.txt": one or more plain components, each after a "\".
bool SafeRelative(std::string_view rel) {
  if (rel.empty() || rel[0] != '\\') return false;
  size_t start = 1;
  for (size_t i = 1; i <= rel.size(); i += i < rel.size() ? CharLength(rel, i) : 1) {
    if (i < rel.size() && rel[i] != '\\') continue;
    if (!PlainComponent(rel.substr(start, i - start))) return false;
    start = i + 1;
  }
  return true;
}

// A full path of a file: "C:\..." or "\\server\share\...", plain components.
bool SafeAbsolute(std::string_view path) {
  if (path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\')
    return SafeRelative(path.substr(2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    std::string_view rest = path.substr(1);
    size_t parts = 0;
    for (size_t i = 0; i < rest.size(); i += CharLength(rest, i)) parts += rest[i] == '\\';
    return parts >= 3 && SafeRelative(rest);
  }
  return false;
}

// Where a source is restored to (see RestoreOne); false when the result
// would not lie inside the destination, or in place, when the source is no
// plain full path.
bool DestinationFor(const std::string& source, const std::string& folder, const std::string& destination,
                    std::string* path) {
  if (destination.empty()) {
    if (!SafeAbsolute(source)) return false;
    *path = source;
    return true;
  }
  size_t cut;
  if (folder.empty()) {
    cut = LastCharPos(source, '\\');
    if (cut == kNone) return false;
  } else {
    if (source.size() <= folder.size() || !IsInFolder(source, folder)) return false;
    cut = folder.size();
  }
  std::string_view rel = std::string_view(source).substr(cut);
  if (!SafeRelative(rel)) return false;
  *path = destination + std::string(rel);
  return true;
}

// The folder whose contents a restore of folder elsewhere cuts off, so that
// folder itself appears under the destination.  A drive has no enclosing
// folder: its folders go directly into the destination.
std::string EnclosingFolder(const std::string& folder) {
  size_t pos = LastCharPos(folder, '\\');
  if (pos == kNone || pos == 0) return folder;
  return folder.substr(0, pos);
}

void DiscardTemporary(const std::string& path) {
  plat::SetAttributes(path, plat::kAttrNormal);
  plat::DeleteFile(path);
}

}  // namespace

// ---------------------------------------------------------------- texts

std::vector<std::string> RestoreResultLines(const RestoreCounts& counts) {
  char first[64], second[128];
  std::snprintf(first, sizeof first, "%d個のファイルを復元しました", static_cast<int>(counts.restored));
  if (counts.failed == 0)
    std::snprintf(second, sizeof second, "復元処理は正常に終了しました");
  else
    std::snprintf(second, sizeof second, "%d個のファイルの復元に失敗したかキャンセルされました",
                  static_cast<int>(counts.failed));
  return {first, second};
}

std::string OverwriteSizeText(int64_t size, bool unknown) {
  if (unknown) return "サイズ : (差分保存のため不明)";
  char text[64];
  if (size >= 1048576)
    std::snprintf(text, sizeof text, "サイズ : %.2fMB", static_cast<double>(size) / 1048576.0);
  else
    std::snprintf(text, sizeof text, "サイズ : %.2fKB", static_cast<double>(size) / 1024.0);
  return text;
}

std::string OverwriteTimeText(int32_t time, bool unknown) {
  if (unknown) return "更新日時 : (差分保存のため不明)";
  plat::CalendarTime c = plat::BreakDownLocal(time);
  char text[96];
  std::snprintf(text, sizeof text, "更新日時 : %d年%d月%d日、%d:%d:%d", c.year, c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

// ---------------------------------------------------------------- one file

void ReportOpenFailure(RestoreContext& ctx, const std::string& path) {
  if (ReadSetting(ctx.settingsFile, kOpenFailureDialogKey) == "No") return;
  if (ctx.ui.Message(kOpenFailureText, path, plat::kButtonsYesNo | plat::kIconWarning) == plat::kAnswerNo)
    WriteSetting(ctx.settingsFile, "No", kOpenFailureDialogKey);
}

bool PickCopy(const RestoreContext& ctx, const std::string& source, int32_t t, RestoreChoice* choice) {
  int64_t best = 0;
  bool found = false;
  const int64_t limit = static_cast<int64_t>(t) + kCandidateTolerance;
  for (int32_t entry : ctx.table.EntriesOf(source)) {
    const std::string& location = ctx.table.At(entry).location;
    auto consider = [&](int32_t n, plat::Time32 mtime, bool winsTies, const std::string& damaged) {
      int64_t local = static_cast<int64_t>(mtime) - ctx.timeZoneOffset;
      if (local > limit || local < best || (local == best && !(winsTies && found)) || local <= 0) return;
      best = local;
      found = true;
      if (choice) *choice = RestoreChoice{entry, n, damaged};
    };
    int32_t n = -1;
    for (; n < kMaxFragments; ++n) {
      plat::FileStatus st;
      if (!plat::GetFileStatus(CopyPathOf(location, n), st)) break;
      if (!st.isDirectory) consider(n, st.mtime, true, std::string());
    }
    if (n < 0 || !EndsWithChar(location, '\\')) continue;
    // Fragments beyond a gap still say the file was saved later: choosing
    // them makes the restore fail at the gap instead of quietly giving an
    // old state of the file as the one asked for.  A fragment set aside as
    // damaged says the same, unless a fragment of the chain that replaced
    // it is as new.
    for (const FragmentTime& f : FragmentsOutsideChain(location, n)) {
      if (f.number >= 0)
        consider(f.number, f.mtime, true, std::string());
      else
        consider(-1, f.mtime, false, f.path);
    }
  }
  return found;
}

namespace {

// Asks before an existing file is replaced, unless "全て上書き" says not to.
// False when the answer is no.
bool AskBeforeReplacing(RestoreContext& ctx, const std::string& path, const std::string& location, int32_t n) {
  if (ReadSetting(ctx.settingsFile, kOverwriteAllKey) == "Yes") return true;
  plat::File probe;
  if (!probe.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareAll)) return true;
  plat::OverwriteQuestion q;
  q.path = path;
  plat::FileStatus current;
  if (probe.GetStatus(current)) {
    q.currentSize = current.size;
    q.currentTime = current.mtime;
  }
  probe.Close();
  plat::FileStatus incoming;
  if (n >= 0) {
    q.newUnknown = true;
  } else if (plat::GetFileStatus(CopyPathOf(location, -1), incoming)) {
    q.newSize = incoming.size;
    q.newTime = incoming.mtime;
  }
  plat::OverwriteAnswer answer = ctx.ui.AskOverwrite(q);
  if (answer == plat::OverwriteAnswer::No) return false;
  if (answer == plat::OverwriteAnswer::All) WriteSetting(ctx.settingsFile, "Yes", kOverwriteAllKey);
  return true;
}

// The file in place must be one we may replace: a folder, a read-only file
// or one another program holds open fails here, as creating it would.
bool MayReplace(const std::string& path) {
  plat::FileStatus existing;
  if (!plat::GetFileStatus(path, existing)) return true;
  plat::File writable;
  return !existing.isDirectory &&
         writable.Open(path, plat::Access::Write, plat::Disposition::OpenExisting, plat::kShareAll);
}

// Writes the copy, or fragments 0 to n rebuilt, into the open file out;
// usedPath receives the copy or the last fragment applied.
TransferResult WriteRestoredData(const std::string& location, int32_t n, plat::File& out, std::string& usedPath) {
  if (n >= 0) return ApplyFragments(location, n, out, &usedPath);
  usedPath = CopyPathOf(location, -1);
  plat::File in;
  if (!in.Open(usedPath, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead | plat::kShareWrite)) {
    TransferResult r;
    r.kind = TransferResult::OpenFailed;
    r.path = usedPath;
    return r;
  }
  return CopyAllData(in, out, usedPath);
}

// Gives the restored file the times and attributes of the copy (or of the
// last fragment) and puts it in place of path.  A copy whose status cannot
// be read still restores.
bool PutInPlace(const std::string& temporary, const std::string& path, const std::string& usedPath) {
  plat::FileStatus st;
  if (plat::GetFileStatus(usedPath, st)) {
    uint32_t attributes = st.attributes & kKeptAttributes;
    if (!plat::SetFileTime(temporary, st.mtime) ||
        !plat::SetAttributes(temporary, attributes ? attributes : plat::kAttrNormal))
      return false;
  }
  return plat::ReplaceFile(temporary, path);
}

}  // namespace

int RestoreFile(RestoreContext& ctx, const std::string& location, const std::string& destinationPath, int32_t n,
                std::string* usedPath) {
  std::string path = StripTrailingSeparator(destinationPath);
  std::string folder = SourceFolderOf(path);
  if (!folder.empty()) {
    std::string create = folder;
    CreateSaveFolder(create);
  }
  if (!AskBeforeReplacing(ctx, path, location, n)) return 0;
  if (!MayReplace(path)) {
    ReportOpenFailure(ctx, path);
    return 0;
  }

  // The file is built under a temporary name beside its place, so that a
  // restore that fails half-way destroys nothing.
  plat::File out;
  const std::string temporary = CreateTemporaryFile(WithSeparator(folder), out);
  if (temporary.empty()) {
    ReportOpenFailure(ctx, path);
    return 0;
  }
  std::string used;
  TransferResult r = WriteRestoredData(location, n, out, used);
  out.Close();
  if (r.kind != TransferResult::Done) {
    DiscardTemporary(temporary);
    if (r.kind == TransferResult::OpenFailed)
      ReportOpenFailure(ctx, r.path);
    else
      AppendErrorLog(r.path, r.message);
    return 0;
  }
  if (!PutInPlace(temporary, path, used)) {
    LogLastError(path);
    DiscardTemporary(temporary);
    return 0;
  }
  if (usedPath) *usedPath = used;
  return 1;
}

int RestoreOne(RestoreContext& ctx, const std::string& source, int32_t t, const std::string& folder,
               const std::string& destination) {
  RestoreChoice choice;
  if (!PickCopy(ctx, source, t, &choice)) return 0;
  if (!choice.damaged.empty()) {
    AppendErrorLog(choice.damaged, kDamagedFragmentText);
    return 0;
  }
  std::string path;
  if (!DestinationFor(source, folder, destination, &path)) {
    AppendErrorLog(source, kOutsideDestination);
    return 0;
  }
  std::string used;
  return RestoreFile(ctx, ctx.table.At(choice.entry).location, path, choice.fragment, &used);
}

// ---------------------------------------------------------------- selections

RestoreCounts RunRestore(RestoreContext& ctx, const RestoreSelectionRequest& request, std::string destination,
                         bool reportProgress) {
  destination = StripTrailingSeparator(destination);
  const int32_t t = request.candidateTime;
  // (source, folder that relative names start after)
  std::vector<std::pair<std::string, std::string>> work;
  if (request.folder.empty() || !request.files.empty()) {
    for (const std::string& file : request.files) work.emplace_back(file, request.folder);
  } else {
    std::string enclosing = EnclosingFolder(request.folder);
    std::unordered_set<std::string> seen;
    for (const RestoreEntry& e : ctx.table.Entries()) {
      if (e.source.size() <= request.folder.size() || !IsInFolder(e.source, request.folder)) continue;
      if (seen.insert(FoldedKey(e.source)).second) work.emplace_back(e.source, enclosing);
    }
  }

  RestoreCounts counts;
  plat::ProgressThrottle throttle;
  const size_t total = work.size();
  for (size_t i = 0; i < total; ++i) {
    if (RestoreOne(ctx, work[i].first, t, work[i].second, destination))
      ++counts.restored;
    else
      ++counts.failed;
    if (reportProgress && throttle.Due()) {
      ctx.ui.Progress(static_cast<int>((i + 1) * 100 / total), kProgressText);
    }
  }
  return counts;
}

RestoreCounts RestoreSelection(RestoreContext& ctx, const RestoreSelectionRequest& request, std::string destination) {
  if (!request.haveCandidate) {
    ctx.ui.Message(kNoCandidateText, "quz", plat::kButtonsOk | plat::kIconWarning);
    return RestoreCounts{};
  }
  ctx.ui.Progress(0, kProgressText);
  RestoreCounts counts = RunRestore(ctx, request, std::move(destination), true);
  ctx.ui.Progress(100, kProgressText);
  std::vector<std::string> lines = RestoreResultLines(counts);
  ctx.ui.Message(lines[0] + "\r\n" + lines[1], kResultCaption, plat::kButtonsOk | plat::kIconInformation);
  return counts;
}

bool RestoreToOriginalPlaces(RestoreContext& ctx, const RestoreSelectionRequest& request, RestoreCounts* counts) {
  if (ctx.ui.Message(kInPlaceWarning, kInPlaceCaption, plat::kButtonsOkCancel | plat::kIconError) !=
      plat::kAnswerOk)
    return false;
  WriteSetting(ctx.settingsFile, "No", kOverwriteAllKey);
  RestoreCounts c = RestoreSelection(ctx, request, std::string());
  if (counts) *counts = c;
  return true;
}

RestoreCounts RestoreToFolder(RestoreContext& ctx, const RestoreSelectionRequest& request, const std::string& folder) {
  WriteSetting(ctx.settingsFile, folder, kRestoreFolderKey);
  WriteSetting(ctx.settingsFile, "No", kOverwriteAllKey);
  return RestoreSelection(ctx, request, folder);
}

}  // namespace quz
