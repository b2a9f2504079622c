#pragma once

#include "portable/RuntimeError.h"

#include <string>
#include <string_view>

// The system's own wording for a Win32 error code, without the trailing line break. Its
// inserts (the %1 of "%1 is not a valid Win32 application") name `subject`, the file or
// program the error is about; without one they are left out. No placeholder is ever shown.
std::string SystemErrorText(unsigned long code, std::string_view subject = {});

// Raises the run-time error for a Win32 error code (as returned by GetLastError), its
// description naming `subject` where the system's wording has a place for it.
[[noreturn]] void RaiseWin32Error(unsigned long code, std::string_view subject = {});
