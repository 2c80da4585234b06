// The user interaction of the export and import verbs: messages on stderr,
// questions answered on stdin.  The medium questions of the piece writer
// wait for the user to change the medium; at the end of the input a
// Retry/Cancel question is cancelled (retrying unattended could only loop).
#pragma once

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/verbs.h"
#include "platform/interaction.h"
#include "platform/platform.h"

namespace quzctl {

class MediaConsoleInteraction : public plat::IUserInteraction {
 public:
  // Texts of OK boxes after which the user must act before going on.
  explicit MediaConsoleInteraction(std::string waitText = std::string()) : waitText_(std::move(waitText)) {}

  int Message(const std::string& text, const std::string& caption, unsigned style) override {
    std::string shown = caption + ": " + Flatten(text);
    unsigned buttons = style & plat::kButtonsMask;
    if (buttons == plat::kButtonsOk) {
      if (!waitText_.empty() && text == waitText_) {
        PrintErr(shown + " [Enter] ");
        std::string line;
        ReadLine(&line);
        return plat::kAnswerOk;
      }
      PrintErr(shown + "\n");
      return plat::kAnswerOk;
    }
    std::string line;
    if (buttons == plat::kButtonsRetryCancel) {
      PrintErr(shown + " [r/c] ");
      if (!ReadLine(&line)) return plat::kAnswerCancel;
      return FirstLetter(line) == 'r' ? plat::kAnswerRetry : plat::kAnswerCancel;
    }
    bool yesNo = buttons == plat::kButtonsYesNo || buttons == plat::kButtonsYesNoCancel;
    PrintErr(shown + (yesNo ? " [y/n] " : " [o/c] "));
    if (!ReadLine(&line)) return yesNo ? plat::kAnswerNo : plat::kAnswerCancel;
    if (yesNo) return FirstLetter(line) == 'y' ? plat::kAnswerYes : plat::kAnswerNo;
    return FirstLetter(line) == 'o' ? plat::kAnswerOk : plat::kAnswerCancel;
  }

  plat::OverwriteAnswer AskOverwrite(const plat::OverwriteQuestion&) override { return plat::OverwriteAnswer::No; }
  void Progress(int, const std::string&) override {}

  static void PrintErr(const std::string& engineText) {
    std::string t = plat::EngineToConsole(engineText);
    std::fwrite(t.data(), 1, t.size(), stderr);
    std::fflush(stderr);
  }

 private:
  static char FirstLetter(const std::string& line) {
    return line.empty() ? ' ' : static_cast<char>(line[0] | 0x20);
  }
  static std::string Flatten(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\r') continue;
      out += c == '\n' ? ' ' : c;
    }
    return out;
  }
  static bool ReadLine(std::string* line) {
    if (!std::getline(std::cin, *line)) {
      PrintErr("\n");
      return false;
    }
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }

  std::string waitText_;
};

}  // namespace quzctl
