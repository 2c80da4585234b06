// The user interaction of the export and import verbs: messages on stderr,
// questions answered on stdin.  The medium questions of the piece writer
// wait for the user to change the medium; at the end of the input a
// Retry/Cancel question is cancelled (retrying unattended could only loop).
#pragma once

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

#include "app/error_log.h"
#include "cli/verbs.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace quzctl {

// Console text of a message box: its lines joined by spaces.
inline std::string FlattenMessage(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c == '\n' ? ' ' : c;
  }
  return out;
}
// Engine text on stderr as it is, without a line end of its own.
inline void PrintPrompt(const std::string& engineText) {
  std::string t = plat::EngineToConsole(engineText);
  std::fwrite(t.data(), 1, t.size(), stderr);
  std::fflush(stderr);
}
// One answer line from stdin without its line end; false at the end of the
// input.
inline bool ReadAnswer(std::string* line) {
  if (!std::getline(std::cin, *line)) {
    PrintPrompt("\n");
    return false;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}
// The first letter of an answer, in lower case; ' ' for an empty one.
inline char AnswerLetter(const std::string& line) {
  return line.empty() ? ' ' : static_cast<char>(line[0] | 0x20);
}

// Prints each file an operation could not read, copy or record on stderr,
// "path: reason", and counts them: any of them makes the verb fail.
// Checks report from their own threads.
class FailurePrinter {
 public:
  quz::FailureReport Report() {
    return [this](const std::string& path, const std::string& reason) {
      std::lock_guard<std::mutex> lock(mutex_);
      PrintError(path + ": " + reason);
      ++count_;
    };
  }
  int Count() const { return count_.load(); }

 private:
  std::mutex mutex_;
  std::atomic<int> count_{0};
};

class MediaConsoleInteraction : public plat::IUserInteraction {
 public:
  // Texts of OK boxes after which the user must act before going on.
  explicit MediaConsoleInteraction(std::string waitText = std::string()) : waitText_(std::move(waitText)) {}

  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    std::string shown = caption + ": " + FlattenMessage(text);
    unsigned buttons = style & plat::kButtonsMask;
    if (buttons == plat::kButtonsOk) {
      if (!waitText_.empty() && text == waitText_) {
        PrintPrompt(shown + " [Enter] ");
        std::string line;
        ReadAnswer(&line);
        return plat::kAnswerOk;
      }
      PrintPrompt(shown + "\n");
      return plat::kAnswerOk;
    }
    std::string line;
    if (buttons == plat::kButtonsRetryCancel) {
      PrintPrompt(shown + " [r/c] ");
      if (!ReadAnswer(&line)) return plat::kAnswerCancel;
      return AnswerLetter(line) == 'r' ? plat::kAnswerRetry : plat::kAnswerCancel;
    }
    bool yesNo = buttons == plat::kButtonsYesNo || buttons == plat::kButtonsYesNoCancel;
    PrintPrompt(shown + (yesNo ? " [y/n] " : " [o/c] "));
    if (!ReadAnswer(&line)) return yesNo ? plat::kAnswerNo : plat::kAnswerCancel;
    if (yesNo) return AnswerLetter(line) == 'y' ? plat::kAnswerYes : plat::kAnswerNo;
    return AnswerLetter(line) == 'o' ? plat::kAnswerOk : plat::kAnswerCancel;
  }

  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion&) override { return plat::OverwriteAnswer::No; }
  void Progress(int, const std::string&) override {}

 private:
  std::string waitText_;
};

}  // namespace quzctl
