#pragma once

#include "zeltor/Files.h"

#include <ostream>
#include <string>
#include <vector>

namespace zeltor {

// The whole program: parses, plans, backs up, writes, checks and reports. Returns the exit
// code. The report goes to `out` and to the log beside the ROM. `err` gets only what the
// translator should read: one line per warning, and on failure one error line, last.
int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err);

} // namespace zeltor
