#pragma once

#include <string>

// The folder that holds the running program file, in UTF-8, without a trailing
// backslash except for the root of a drive ("C:\").
std::string AppFolder();

// The full path of a file named by a path that may be relative: a name alone, as a shell or a
// console gives it, is taken in the current folder. Raises the system's error when it cannot
// be had.
std::string FullPath(const std::string& path);
