#include "portable/RuntimeError.h"
#include "request/CommandLine.h"
#include "request/win32/Launch.h"
#include "tests/support/ExampleRequest.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

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
// RecalcCommandLine makes, and gives back what it received.
std::vector<std::string> StartAndRead(const std::string& folder, RecalcRequest fields) {
    const std::string helper = TestFolder() + "\\zeltor_echo_args.exe";
    fields.appFolder = folder;
    const std::string program = RecalculatorPath(folder);
    EXPECT_TRUE(CopyFileW(Widen(helper).c_str(), Widen(program).c_str(), FALSE)) << helper;
    const std::optional<RecalculatorExit> exit =
        RunRecalculator({program, RecalcCommandLine(fields), {}});
    EXPECT_TRUE(exit.has_value() && exit->code == 0 && exit->errorOutput.empty());
    return Lines(ReadWholeFile(folder + "\\received.txt"));
}

TEST(StartRecalculator, PassesTheExampleLineExactly) {
    TempFolder dir;
    const auto got = StartAndRead(dir.Path(), ExampleRequest());
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[0], dir.Path() + "\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00");
    EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.begin() + 7),
              (std::vector<std::string>{"juego.smc", "1A000", "180A0", "183FF", "2", "00"}));
    EXPECT_EQ(got[7], "show=2"); // minimised and activated
    // In its own folder, where the ROM named without a folder was found, whatever ours is.
    EXPECT_EQ(got[8], "cwd=" + dir.Path());
}

TEST(StartRecalculator, KeepsARomNameWithASpaceAsOneArgument) {
    TempFolder dir;
    RecalcRequest f = ExampleRequest();
    f.romName = "mi juego (E).smc";
    f.firstPointer = "00a0";
    const auto got = StartAndRead(dir.Path(), f);
    ASSERT_EQ(got.size(), 10u);
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
    ASSERT_EQ(got.size(), 9u);
    EXPECT_EQ(got[0], "\"" + folder + "\\Zeltor.exe\" juego.smc 1A000 180A0 183FF 2 00");
    EXPECT_EQ(got[1], "juego.smc");
    EXPECT_EQ(GetFileAttributesW(Widen(dir.Sub("received.txt")).c_str()), INVALID_FILE_ATTRIBUTES)
        << "the decoy was started";
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
