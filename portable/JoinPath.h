#pragma once

#include <string>

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& folder, const std::string& name);
