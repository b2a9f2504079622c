// Runs stopped while the table is written, and runs hit by two faults at once, against the
// fault-injecting file system: what is on disk afterwards, what the run says, and what the
// next run makes of it.
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/Backup.h"
#include "zeltor/Journal.h"

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
const std::string kJournal = zeltor::JournalPath("rom.smc");

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string LastLine(const std::string& text) {
    const std::string trimmed = text.substr(0, text.size() - 1);
    return trimmed.substr(trimmed.rfind('\n') == std::string::npos ? 0 : trimmed.rfind('\n') + 1);
}

// Kills a run in its write of the table once `written` bytes of it are on the disk.
void KillInTheTable(FakeFileSystem& fs, std::size_t written) {
    fs.files["rom.smc"] = Original();
    fs.killInTableWrite = written;
    EXPECT_THROW(RunZeltor(fs, kArgs), Killed);
    ASSERT_EQ(fs.files.count(kJournal), 1u) << "the note was made before the table's first byte";
    EXPECT_EQ(fs.files.count(zeltor::TemporaryJournalPath("rom.smc")), 0u);
    EXPECT_EQ(fs.files["rom.smc.bak"], Original());
}

const char kBefore[] = "Aviso: el recálculo anterior de esta ROM se interrumpió ";

// The next run finds the note first: a torn table gets its original bytes back before the
// backup is made; a table left whole, or changed since, is left alone. Each case says so in
// one line, which the log keeps too, and the note goes.
TEST(Interrupted, TheNextRunMendsATornTableAndSaysWhatItFound) {
    struct Case {
        const char* name;
        std::size_t written; // bytes of the table written when the run was killed
        std::function<void(FakeFileSystem&)> after;
        std::string notice;
        bool mended; // the next run's backup is the ROM as it was before the killed run
    };
    const auto nothing = [](FakeFileSystem&) {};
    const Case cases[] = {
        {"torn", 3, nothing,
         kBefore + std::string("mientras escribía la tabla (0x20-0x25), que quedó a medias; se han "
                               "repuesto sus bytes originales antes de seguir."),
         true},
        {"nothing written yet", 0, nothing,
         kBefore + std::string("antes de escribir la tabla (0x20-0x25); la ROM no había cambiado."),
         true},
        {"the whole table written", 6, nothing,
         kBefore +
             std::string("cuando ya había escrito la tabla (0x20-0x25) entera; la tabla nueva "
                         "está completa y se ha dejado como está."),
         false},
        {"a table byte changed since", 3,
         [](FakeFileSystem& f) { f.files["rom.smc"][0x24] = 0x77; },
         kBefore + std::string("mientras escribía la tabla (0x20-0x25), pero la ROM ha cambiado "
                               "después y no se ha tocado; si la tabla quedó a medias, recupere la "
                               "ROM de la copia de seguridad «rom.smc.bak»."),
         false},
        {"the ROM grew since", 3, [](FakeFileSystem& f) { f.files["rom.smc"].push_back(0); },
         kBefore + std::string("mientras escribía la tabla (0x20-0x25), pero la ROM ha cambiado"),
         false},
        {"the note damaged", 3, [](FakeFileSystem& f) { f.files[kJournal][50] ^= 1; },
         "Aviso: un recálculo anterior de esta ROM se interrumpió y no se ha podido comprobar cómo "
         "dejó la tabla; no se ha tocado la ROM: si su tabla quedó a medias, recupérela de la "
         "última copia de seguridad (.bak).",
         false},
        {"the note cut short", 3, [](FakeFileSystem& f) { f.files[kJournal].resize(30); },
         "Aviso: un recálculo anterior de esta ROM se interrumpió y no se ha podido comprobar",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        KillInTheTable(fs, c.written);
        c.after(fs);
        const Bytes before = fs.files["rom.smc"];
        const Outcome next = RunZeltor(fs, kArgs);
        EXPECT_EQ(next.code, 0) << next.err;
        EXPECT_EQ(FirstLine(next.err).rfind(c.notice, 0), 0u) << next.err;
        EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(FirstLine(next.err)), std::string::npos);
        const Bytes& after = fs.files["rom.smc"];
        EXPECT_EQ(TableOf(after, 0x20, 3, 2), TableOf(Expected(), 0x20, 3, 2));
        if (c.name != std::string("the ROM grew since")) {
            EXPECT_EQ(after.size(), Expected().size());
        }
        if (c.mended) {
            EXPECT_EQ(fs.files["rom.smc.bak1"], Original());
        } else if (fs.files.count("rom.smc.bak1") != 0) {
            EXPECT_EQ(fs.files["rom.smc.bak1"], before) << "left as it was found";
        }
        EXPECT_EQ(fs.files.count(kJournal), 0u);
        // The note is read once: a third run has nothing to say.
        EXPECT_EQ(RunZeltor(fs, kArgs).err, "");
    }
}

