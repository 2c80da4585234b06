// CopyFileData: the block copy every byte of a backup, a restore, a
// fragment and an export goes through, with the disk-full rule.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/interaction.h"
#include "platform/platform.h"

namespace quz {

// Size of the copy buffer; each copy has its own.
constexpr int64_t kCopyBlock = 102400;
// The byte limit that means "up to the end of the source".
constexpr int64_t kCopyAll = -1;

// Copies from the current position of source to the current position of
// destination: everything up to the source's end, or at most `limit` bytes.
// Neither file is opened, closed or sought; both are left after the copied
// bytes.  Returns 1 on success, 0 when a write failed, the stop flag was
// set, or the source ended early or could not be read (a source that shrank
// meanwhile never yields padding: the copy just fails).
//
// A failed write with a stop flag that is still clear sets the flag and
// shows the disk-full warning through `ui` once; without a stop flag it is
// silent.  A failed read is always silent.
int CopyFileData(plat::File& source, plat::File& destination, int64_t limit,
                 std::atomic<int32_t>* stop, plat::IUserInteraction* ui = nullptr);

// Reads exactly count bytes from the current position; false when the file
// ends or fails first.
bool ReadFully(plat::File& file, char* buffer, int64_t count);

// The write-failure rule on its own, for engine writes made outside
// CopyFileData (fragment records): sets the stop flag and warns once.
void ReportWriteFailure(std::atomic<int32_t>* stop, plat::IUserInteraction* ui);

// The texts of the disk-full warning.
extern const char kDiskFullText[];
extern const char kDiskFullCaption[];

}  // namespace quz
