// Runs stopped while the table is written, and runs hit by two faults at once, against the
// fault-injecting file system: what is on disk afterwards, what the run says, and what the
// next run makes of it.
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Journal.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using zeltor::Exit;

// Three strings at 0x100, a 2-byte table at 0x20-0x25 that points to longer, older ones: the
// new table differs from the old one in its third and fifth bytes.
Bytes Original() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
}
Bytes Expected() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x104, 0x108});
}
const std::vector<std::string> kArgs = {"rom.smc", "100", "20", "25", "2", "00"};

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string LastLine(const std::string& text) {
    const std::string trimmed = text.substr(0, text.size() - 1);
    return trimmed.substr(trimmed.rfind('\n') == std::string::npos ? 0 : trimmed.rfind('\n') + 1);
}

// The name of the file call that threw, the `n`-th.
std::string CallName(const FakeFileSystem& fs, std::size_t n) {
    return n <= fs.callNames.size() ? fs.callNames[n - 1] : "?";
}

// Kills a run in its write of the table once `written` bytes of it are on the disk.
void KillInTheTable(FakeFileSystem& fs, std::size_t written) {
    fs.files["rom.smc"] = Original();
    fs.killInTableWrite = written;
    EXPECT_THROW(RunZeltor(fs, kArgs), Killed);
    ASSERT_EQ(fs.files.count(NotesOf(fs).path), 1u)
        << "the note was made before the table's first byte";
    EXPECT_EQ(fs.files.count(NotesOf(fs).temporary), 0u);
    EXPECT_EQ(fs.files["rom.smc.bak"], Original());
}

const char kBefore[] = "Aviso: el recálculo anterior de esta ROM se interrumpió";
const std::string kTorn = kBefore + std::string(" mientras escribía la tabla (0x20-0x25), que "
                                                "quedó a medias; ");
const std::string kWhole = kBefore + std::string(", pero la tabla (0x20-0x25) está entera, con "
                                                 "sus bytes originales; no había nada que "
                                                 "reponer.");

// The next run that writes mends a torn table once its own backup (which keeps the table torn)
// is on the disk, and points at the backup from before the interruption; a table left whole,
// old or new, or put back by hand, is left alone and called what it is. Each case says so in
// one line, which the log keeps too, and the note goes.
TEST(Interrupted, TheNextRunThatWritesMendsATornTableAfterItsBackup) {
    struct Case {
        const char* name;
        std::size_t written; // bytes of the table written when the run was killed
        std::function<void(FakeFileSystem&)> after;
        std::string notice;
        // The backup the summary names, when the next run writes: its own, unless it holds a
        // torn table.
        const char* backup;
    };
    const auto nothing = [](FakeFileSystem&) {};
    const Case cases[] = {
        {"torn", 3, nothing,
         kTorn + "se han repuesto sus bytes originales antes de seguir («rom.smc.bak1» la "
                 "guarda a medias).",
         "rom.smc.bak"},
        {"nothing written yet", 0, nothing, kWhole, "rom.smc.bak1"},
        {"put back by hand from the backup", 3,
         [](FakeFileSystem& f) { f.files["rom.smc"] = f.files["rom.smc.bak"]; }, kWhole,
         "rom.smc.bak1"},
        {"the whole table written", 6, nothing,
         kBefore + std::string(" cuando ya había escrito la tabla (0x20-0x25) entera; la tabla "
                               "nueva está completa y se ha dejado como está."),
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        KillInTheTable(fs, c.written);
        c.after(fs);
        const Bytes before = fs.files["rom.smc"];
        const Outcome next = RunZeltor(fs, kArgs);
        EXPECT_EQ(next.code, 0) << next.err;
        EXPECT_EQ(next.err, c.notice + "\n");
        EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(c.notice), std::string::npos);
        EXPECT_EQ(fs.files["rom.smc"], Expected());
        if (c.backup != nullptr) {
            EXPECT_EQ(fs.files["rom.smc.bak1"], before) << "the ROM as this run found it";
            EXPECT_EQ(next.summary,
                      "Hecho: cambian 2 de 3 entradas; mapa lineal; copia de seguridad «" +
                          std::string(c.backup) + "»; registro «rom.smc.zeltor.log».");
        } else {
            EXPECT_EQ(fs.files.count("rom.smc.bak1"), 0u);
        }
        EXPECT_EQ(fs.files.count(NotesOf(fs).path), 0u);
        // The note is read once: a third run has nothing to say.
        EXPECT_EQ(RunZeltor(fs, kArgs).err, "");
    }
}

