#pragma once

#include <string>

namespace zeltor {

// What --help prints: every line fits a console of 80 columns.
std::string HelpText();
// At most five lines: what the program does and how to call it.
std::string UsageText();

} // namespace zeltor
