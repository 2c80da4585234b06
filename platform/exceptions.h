// Exceptions that reach a boundary of the program (a window or dialog
// procedure, a task run for a window's thread, a thread body) are caught
// there and handed to one replaceable handler, so that the failure is
// recorded and the program goes on.
#pragma once

#include <functional>
#include <string>

namespace plat {

// where: the boundary that caught it ("window procedure", "check thread");
// what: the exception's own text, or a note that it carried none.
using ExceptionHandler = std::function<void(const std::string& where, const std::string& what)>;

// Replaces the handler for every thread; null restores the default, which
// writes a line to the debugger output (stderr on the posix backend).
void SetExceptionHandler(ExceptionHandler handler);

// For catch blocks: describes the exception being handled and hands it to
// the handler.  Never throws; a handler that throws is ignored.
void ReportCurrentException(const char* where) noexcept;

// For catch blocks that report the failure their own way: the exception's
// own text, or a note that it carried none.
std::string DescribeCurrentException();

}  // namespace plat
