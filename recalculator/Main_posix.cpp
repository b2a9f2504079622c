#include "Recalculator.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto files = zeltor::MakeNativeFileSystem();
    const int code = zeltor::Run(args, *files, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
