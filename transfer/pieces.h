// Split volumes: an export archive written to the destination as raw
// slices ("b001_<stamp>.lzh", "b002_...", the last one "e%03d_..."), so
// that it fits media smaller than the archive or a medium nearly full,
// and the joiner that rebuilds the archive once every piece has been
// gathered in one folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz::transfer {

// Free bytes on the medium that holds a path; negative when unknown.  The
// export asks the platform; tests make a medium "small" with their own.
using FreeSpaceFunction = std::function<int64_t(const std::string& path)>;
// Progress of a long operation: percentage and caption text.
using ProgressFunction = std::function<void(int percent, const std::string& caption)>;

// Split modes as "分割詳細設定1" stores them.
constexpr int kSplitUntilFull = 0;
constexpr int kSplitFixedSize = 1;

extern const char kNextMediumText[];
extern const char kNoFreeSpaceText[];
extern const char kNotEnoughFreeSpaceText[];
extern const char kCannotCreatePieceText[];
extern const char kCannotCreateText[];  // "ファイルを作れません"
extern const char kCannotOpenText[];    // "ファイルを開けません"
extern const char kBusyCaption[];       // "処理中"

// Reports progress, throttled, to `progress` or, when that is empty, to
// the interaction, with the caption "処理中".
class ProgressReporter {
 public:
  ProgressReporter(const ProgressFunction& progress, plat::IUserInteraction* ui)
      : progress_(progress), ui_(ui) {}
  void Update(int percent) {
    if (!throttle_.Due()) return;
    if (progress_)
      progress_(percent, kBusyCaption);
    else if (ui_)
      ui_->Progress(percent, kBusyCaption);
  }

 private:
  const ProgressFunction& progress_;
  plat::IUserInteraction* ui_;
  plat::ProgressThrottle throttle_;
};

struct PieceWriterContext {
  plat::IUserInteraction* ui = nullptr;
  std::string caption = "quz";  // caption of the writer's message boxes
  bool splitEnabled = false;
  int splitMode = kSplitUntilFull;  // any value but 0 means fixed size
  double pieceSize = 0;             // megabytes of 1,000,000 bytes
  FreeSpaceFunction freeSpace;      // empty: the platform's figure
  ProgressFunction progress;        // empty: the interaction's Progress
};

// The nominal piece size in bytes: the piece size in megabytes truncated to
// whole bytes, or the archive's length when splitting is off or the archive
// is shorter.
int64_t NominalPieceSize(double pieceSizeMb, bool splitEnabled, int64_t archiveLength);

// Writes `archive` (read from its current position, which should be 0) to
// `destination` (ending in "\") as pieces named after `archiveName`
// (export stamp plus ".lzh").  Every medium problem, a write that fails
// inside a piece included, is asked as a Retry/Cancel question; an
// incomplete piece is removed before the question so that no piece ever
// lacks bytes.  Returns 1 when every byte was written and the last piece
// carries its "e" name, 0 when cancelled or failed.  `piecesWritten`, when
// given, receives the number of complete pieces.
int WritePieces(PieceWriterContext& ctx, plat::File& archive, const std::string& archiveName,
                const std::string& destination, int* piecesWritten = nullptr);

// The piece names: "b%03d_%s" / "e%03d_%s" with the archive's file name.
std::string PieceName(bool last, int number, const std::string& archiveName);

// Rebuilds the archive of `stamp` from its pieces in `folder` (ending in
// "\") into `output`.  Returns 1 when every piece was appended, 0 when a
// piece is missing (no message), or the output or a piece could not be
// created, opened or written (a stop message with the path as caption).
int JoinPieces(const std::string& folder, const std::string& stamp, const std::string& output,
               plat::IUserInteraction& ui, const ProgressFunction& progress = nullptr);

}  // namespace quz::transfer
