// The library entry: UNLHA32.DLL on Windows, libunlha32.so elsewhere.
//
//   int WINAPI Unlha(HWND window, LPCSTR commandLine, LPSTR output, DWORD size)
//
// The window is never used: the archiver asks nothing and shows nothing.
// The result is 0 on success and one of the CommandResult values otherwise;
// the output buffer receives the result's message (for "l", the listing),
// NUL-terminated and cut to `size` bytes.
#ifdef _WIN32
#include <windows.h>
#define UNLHA_EXPORT
#else
#define WINAPI
#define UNLHA_EXPORT __attribute__((visibility("default")))
using HWND = void*;
using LPCSTR = const char*;
using LPSTR = char*;
using DWORD = unsigned long;
#endif

#include <exception>
#include <new>
#include <string>

#include "archiver/command.h"

extern "C" UNLHA_EXPORT int WINAPI Unlha(HWND window, LPCSTR commandLine, LPSTR output, DWORD size) {
  (void)window;
  std::string message;
  int result;
  try {
    result = commandLine ? quz::lzh::RunCommand(commandLine, message) : quz::lzh::kResultBadCommandLine;
    if (!commandLine) message = "コマンドがありません";
  } catch (const std::bad_alloc&) {
    // Nothing may leave a C entry point.
    result = quz::lzh::kResultInputFailed;
    message = "メモリが足りません";
  } catch (...) {
    result = quz::lzh::kResultInputFailed;
    message = "処理を続けられません";
  }
  try {
    quz::lzh::CopyToBuffer(message, output, size);
  } catch (...) {
    if (output && size) output[0] = '\0';
  }
  return result;
}