// A dry run writes nothing, not even the mending, but plans as the next run will find the
// ROM; any other run mends first, even one refused for a bad field, and its error line stays
// the last.
TEST(Interrupted, ADryRunOnlyTellsAndARefusedRunStillMends) {
    FakeFileSystem fs;
    KillInTheTable(fs, 3);
    const Bytes torn = fs.files["rom.smc"];
    ASSERT_NE(torn, Original());
    ASSERT_NE(TableOf(torn, 0x20, 3, 2), TableOf(Expected(), 0x20, 3, 2));
    fs.readOnly.insert("rom.smc");
    auto dryArgs = kArgs;
    dryArgs.insert(dryArgs.begin(), "--dry-run");
    const Outcome dry = RunZeltor(fs, dryArgs);
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(dry.err,
              kBefore + std::string("mientras escribía la tabla (0x20-0x25), que quedó a medias; "
                                    "esta simulación no escribe nada: el próximo recálculo sin "
                                    "--dry-run repondrá sus bytes originales, y este informe ya "
                                    "cuenta con ellos.\n"));
    // Entry 1's torn value is 0x0104; the report shows the original one.
    EXPECT_NE(dry.out.find("       1  0x000022   0x0105     0x0104"), std::string::npos) << dry.out;
    EXPECT_EQ(fs.files["rom.smc"], torn);
    EXPECT_EQ(fs.files.count(kJournal), 1u);
    EXPECT_EQ(fs.texts.size(), 0u);

    fs.readOnly.clear();
    auto badField = kArgs;
    badField[1] = "1G";
    const Outcome refused = RunZeltor(fs, badField);
    EXPECT_EQ(refused.code, static_cast<int>(Exit::BadField));
    EXPECT_EQ(FirstLine(refused.err).rfind(kBefore, 0), 0u) << refused.err;
    EXPECT_EQ(LastLine(refused.err).rfind("ERROR 2: ", 0), 0u) << refused.err;
    EXPECT_EQ(fs.files["rom.smc"], Original());
    EXPECT_EQ(fs.files.count(kJournal), 0u);
}

// When the original bytes cannot be put back, the run stops with exit 8 and keeps the note,
// so the run after it, on a disk that works again, mends the table.
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
    EXPECT_EQ(fs.files.count(kJournal), 1u);
    EXPECT_NE(fs.texts["rom.smc.zeltor.log"].find(LastLine(stuck.err)), std::string::npos);

    fs.fullDisk = false;
    const Outcome next = RunZeltor(fs, kArgs);
    EXPECT_EQ(next.code, 0) << next.err;
    EXPECT_EQ(FirstLine(next.err).rfind(kBefore, 0), 0u);
    EXPECT_EQ(fs.files["rom.smc"], Expected());
    EXPECT_EQ(fs.files["rom.smc.bak1"], Original());
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
                         (n <= fs.callNames.size() ? fs.callNames[n - 1] : "?") + "; " + run.err);
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
                EXPECT_EQ(fs.files.count(kJournal), 1u) << "kept for the next run";
                break;
            default:
                ADD_FAILURE() << "exit " << run.code;
            }
            EXPECT_EQ(fs.files.count(zeltor::TemporaryBackupPath("rom.smc")), 0u);
            EXPECT_EQ(fs.files.count(zeltor::TemporaryJournalPath("rom.smc")), 0u);
            if (run.code != 8) {
                EXPECT_EQ(fs.files.count(kJournal), 0u);
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
            EXPECT_EQ(next.files.count(kJournal), 0u);
        }
    }
    EXPECT_GT(runs, 100u);
}

} // namespace
