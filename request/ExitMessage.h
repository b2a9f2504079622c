#pragma once

#include "request/RecalcRequest.h"

#include <cstdint>
#include <string>
#include <string_view>

// How a recalculator that was started came to an end.
struct RecalculatorExit {
    std::uint32_t code = 0;
    std::string errorOutput; // the end of what it wrote to standard error, in UTF-8
};

// At most the last 10 lines and 1,000 characters of a program's error output, whole lines
// where possible: the end is what names the cause (and, after a failed restore, the backup).
std::string LastLines(std::string_view text);

// The name of the log Zeltor.exe keeps beside the ROM when there is one there, or nothing. A
// search that fails counts as no log: it must not turn the outcome into an error.
std::string LogBesideRom(const RecalcRequest& request, const FileExistsFn& fileExists);

// What the window says once the recalculator has ended: success, with any warnings it wrote,
// or that nothing was recalculated, with its exit code, its reason and, when `logName` is not
// empty, where its log is.
std::string ExitMessage(const RecalculatorExit& exit, const std::string& logName);
