#include "engine/generations.h"

#include <algorithm>
#include <cstdio>

#include "platform/platform.h"

namespace quz {


int RecordGeneration(CGenerationIndex& index, const std::string& source,
                     const std::string& copyPath, int32_t maximum) {
  plat::LockGuard guard(index.Mutex());
  index.AddCopy(source, copyPath);
  return PruneGenerations(index, source, maximum);
}

int PruneGenerations(CGenerationIndex& index, const std::string& source, int32_t maximum) {
  if (maximum <= 0) return 0;
  plat::LockGuard guard(index.Mutex());
  CopyList* list = index.CopiesOf(source);
  if (!list) return 0;
  std::string path;
  for (CopyPair& pair : list->pairs) {
    if (pair.time != 0) continue;
    plat::FileStatus status;
    if (!index.CopyPath(pair.handle, &path)) continue;
    if (!plat::GetFileStatus(path, status))
      index.MarkRemoved(path);
    else
      pair.time = status.mtime;
  }
  // Newest first; copies that are missing (time 0) end up last.
  std::sort(list->pairs.begin(), list->pairs.end(), [](const CopyPair& a, const CopyPair& b) {
    if ((a.time == 0) != (b.time == 0)) return b.time == 0;
    return a.time > b.time;
  });
  if (static_cast<int64_t>(list->pairs.size()) <= maximum) return 0;
  while (static_cast<int64_t>(list->pairs.size()) > maximum) {
    CopyPair pair = list->pairs.back();
    list->pairs.pop_back();
    if (!index.CopyPath(pair.handle, &path)) continue;
    index.RemoveCopy(path);
    plat::DeleteFile(path);
    index.MarkRemoved(path);
  }
  return 1;
}

GenerationStats GetGenerationStats(CGenerationIndex& index) {
  GenerationStats stats;
  {
    plat::LockGuard guard(index.Mutex());
    stats.sources = index.SourceCount();
    stats.copies = index.CopyCount();
  }
  char text[48];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(stats.sources));
  stats.sourcesText = text;
  std::snprintf(text, sizeof text, "%d", static_cast<int>(stats.copies));
  stats.copiesText = text;
  double average = stats.sources > 0 ? static_cast<double>(stats.copies) / stats.sources : 0.0;
  std::snprintf(text, sizeof text, "%.01f世代", average);
  stats.averageText = text;
  return stats;
}

}  // namespace quz
