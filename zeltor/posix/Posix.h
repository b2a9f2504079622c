#pragma once

// What the two files of the Linux layer share.
#include "zeltor/Files.h"

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace zeltor::posix {

FileError FromErrno(int code);
// Why a file of this mode is no regular file.
FileError NotRegular(mode_t mode);

// FileSystem's calls of the same names (AppendText for the first).
bool AppendOwnFile(const std::string& path, const std::string& text, FileError& error);
NameKind Look(const std::string& path);
std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                              const std::string& suffix);
std::optional<std::string> RealPath(const std::string& path);

} // namespace zeltor::posix
