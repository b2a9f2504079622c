#pragma once

#include "portable/RecalcArguments.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What the window shows at the moment "Recalcular punteros" is pressed, taken as it stands: the
// fields that reach the recalculator (the first pointer only while its box is ticked), and what
// the rules check them against.
struct RecalcRequest : RecalcFields {
    std::string appFolder;      // where the program, and by rule 2 the ROM, lie
    std::string shownRomName;   // the ROM's name as the window shows it: empty until chosen
    std::int32_t romLength = 0; // the chosen ROM's length in bytes
};

// Either the message of the first rule that fails, or what to start.
struct RecalcOutcome {
    std::optional<std::string> message;
    std::string program;     // the recalculator's path, when there is no message
    std::string commandLine; // the full command line, when there is no message

    static RecalcOutcome Message(std::string text) { return {std::move(text), {}, {}}; }
    bool IsMessage() const { return message.has_value(); }
};

// True when a search for the path (a file pattern) finds an ordinary file.
using FileExistsFn = std::function<bool(const std::string& path)>;

// Applies the fourteen rules in order and stops at the first that fails. Raises the
// overflow run-time error when an offset field does not fit a Long.
RecalcOutcome CheckRequest(const RecalcRequest& request, const FileExistsFn& fileExists);

// The recalculator's command line for the request: its path, then the fields as typed.
std::string RecalcCommandLine(const RecalcRequest& request);
