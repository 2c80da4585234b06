#include <cstring>

#include "app/error_log.h"
#include "cli/verbs.h"
#include "platform/exceptions.h"
#include "platform/platform.h"

namespace quzctl {


std::vector<Verb>& Verbs() {
  static std::vector<Verb> verbs;
  return verbs;
}

int UsageError(const Verb& verb) {
  std::fprintf(stderr, "quzctl: usage: quzctl %s\n", verb.usage);
  return kExitUsage;
}

int UsageError(const char* message) {
  std::fprintf(stderr, "quzctl: %s\n", message);
  return kExitUsage;
}

void Print(const std::string& engineText) {
  std::string text = plat::EngineToConsole(engineText);
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintLine(const std::string& engineText) {
  Print(engineText);
  std::fputc('\n', stdout);
}

void PrintError(const std::string& engineText) {
  std::string text = plat::EngineToConsole(engineText);
  std::fprintf(stderr, "quzctl: %s\n", text.c_str());
}

}  // namespace quzctl

int main(int argc, char** argv) {
  using namespace quzctl;
  // An exception caught in one of the verb's threads: on the console, and
  // in the error log as the resident program keeps it.
  plat::SetExceptionHandler([](const std::string& where, const std::string& what) {
    PrintError(where + ": " + what);
    quz::AppendErrorLog(where, what);
  });
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    std::FILE* out = argc < 2 ? stderr : stdout;
    std::fprintf(out, "usage:\n");
    for (const Verb& v : Verbs()) std::fprintf(out, "  quzctl %s\n", v.usage);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  for (const Verb& v : Verbs()) {
    if (std::strcmp(argv[1], v.name) != 0) continue;
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
      std::string engine;
      if (!plat::ConsoleToEngine(argv[i], engine))
        return UsageError("an argument has no code page 932 form");
      args.push_back(engine);
    }
    int rc = v.run(args);
    std::fflush(stdout);
    return rc;
  }
  std::fprintf(stderr, "quzctl: unknown verb '%s' (quzctl --help lists them)\n", argv[1]);
  return kExitUsage;
}
