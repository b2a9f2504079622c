#pragma once

#include <string>

// Starts the recalculator minimised and activated, in the front-end's current folder,
// and returns without waiting for it. Raises the run-time error with the system's error
// number and description when it cannot be started.
void StartRecalculator(const std::string& program, const std::string& commandLine);
