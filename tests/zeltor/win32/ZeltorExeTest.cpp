// Drives the real Zeltor.exe the way the front-end does: the command line comes from
// BuildCommandLine, the ROM is named without folder, the program runs in that folder and is
// waited for with its standard error captured.
#include "tests/zeltor/win32/ZeltorExeSupport.h"
#include "win32/Owned.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

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
        {"first value given: the text was moved", "100", "25", true, "1080", 0,
         std::string("\x10\x80\x14\x80\x18\x80", 6), nullptr},
        {"first value typed the other way round", "100", "25", true, "8100", 9, std::nullopt,
         "ERROR 9: el primer puntero indicado es el de la entrada 0 con los bytes al revés (0081 "
         "en la ROM): revise «Valor del primer puntero» (con 0081 todo concuerda)."},
        {"table end one entry short", "100", "23", false, "", 9, std::nullopt,
         "ERROR 9: la tabla parece seguir después de su final: en 0x24 hay 0x810C"},
        {"value overflows 2 bytes", "100", "25", true, "ffff", 5, std::nullopt,
         "ERROR 5: la entrada 1 valdría 0x10003"},
        {"table end one byte short", "100", "24", false, "", 3, std::nullopt,
         "ERROR 3: la tabla mide 0x5 bytes"},
        // Options go before the ROM: written after it, they are a usage error, not logged.
        {"-h in the first value", "100", "25", true, "-h", 1, std::nullopt,
         "ERROR 1: «-h» está después de la ROM"},
        {"--dry-run as the text start", "--dry-run", "25", false, "", 1, std::nullopt,
         "ERROR 1: «--dry-run» está después de la ROM"},
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

        // One line: the error, or what was done.
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        if (c.err != nullptr) {
            EXPECT_EQ(lines.back().rfind(c.err, 0), 0u) << lines.back();
        } else {
            EXPECT_EQ(lines.back().rfind("Hecho: cambian ", 0), 0u) << lines.back();
            EXPECT_NE(lines.back().find("copia de seguridad «mi juego ñ.smc.bak»; registro «mi "
                                        "juego ñ.smc.zeltor.log»."),
                      std::string::npos)
                << lines.back();
        }
        EXPECT_LT(lines.back().size(), 300u);
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
            EXPECT_EQ(log.find("ERROR " + std::to_string(c.exitCode)) != std::string::npos,
                      c.exitCode != 1)
                << log;
        }
    }
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
        // Devices by name, with an extension too, which Windows ignores for them.
        {"CON 100 20 25 2 00", 6, "ERROR 6: no se puede abrir la ROM «CON»: es un dispositivo"},
        {"con.smc 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «con.smc»: es un dispositivo"},
        {"--dry-run CONIN$ 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «CONIN$»: es un dispositivo"},
        {"LPT1 100 20 25 2 00", 6, "ERROR 6: no se puede abrir la ROM «LPT1»: es un dispositivo"},
        {"com9.rom 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «com9.rom»: es un dispositivo"},
        // A name no file can have is not said not to exist.
        {std::string(300, 'x') + " 100 20 25 2 00", 6,
         "ERROR 6: no se puede abrir la ROM «xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…"
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx»: el nombre es demasiado largo."},
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
