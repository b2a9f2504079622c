#include "portable/RuntimeError.h"
#include "request/RecalcRequest.h"

#include "tests/support/ExampleRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A folder that holds the recalculator and one ROM, searched without regard to case like
// the Windows file system. It records every search.
struct FakeFolder {
    std::set<std::string> files = {"c:\\trad\\zeltor.exe", "c:\\trad\\juego.smc"};
    std::vector<std::string> searched;

    bool operator()(const std::string& path) {
        searched.push_back(path);
        const std::string p = Lower(path);
        if (!p.empty() && p.back() == '\\') { // every file of that folder
            return std::any_of(files.begin(), files.end(),
                               [&](const std::string& f) { return f.rfind(p, 0) == 0; });
        }
        return files.count(p) != 0;
    }
};

struct RuleCase {
    const char* name;
    std::function<void(RecalcRequest&, FakeFolder&)> change;
    const char* message; // nullptr: every rule passes
};

const char* const kRule4 = "Error, por favor indicar dirección de inicio de texto";

const RuleCase kCases[] = {
    {"all valid", [](RecalcRequest&, FakeFolder&) {}, nullptr},
    {"recalculator missing",
     [](RecalcRequest& r, FakeFolder& d) {
         d.files.erase("c:\\trad\\zeltor.exe");
         r.textStart.clear();
     },
     "Por favor copie Zeltor.exe en el mismo directorio de esta aplicación."},
    {"rom from another folder", [](RecalcRequest& r, FakeFolder&) { r.romName = "otra.smc"; },
     "La ROM debe estar en el mismo directorio de esta aplicación."},
    {"no rom chosen",
     [](RecalcRequest& r, FakeFolder&) {
         r.romName.clear();
         r.shownRomName.clear();
         r.romLength = 0;
     },
     "Error, por favor indicar la ROM"},
    {"rom chosen, every field empty",
     [](RecalcRequest& r, FakeFolder&) {
         r.textStart.clear();
         r.tableStart.clear();
         r.tableEnd.clear();
         r.separator.clear();
     },
     kRule4},
    {"table start empty", [](RecalcRequest& r, FakeFolder&) { r.tableStart.clear(); },
     "Error, por favor indicar dirección de inicio de la tabla"},
    {"table end empty", [](RecalcRequest& r, FakeFolder&) { r.tableEnd.clear(); },
     "Error, por favor indicar dirección del fin de la tabla"},
    {"separator empty", [](RecalcRequest& r, FakeFolder&) { r.separator.clear(); },
     "Error, por favor indicar caracter separador"},
    {"separator of one character", [](RecalcRequest& r, FakeFolder&) { r.separator = "0"; },
     "Error, indicar un byte correcto como separador"},
    {"spaces are not empty",
     [](RecalcRequest& r, FakeFolder&) {
         r.textStart = " ";
         r.separator = "  ";
     },
     nullptr},
    {"text start at the rom's length", [](RecalcRequest& r, FakeFolder&) { r.textStart = "20000"; },
     nullptr},
    {"text start one past", [](RecalcRequest& r, FakeFolder&) { r.textStart = "20001"; },
     "Error, verifique la dirección de inicio de texto"},
    {"table start past", [](RecalcRequest& r, FakeFolder&) { r.tableStart = "20001"; },
     "Error, verifique el inicio de la tabla"},
    {"table end past", [](RecalcRequest& r, FakeFolder&) { r.tableEnd = "20001"; },
     "Error, verifique el fin de la tabla"},
    {"table start after end", [](RecalcRequest& r, FakeFolder&) { r.tableStart = "18400"; },
     "Dirección inicial debe ser menor a la final"},
    {"table start equal to end", [](RecalcRequest& r, FakeFolder&) { r.tableStart = "183FF"; },
     nullptr},
    {"lower-case offsets compare like upper-case",
     [](RecalcRequest& r, FakeFolder&) {
         r.tableStart = "183ff";
         r.tableEnd = "183FF";
     },
     nullptr},
    {"an earlier rule wins over a later overflow",
     [](RecalcRequest& r, FakeFolder&) {
         r.textStart = "20001";
         r.tableEnd = "80000000";
     },
     "Error, verifique la dirección de inicio de texto"},
    {"value asked for and empty", [](RecalcRequest& r, FakeFolder&) { r.firstPointer = ""; },
     "Error, por favor indicar valor del primer puntero"},
    {"value of 3 digits for size 2", [](RecalcRequest& r, FakeFolder&) { r.firstPointer = "0a0"; },
     "Indique un valor de puntero correcto"},
    {"value of 5 digits for size 3",
     [](RecalcRequest& r, FakeFolder&) {
         r.pointerSize = "3";
         r.firstPointer = "000a0";
     },
     "Indique un valor de puntero correcto"},
    {"value of 6 digits for size 3",
     [](RecalcRequest& r, FakeFolder&) {
         r.pointerSize = "3";
         r.firstPointer = "0000a0";
     },
     nullptr},
    {"value of 7 digits for size 4",
     [](RecalcRequest& r, FakeFolder&) {
         r.pointerSize = "4";
         r.firstPointer = "00000a0";
     },
     "Indique un valor de puntero correcto"},
    {"unknown size sets no bound",
     [](RecalcRequest& r, FakeFolder&) {
         r.pointerSize = "5";
         r.firstPointer = "1";
     },
     nullptr},
    {"value ignored while unchecked", [](RecalcRequest& r, FakeFolder&) { r.firstPointer.reset(); },
     nullptr},
};

