// Telling a file that is gone from one that cannot be reached just now.
//
// A status that fails does not mean the file was deleted: the disk may be
// unplugged, the share offline, the folder closed to the user for a while.
// Only "not found" from a drive or share that answers means gone.
#pragma once

#include <string>

#include "platform/platform.h"

namespace quz {

// The root of the drive or share that holds path: "C:\" or
// "\\server\share\"; empty when path names neither.
std::string VolumeRoot(const std::string& path);

// Whether the root of a drive or share (as VolumeRoot gives it) answers;
// when it does not, plat::LastError() says why.
bool VolumeReachable(const std::string& root);

// Whether path, whose status has just failed with `failure`, is really
// gone: the failure is "not found" and the root of its drive or share can
// be read.  Access denied, a sharing violation, a drive that is not there
// or not ready, a share that does not answer: not gone.  May change
// plat::LastError().
bool HasVanished(const std::string& path, const plat::Error& failure);

}  // namespace quz