// A run that does not write, a dry run or a refused one, mends nothing and writes nothing, not
// even a backup: it plans as if the table were mended and says that the next run that writes
// will mend it. The error line stays the last, and what the log says of the ROM is true.
TEST(Interrupted, ADryOrRefusedRunWritesNothingAndSaysTheTableIsTorn) {
    FakeFileSystem fs;
    KillInTheTable(fs, 3);
    const auto torn = fs.files;
    ASSERT_NE(fs.files["rom.smc"], Original());
    fs.readOnly.insert("rom.smc");
    auto dryArgs = kArgs;
    dryArgs.insert(dryArgs.begin(), "--dry-run");
    const Outcome dry = RunZeltor(fs, dryArgs);
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(dry.err, kTorn + "esta simulación no escribe nada: el próximo recálculo sin "
                               "--dry-run repondrá sus bytes originales, y este informe ya "
                               "cuenta con ellos.\n");
    // Entry 1's torn value is 0x0104; the report shows the original one.
    EXPECT_NE(dry.out.find("       1  0x000022   0x0105     0x0104"), std::string::npos) << dry.out;
    EXPECT_EQ(fs.files, torn);
    EXPECT_EQ(fs.texts.size(), 0u);
    fs.readOnly.clear();

    auto badField = kArgs;
    badField[1] = "1G";
    auto shortTable = kArgs;
    shortTable[3] = "24";
    for (const auto& [args, code] :
         {std::pair{badField, Exit::BadField}, std::pair{shortTable, Exit::BadTable}}) {
        fs.texts.clear();
        const Outcome refused = RunZeltor(fs, args);
        EXPECT_EQ(refused.code, static_cast<int>(code));
        EXPECT_EQ(FirstLine(refused.err), kTorn + "no se ha tocado: el próximo recálculo que "
                                                  "escriba repondrá sus bytes originales.");
        EXPECT_EQ(LastLine(refused.err).rfind("ERROR " + std::to_string(static_cast<int>(code)), 0),
                  0u)
            << refused.err;
        EXPECT_EQ(fs.files, torn);
        EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find("La ROM no se ha modificado."),
                  std::string::npos);
    }
    EXPECT_EQ(RunZeltor(fs, kArgs).code, 0);
    EXPECT_EQ(fs.files["rom.smc"], Expected());
}

// When the original bytes cannot be put back, the run stops with exit 8 and keeps the note,
// naming the backup from before the interruption, not its own, which holds the table torn; the
// run after it, on a disk that works again, mends the table.
TEST(Interrupted, ATableThatCannotBePutBackIsExit8UntilItCan) {
    FakeFileSystem fs;
    KillInTheTable(fs, 3);
    const Bytes torn = fs.files["rom.smc"];
    fs.fullDisk = true;
    const Outcome stuck = RunZeltor(fs, kArgs);
    EXPECT_EQ(stuck.code, static_cast<int>(Exit::RestoreFailed));
    EXPECT_EQ(
        stuck.err,
        "ERROR 8: el recálculo anterior de esta ROM se interrumpió mientras escribía la tabla "
        "(0x20-0x25) y no se han podido reponer sus bytes originales: no hay espacio en el "
        "disco (disk full); recupere la ROM de la copia de seguridad «rom.smc.bak».\n");
    EXPECT_EQ(fs.files["rom.smc"], torn);
    EXPECT_EQ(fs.files["rom.smc.bak1"], torn);
    EXPECT_EQ(fs.files.count(NotesOf(fs).path), 1u);
    EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(LastLine(stuck.err)), std::string::npos);

    fs.fullDisk = false;
    const Outcome next = RunZeltor(fs, kArgs);
    EXPECT_EQ(next.code, 0) << next.err;
    EXPECT_EQ(FirstLine(next.err).rfind(kTorn, 0), 0u);
    EXPECT_EQ(fs.files["rom.smc"], Expected());
    EXPECT_EQ(fs.files["rom.smc.bak"], Original());
}

