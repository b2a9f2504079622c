#pragma once

#include <string>
#include <string_view>

// Text is UTF-8 inside the program and UTF-16 only where it meets the Win32 API.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// UTF-16 text in another code page, such as the system's ANSI one (0) for the A functions.
std::string NarrowTo(std::wstring_view utf16, unsigned codePage);

// Bytes a console program wrote: kept when they are UTF-8, read in the system's ANSI code
// page otherwise.
std::string Utf8FromProgramOutput(std::string_view bytes);
