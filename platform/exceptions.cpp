#include "platform/exceptions.h"

#include <cstdio>
#include <exception>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace plat {

namespace {
std::mutex handlerMutex;
ExceptionHandler& Handler() {
  static ExceptionHandler handler;
  return handler;
}

void WriteToDebugger(const std::string& where, const std::string& what) {
  std::string line = "quz: exception in " + where + ": " + what + "\n";
#ifdef _WIN32
  OutputDebugStringA(line.c_str());
#else
  std::fputs(line.c_str(), stderr);
#endif
}

}  // namespace

std::string DescribeCurrentException() {
  if (!std::current_exception()) return "no exception";
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an exception that is not a std::exception";
  }
}

void SetExceptionHandler(ExceptionHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  Handler() = std::move(handler);
}

void ReportCurrentException(const char* where) noexcept {
  try {
    std::string what = DescribeCurrentException();
    ExceptionHandler handler;
    {
      std::lock_guard<std::mutex> lock(handlerMutex);
      handler = Handler();
    }
    if (handler)
      handler(where, what);
    else
      WriteToDebugger(where, what);
  } catch (...) {
    // Nothing is left to tell: the boundary goes on regardless.
  }
}

}  // namespace plat
