#pragma once

#include <string>

// Starts the recalculator minimised and activated, in its own folder, and returns without
// waiting for it. Its own folder is where the ROM was found: the command line names the ROM
// without a folder, and the front-end's current folder may be anywhere. Raises the run-time
// error with the system's error number and description when it cannot be started.
void StartRecalculator(const std::string& program, const std::string& commandLine);
