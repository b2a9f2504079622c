#include "portable/Utf8.h"
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/words/Help.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <utility>

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
        EXPECT_EQ(zeltor::ParseLittleEndian(c.text, *PointerSize::FromText(std::to_string(c.size))),
                  c.value)
            << c.text;
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

// Strings pair with the old table's distinct values in ascending order: string j goes with
// the j-th smallest value, whatever entries hold it.
TEST(Meaning, EachValueGetsTheFirstPlusItsStringsDistance) {
    const MeaningCase cases[] = {
        {"first value is the smallest old one; empty string counts",
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
         {0x8000, 0x8003},
         "000001",
         {0x010000, 0x010002}},
        {"4-byte FIRST",
         0x100,
         0x20,
         4,
         0x00,
         {"XYZ", "W"},
         {0x1000, 0x1004},
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
         {0x4000, 0x4005},
         std::nullopt,
         {0x4000, 0x4002}},
        {"separator byte inside text of another value",
         0x100,
         0x20,
         2,
         0x0A,
         {"a\0z"s, "b"},
         {7, 12},
         std::nullopt,
         {7, 11}},
        {"shared entries share their string",
         0x100,
         0x20,
         2,
         0x00,
         {"uno", "dos", "tres"},
         {0x100, 0x106, 0x100, 0x10C, 0x106},
         std::nullopt,
         {0x100, 0x104, 0x100, 0x108, 0x104}},
        {"an unordered table keeps its order",
         0x100,
         0x20,
         2,
         0x00,
         {"uno", "dos", "tres"},
         {0x10C, 0x100, 0x106},
         std::nullopt,
         {0x108, 0x100, 0x104}},
        {"unordered and shared, FIRST is the first string's pointer",
         0x100,
         0x20,
         3,
         0x00,
         {"uno", "dos", "tres"},
         {0x818010, 0x818000, 0x818010, 0x818008},
         "009081",
         {0x819008, 0x819000, 0x819008, 0x819004}},
        {"every entry shares one string",
         0x100,
         0x20,
         2,
         0x00,
         {"hola"},
         {0x8123, 0x8123, 0x8123},
         "0080",
         {0x8000, 0x8000, 0x8000}},
    };
    for (const MeaningCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        const Bytes before =
            MakeRom(0x400, c.textStart, c.strings, c.separator, c.tableStart, c.size, c.oldValues);
        fs.files["rom.smc"] = before;
        const std::uint32_t tableEnd =
            c.tableStart + static_cast<std::uint32_t>(c.oldValues.size()) * c.size - 1;
        std::vector<std::string> args = {
            "rom.smc",         HexText(c.textStart),   HexText(c.tableStart),
            HexText(tableEnd), std::to_string(c.size), HexText(c.separator)};
        if (c.first) {
            args.push_back(*c.first);
        }
        const Outcome run = RunZeltor(fs, args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const Bytes& after = fs.files["rom.smc"];
        EXPECT_EQ(TableOf(after, c.tableStart, c.oldValues.size(), c.size), c.expected);
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
        {{"-h", "rom.smc"}, Exit::Usage},
        {{"--dry-run", "--help"}, Exit::Usage},
        {{"rom.smc", "100", "20", "25", "2", "00", "--force"}, Exit::Usage},
        // Options go before the ROM: one written after it is a usage error that says so.
        {{"rom.smc", "100", "20", "25", "2", "00", "-h"}, Exit::Usage},
        {{"rom.smc", "100", "20", "25", "2", "00", "--dry-run"}, Exit::Usage},
        {{"rom.smc", "--dry-run", "20", "25", "2", "00"}, Exit::Usage},
        {{"rom.smc", "100", "20", "25", "2", "--help"}, Exit::Usage},
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
        {{"--dry-run", "missing.smc", "100", "20", "25", "2", "00"}, Exit::CannotOpen},
        {{"--dry-run", "rom.smc", "100", "20", "27", "2", "00"}, Exit::TextTooShort},
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
        const std::string error = "ERROR " + std::to_string(static_cast<int>(c.code)) + ": ";
        EXPECT_EQ(run.code, static_cast<int>(c.code)) << run.err;
        EXPECT_EQ(run.err.rfind(error, 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        EXPECT_EQ(fs.files["rom.smc"], base);
        EXPECT_EQ(fs.files["locked.smc"], base);
        EXPECT_EQ(fs.files.size(), 2u) << "no backup, no temporary file";
        // A log only beside a ROM that could be opened, and never from a dry run.
        const bool logged =
            c.code != Exit::Usage && c.code != Exit::CannotOpen && c.args[0] != "--dry-run";
        ASSERT_EQ(fs.texts.size(), logged ? 1u : 0u);
        if (logged) {
            EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(error), std::string::npos);
        }
    }
    for (const char* help : {"--help", "-h", "/?"}) {
        FakeFileSystem fs;
        const Outcome run = RunZeltor(fs, {help});
        EXPECT_EQ(run.code, 0);
        EXPECT_NE(run.out.find("Uso: Zeltor [opciones] ROM"), std::string::npos);
    }
}

// Without arguments, a few lines of usage where a console shows them; --help fits a console of
// 80 columns, and neither names the fields otherwise than the window does.
TEST(Refusals, UsageAndHelpFitAConsole) {
    FakeFileSystem fs;
    const Outcome bare = RunZeltor(fs, {});
    EXPECT_EQ(bare.code, 1);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err, zeltor::UsageText());
    EXPECT_LE(std::count(bare.err.begin(), bare.err.end(), '\n'), 5);
    std::istringstream help(zeltor::HelpText());
    for (std::string line; std::getline(help, line);) {
        EXPECT_LE(CharCount(line), 80u) << line;
        for (const char* word : {"TEXTSTART", "TABLESTART", "TABLEEND", "SIZE", "SEPARATOR",
                                 "FIRST", "desplazamiento"}) {
            EXPECT_EQ(line.find(word), std::string::npos) << line;
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

// Stands for stdout or stderr. `closed` refuses every write, as a pipe nobody reads does.
// The first attempt to print records what the files looked like at that moment.
class Console final : public std::streambuf {
public:
    Console(bool closed, std::function<void()> onFirst)
        : m_Closed(closed), m_OnFirst(std::move(onFirst)) {}
    std::string text; // what reached it

protected:
    int_type overflow(int_type c) override {
        const char one = traits_type::to_char_type(c);
        return xsputn(&one, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (m_OnFirst) {
            std::exchange(m_OnFirst, nullptr)();
        }
        if (m_Closed) {
            return 0;
        }
        text.append(s, static_cast<std::size_t>(n));
        return n;
    }

private:
    bool m_Closed;
    std::function<void()> m_OnFirst;
};

// Every failure once writing began puts the ROM back first, then writes the log, and only then
// prints; a closed stdout changes nothing of that, and stderr ends with the one error line.
TEST(Safety, FailedWritesLeaveTheRomAsItWas) {
    struct Case {
        const char* name;
        void (*arm)(FakeFileSystem&);
        Exit code;
        bool backupKept;
    };
    const Case cases[] = {
        {"nothing fails", [](FakeFileSystem&) {}, Exit::Ok, true},
        {"log cannot be written", [](FakeFileSystem& f) { f.failLog = true; }, Exit::Ok, true},
        {"backup cannot be created", [](FakeFileSystem& f) { f.failCreate = true; },
         Exit::WriteFailed, false},
        {"table write stops midway", [](FakeFileSystem& f) { f.breakNextWriteAfter = 3; },
         Exit::WriteFailed, true},
        {"table write stops, log cannot be written",
         [](FakeFileSystem& f) {
             f.breakNextWriteAfter = 3;
             f.failLog = true;
         },
         Exit::WriteFailed, true},
        {"read-back differs", [](FakeFileSystem& f) { f.corruptReadBack = true; },
         Exit::WriteFailed, true},
        {"backup copy fails midway",
         [](FakeFileSystem& f) {
             f.faultPath = zeltor::TemporaryBackupPath("rom.smc");
             f.breakNextWriteAfter = 10;
         },
         Exit::WriteFailed, false},
        {"restore fails too", [](FakeFileSystem& f) { f.breakAllWrites = true; },
         Exit::RestoreFailed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        fs.files["rom.smc"] = SampleRom();
        c.arm(fs);
        std::optional<Bytes> romWhenPrinting;
        std::optional<std::string> logWhenPrinting;
        const auto snapshot = [&] {
            if (!romWhenPrinting) {
                romWhenPrinting = fs.files["rom.smc"];
                logWhenPrinting = fs.texts["rom.smc.zeltor.log"];
            }
        };
        Console closedOut(true, snapshot);
        Console err(false, snapshot);
        std::ostream out(&closedOut);
        std::ostream errStream(&err);
        const int code = zeltor::Run(kSampleArgs, fs, out, errStream);

        EXPECT_EQ(code, static_cast<int>(c.code)) << err.text;
        const Bytes& rom = fs.files["rom.smc"];
        if (c.code == Exit::Ok) {
            EXPECT_EQ(TableOf(rom, 0x20, 3, 2), (std::vector<std::uint32_t>{0x100, 0x104, 0x108}));
        } else if (c.code == Exit::WriteFailed) {
            EXPECT_EQ(rom, SampleRom());
        }
        ASSERT_TRUE(romWhenPrinting.has_value()) << "the run printed nothing";
        EXPECT_EQ(*romWhenPrinting, rom) << "printed before the ROM was put right";
        EXPECT_EQ(*logWhenPrinting, fs.texts["rom.smc.zeltor.log"]) << "printed before the log";
        EXPECT_EQ(fs.files.count("rom.smc.bak"), c.backupKept ? 1u : 0u);
        if (c.backupKept) {
            EXPECT_EQ(fs.files["rom.smc.bak"], SampleRom());
        }
        EXPECT_EQ(fs.files.count(zeltor::TemporaryBackupPath("rom.smc")), 0u);

        std::vector<std::string> lines;
        std::istringstream split(err.text);
        for (std::string line; std::getline(split, line);) {
            lines.push_back(line);
        }
        // Before an error line the note says it is no cause of it.
        const std::string logNote = std::string(c.code == Exit::Ok ? "Aviso: no se pudo"
                                                                   : "Aviso: aparte del error que "
                                                                     "sigue, no se pudo") +
                                    " escribir el registro «rom.smc.zeltor.log»: "
                                    "permiso denegado (denied).";
        std::vector<std::string> expected;
        if (fs.failLog) {
            expected.push_back(logNote);
        } else {
            EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(
                          c.code == Exit::Ok ? "Tabla escrita y comprobada"
                                             : "ERROR " + std::to_string(static_cast<int>(c.code))),
                      std::string::npos);
        }
        // The last line is the error, or the summary of a run that went through.
        ASSERT_EQ(lines.size(), expected.size() + 1) << err.text;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(lines[i], expected[i]);
        }
        if (c.code != Exit::Ok) {
            EXPECT_EQ(lines.back().rfind("ERROR " + std::to_string(static_cast<int>(c.code)), 0),
                      0u);
        } else {
            EXPECT_EQ(lines.back(),
                      std::string("Hecho: cambian 2 de 3 entradas; mapa lineal; copia de "
                                  "seguridad «rom.smc.bak»; ") +
                          (fs.failLog ? "sin registro." : "registro «rom.smc.zeltor.log»."));
        }
    }
}

// A run stopped while it copies the ROM (here by the fake, as a kill would) leaves no file
// under a backup's name but whole copies; the next run clears what it left.
TEST(Safety, StoppedDuringTheBackupLeavesNoHalfBackup) {
    FakeFileSystem fs;
    Bytes original =
        MakeRom(4 << 20, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
    for (std::size_t i = 0x200; i < original.size(); ++i) {
        original[i] = static_cast<std::uint8_t>(i * 7 + i / 4099);
    }
    fs.files["rom.smc"] = original;
    fs.files["rom.smc.bak"] = {'o', 'l', 'd'};
    fs.killAfterCopying = (5 << 20) / 2;
    EXPECT_THROW(RunZeltor(fs, kSampleArgs), Killed);
    fs.killAfterCopying.reset();
    const auto backups = [&] {
        std::map<std::string, Bytes> found;
        for (const auto& [path, bytes] : fs.files) {
            if (path.rfind("rom.smc.bak", 0) == 0) {
                found[path] = bytes;
            }
        }
        return found;
    };
    EXPECT_EQ(backups(), (std::map<std::string, Bytes>{{"rom.smc.bak", {'o', 'l', 'd'}}}));
    EXPECT_EQ(fs.files["rom.smc"], original);
    // The fake's kill unwinds the stack, so the run's own cleanup removed the unfinished copy;
    // a real kill leaves it, as here.
    EXPECT_EQ(fs.files.count(zeltor::TemporaryBackupPath("rom.smc")), 0u);
    fs.files[zeltor::TemporaryBackupPath("rom.smc")] =
        Bytes(original.begin(), original.begin() + 99);

    ASSERT_EQ(RunZeltor(fs, kSampleArgs).code, 0);
    EXPECT_EQ(backups(), (std::map<std::string, Bytes>{{"rom.smc.bak", {'o', 'l', 'd'}},
                                                       {"rom.smc.bak1", original}}));
    EXPECT_EQ(fs.files.count(zeltor::TemporaryBackupPath("rom.smc")), 0u);
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
            args.insert(args.begin(), "--dry-run");
        } else {
            fs.readOnly.clear();
        }
        const Outcome run = RunZeltor(fs, args);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(fs.files["rom.smc"], rom);
        EXPECT_EQ(fs.files.size(), 1u);
        // Not even a log from a dry run.
        EXPECT_EQ(fs.texts.size(), upToDate ? 1u : 0u);
        EXPECT_NE(run.out.find(upToDate ? "ya estaba al día" : "dry-run"), std::string::npos);
    }
}

TEST(Report, OneLinePerEntryToStdoutAndLog) {
    FakeFileSystem fs;
    fs.files["rom.smc"] = SampleRom();
    const Outcome run = RunZeltor(fs, kSampleArgs);
    ASSERT_EQ(run.code, 0);
    // index, table offset, old value, new value, string offset, length
    EXPECT_NE(run.out.find("       1  0x000022   0x0105     0x0104     0x000104   0x3\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Resumen: 3 entradas, 2 cambian, 1 queda igual"), std::string::npos);
    EXPECT_NE(run.out.find("Copia de seguridad: rom.smc.bak"), std::string::npos);
    EXPECT_EQ(run.err, "");
    const std::string& log = fs.texts["rom.smc.zeltor.log"];
    EXPECT_NE(log.find(run.out), std::string::npos);
    EXPECT_EQ(log.rfind("=== ", 0), 0u);
    EXPECT_NE(log.find(" · Zeltor rom.smc 100 20 25 2 00\n"), std::string::npos) << log;
}

// What a translation does (reorder, share, move the text, leave padding or smaller values
// after the table) goes through silently; what looks like a mistake in the fields is refused
// with exit 9, naming the field to check in the window's words, and nothing is written; with
// --force it is written as asked and the refusal becomes a warning.
TEST(Mistakes, RefusedWithTheFieldToCheckAndWrittenOnlyWithForce) {
    struct Case {
        const char* name;
        std::vector<std::string> strings;
        std::vector<std::uint32_t> old;
        std::uint8_t afterText;             // what fills the ROM after the text
        std::vector<std::string> args;      // after the ROM's name
        const char* refusal;                // nullptr: no mistake
        std::vector<std::uint32_t> written; // the table afterwards (with --force if refused)
    };
    const std::vector<std::string> three = {"uno", "dos", "tres"};
    const std::vector<std::string> five = {"uno", "dos", "tres", "cuatro", "cinco"};
    const std::vector<std::string> base = {"100", "20", "25", "2", "00"};
    std::vector<std::string> apart = three;
    apart.resize(apart.size() + 20); // free space of the separator's byte
    apart.insert(apart.end(), {"seis", "siete", "ocho", "nueve"});
    std::vector<std::string> emptied = apart;
    emptied[2] = "";
    // Three old values, then the next table's: its text 24 bytes after the old one's.
    const std::vector<std::uint32_t> withNext = {0x100, 0x106, 0x10C, 0x118, 0x11D, 0x123, 0x128};
    const Case cases[] = {
        {"unordered, shorter strings",
         three,
         {0x100, 0x10A, 0x105},
         0xEE,
         base,
         nullptr,
         {0x100, 0x108, 0x104}},
        {"text moved on purpose",
         three,
         {0x8200, 0x8204, 0x8208},
         0xEE,
         {"100", "20", "25", "2", "00", "0081"},
         nullptr,
         {0x8100, 0x8104, 0x8108}},
        {"a smaller value after the table",
         three,
         {0x100, 0x105, 0x10A, 0x0F0},
         0xEE,
         base,
         nullptr,
         {0x100, 0x104, 0x108}},
        {"a relative table followed by zero padding",
         three,
         {0x0, 0x5, 0xA, 0x0},
         0xEE,
         base,
         nullptr,
         {0x0, 0x4, 0x8}},
        {"FIRST with its bytes reversed",
         three,
         {0x8200, 0x8205, 0x820A},
         0xEE,
         {"100", "20", "25", "2", "00", "8200"},
         "ERROR 9: el primer puntero indicado es el de la entrada 0 con los bytes al revés (0082 "
         "en la ROM): revise «Valor del primer puntero» (con 0082 todo concuerda).",
         {0x0082, 0x0086, 0x008A}},
        {"FIRST reversed, typed with fewer digits, is named as typed",
         three,
         {0x8200, 0x8205, 0x820A},
         0xEE,
         {"100", "20", "25", "2", "00", "82"},
         "ERROR 9: el primer puntero indicado es el de la entrada 0 con los bytes al revés (0082 "
         "en la ROM): revise «Valor del primer puntero» (con 0082 todo concuerda).",
         {0x0082, 0x0086, 0x008A}},
        {"table end one entry short",
         five,
         {0x100, 0x104, 0x108, 0x10D, 0x114},
         0xEE,
         {"100", "20", "25", "2", "00"},
         "ERROR 9: la tabla parece seguir después de su final: en 0x26 hay 0x010D, que señala "
         "justo después de su texto, y tras las cadenas leídas queda una más: revise «Posición "
         "final de la tabla de punteros» (con 0x29 todo concuerda).",
         {0x100, 0x104, 0x108}},
        {"separator typed as the free space's byte",
         five,
         {0x100, 0x105, 0x10A, 0x110, 0x118},
         0xFF,
         {"100", "20", "29", "2", "FF"},
         "ERROR 9: con el separador FF, las 5 cadenas de la tabla no acaban donde acaba el texto; "
         "con 00, sí: revise «Valor hexadecimal del caracter separador» (con 00 todo concuerda).",
         {0x100, 0x11B, 0x11C, 0x11D, 0x11E}},
        {"table end past the table",
         three,
         {0x100, 0x104, 0x108, 0x3000},
         0x00,
         {"100", "20", "27", "2", "00"},
         "ERROR 9: la entrada 3 (en 0x26 hay 0x3000) queda fuera del archivo si el menor valor de "
         "la tabla señala el inicio del texto: revise «Posición final de la tabla de punteros» "
         "(con 0x25 todo concuerda).",
         {0x100, 0x104, 0x108, 0x10D}},
        // Five values, five strings and then free space: however far the last old string was,
        // the bytes agree with the fields.
        {"a value far from the others, and as many strings",
         five,
         {0x100, 0x104, 0x108, 0x10E, 0x23C},
         0x00,
         {"100", "20", "29", "2", "00"},
         nullptr,
         {0x100, 0x104, 0x108, 0x10D, 0x114}},
        {"a relative table's three entries at its first string",
         {"hola"},
         {0, 0, 0},
         0xEE,
         base,
         nullptr,
         {0, 0, 0}},
        {"FF after the table taken in",
         three,
         {0x100, 0x104, 0x108, 0xFFFF},
         0x00,
         {"100", "20", "27", "2", "00"},
         "ERROR 9: 1 entrada al final de la tabla (desde 0x26) es relleno (FF), no punteros: "
         "revise «Posición final de la tabla de punteros» (con 0x25 todo concuerda).",
         // With --force, the entry of padding is left as it was.
         {0x100, 0x104, 0x108, 0xFFFF}},
        // The table's first entry holds its last string: START one entry late leaves it out.
        {"table start one entry late, over an unordered table",
         five,
         {0x114, 0x100, 0x104, 0x108, 0x10D},
         0xEE,
         {"100", "22", "29", "2", "00"},
         "ERROR 9: la tabla parece empezar antes: en 0x20 hay 0x0114, que señala justo después "
         "de su texto. Si es suya, «Posición inicial de la tabla de punteros» debe ser 0x20; si "
         "es la última de la anterior, cuyo texto sigue a este, indique ambas con --tables o use "
         "--force.",
         {0x114, 0x100, 0x104, 0x108, 0x10D}},
        // A line break (0A) typed as the separator ends eight strings too, and the text goes
        // on after them, another block's strings included, to free space with no 0A at its end.
        {"a line break typed as the separator",
         {"ab\nb", "ba\naa", "ab\nbab", "b\na", "abb\nbb", "ba\nab", "a\nb", "bab\na", "ab", "ba"},
         {0x100, 0x105, 0x10B, 0x112, 0x116, 0x11D, 0x123, 0x127},
         0xFF,
         {"100", "20", "2F", "2", "0A"},
         "ERROR 9: con el separador 0A, las 8 cadenas de la tabla no acaban donde acaba el texto; "
         "con 00, sí: revise «Valor hexadecimal del caracter separador» (con 00 todo concuerda).",
         {0x100, 0x103, 0x108, 0x10E, 0x114, 0x11A, 0x120, 0x125}},
        // TEXT on the separator of the block before, packed against this one and the next:
        // as many strings, but the one before (with a letter none of them has) would be left
        // without its end.
        {"text start one byte early, between two blocks",
         {"dos", "nop", "uno", "dos", "tres", "cinco", "seis"},
         {0x108, 0x10E, 0x115},
         0xEE,
         {"107", "20", "25", "2", "00"},
         "ERROR 9: el separador en 0x107 cierra la cadena de texto que lo precede (desde 0x104), "
         "no una primera cadena vacía: el texto parece empezar después: revise «Posición inicial "
         "del texto» (con 0x108 todo concuerda).",
         // With --force, the smallest old value taken for TEXT's, as in any plain file.
         {0x108, 0x109, 0x10D}},
        // Two of three strings emptied run into the free space of the separator's byte: too
        // few strings to call that a wrong separator when neither 00 nor FF ends them better.
        {"a table of three, two of them emptied",
         {"uno", "", ""},
         {0x100, 0x104, 0x108},
         0x00,
         {"100", "20", "25", "2", "00"},
         nullptr,
         {0x100, 0x104, 0x105}},
        // The next table's text put back after this one, past free space, its table not yet
        // recalculated: its entries step through it from END on, or from END's last entry.
        {"the next table after free space",
         apart,
         withNext,
         0xEE,
         base,
         nullptr,
         {0x100, 0x104, 0x108, 0x118}},
        {"table end one entry long, into the next table after free space",
         apart,
         withNext,
         0xEE,
         {"100", "20", "27", "2", "00"},
         "ERROR 9: la última entrada de la tabla (en 0x26 hay 0x0118) parece la primera de la "
         "siguiente: con las 3 que siguen a la tabla recorren, cadena a cadena, el texto de "
         "0x121: revise «Posición final de la tabla de punteros» (con 0x25 todo concuerda).",
         {0x100, 0x104, 0x108, 0x10D}},
        {"table end one entry short, its last string emptied before free space",
         emptied,
         withNext,
         0xEE,
         {"100", "20", "23", "2", "00"},
         "ERROR 9: la tabla parece seguir después de su final: en 0x24 hay 0x010C, que señala "
         "justo después de su texto; las que la siguen recorren cadena a cadena el texto de la "
         "siguiente, en 0x11D: revise «Posición final de la tabla de punteros» (con 0x25 todo "
         "concuerda).",
         {0x100, 0x104}},
        {"the last string emptied before free space and the next table",
         emptied,
         withNext,
         0xEE,
         base,
         nullptr,
         {0x100, 0x104, 0x108, 0x118}},
        // Nothing else after the text: END one entry long on a table of two reads the same.
        {"the last string emptied before free space, the next table's text nowhere",
         {"uno", "dos", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""},
         {0x100, 0x104, 0x108, 0x10D, 0x113, 0x118},
         0xEE,
         base,
         "ERROR 9: la última entrada de la tabla (en 0x24 hay 0x0108) recibe una cadena vacía, "
         "ante espacio libre, y las entradas de después de la tabla continúan desde ella: puede "
         "ser la primera de la siguiente tabla. Si lo es, «Posición final de la tabla de "
         "punteros» debe ser 0x23; si es suya y su cadena se ha vaciado, indique ambas tablas con "
         "--tables o use --force.",
         {0x100, 0x104, 0x108}},
        // The last string emptied into free space of the separator's byte: only filler beside
        // the one entry left out says it is the table's.
        // Other data right before the text: only values that are the file's own positions
        // show TEXT one byte late.
        {"text start one byte late, the values the file's positions",
         three,
         {0x100, 0x104, 0x108},
         0xEE,
         {"101", "20", "25", "2", "00"},
         "ERROR 9: el menor valor de la tabla, 0x0100, es la posición 0x100, junto al texto: si "
         "los punteros son posiciones del archivo, el texto empieza ahí: revise «Posición inicial "
         "del texto» (con 0x100 todo concuerda).",
         {0x100, 0x103, 0x107}},
        {"FIRST reversed, the values the file's positions",
         three,
         {0x8200, 0x8205, 0x820A},
         0xEE,
         {"100", "20", "25", "2", "00", "0100"},
         "ERROR 9: el primer puntero indicado tiene los bytes al revés: el texto empieza en 0x100, "
         "que como puntero es 0001 en la ROM: revise «Valor del primer puntero» (con 0001 todo "
         "concuerda).",
         {0x0001, 0x0005, 0x0009}},
        {"table end one entry short, filler after the entry left out",
         {"uno", "dos", ""},
         {0x100, 0x106, 0x10C},
         0x00,
         {"100", "20", "23", "2", "00"},
         "ERROR 9: la tabla parece seguir después de su final: en 0x24 hay 0x010C, que señala "
         "justo después de su texto, y tras ella hay relleno: revise «Posición final de la tabla "
         "de punteros» (con 0x25 todo concuerda).",
         {0x100, 0x104, 0x10C}},
        {"table end one entry short, a far table after the entry left out",
         {"uno", "dos", ""},
         {0x100, 0x106, 0x10C, 0x380, 0x386, 0x38C},
         0x00,
         {"100", "20", "23", "2", "00"},
         "ERROR 9: la tabla parece seguir después de su final: en 0x24 hay 0x010C, que señala "
         "justo después de su texto; las que la siguen señalan lejos de su texto, a otro: revise "
         "«Posición final de la tabla de punteros» (con 0x25 todo concuerda).",
         {0x100, 0x104, 0x10C}},
        {"table start one entry late, filler before the entry left out",
         {"uno", "dos", ""},
         {0x106, 0x100, 0x10C},
         0x00,
         {"100", "22", "25", "2", "00"},
         "ERROR 9: la tabla parece empezar antes: en 0x20 hay 0x0106, que señala dentro de su "
         "texto, y antes de ella hay relleno: revise «Posición inicial de la tabla de punteros» "
         "(con 0x20 todo concuerda).",
         {0x106, 0x100, 0x104}},
        // Three strings show too few of a game's symbols to call a fourth with others data.
        {"four strings, the last with letters the others lack",
         {"un", "dos", "tres", "zyxw"},
         {0x100, 0x104, 0x108, 0x10D},
         0x00,
         {"100", "20", "27", "2", "00"},
         nullptr,
         {0x100, 0x103, 0x107, 0x10C}},
        {"a table of padding",
         three,
         {0xFFFF, 0, 0xFFFF},
         0xEE,
         {"100", "20", "25", "2", "00", "0080"},
         "ERROR 9: la tabla (0x20-0x25) solo tiene relleno (00 o FF), no punteros: revise "
         "«Posición inicial de la tabla de punteros».",
         // With --force, a table being built: one string per entry, in order.
         {0x8000, 0x8004, 0x8008}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes rom = MakeRom(0x400, 0x100, c.strings, 0x00, 0x20, 2, c.old);
        std::size_t textLength = 0;
        for (const std::string& text : c.strings) {
            textLength += text.size() + 1;
        }
        std::fill(rom.begin() + 0x100 + static_cast<std::ptrdiff_t>(textLength), rom.end(),
                  c.afterText);
        std::vector<std::string> args = {"rom.smc"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        for (const bool force : {false, true}) {
            FakeFileSystem fs;
            fs.files["rom.smc"] = rom;
            std::vector<std::string> line = args;
            if (force) {
                line.insert(line.begin(), "--force");
            }
            const Outcome run = RunZeltor(fs, line);
            if (c.refusal != nullptr && !force) {
                EXPECT_EQ(run.code, 9);
                EXPECT_EQ(run.err, std::string(c.refusal) + "\n");
                EXPECT_EQ(fs.files["rom.smc"], rom) << "byte for byte as it was";
                EXPECT_EQ(fs.files.size(), 1u) << "no backup";
                EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(c.refusal), std::string::npos);
                continue;
            }
            EXPECT_EQ(run.code, 0) << run.err;
            EXPECT_EQ(TableOf(fs.files["rom.smc"], 0x20, c.written.size(), 2), c.written);
            if (c.refusal == nullptr) {
                EXPECT_EQ(run.err, "");
            } else {
                const std::string why = std::string(c.refusal).substr(9);
                EXPECT_EQ(run.err, "Aviso: escrito igualmente por --force, aunque " + why + "\n");
                EXPECT_NE(run.out.find(why), std::string::npos) << "the report says it too";
            }
        }
    }
}

// Characters (not bytes) of the longest line.
std::size_t LongestLine(const std::string& text) {
    std::size_t longest = 0;
    std::size_t current = 0;
    for (char c : text) {
        if (c == '\n') {
            current = 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            longest = std::max(longest, ++current);
        }
    }
    return longest;
}

TEST(Report, EveryLineStaysUnder300Characters) {
    // 65,536 entries of padding, and as many empty strings: refused, or written with --force.
    for (const bool force : {false, true}) {
        FakeFileSystem shared;
        Bytes rom(0x30010, 0xEE);
        std::fill(rom.begin(), rom.begin() + 0x30000, 0x00);
        shared.files["rom.smc"] = rom;
        std::vector<std::string> args = {"rom.smc", "20000", "0", "1FFFF", "2", "00"};
        if (force) {
            args.insert(args.begin(), "--force");
        }
        const Outcome run = RunZeltor(shared, args);
        ASSERT_EQ(run.code, force ? 0 : 9) << run.err;
        EXPECT_NE(run.err.find("la tabla (0x0-0x1FFFF) solo tiene relleno"), std::string::npos);
        EXPECT_LT(LongestLine(run.err), 300u);
        EXPECT_LT(LongestLine(run.out), 300u);
        EXPECT_LT(LongestLine(shared.texts["rom.smc.zeltor.log"]), 300u);
    }

    // Names and fields as long as they come, on each kind of outcome.
    std::string name(96, 'x');
    for (int i = 0; i < 30; ++i) {
        name.replace(static_cast<std::size_t>(i) * 3, 2, "ñ");
    }
    name += ".smc";
    const std::string field(400, '-');
    struct Case {
        std::vector<std::string> args;
        void (*arm)(FakeFileSystem&, const std::string&);
        Exit code;
    };
    const auto none = [](FakeFileSystem&, const std::string&) {};
    const Case cases[] = {
        {{name, "100", "20", "25", "2", "00"}, none, Exit::Ok},
        {{name, "100", "20", "25", "2", "00", field}, none, Exit::BadField},
        {{name, field, field, field, field, field}, none, Exit::BadField},
        {{name, "100", "20", "25", "2", "00", "0100\n\n"}, none, Exit::BadField},
        {{name, "100", "3FE", "401", "2", "00"}, none, Exit::BadTable},
        {{name, "100", "20", "25", "2", "00"},
         [](FakeFileSystem& f, const std::string& n) {
             f.faultPath = n;
             f.breakNextWriteAfter = 3;
         },
         Exit::WriteFailed},
        {{name, "100", "20", "25", "2", "00"},
         [](FakeFileSystem& f, const std::string& n) {
             f.faultPath = n;
             f.breakAllWrites = true;
         },
         Exit::RestoreFailed},
        {{std::string(400, 'y'), "100", "20", "25", "2", "00"}, none, Exit::CannotOpen},
        // A torn table edited since: the note names the backup from before the interruption.
        {{name, "100", "20", "25", "2", "00"},
         [](FakeFileSystem& f, const std::string& n) {
             f.romPath = n;
             f.killInTableWrite = 3;
             EXPECT_THROW(RunZeltor(f, {n, "100", "20", "25", "2", "00"}), Killed);
             f.files[n][0x24] = 0x77;
         },
         Exit::Note},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + std::to_string(static_cast<int>(c.code)));
        FakeFileSystem fs;
        fs.files[name] = SampleRom();
        c.arm(fs, name);
        const Outcome longRun = RunZeltor(fs, c.args);
        EXPECT_EQ(longRun.code, static_cast<int>(c.code)) << longRun.err;
        EXPECT_LT(LongestLine(longRun.err), 300u) << longRun.err;
        EXPECT_LT(LongestLine(longRun.out), 300u);
        EXPECT_LT(LongestLine(fs.texts[LogName(name)]), 300u) << fs.texts[LogName(name)];
    }

    // The log's header shows every argument as a command line would, an empty one too.
    FakeFileSystem fs;
    fs.files["mi rom.smc"] = SampleRom();
    EXPECT_EQ(RunZeltor(fs, {"mi rom.smc", "100", "", "25", "2", "00"}).code,
              static_cast<int>(Exit::BadField));
    EXPECT_NE(fs.texts["mi rom.smc.zeltor.log"].find(" · Zeltor \"mi rom.smc\" 100 \"\" 25 2 00\n"),
              std::string::npos)
        << fs.texts["mi rom.smc.zeltor.log"];
}

} // namespace