// Every call into the file system, in turn, throws std::bad_alloc (a write that throws has
// written half its bytes: a failure whose wording found no memory), alone and on top of a
// write that fails. Whatever the run says must be what the disk holds: exit 7 only with the
// ROM byte for byte as it was, exit 8 only with a real difference, exit 0 only with the new
// table. No unfinished copy or note survives, no backup is partial, no log is empty, and the
// next run always ends with the right table.
TEST(Faults, NoDoubleFaultMakesARunSayWhatIsNotOnDisk) {
    struct Arm {
        const char* name;
        std::function<void(FakeFileSystem&)> arm;
    };
    const Arm arms[] = {
        {"no other fault", [](FakeFileSystem&) {}},
        {"the table's write stops", [](FakeFileSystem& f) { f.breakNextWriteAfter = 3; }},
        {"putting the bytes back fails too", [](FakeFileSystem& f) { f.breakAllWrites = true; }},
        {"a full disk", [](FakeFileSystem& f) { f.fullDisk = true; }},
        {"the read-back differs", [](FakeFileSystem& f) { f.corruptReadBack = true; }},
    };
    std::size_t runs = 0;
    for (const Arm& a : arms) {
        FakeFileSystem count;
        count.files["rom.smc"] = Original();
        a.arm(count);
        RunZeltor(count, kArgs);
        for (std::size_t n = 1; n <= count.calls; ++n) {
            FakeFileSystem fs;
            fs.files["rom.smc"] = Original();
            a.arm(fs);
            fs.throwAtCall = n;
            const Outcome run = RunZeltor(fs, kArgs);
            ++runs;
            SCOPED_TRACE(std::string(a.name) + ", throws at call " + std::to_string(n) + ": " +
                         CallName(fs, n) + "; " + run.err);
            const Bytes& rom = fs.files["rom.smc"];
            const std::string last = LastLine(run.err);
            switch (run.code) {
            case 0:
                EXPECT_EQ(rom, Expected());
                EXPECT_EQ(last.find("ERROR"), std::string::npos);
                break;
            case 3: // memory ran out while planning: a refusal
                EXPECT_EQ(rom, Original());
                EXPECT_EQ(last.rfind("ERROR 3: no hay memoria suficiente", 0), 0u);
                break;
            case 7:
                EXPECT_EQ(rom, Original());
                EXPECT_EQ(last.rfind("ERROR 7: ", 0), 0u);
                break;
            case 8:
                EXPECT_NE(rom, Original());
                EXPECT_EQ(last.rfind("ERROR 8: ", 0), 0u);
                EXPECT_EQ(fs.files.count(NotesOf(fs).path), 1u) << "kept for the next run";
                break;
            default:
                ADD_FAILURE() << "exit " << run.code;
            }
            EXPECT_EQ(fs.files.count(zeltor::TemporaryBackupPath("rom.smc")), 0u);
            EXPECT_EQ(fs.files.count(NotesOf(fs).temporary), 0u);
            if (run.code != 8) {
                EXPECT_EQ(fs.files.count(NotesOf(fs).path), 0u);
            }
            if (fs.files.count("rom.smc.bak") != 0) {
                EXPECT_EQ(fs.files["rom.smc.bak"], Original());
            }
            for (const auto& [path, text] : fs.texts) {
                EXPECT_FALSE(text.empty()) << path;
            }
            FakeFileSystem& next = fs;
            next.throwAtCall.reset();
            next.breakNextWriteAfter.reset();
            next.breakAllWrites = next.fullDisk = next.corruptReadBack = false;
            const Outcome again = RunZeltor(next, kArgs);
            EXPECT_EQ(again.code, 0) << again.err;
            EXPECT_EQ(next.files["rom.smc"], Expected());
            EXPECT_EQ(next.files.count(NotesOf(fs).path), 0u);
        }
    }
    EXPECT_GT(runs, 100u);
}

// The same, every call in turn throwing, on a run that finds a torn table and mends it: exit 7
// leaves the ROM torn as it was, or mended and says so; exit 8 keeps a note and names the backup
// from before the interruption; the backups are the ROM before the interruption and as the run
// found it; and the next run always ends with the right table.
TEST(Faults, NoFaultWhileMendingMakesARunSayWhatIsNotOnDisk) {
    FakeFileSystem count;
    KillInTheTable(count, 3);
    const Bytes torn = count.files["rom.smc"];
    count.calls = 0;
    RunZeltor(count, kArgs);
    for (std::size_t n = 1; n <= count.calls; ++n) {
        FakeFileSystem fs;
        KillInTheTable(fs, 3);
        fs.calls = 0;
        fs.callNames.clear();
        fs.throwAtCall = n;
        const Outcome run = RunZeltor(fs, kArgs);
        SCOPED_TRACE("throws at call " + std::to_string(n) + ": " + CallName(fs, n) + "; " +
                     run.err);
        const Bytes& rom = fs.files["rom.smc"];
        const std::string last = LastLine(run.err);
        switch (run.code) {
        case 0:
            EXPECT_EQ(rom, Expected());
            break;
        case 3: // memory ran out while planning: a refusal
            EXPECT_EQ(rom, torn);
            break;
        case 7:
            EXPECT_TRUE(rom == torn || rom == Original());
            EXPECT_NE(last.find(rom == torn ? "no se ha escrito nada en la ROM"
                                            : "la tabla que un recálculo anterior dejó a medias"),
                      std::string::npos);
            break;
        case 8:
            EXPECT_NE(rom, Original());
            EXPECT_NE(last.find("recuper"), std::string::npos);
            EXPECT_NE(last.find("«rom.smc.bak»"), std::string::npos);
            break;
        default:
            ADD_FAILURE() << "exit " << run.code;
        }
        EXPECT_EQ(fs.files["rom.smc.bak"], Original());
        if (fs.files.count("rom.smc.bak1") != 0) {
            EXPECT_EQ(fs.files["rom.smc.bak1"], torn);
        }
        fs.throwAtCall.reset();
        const Outcome again = RunZeltor(fs, kArgs);
        EXPECT_EQ(again.code, 0) << again.err;
        EXPECT_EQ(fs.files["rom.smc"], Expected());
    }
}

} // namespace
