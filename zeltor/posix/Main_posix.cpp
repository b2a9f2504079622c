#include "zeltor/Recalculator.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // Output to a closed pipe must not stop a run halfway, before the ROM is put right:
    // writes to stdout and stderr then just fail, and nothing depends on them.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto files = zeltor::MakeNativeFileSystem();
    return zeltor::Run(args, *files, std::cout, std::cerr);
}
