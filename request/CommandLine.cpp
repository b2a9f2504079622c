#include "request/CommandLine.h"

#include "portable/JoinPath.h"
#include "portable/QuoteArgument.h"

std::string QuoteProgramPath(const std::string& path) {
    return HasWhiteSpace(path) ? "\"" + path + "\"" : path;
}

std::string RecalculatorPath(const std::string& appFolder) {
    return JoinPath(appFolder, kRecalculatorName);
}

std::string BuildCommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = QuoteProgramPath(program);
    for (const std::string& arg : args) {
        line += ' ';
        line += QuoteArgument(arg);
    }
    return line;
}
