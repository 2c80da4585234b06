// quzctl: the console tool over quz's engine and its state files.
//
// Each verb lives in its own file and registers itself with a VerbRegistration;
// main() picks the verb by its name.  Arguments reach a verb already in the
// engine's encoding (code page 932).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quzctl {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

using VerbFunction = int (*)(const std::vector<std::string>& args);

struct Verb {
  const char* name;
  const char* usage;  // one line, after "quzctl "
  VerbFunction run;
};

std::vector<Verb>& Verbs();

struct VerbRegistration {
  explicit VerbRegistration(const Verb& verb) { Verbs().push_back(verb); }
};

// Prints "quzctl: usage: quzctl <usage>" on stderr and returns kExitUsage.
int UsageError(const Verb& verb);
int UsageError(const char* message);
// Prints engine text (code page 932) on stdout in the console's encoding.
void Print(const std::string& engineText);
void PrintLine(const std::string& engineText);
void PrintError(const std::string& engineText);

}  // namespace quzctl
