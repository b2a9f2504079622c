#pragma once

#include "portable/RuntimeError.h"

#include <string>

// The system's own wording for a Win32 error code, without the trailing line break.
std::string SystemErrorText(unsigned long code);

// Raises the run-time error for a Win32 error code (as returned by GetLastError).
[[noreturn]] void RaiseWin32Error(unsigned long code);
