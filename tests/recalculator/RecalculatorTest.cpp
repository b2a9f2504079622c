#include "RecalculatorTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using zeltor::Exit;
using namespace std::string_literals;

TEST(Fields, OffsetsAndFirstValue) {
    struct Case {
        std::string text;
        std::optional<std::uint32_t> offset;
    };
    const Case offsets[] = {{"0", 0u},
                            {"1a000", 0x1A000u},
                            {"FFFFFFFF", 0xFFFFFFFFu},
                            {"000000001F", 0x1Fu},
                            {"100000000", std::nullopt},
                            {"", std::nullopt},
                            {"1G", std::nullopt},
                            {"0x10", std::nullopt},
                            {" 10", std::nullopt}};
    for (const Case& c : offsets) {
        EXPECT_EQ(zeltor::ParseOffset(c.text), c.offset) << c.text;
    }
    struct LeCase {
        std::string text;
        unsigned size;
        std::optional<std::uint32_t> value;
    };
    const LeCase firsts[] = {{"00a0", 2, 0xA000u},     {"a0", 2, 0xA0u},
                             {"563412", 3, 0x123456u}, {"78563412", 4, 0x12345678u},
                             {"0a0", 2, std::nullopt}, {"000000", 2, std::nullopt},
                             {"", 2, std::nullopt},    {"zz00", 2, std::nullopt}};
    for (const LeCase& c : firsts) {
        EXPECT_EQ(zeltor::ParseLittleEndian(c.text, c.size), c.value) << c.text;
    }
}

struct MeaningCase {
    const char* name;
    std::uint32_t textStart, tableStart;
    unsigned size;
    std::uint8_t separator;
    std::vector<std::string> strings;
    std::vector<std::uint32_t> oldValues;
    std::optional<std::string> first;
    std::vector<std::uint32_t> expected;
};

