#pragma once

#include "request/ExitMessage.h"
#include "request/RecalcRequest.h"

#include <optional>

// Starts the recalculator minimised and activated, in the launch's folder (the program's own
// when none is given; never the front-end's current folder), with standard input on NUL and
// its standard output and error each going to a temporary file, deleted when it ends; it
// inherits those three handles and no other. Waits for it while the thread's window messages
// go on being dispatched, so the window keeps painting and answering. Gives nothing when the
// application is quitting (its window was closed meanwhile); the recalculator is then left to
// finish on its own. Raises the run-time error with the system's error number and description when
// it cannot be started.
std::optional<RecalculatorExit> RunRecalculator(const RecalcLaunch& launch);
