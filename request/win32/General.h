#pragma once

#include <string>

// True when a search for the path, taken as a file pattern, finds at least one ordinary
// file: not a folder, not hidden, not a system file. A path that ends in a backslash
// stands for every file in that folder. Before it returns, the window messages that are
// already waiting are dispatched once. A search that fails for another reason than
// "nothing there" raises the run-time error with the system's error number.
bool FileExists(const std::string& path);
