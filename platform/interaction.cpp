#include "platform/interaction.h"

#include "platform/platform.h"

namespace plat {

int FirstButtonAnswer(unsigned style) {
  switch (style & kButtonsMask) {
    case kButtonsAbortRetryIgnore: return kAnswerAbort;
    case kButtonsYesNoCancel:
    case kButtonsYesNo: return kAnswerYes;
    case kButtonsRetryCancel: return kAnswerRetry;
    default: return kAnswerOk;
  }
}

bool ProgressThrottle::Due() {
  const uint32_t now = TickCount();
  if (started_ && now - last_ < kIntervalMs) return false;
  started_ = true;
  last_ = now;
  return true;
}

void ScriptedInteraction::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

void ScriptedInteraction::QueueOverwrite(OverwriteAnswer answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  overwriteAnswers_.push_back(answer);
}

int ScriptedInteraction::Message(const std::string& text, const std::string& caption,
                                 unsigned style) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back({text, caption, style});
  if (!answers_.empty()) {
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  ++unscripted_;
  return defaultAnswer_ != 0 ? defaultAnswer_ : FirstButtonAnswer(style);
}

OverwriteAnswer ScriptedInteraction::AskOverwrite(const OverwriteQuestion& question) {
  std::lock_guard<std::mutex> lock(mutex_);
  questions_.push_back(question);
  if (!overwriteAnswers_.empty()) {
    OverwriteAnswer answer = overwriteAnswers_.front();
    overwriteAnswers_.pop_front();
    return answer;
  }
  ++unscripted_;
  return defaultOverwrite_;
}

void ScriptedInteraction::Progress(int percent, const std::string& caption) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_.emplace_back(percent, caption);
}

std::vector<ScriptedInteraction::Shown> ScriptedInteraction::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

std::vector<OverwriteQuestion> ScriptedInteraction::OverwriteQuestions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return questions_;
}

std::vector<std::pair<int, std::string>> ScriptedInteraction::ProgressReports() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return progress_;
}

int ScriptedInteraction::UnscriptedAnswers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unscripted_;
}

}  // namespace plat