TEST(CheckRequest, AppliesTheRulesInOrder) {
    for (const RuleCase& c : kCases) {
        RecalcRequest r = ExampleRequest();
        FakeFolder folder;
        c.change(r, folder);
        const RecalcOutcome outcome = CheckRequest(r, std::ref(folder));
        if (c.message == nullptr) {
            EXPECT_FALSE(outcome.IsMessage()) << c.name << ": " << outcome.message.value_or("");
            EXPECT_EQ(outcome.launch.program, "C:\\Trad\\Zeltor.exe") << c.name;
        } else {
            EXPECT_EQ(outcome.message.value_or("<no message>"), c.message) << c.name;
        }
    }
}

TEST(CheckRequest, SearchesForTheRecalculatorThenTheRom) {
    FakeFolder folder;
    CheckRequest(ExampleRequest(), std::ref(folder));
    EXPECT_EQ(folder.searched,
              (std::vector<std::string>{"C:\\Trad\\Zeltor.exe", "C:\\Trad\\juego.smc"}));

    // With no ROM chosen the second search is for the folder itself, which holds the
    // recalculator, so it passes and the empty caption is what gets reported.
    RecalcRequest none = ExampleRequest();
    none.romName.clear();
    none.shownRomName.clear();
    FakeFolder again;
    EXPECT_EQ(CheckRequest(none, std::ref(again)).message.value_or(""),
              "Error, por favor indicar la ROM");
    EXPECT_EQ(again.searched.at(1), "C:\\Trad\\");
}

TEST(CheckRequest, OverflowInAnOffsetEndsTheRequest) {
    for (auto change : {+[](RecalcRequest& r) { r.textStart = "80000000"; },
                        +[](RecalcRequest& r) { r.tableStart = "ffffffff"; },
                        +[](RecalcRequest& r) { r.tableEnd = "100000000"; }}) {
        RecalcRequest r = ExampleRequest();
        change(r);
        FakeFolder folder;
        try {
            CheckRequest(r, std::ref(folder));
            FAIL() << "expected the overflow error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), ErrorNumber::Overflow);
        }
    }
}

TEST(CheckRequest, BuildsTheCommandLineWithTheValueOnlyWhenChecked) {
    FakeFolder folder;
    RecalcRequest r = ExampleRequest();
    EXPECT_EQ(CheckRequest(r, std::ref(folder)).launch.commandLine,
              "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00");
    r.firstPointer = "00a0";
    EXPECT_EQ(CheckRequest(r, std::ref(folder)).launch.commandLine,
              "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00 00a0");
}

TEST(CheckRequest, StartsTheRecalculatorInTheChosenRomsFolder) {
    // The ROM was chosen in another folder; rule 2 still wants a namesake beside the program,
    // but the file rewritten is the one chosen: the command line names it without a folder.
    FakeFolder folder;
    RecalcRequest r = ExampleRequest();
    r.romFolder = "D:\\Otra carpeta";
    const RecalcOutcome outcome = CheckRequest(r, std::ref(folder));
    ASSERT_FALSE(outcome.IsMessage()) << *outcome.message;
    EXPECT_EQ(outcome.launch.program, "C:\\Trad\\Zeltor.exe");
    EXPECT_EQ(outcome.launch.folder, "D:\\Otra carpeta");
    EXPECT_EQ(outcome.launch.commandLine, "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00");
}

} // namespace
