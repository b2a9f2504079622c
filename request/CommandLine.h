#pragma once

#include "portable/QuoteArgument.h"

#include <string>

// The program's path as the first item of a command line: quoted only when it holds white
// space (the first item is read up to the next quote, without escapes).
std::string QuoteProgramPath(const std::string& path);

struct CommandLineFields {
    std::string appFolder;
    std::string romName;
    std::string textStart;
    std::string tableStart;
    std::string tableEnd;
    std::string pointerSize;
    std::string separator;
    bool firstPointerGiven = false;
    std::string firstPointer;
};

// The recalculator's file name; it lies in the application folder.
inline constexpr char kRecalculatorName[] = "Zeltor.exe";

// The recalculator's path in the application folder.
std::string RecalculatorPath(const std::string& appFolder);

// The path, the ROM name, the three offsets, the pointer size and the separator, and the
// first pointer's value only when firstPointerGiven is set, joined by single spaces as typed.
std::string BuildCommandLine(const CommandLineFields& fields);
