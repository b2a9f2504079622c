#include "portable/QuoteArgument.h"

bool HasWhiteSpace(const std::string& text) {
    return text.find_first_of(" \t\n\v\r") != std::string::npos;
}

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
