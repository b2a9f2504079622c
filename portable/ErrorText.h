#pragma once

#include "portable/RuntimeError.h"

#include <string>
#include <string_view>

// Every text the program shows for a run-time error, written in one place.

// "Error:N - description": a failure that no error trap caught.
std::string UntrappedErrorText(const RuntimeError& error);

// The recalculation's error trap: the overflow of an offset is a mistake in the addresses;
// anything else is unexpected, and the user is asked to report it to `contact`.
std::string RecalculationErrorText(const RuntimeError& error, std::string_view contact);

// The ROM selection's error trap: the number followed at once by the description.
std::string RomSelectionErrorText(const RuntimeError& error);

// A system message with its inserts filled: each %1 to %99 (with any !format! after it) becomes
// `subject`, the file or program the error is about. Without a subject an insert is left out,
// with the space before it, so that no placeholder ever reaches the user.
std::string FillInserts(std::string_view message, std::string_view subject);
