// How engine operations talk to the user.
//
// The engine never opens a window itself: it hands every message, question,
// overwrite prompt and progress report to an IUserInteraction.  The Windows
// program implements it with message boxes and its dialogs; tests use
// ScriptedInteraction; quzctl answers on the console or by policy.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace plat {

// Buttons and icons, with the values of the Windows message box styles so
// that the win32 implementation passes them straight through.
enum : unsigned {
  kButtonsOk = 0x0,
  kButtonsOkCancel = 0x1,
  kButtonsAbortRetryIgnore = 0x2,
  kButtonsYesNoCancel = 0x3,
  kButtonsYesNo = 0x4,
  kButtonsRetryCancel = 0x5,
  kButtonsMask = 0xF,

  kIconError = 0x10,
  kIconQuestion = 0x20,
  kIconWarning = 0x30,  // the exclamation icon
  kIconInformation = 0x40,
  kIconMask = 0xF0,
};

// Answers, with the values Windows returns.
enum Answer : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerAbort = 3,
  kAnswerRetry = 4,
  kAnswerIgnore = 5,
  kAnswerYes = 6,
  kAnswerNo = 7,
};

// What the restore asks before it replaces an existing file.
struct OverwriteQuestion {
  std::string path;         // the existing file, code page 932
  int64_t currentSize = 0;  // the existing file
  int32_t currentTime = 0;
  bool newUnknown = false;  // the new file is rebuilt from fragments
  int64_t newSize = 0;
  int32_t newTime = 0;
};
enum class OverwriteAnswer { Yes, No, All };

class IUserInteraction {
 public:
  virtual ~IUserInteraction() = default;
  // A message box: text and caption in code page 932, `style` is buttons | icon.
  virtual int Message(const std::string& text, const std::string& caption, unsigned style) = 0;
  virtual OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) = 0;
  // Progress of a long operation: percent 0..100 and the caption text.
  virtual void Progress(int percent, const std::string& caption) = 0;

  bool Ask(const std::string& text, const std::string& caption) {
    return Message(text, caption, kButtonsYesNo | kIconQuestion) == kAnswerYes;
  }
};

// Answers from a script and records everything it was shown.  Thread-safe,
// since engine operations may run on worker threads.
class ScriptedInteraction : public IUserInteraction {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    unsigned style = 0;
  };

  // Answers are taken in order; when none is left, `defaultAnswer` is given
  // (0 = the first button of the box: Ok, Abort, Yes or Retry).
  void QueueAnswer(int answer);
  void QueueOverwrite(OverwriteAnswer answer);
  void SetDefaultAnswer(int answer) { defaultAnswer_ = answer; }
  void SetDefaultOverwrite(OverwriteAnswer answer) { defaultOverwrite_ = answer; }

  int Message(const std::string& text, const std::string& caption, unsigned style) override;
  OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
  void Progress(int percent, const std::string& caption) override;

  std::vector<Shown> Messages() const;
  std::vector<OverwriteQuestion> OverwriteQuestions() const;
  std::vector<std::pair<int, std::string>> ProgressReports() const;
  int UnscriptedAnswers() const;  // how many times the default was used

 private:
  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::deque<OverwriteAnswer> overwriteAnswers_;
  int defaultAnswer_ = 0;
  OverwriteAnswer defaultOverwrite_ = OverwriteAnswer::No;
  int unscripted_ = 0;
  std::vector<Shown> shown_;
  std::vector<OverwriteQuestion> questions_;
  std::vector<std::pair<int, std::string>> progress_;
};

// The answer a box gives for its first button.
int FirstButtonAnswer(unsigned style);

// Long operations report their progress at most once per 50 ms: each report
// repaints the progress window, and a report per file would cost more than
// small files take to copy.  The first report always passes.
class ProgressThrottle {
 public:
  static constexpr uint32_t kIntervalMs = 50;
  // True when a report may be made now; it then counts as made.
  bool Due();

 private:
  bool started_ = false;
  uint32_t last_ = 0;
};

}  // namespace plat
