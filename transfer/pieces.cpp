#include "transfer/pieces.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/text.h"
#include "engine/file_copy.h"

namespace quz::transfer {

const char kNextMediumText[] = "次のメディアを挿入してください\r\n準備ができたらOKを押してください";
const char kNoFreeSpaceText[] = "空き容量がありません\r\n別のメディアを挿入してください";
const char kNotEnoughFreeSpaceText[] = "指定された空き容量がありません\r\n別のメディアを挿入してください";
const char kCannotCreatePieceText[] = "ファイルを作れません\r\n別のメディアを挿入してください";
const char kCannotCreateText[] = "ファイルを作れません";
const char kCannotOpenText[] = "ファイルを開けません";
const char kBusyCaption[] = "処理中";

namespace {

void Report(const ProgressFunction& progress, plat::IUserInteraction* ui, int percent) {
  if (progress)
    progress(percent, kBusyCaption);
  else if (ui)
    ui->Progress(percent, kBusyCaption);
}

std::string Format3(const char* format, int number, const std::string& text) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, format, number);
  return buffer + text;
}

}  // namespace

std::string PieceName(bool last, int number, const std::string& archiveName) {
  return Format3(last ? "e%03d_" : "b%03d_", number, archiveName);
}

int64_t NominalPieceSize(double pieceSizeMb, bool splitEnabled, int64_t archiveLength) {
  double bytes = pieceSizeMb * 1000000.0;
  int64_t nominal = 0;
  if (bytes >= 9.2e18)
    nominal = INT64_MAX;
  else if (bytes > 0)
    nominal = static_cast<int64_t>(bytes);
  if (archiveLength < nominal || !splitEnabled) nominal = archiveLength;
  return nominal;
}

int WritePieces(PieceWriterContext& ctx, plat::File& archive, const std::string& archiveName,
                const std::string& destination, int* piecesWritten) {
  plat::IUserInteraction* ui = ctx.ui;
  const int64_t length = archive.Size();
  if (piecesWritten) *piecesWritten = 0;
  if (length < 0) return 0;
  const int64_t nominal = NominalPieceSize(ctx.pieceSize, ctx.splitEnabled, length);
  const bool untilFull = ctx.splitMode == kSplitUntilFull;
  // What the platform reads as the drive's free space (clusters × sectors ×
  // bytes, in 64 bits).
  FreeSpaceFunction freeSpace = ctx.freeSpace ? ctx.freeSpace : FreeSpaceFunction(plat::FreeDiskSpace);
  auto ask = [&](const char* text, unsigned icon) {
    return ui ? ui->Message(text, ctx.caption, plat::kButtonsRetryCancel | icon) : plat::kAnswerCancel;
  };

  int written = 0;
  bool cancelled = false;
  std::string lastPath;
  Report(ctx.progress, ui, 0);
  for (;;) {
    int64_t position = archive.Position();
    if (position < 0) {
      cancelled = true;  // the archive itself failed: nothing sound to write
      break;
    }
    if (position >= length) break;
    Report(ctx.progress, ui, static_cast<int>(position * 100 / length));
    if (written > 0 && ui) ui->Message(kNextMediumText, ctx.caption, plat::kButtonsOk | plat::kIconInformation);
    const std::string path = destination + PieceName(false, written + 1, archiveName);
    // The folder itself rather than its drive: a volume mounted in a
    // folder, and paths without a drive letter, report their own space.
    const int64_t free = freeSpace(destination);
    int64_t pieceSize = nominal;
    int answer = 0;
    if (untilFull) {
      pieceSize = free > 0 ? free : 0;
      if (pieceSize == 0) answer = ask(kNoFreeSpaceText, plat::kIconError);
    } else if (free < nominal) {
      answer = ask(kNotEnoughFreeSpaceText, plat::kIconInformation);
    } else if (nominal == 0) {
      answer = ask(kNoFreeSpaceText, plat::kIconError);
    }
    if (answer == 0) {
      plat::File piece;
      if (!piece.Open(path, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
        answer = ask(kCannotCreatePieceText, plat::kIconError);
      } else {
        int copied = CopyFileData(archive, piece, pieceSize, nullptr, nullptr);
        plat::Error error = plat::LastError();
        bool closed = copied && piece.Flush();
        piece.Close();
        if (copied && closed) {
          ++written;
          lastPath = path;
          continue;
        }
        // A piece that lacks bytes must never be taken for a whole one:
        // remove it and write the same bytes again on the next medium.
        plat::DeleteFile(path);
        archive.Seek(position);
        answer = ask(error.kind == plat::ErrorKind::DiskFull ? kNoFreeSpaceText : kCannotCreatePieceText,
                     plat::kIconError);
      }
    }
    if (answer != plat::kAnswerRetry) {
      cancelled = true;
      break;
    }
  }
  if (piecesWritten) *piecesWritten = written;
  if (cancelled || written == 0) return 0;
  // An "e" piece of the same name left by an earlier export in the same
  // minute is replaced, so it cannot fail this one.
  const std::string lastName = destination + PieceName(true, written, archiveName);
  if (!plat::ReplaceFile(lastPath, lastName)) return 0;
  Report(ctx.progress, ui, 100);
  return 1;
}

int JoinPieces(const std::string& folder, const std::string& stamp, const std::string& output,
               plat::IUserInteraction& ui, const ProgressFunction& progress) {
  std::vector<plat::DirEntry> entries;
  plat::ListDirectory(folder, entries);
  int count = -1;
  for (const plat::DirEntry& e : entries) {
    if (e.name == "." || e.name == "..") continue;
    std::string stem = e.name;
    size_t dot = LastCharPos(stem, '.');
    if (dot != kNone) stem.resize(dot);
    if (stem.empty() || stem[0] != 'e' || stem.size() < 5) continue;
    if (!EqualNoCase(stem.substr(5), stamp)) continue;
    count = std::atoi(stem.substr(1, 3).c_str());
    break;
  }
  if (count <= 0) return 0;
  std::vector<std::string> pieces;
  for (int k = 1; k <= count; ++k) {
    std::string path = folder + PieceName(k == count, k, stamp + ".lzh");
    plat::FileStatus st;
    if (!plat::GetFileStatus(path, st) || st.isDirectory) return 0;
    pieces.push_back(path);
  }
  plat::File out;
  if (!out.Open(output, plat::Access::ReadWrite, plat::Disposition::CreateAlways, plat::kShareNone)) {
    ui.Message(kCannotCreateText, output, plat::kButtonsOk | plat::kIconError);
    return 0;
  }
  ProgressReporter throttle(progress, &ui);
  bool whole = true;
  for (int k = 1; k <= count; ++k) {
    throttle.Update(k * 100 / count);
    const std::string& path = pieces[k - 1];
    plat::File piece;
    if (!piece.Open(path, plat::Access::Read, plat::Disposition::OpenExisting, plat::kShareRead)) {
      ui.Message(kCannotOpenText, path, plat::kButtonsOk | plat::kIconError);
      whole = false;
      break;
    }
    if (!CopyFileData(piece, out, kCopyAll, nullptr, nullptr)) {
      // An archive short of a piece's bytes is no archive.
      ui.Message(kCannotCreateText, output, plat::kButtonsOk | plat::kIconError);
      whole = false;
      break;
    }
  }
  out.Close();
  return whole ? 1 : 0;
}

}  // namespace quz::transfer