std::string HexText(std::uint32_t v) {
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

TEST(Meaning, EachEntryIsFirstPlusItsStringsDistance) {
    const MeaningCase cases[] = {
        {"first value kept from entry 0; empty string counts",
         0x100,
         0x20,
         2,
         0x00,
         {"AB", "", "CDE"},
         {0x8100, 0x8105, 0x8106},
         std::nullopt,
         {0x8100, 0x8103, 0x8104}},
        {"3-byte FIRST read little endian",
         0x100,
         0x20,
         3,
         0x00,
         {"A", "BB"},
         {0, 0},
         "000001",
         {0x010000, 0x010002}},
        {"4-byte FIRST",
         0x100,
         0x20,
         4,
         0x00,
         {"XYZ", "W"},
         {0, 0},
         "78563412",
         {0x12345678, 0x1234567C}},
        {"FF separator, table after the text",
         0x10,
         0x200,
         2,
         0xFF,
         {"hola", "mundo"},
         {0x10, 0x99},
         std::nullopt,
         {0x10, 0x15}},
        {"text right after the table",
         0x104,
         0x100,
         2,
         0x00,
         {"x", "yy"},
         {0x4000, 0},
         std::nullopt,
         {0x4000, 0x4002}},
        {"separator byte inside text of another value",
         0x100,
         0x20,
         2,
         0x0A,
         {"a\0z"s, "b"},
         {7, 7},
         std::nullopt,
         {7, 11}},
    };
    for (const MeaningCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        const Bytes before =
            MakeRom(0x400, c.textStart, c.strings, c.separator, c.tableStart, c.size, c.oldValues);
        fs.files["rom.smc"] = before;
        const std::uint32_t tableEnd =
            c.tableStart + static_cast<std::uint32_t>(c.strings.size()) * c.size - 1;
        std::vector<std::string> args = {
            "rom.smc",         HexText(c.textStart),   HexText(c.tableStart),
            HexText(tableEnd), std::to_string(c.size), HexText(c.separator)};
        if (c.first) {
            args.push_back(*c.first);
        }
        const Outcome run = RunZeltor(fs, args);
        ASSERT_EQ(run.code, 0) << run.err;
        const Bytes& after = fs.files["rom.smc"];
        EXPECT_EQ(TableOf(after, c.tableStart, c.strings.size(), c.size), c.expected);
        // Nothing but the table changed.
        Bytes outsideTable = after;
        std::copy(before.begin() + c.tableStart, before.begin() + tableEnd + 1,
                  outsideTable.begin() + c.tableStart);
        EXPECT_EQ(outsideTable, before);
    }
}

struct RefusalCase {
    std::vector<std::string> args;
    Exit code;
};

// The base ROM: 0x400 bytes, three strings at 0x100, a 2-byte table at 0x20-0x25.
TEST(Refusals, EachClassHasItsCodeAndLeavesTheRomAsItWas) {
    const RefusalCase cases[] = {
        {{"rom.smc", "100", "20", "25", "2"}, Exit::Usage},
        {{"rom.smc", "100", "20", "25", "2", "00", "0000", "extra"}, Exit::Usage},
        {{"rom.smc", "100", "20", "25", "2", "00", "--force"}, Exit::Usage},
        {{"rom.smc", "1G", "20", "25", "2", "00"}, Exit::BadField},
        {{"rom.smc", "100", "", "25", "2", "00"}, Exit::BadField},
        {{"rom.smc", "100", "20", "100000000", "2", "00"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "5", "00"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "02", "00"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "2", "100"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "2", "0g"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "2", "00", "0a0"}, Exit::BadField},
        {{"rom.smc", "100", "20", "25", "2", "00", "000000"}, Exit::BadField},
        {{"rom.smc", "100", "25", "20", "2", "00"}, Exit::BadTable},     // end before start
        {{"rom.smc", "100", "20", "26", "2", "00"}, Exit::BadTable},     // 7 bytes
        {{"rom.smc", "100", "3FE", "401", "2", "00"}, Exit::BadTable},   // past the end
        {{"rom.smc", "22", "20", "25", "2", "00"}, Exit::BadTable},      // text inside table
        {{"rom.smc", "100", "FE", "103", "2", "00"}, Exit::BadTable},    // table runs into text
        {{"rom.smc", "100", "104", "10B", "2", "00"}, Exit::BadTable},   // text runs into table
        {{"rom.smc", "400", "20", "25", "2", "00"}, Exit::TextTooShort}, // text past the end
        {{"rom.smc", "100", "20", "27", "2", "00"}, Exit::TextTooShort}, // 4th string missing
        {{"rom.smc", "100", "20", "25", "2", "00", "ffff"}, Exit::Overflow},
        {{"rom.smc", "100", "20", "25", "2", "00", "feff"}, Exit::Overflow},
        {{"missing.smc", "100", "20", "25", "2", "00"}, Exit::CannotOpen},
        {{"locked.smc", "100", "20", "25", "2", "00"}, Exit::CannotOpen},
    };
    // No separator follows the third string, so a fourth is never found.
    Bytes base = MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {1, 2, 3});
    std::fill(base.begin() + 0x10D, base.end(), 0xEE);
    for (const RefusalCase& c : cases) {
        std::string line;
        for (const auto& a : c.args) {
            line += a + " ";
        }
        SCOPED_TRACE(line);
        FakeFileSystem fs;
        fs.files["rom.smc"] = base;
        fs.files["locked.smc"] = base;
        fs.readOnly.insert("locked.smc");
        const Outcome run = RunZeltor(fs, c.args);
        EXPECT_EQ(run.code, static_cast<int>(c.code)) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_EQ(fs.files["rom.smc"], base);
        EXPECT_EQ(fs.files["locked.smc"], base);
        EXPECT_EQ(fs.files.count("rom.smc.bak"), 0u);
        if (c.code != Exit::Usage && c.args[0] == "rom.smc") {
            EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find("ERROR " +
                                                          std::to_string(static_cast<int>(c.code))),
                      std::string::npos);
        }
    }
}

Bytes SampleRom() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
}
const std::vector<std::string> kSampleArgs = {"rom.smc", "100", "20", "25", "2", "00"};

