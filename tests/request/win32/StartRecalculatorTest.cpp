#include "portable/RuntimeError.h"
#include "request/CommandLine.h"
#include "request/win32/Launch.h"
#include "tests/support/ExampleRequest.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        out.push_back(line);
    }
    return out;
}

// Puts the test recalculator in the folder as Zeltor.exe, runs it with the line
// RecalcCommandLine makes (in `workingFolder`, or its own without one), and gives back what it
// received.
std::vector<std::string> StartAndRead(const std::string& folder, RecalcRequest fields,
                                      const std::string& workingFolder = {}) {
    const std::string helper = TestFolder() + "\\zeltor_echo_args.exe";
    fields.appFolder = folder;
    const std::string program = RecalculatorPath(folder);
    EXPECT_TRUE(CopyFileW(Widen(helper).c_str(), Widen(program).c_str(), FALSE)) << helper;
    const std::optional<RecalculatorExit> exit =
        RunRecalculator({program, RecalcCommandLine(fields), workingFolder});
    EXPECT_TRUE(exit.has_value() && exit->code == 0 && exit->errorOutput.empty());
    return Lines(ReadWholeFile(folder + "\\received.txt"));
}

TEST(StartRecalculator, PassesTheExampleLineExactly) {
    TempFolder dir;
    const std::string roms = dir.MakeFolder("otra carpeta");
    const auto got = StartAndRead(dir.Path(), ExampleRequest(), roms);
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0], dir.Path() + "\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00");
    EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.begin() + 7),
              (std::vector<std::string>{"juego.smc", "1A000", "180A0", "183FF", "2", "00"}));
    EXPECT_EQ(got[7], "show=2"); // minimised and activated
    // In the folder it is given, where the ROM it names without a folder lies, whatever the
    // program's folder and ours are.
    EXPECT_EQ(got[8], "cwd=" + roms);
    // Standard input on NUL; standard output and error in files, which are cheap to write
    // to however much it says.
    EXPECT_EQ(got[9], "streams=char disk disk");
    // Without one, in its own folder: never in ours.
    EXPECT_EQ(StartAndRead(dir.Path(), ExampleRequest()).at(8), "cwd=" + dir.Path());
}

TEST(StartRecalculator, KeepsARomNameWithASpaceAsOneArgument) {
    TempFolder dir;
    RecalcRequest f = ExampleRequest();
    f.romName = "mi juego (E).smc";
    f.firstPointer = "00a0";
    const auto got = StartAndRead(dir.Path(), f);
    ASSERT_EQ(got.size(), 11u);
    EXPECT_EQ(got[1], "mi juego (E).smc");
    EXPECT_EQ(got[7], "00a0");
}

TEST(StartRecalculator, StartsFromAFolderWithASpace) {
    TempFolder dir;
    const std::string folder = dir.MakeFolder("Mis traducciones");
    // A decoy where an unquoted path would lead Windows first.
    CopyFileW(Widen(TestFolder() + "\\zeltor_echo_args.exe").c_str(),
              Widen(dir.Sub("Mis.exe")).c_str(), FALSE);
    const auto got = StartAndRead(folder, ExampleRequest());
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0], "\"" + folder + "\\Zeltor.exe\" juego.smc 1A000 180A0 183FF 2 00");
    EXPECT_EQ(got[1], "juego.smc");
    EXPECT_EQ(GetFileAttributesW(Widen(dir.Sub("received.txt")).c_str()), INVALID_FILE_ATTRIBUTES)
        << "the decoy was started";
}

TEST(StartRecalculator, PassesOnlyItsStandardHandles) {
    TempFolder dir;
    const std::string program = RecalculatorPath(dir.Path());
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\zeltor_echo_args.exe").c_str(),
                          Widen(program).c_str(), FALSE));
    // A handle of ours that any child started with inheritance could have: a file the child
    // writes to through its number, if it has it.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::string probe = dir.Sub("ours.txt");
    const UniqueHandle ours(CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    ASSERT_TRUE(ours.Valid());
    dir.Write("behaviour.txt",
              "inherited=" + std::to_string(reinterpret_cast<std::uintptr_t>(ours.Get())) + "\n");

    // The test can see a leak: a plain start with inheritance hands the file over.
    std::wstring line = L"\"" + Widen(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION plain{};
    ASSERT_TRUE(CreateProcessW(Widen(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW, nullptr, nullptr, &startup, &plain));
    const UniqueHandle plainProcess(plain.hProcess);
    const UniqueHandle plainThread(plain.hThread);
    ASSERT_EQ(WaitForSingleObject(plainProcess.Get(), 20000), WAIT_OBJECT_0);
    ASSERT_EQ(ReadWholeFile(probe), "heredado");

    SetFilePointer(ours.Get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(ours.Get());
    const std::optional<RecalculatorExit> exit =
        RunRecalculator({program, QuoteProgramPath(program), dir.Path()});
    ASSERT_TRUE(exit.has_value() && exit->code == 0);
    EXPECT_EQ(ReadWholeFile(probe), "") << "the recalculator was handed one of our handles";
}

TEST(StartRecalculator, MissingProgramRaisesErrorTwo) {
    TempFolder dir;
    const std::string program = RecalculatorPath(dir.Path());
    try {
        RunRecalculator({program, program + " juego.smc 0 0 0 2 00", dir.Path()});
        FAIL() << "expected a run-time error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::FileNotFound);
        EXPECT_FALSE(error.Description().empty());
    }
}

} // namespace
