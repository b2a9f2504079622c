// Drives the real Zeltor.exe the way the front-end does: the command line comes from
// BuildCommandLine, the ROM is named without folder, the program runs in that folder and is
// waited for with its standard error captured.
#include "request/CommandLine.h"
#include "request/RecalcRequest.h"
#include "request/win32/Launch.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Outcome {
    DWORD code = 0xFFFFFFFF;
    std::string err; // standard error, which the front-end shows
    DWORD milliseconds = 0;
};

// Runs the line as the front-end does (in the program's folder, standard error captured,
// waited for), and times it.
Outcome RunAndWait(const std::string& program, const std::string& commandLine) {
    Outcome outcome;
    const ULONGLONG start = GetTickCount64();
    const std::optional<RecalculatorExit> exit = RunRecalculator({program, commandLine, {}});
    outcome.milliseconds = static_cast<DWORD>(GetTickCount64() - start);
    if (exit) {
        outcome.code = exit->code;
        outcome.err = exit->errorOutput;
    }
    return outcome;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Copies Zeltor.exe into a fresh folder, as the front-end's folder would hold it.
std::string FolderWithZeltor(const TempFolder& temp, const std::string& name) {
    std::string folder = temp.MakeFolder(name);
    EXPECT_TRUE(CopyFileW(Widen(TestFolder() + "\\Zeltor.exe").c_str(),
                          Widen(folder + "\\Zeltor.exe").c_str(), FALSE));
    return folder;
}

// Three strings at 0x100 ("uno", "dos", "tres"); a 2-byte table at 0x20 that still points
// to older, longer strings.
std::string SampleRom() {
    std::string rom(0x400, '\xEE');
    rom.replace(0x100, 13, std::string("uno\0dos\0tres\0", 13));
    rom.replace(0x20, 6, std::string("\x00\x81\x06\x81\x0C\x81", 6));
    return rom;
}

struct Case {
    const char* name;
    std::string textStart, tableEnd;
    bool firstPointerGiven;
    const char* firstPointer;
    DWORD exitCode;
    std::optional<std::string> table; // the six bytes at 0x20 afterwards
    const char* err;                  // the start of the last line on stderr, if any
};

// What the front-end will read: the exit code, and on stderr only warnings (on success) or one
// error line, last, each under 300 characters.
TEST(ZeltorExe, RewritesTheTableFromTheFrontEndsCommandLine) {
    const Case cases[] = {
        {"first value kept", "100", "25", false, "", 0, std::string("\x00\x81\x04\x81\x08\x81", 6),
         nullptr},
        {"first value given", "100", "25", true, "1080", 0,
         std::string("\x10\x80\x14\x80\x18\x80", 6),
         "Aviso: el primer valor indicado, 1080 (0x8010), no es el que tiene ahora la entrada 0, "
         "0081 (0x8100); todas las entradas"},
        {"first value typed the other way round", "100", "25", true, "8100", 0,
         std::string("\x81\x00\x85\x00\x89\x00", 6),
         "Aviso: el primer valor indicado, 8100 (0x0081), no es el que tiene ahora la entrada 0, "
         "0081 (0x8100); parece escrito con los bytes al revés"},
        {"value overflows 2 bytes", "100", "25", true, "ffff", 5, std::nullopt,
         "ERROR 5: la entrada 1 valdría 0x10003"},
        {"table end one byte short", "100", "24", false, "", 3, std::nullopt,
         "ERROR 3: la tabla mide 0x5 bytes"},
        {"-h in the first value", "100", "25", true, "-h", 2, std::nullopt, "ERROR 2: FIRST «-h»"},
        {"--dry-run as the text start", "--dry-run", "25", false, "", 2, std::nullopt,
         "ERROR 2: TEXTSTART «--dry-run»"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        // Non-ASCII and spaces in both the folder and the ROM's name.
        const std::string folder = FolderWithZeltor(temp, "Traducción ñ");
        const std::string romName = "mi juego ñ.smc";
        const std::string rom = folder + "\\" + romName;
        const std::string original = SampleRom();
        temp.Write("Traducción ñ\\" + romName, original);

        RecalcRequest f;
        f.appFolder = folder;
        f.romName = romName;
        f.textStart = c.textStart;
        f.tableStart = "20";
        f.tableEnd = c.tableEnd;
        f.pointerSize = "2";
        f.separator = "00";
        if (c.firstPointerGiven) {
            f.firstPointer = c.firstPointer;
        }
        const Outcome run = RunAndWait(RecalculatorPath(folder), RecalcCommandLine(f));
        EXPECT_EQ(run.code, c.exitCode) << run.err;

        const std::vector<std::string> lines = Lines(run.err);
        EXPECT_EQ(lines.size(), c.err != nullptr ? 1u : 0u) << run.err;
        if (c.err != nullptr && !lines.empty()) {
            EXPECT_EQ(lines.back().rfind(c.err, 0), 0u) << lines.back();
            EXPECT_LT(lines.back().size(), 300u);
        }
        const std::string after = ReadWholeFile(rom);
        const std::string log = ReadWholeFile(rom + ".zeltor.log");
        if (c.table) {
            EXPECT_EQ(after.substr(0x20, 6), *c.table);
            EXPECT_EQ(after.substr(0, 0x20) + after.substr(0x26),
                      original.substr(0, 0x20) + original.substr(0x26));
            EXPECT_EQ(ReadWholeFile(rom + ".bak"), original);
            EXPECT_NE(log.find("Tabla escrita y comprobada"), std::string::npos) << log;
        } else {
            EXPECT_EQ(after, original);
            EXPECT_EQ(GetFileAttributesW(Widen(rom + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_NE(log.find("ERROR " + std::to_string(c.exitCode)), std::string::npos) << log;
        }
    }
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW(Widen(folder + "\\*").c_str(), &found));
    if (search.Valid()) {
        do {
            names.push_back(Narrow(found.cFileName));
        } while (FindNextFileW(search.Get(), &found));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A folder, a device or a missing name is no ROM: exit 6 at once and no file left behind; a
// table of about a billion entries in a 2 GiB - 1 file ends with exit 4, quickly.
TEST(ZeltorExe, RefusesWhatIsNoRomAndHugeTablesQuickly) {
    TempFolder temp;
    const std::string folder = FolderWithZeltor(temp, "roms");
    temp.MakeFolder("roms\\carpeta.smc");
    {
        const UniqueHandle huge(CreateFileW(Widen(folder + "\\huge.rom").c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(huge.Valid());
        LARGE_INTEGER size{};
        size.QuadPart = 0x7FFFFFFF;
        EXPECT_TRUE(SetFilePointerEx(huge.Get(), size, nullptr, FILE_BEGIN) &&
                    SetEndOfFile(huge.Get()));
    }
    const std::vector<std::string> before = Names(folder);
    struct Refused {
        std::string args;
        DWORD code;
        const char* err;
    };
    const Refused cases[] = {
        {"carpeta.smc 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «carpeta.smc»: es una carpeta"},
        {"--dry-run carpeta.smc 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «carpeta.smc»"},
        {"falta.smc 100 20 25 2 00", 6, "ERROR 6: no se puede abrir la ROM «falta.smc»: no existe"},
        {"NUL 100 20 25 2 00", 6, "ERROR 6: no se puede abrir la ROM «NUL»: es un dispositivo"},
        {"--dry-run huge.rom 7FFFFF00 0 7FFFFEFF 2 00", 4,
         "ERROR 4: la tabla tiene 1073741696 entradas, pero el archivo termina después de 255 "
         "cadenas"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome run =
            RunAndWait(RecalculatorPath(folder), "\"" + RecalculatorPath(folder) + "\" " + c.args);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_LT(run.milliseconds, 3000u);
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_EQ(Names(folder), before);
    }
}

} // namespace
