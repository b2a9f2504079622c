#pragma once

#include <string>

// Joins a folder and a name with exactly one backslash between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The folder of a path: C:\Trad of C:\Trad\juego.smc, but C:\ of C:\juego.smc (a root keeps
// its backslash); empty for a name alone.
std::string FolderOf(const std::string& path);
