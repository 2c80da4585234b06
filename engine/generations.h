// Generations management: every normal-save copy is a generation of its
// source; beyond the maximum ("世代間理数", 0 = unlimited) the oldest
// copies are deleted.  Both operations hold the index's lock from start to
// end, so the loader thread never sees a half-pruned list.
#pragma once

#include <cstdint>
#include <string>

#include "app/settings_keys.h"
#include "catalogue/generation_index.h"

namespace quz {

// Records copyPath as the newest generation of source and prunes; returns
// what PruneGenerations returns.
int RecordGeneration(CGenerationIndex& index, const std::string& source,
                     const std::string& copyPath, int32_t maximum);

// Reads the times of copies not yet looked at (missing copies are marked
// removed), keeps the `maximum` newest and deletes the rest.  Returns 1
// when copies were deleted.
int PruneGenerations(CGenerationIndex& index, const std::string& source, int32_t maximum);

// The figures of the generations page: "復元可能ファイル数", "全ファイル数"
// and "平均世代数" ("%.01f世代"; "0.0世代" while nothing is saved).
struct GenerationStats {
  int32_t sources = 0;
  int32_t copies = 0;
  std::string sourcesText;
  std::string copiesText;
  std::string averageText;
};
GenerationStats GetGenerationStats(CGenerationIndex& index);

}  // namespace quz
