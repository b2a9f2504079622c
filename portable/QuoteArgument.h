#pragma once

#include <string>

// One argument as the C runtime and CommandLineToArgvW will read it back: unchanged when
// it is not empty and holds no white space and no double quote, otherwise quoted with the
// needed escapes. Both the front-end's command line and Zeltor.exe's log use it.
std::string QuoteArgument(const std::string& piece);

// True for the white space that separates arguments.
bool HasWhiteSpace(const std::string& text);