TEST(Safety, BackupsNeverReplaceEarlierOnes) {
    FakeFileSystem fs;
    const Bytes original = SampleRom();
    fs.files["rom.smc"] = original;
    fs.files["rom.smc.bak"] = {'o', 'l', 'd'};
    ASSERT_EQ(RunZeltor(fs, kSampleArgs).code, 0);
    const Bytes afterFirst = fs.files["rom.smc"];
    auto withFirst = kSampleArgs;
    withFirst.push_back("0080");
    ASSERT_EQ(RunZeltor(fs, withFirst).code, 0);
    EXPECT_EQ(fs.files["rom.smc.bak"], (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(fs.files["rom.smc.bak1"], original);
    EXPECT_EQ(fs.files["rom.smc.bak2"], afterFirst);
    EXPECT_EQ(TableOf(fs.files["rom.smc"], 0x20, 3, 2),
              (std::vector<std::uint32_t>{0x8000, 0x8004, 0x8008}));
}

TEST(Safety, FailedWritesLeaveTheRomAsItWas) {
    struct Case {
        const char* name;
        void (*arm)(FakeFileSystem&);
        Exit code;
        bool backupKept;
    };
    const Case cases[] = {
        {"backup cannot be created", [](FakeFileSystem& f) { f.failCreate = true; },
         Exit::WriteFailed, false},
        {"table write stops midway", [](FakeFileSystem& f) { f.breakNextWriteAfter = 3; },
         Exit::WriteFailed, true},
        {"read-back differs", [](FakeFileSystem& f) { f.corruptReadBack = true; },
         Exit::WriteFailed, true},
        {"backup copy fails midway",
         [](FakeFileSystem& f) {
             f.faultPath = "rom.smc.bak";
             f.breakNextWriteAfter = 10;
         },
         Exit::WriteFailed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        fs.files["rom.smc"] = SampleRom();
        c.arm(fs);
        const Outcome run = RunZeltor(fs, kSampleArgs);
        EXPECT_EQ(run.code, static_cast<int>(c.code));
        EXPECT_EQ(fs.files["rom.smc"], SampleRom());
        EXPECT_EQ(fs.files.count("rom.smc.bak"), c.backupKept ? 1u : 0u);
    }
}

TEST(Safety, UnrecoverableWriteSaysWhereTheBackupIs) {
    FakeFileSystem fs;
    fs.files["rom.smc"] = SampleRom();
    fs.breakAllWrites = true;
    const Outcome run = RunZeltor(fs, kSampleArgs);
    EXPECT_EQ(run.code, static_cast<int>(Exit::RestoreFailed));
    EXPECT_EQ(fs.files["rom.smc.bak"], SampleRom());
    EXPECT_NE(run.err.find("rom.smc.bak"), std::string::npos);
    EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find("ERROR 8"), std::string::npos);
}

TEST(Safety, DryRunAndUpToDateTablesWriteNothing) {
    for (const bool upToDate : {false, true}) {
        FakeFileSystem fs;
        Bytes rom = SampleRom();
        if (upToDate) {
            rom =
                MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x104, 0x108});
        }
        fs.files["rom.smc"] = rom;
        fs.readOnly.insert("rom.smc"); // a dry run needs no write access
        auto args = kSampleArgs;
        if (!upToDate) {
            args.push_back("--dry-run");
        } else {
            fs.readOnly.clear();
        }
        const Outcome run = RunZeltor(fs, args);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(fs.files["rom.smc"], rom);
        EXPECT_EQ(fs.files.count("rom.smc.bak"), 0u);
        EXPECT_NE(run.out.find(upToDate ? "ya estaba al día" : "dry-run"), std::string::npos);
    }
}

TEST(Report, OneLinePerEntryToStdoutAndLog) {
    FakeFileSystem fs;
    fs.files["rom.smc"] = SampleRom();
    const Outcome run = RunZeltor(fs, kSampleArgs);
    ASSERT_EQ(run.code, 0);
    // index, table offset, old value, new value, string offset, length
    EXPECT_NE(run.out.find("       1  0x000022   0x0105     0x0104     0x000104   3\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Resumen: 3 entradas, 2 cambian, 1 quedan igual"), std::string::npos);
    EXPECT_NE(run.out.find("Copia de seguridad: rom.smc.bak"), std::string::npos);
    const std::string& log = fs.texts["rom.smc.zeltor.log"];
    EXPECT_NE(log.find(run.out), std::string::npos);
    EXPECT_EQ(log.rfind("=== ", 0), 0u);
}

TEST(Report, WarnsAboutDisorderAndSharedEntries) {
    struct Case {
        std::vector<std::uint32_t> old;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{0x100, 0x104, 0x108}, {}},
        {{0x100, 0x108, 0x104}, {"orden ascendente"}},
        {{0x100, 0x104, 0x100}, {"orden ascendente", "entradas 0, 2 apuntaban al mismo sitio"}},
        {{0x100, 0x100, 0x108}, {"entradas 0, 1 apuntaban al mismo sitio"}},
    };
    for (const Case& c : cases) {
        FakeFileSystem fs;
        fs.files["rom.smc"] = MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, c.old);
        const Outcome run = RunZeltor(fs, kSampleArgs);
        EXPECT_EQ(run.code, 0);
        EXPECT_NE(run.out.find(std::to_string(c.expected.size()) + " aviso(s)"), std::string::npos)
            << run.out;
        for (const std::string& w : c.expected) {
            EXPECT_NE(run.out.find(w), std::string::npos) << w;
        }
    }
}

} // namespace
