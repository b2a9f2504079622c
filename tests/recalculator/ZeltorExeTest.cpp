// Drives the real Zeltor.exe the way the front-end does: the command line comes from
// BuildCommandLine, the ROM is named without folder and the program runs in that folder.
#include "CommandLine.h"
#include "TempFolder.h"
#include "Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Starts the line in `folder` and waits for the exit code.
DWORD RunAndWait(const std::string& program, const std::string& commandLine,
                 const std::string& folder) {
    std::wstring line = Widen(commandLine); // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(Widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        Widen(folder).c_str(), &startup, &process)) {
        ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
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
    bool ckValPunt;
    const char* txtValPunt;
    DWORD exitCode;
    std::optional<std::string> table; // the six bytes at 0x20 afterwards
};

TEST(ZeltorExe, RewritesTheTableFromTheFrontEndsCommandLine) {
    const Case cases[] = {
        {"first value kept", false, "", 0, std::string("\x00\x81\x04\x81\x08\x81", 6)},
        {"first value given", true, "1080", 0, std::string("\x10\x80\x14\x80\x18\x80", 6)},
        {"value overflows 2 bytes", true, "ffff", 5, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        // Non-ASCII and spaces in both the folder and the ROM's name.
        const std::string folder = temp.MakeFolder("Traducción ñ");
        ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\Zeltor.exe").c_str(),
                              Widen(folder + "\\Zeltor.exe").c_str(), FALSE));
        const std::string romName = "mi juego ñ.smc";
        const std::string rom = folder + "\\" + romName;
        const std::string original = SampleRom();
        temp.Write("Traducción ñ\\" + romName, original);

        CommandLineFields f;
        f.appFolder = folder;
        f.RomFileName = romName;
        f.txtInitext = "100";
        f.txtIniPunt = "20";
        f.txtFinPunt = "25";
        f.cboTam = "2";
        f.txtSeparador = "00";
        f.ckValPunt = c.ckValPunt;
        f.txtValPunt = c.txtValPunt;
        EXPECT_EQ(RunAndWait(RecalculatorPath(folder), BuildCommandLine(f), folder), c.exitCode);

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
            EXPECT_NE(log.find("ERROR 5"), std::string::npos) << log;
        }
    }
}

} // namespace
