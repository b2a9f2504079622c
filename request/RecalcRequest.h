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
    std::string romFolder;      // the folder of the ROM that was chosen, where it is rewritten
    std::string shownRomName;   // the ROM's name as the window shows it: empty until chosen
    std::int32_t romLength = 0; // the chosen ROM's length in bytes
};

// What to start once every rule has passed.
struct RecalcLaunch {
    std::string program;     // the recalculator's path
    std::string commandLine; // the whole command line, the program's path first
    // Its working folder: the chosen ROM's, so that the ROM the command line names without a
    // folder is the file that was chosen and measured, and its backup and log land beside it.
    std::string folder;
};

// Either the message of the first rule that fails, or what to start.
struct RecalcOutcome {
    std::optional<std::string> message;
    RecalcLaunch launch; // when there is no message

    static RecalcOutcome Message(std::string text) { return {std::move(text), {}}; }
    bool IsMessage() const { return message.has_value(); }
};

// True when a search for the path (a file pattern) finds an ordinary file.
using FileExistsFn = std::function<bool(const std::string& path)>;

// Applies the fourteen rules in order and stops at the first that fails. Raises the
// overflow run-time error when an offset field does not fit a Long.
RecalcOutcome CheckRequest(const RecalcRequest& request, const FileExistsFn& fileExists);

// The recalculator's command line for the request: its path, then the fields as typed.
std::string RecalcCommandLine(const RecalcRequest& request);
