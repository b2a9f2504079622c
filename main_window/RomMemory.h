#pragma once

#include <optional>
#include <string>

// What the window remembers of a ROM: the values of its last recalculation that Zeltor.exe
// carried out, as the fields held them. Kept in an ini file beside the program, one section
// per ROM, named by the ROM's full path: a namesake in another folder is another ROM.
struct RomValues {
    std::optional<std::string> textStart;
    std::optional<std::string> tableStart;
    std::optional<std::string> tableEnd;
    std::optional<std::string> pointerSize; // "2", "3" or "4"
    std::optional<std::string> separator;
    std::optional<bool> firstPointerGiven;
    std::optional<std::string> firstPointer;
};

// The file's name, in the application's folder.
inline constexpr char kRomMemoryFile[] = "ZeltorIGU.ini";

// The ROM's section. A value that could not have been typed into its field (not hexadecimal,
// too long, a size other than 2, 3 or 4) is left out, each on its own; a missing file or
// section gives nothing at all.
RomValues RecallRomValues(const std::string& iniPath, const std::string& romPath);

// Writes the ROM's section. A file that cannot be written is no failure: remembering is a
// convenience, and the recalculation itself is done by then.
void RememberRomValues(const std::string& iniPath, const std::string& romPath,
                       const RomValues& values);
