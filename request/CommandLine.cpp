#include "CommandLine.h"

#include "JoinPath.h"

namespace {
bool HasWhiteSpace(const std::string& text) {
    return text.find_first_of(" \t\n\v\r") != std::string::npos;
}
} // namespace

std::string QuoteArgument(const std::string& piece) {
    // An empty argument still counts: "" keeps every later argument in its place.
    if (!piece.empty() && !HasWhiteSpace(piece) && piece.find('"') == std::string::npos) {
        return piece;
    }
    // Backslashes are literal unless they precede a quote: then each one must be doubled,
    // and the quote itself escaped. Trailing backslashes precede the closing quote.
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : piece) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

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
