#include "request/CommandLine.h"

#include "portable/JoinPath.h"
#include "portable/QuoteArgument.h"

std::string QuoteProgramPath(const std::string& path) {
    return HasWhiteSpace(path) ? "\"" + path + "\"" : path;
}

std::string RecalculatorPath(const std::string& appFolder) {
    return JoinPath(appFolder, kRecalculatorName);
}

std::string BuildCommandLine(const CommandLineFields& f) {
    std::string line = QuoteProgramPath(RecalculatorPath(f.appFolder));
    for (const std::string* piece :
         {&f.romName, &f.textStart, &f.tableStart, &f.tableEnd, &f.pointerSize, &f.separator}) {
        line += ' ';
        line += QuoteArgument(*piece);
    }
    if (f.firstPointerGiven) {
        line += ' ';
        line += QuoteArgument(f.firstPointer);
    }
    return line;
}
