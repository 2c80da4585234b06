// The target commands driven as the target window drives them: a view
// over a real catalogue whose selection the test sets, real checks on a
// thread of their own, the real dialogs acted on inside their modal loops,
// and message boxes and the shell answered by the script.  Windows only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/file_list.h"
#include "catalogue/generation_index.h"
#include "engine/check.h"
#include "platform/window.h"
#include "targets/target_commands.h"
#include "tests/support/window_test_support.h"

namespace quztest {

// What the window does for the commands, recorded; the selection is the
// test's.
class TestTargetView : public quz::ITargetView {
 public:
  TestTargetView(quz::CFileList& list, quz::CheckContext& checks) : list_(list), checks_(checks) {}
  HWND Owner() const override { return nullptr; }
  std::vector<int32_t> SelectedEntries() const override { return selected; }
  int32_t FocusedEntry() const override { return focused; }
  void RefreshList() override { ++refreshes; }
  void ForgetCells(int32_t entry) override { forgotten.push_back(entry); }
  void Repaint() override { ++repaints; }
  void ShowSaveTypeText(const std::string& text) override { saveTypeText = text; }
  bool StartCheck() override {
    ++checksRequested;
    return quz::StartFullCheck(checks_);
  }

  // Selects the rows of these paths, the last one focused.
  void Select(const std::vector<std::string>& paths) {
    selected.clear();
    focused = -1;
    for (const auto& p : paths) {
      const quz::FileEntry* e = list_.FindEntry(p);
      EXPECT_NE(e, nullptr) << p;
      if (!e) continue;
      selected.push_back(e->index);
      focused = e->index;
    }
  }

  std::vector<int32_t> selected;
  int32_t focused = -1;
  int refreshes = 0, repaints = 0, checksRequested = 0;
  std::vector<int32_t> forgotten;
  std::string saveTypeText;

 private:
  quz::CFileList& list_;
  quz::CheckContext& checks_;
};

// Runs each step inside the next modal loop of this thread, one after the
// other: a step that ends its dialog leaves the next step to the dialog (or
// box) that follows.
class ModalSteps {
 public:
  explicit ModalSteps(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) { Arm(); }
  // Every step ran.
  bool Done() const { return next_ == steps_.size() && waiting_.back()->Ran(); }

 private:
  void Arm() {
    if (next_ == steps_.size()) return;
    std::function<void()> step = steps_[next_++];
    waiting_.push_back(std::make_unique<WhileModal>([this, step] {
      Arm();
      step();
    }));
  }
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  std::vector<std::unique_ptr<WhileModal>> waiting_;
};

// The dialog whose modal loop runs, checked to be the one from `templateId`.
plat::Dialog& Shown(int templateId);
// Checks or clears a check box as a click does, with its notification.
void SetBox(HWND dialog, int id, bool checked);

class TargetCommands : public WindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Files and folders in the test's folder; folders end with "\".
  std::string MakeFile(const std::string& name, const std::string& data = "data");
  std::string MakeFolder(const std::string& name);
  bool WaitForChecks() { return quz::WaitForCheck(checks, 60000); }

  quz::RunState state;
  quz::CFileList list{&state};
  quz::CGenerationIndex index;
  quz::CheckContext checks{list, index, state};
  TestTargetView view{list, checks};
  quz::TargetCommandContext context{view, list, state};
};

}  // namespace quztest
