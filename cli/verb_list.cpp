// quzctl list: the catalogue as the target list shows it.
#include "catalogue/file_list.h"
#include "catalogue/file_list_file.h"
#include "cli/engine_state.h"
#include "cli/verbs.h"
#include "targets/cell_text.h"

namespace quzctl {
namespace {

int RunList(const std::vector<std::string>& args);

const Verb kList{"list", "list  (name, folder, size, save type; tab-separated, in catalogue order)",
                 RunList};
VerbRegistration registration(kList);

int RunList(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError(kList);
  quz::CFileList list;
  if (!quz::LoadFileList(list)) {
    PrintCatalogueUnreadable();
    return kExitFailed;
  }
  for (int32_t i = 0; i < list.Count(); ++i) {
    quz::FileEntry* e = list.EntryAt(i);
    if (!e || e->IsWithdrawn()) continue;
    PrintLine(quz::CellText(*e, quz::kColumnName) + "\t" + quz::CellText(*e, quz::kColumnFolder) +
              "\t" + quz::CellText(*e, quz::kColumnSize) + "\t" +
              quz::CellText(*e, quz::kColumnSaveType));
  }
  return kExitOk;
}

}  // namespace
}  // namespace quzctl
