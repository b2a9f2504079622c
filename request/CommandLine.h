#pragma once

#include <string>
#include <vector>

// The program's path as the first item of a command line: quoted only when it holds white
// space (the first item is read up to the next quote, without escapes).
std::string QuoteProgramPath(const std::string& path);

// The recalculator's file name; it lies in the application folder.
inline constexpr char kRecalculatorName[] = "Zeltor.exe";

// The recalculator's path in the application folder.
std::string RecalculatorPath(const std::string& appFolder);

// The program's path and its arguments, joined by single spaces, each quoted only where the
// C runtime would otherwise split it or lose it.
std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args);
