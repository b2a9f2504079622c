#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

namespace zeltor {

// One exit code per class of outcome; --help and the README list them.
enum class Exit : int {
    Ok = 0,            // recalculated, or nothing to change, or a dry run that would succeed
    Usage = 1,         // wrong number of arguments, or an unknown option
    BadField = 2,      // a hexadecimal field is bad, or SIZE is not 2, 3 or 4
    BadTable = 3,      // table reversed, not whole entries, outside the file, overlapping text,
                       // or too large for the memory at hand
    TextTooShort = 4,  // the file ends before N strings are found
    Overflow = 5,      // a new value does not fit in SIZE bytes, or a string lies where its
                       // pointer cannot reach: past the bank a 2-byte pointer stays in, or
                       // where the console does not see the file
    CannotOpen = 6,    // the ROM cannot be opened (for writing, unless --dry-run), or is
                       // not a regular file
    WriteFailed = 7,   // backup, write or check failed; the ROM was left as it was
    RestoreFailed = 8, // a write failed and the original bytes could not be put back
    LooksWrong = 9,    // the fields look mistaken (separator, first pointer, table's end,
                       // values that are no pointers): nothing written; --force writes anyway
    Note = 10,         // the note of an interrupted run cannot be believed, or something else
                       // holds its name: nothing written; the ROM may well be fine
    Replaced = 11,     // written, but the ROM's name now names another file, which was not
                       // touched: the recalculation must be run again
};

// Why a run stops before it writes anything.
struct Refusal {
    Exit code;
    std::string message;
};

inline Refusal Bad(Exit code, std::string message) {
    return Refusal{code, std::move(message)};
}

// "ERROR 3: ...": the line stderr ends with, written here and nowhere else. The stream forms
// ask for no memory of their own, for a run that has none left; the start alone is for a line
// written in pieces.
inline std::ostream& PutErrorStart(std::ostream& out, Exit code) {
    return out << "ERROR " << static_cast<int>(code) << ": ";
}

inline std::ostream& PutErrorLine(std::ostream& out, Exit code, std::string_view message) {
    return PutErrorStart(out, code) << message << ".";
}

inline std::string ErrorLine(const Refusal& refusal) {
    std::ostringstream line;
    PutErrorLine(line, refusal.code, refusal.message);
    return line.str();
}

} // namespace zeltor
