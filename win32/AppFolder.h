#pragma once

#include <string>

// The folder that holds the running program file, in UTF-8, without a trailing
// backslash except for the root of a drive ("C:\").
std::string AppFolder();
