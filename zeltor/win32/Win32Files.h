#pragma once

// What the two files of the Windows layer share.
#include "zeltor/Files.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zeltor::win32files {

FileError FromWin32(DWORD code);
FileError LastError();
// LastError, where Wine's "not found" for a name longer than the system allows says why.
FileError LastErrorFor(const std::wstring& path);
// CON, NUL, COM1...: device names in any folder and with any extension.
bool IsDeviceName(const std::wstring& path);
// What the handle is when it is not a regular file.
std::optional<Cause> NotAFile(HANDLE handle);

// FileSystem's calls of the same names (AppendText for the first).
bool AppendOwnFile(const std::string& path, const std::string& text, FileError& error);
NameKind Look(const std::string& path);
std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                              const std::string& suffix);
std::optional<std::string> RealPath(const std::string& path);

} // namespace zeltor::win32files
