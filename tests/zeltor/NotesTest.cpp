// A note beside a ROM is a claim about one file, checked before it is believed: one that does
// not hold stops the run before anything is written, and notes of other ROMs are left alone.
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Journal.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using zeltor::Exit;

Bytes Original() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
}
const std::vector<std::string> kArgs = {"rom.smc", "100", "20", "25", "2", "00"};

// A run killed once 3 bytes of the table were written: entry 1 new, entry 2 still old.
void Torn(FakeFileSystem& fs) {
    fs.files["rom.smc"] = Original();
    fs.killInTableWrite = 3;
    EXPECT_THROW(RunZeltor(fs, kArgs), Killed);
}

std::uint32_t Crc32(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    }
    return ~crc;
}

// A note as 1.1.0 wrote it (the ROM's name and size, no identity), here over the whole ROM
// with other bytes and a right checksum: what a planted note looks like.
Bytes OldNote(const Bytes& rom) {
    Bytes note = {'Z', 'E', 'L', 'T', 'O', 'R', 'N', '1'};
    const auto put = [&](std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            note.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    };
    put(rom.size(), 8);
    put(0, 8);
    put(rom.size(), 8);
    put(7, 4);
    put(11, 4);
    for (const char c : std::string("rom.smcrom.smc.bak")) {
        note.push_back(static_cast<std::uint8_t>(c));
    }
    note.insert(note.end(), rom.begin(), rom.end());
    note.insert(note.end(), rom.size(), 0x55);
    put(Crc32(note), 4);
    return note;
}

struct Case {
    const char* name;
    std::function<void(FakeFileSystem&)> make; // after a run killed in the table's write
    std::string says;
};

// The run stops with exit 10 before its backup and writes nothing, says what it found and how
// to go on, and so does the next run, until the translator has looked.
void ExpectStops(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        Torn(fs);
        c.make(fs);
        const auto before = fs.files;
        for (int run = 0; run < 2; ++run) {
            const Outcome stopped = RunZeltor(fs, kArgs);
            EXPECT_EQ(stopped.code, static_cast<int>(Exit::Note));
            EXPECT_EQ(stopped.err.rfind("ERROR 10: ", 0), 0u) << stopped.err;
            EXPECT_NE(stopped.err.find(c.says), std::string::npos) << stopped.err;
            EXPECT_EQ(fs.files, before) << "nothing written, no backup made, the note kept";
        }
    }
}

// A note that cannot be believed stops the run, and so does a note's name taken. Entries edited
// by hand are never put back, and a backup is named only when it is still the one the note was
// made with. (A note changed in one byte, one from a copy of the folder, and the note's own name
// taken are tried through the real program.)
TEST(Notes, ANoteThatDoesNotHoldStopsTheRunBeforeAnythingIsWritten) {
    const std::string advice = "; no se ha escrito nada. Compruebe la ROM: si su tabla quedó a "
                               "medias, recupérela de ";
    ExpectStops({
        {"a table byte changed since", [](FakeFileSystem& f) { f.files["rom.smc"][0x24] = 0x77; },
         "no cuadra con la tabla (0x20-0x25)" + advice + "«rom.smc.bak»"},
        {"entry 1 put back by hand, entry 2 set to its new value",
         [](FakeFileSystem& f) {
             f.files["rom.smc"][0x22] = 0x05;
             f.files["rom.smc"][0x24] = 0x08;
         },
         "no cuadra con la tabla (0x20-0x25)" + advice + "«rom.smc.bak»"},
        {"that byte, and the backup, changed since",
         [](FakeFileSystem& f) {
             f.files["rom.smc"][0x24] = 0x77;
             f.files["rom.smc.bak"][0x300] ^= 1;
             ++f.stamps["rom.smc.bak"];
         },
         "no cuadra con la tabla (0x20-0x25)" + advice + "una copia de antes de la interrupción"},
        {"the ROM grew", [](FakeFileSystem& f) { f.files["rom.smc"].push_back(0); },
         "es de esta ROM cuando medía 0x400 bytes" + advice + "«rom.smc.bak»"},
        {"the note cut short", [](FakeFileSystem& f) { f.files[NotesOf(f).path].resize(60); },
         "no se puede leer, o está dañada"},
        {"a note of 1.1.0 over the whole ROM",
         [](FakeFileSystem& f) {
             f.files = {{"rom.smc", Original()}};
             f.files[zeltor::OldNotePath("", "rom.smc")] = OldNote(Original());
         },
         "es de Zeltor 1.1.0, que no dice de qué archivo es" + advice +
             "una copia de antes de la interrupción"},
        {"a range past the ROM's end",
         [](FakeFileSystem& f) {
             f.files = {{"rom.smc", Original()}};
             const Bytes old(2, 0xEE), now(2, 0x99);
             const zeltor::Range range{0x3FE, {old.data(), 2}, {now.data(), 2}};
             const zeltor::Range past{0x3FF, {old.data(), 2}, {now.data(), 2}};
             std::string error;
             const zeltor::Range both[] = {range, past};
             EXPECT_TRUE(zeltor::WriteJournal(f, NotesOf(f), {both, std::nullopt}, error));
         },
         "señala bytes que no caben en la ROM"},
        // The note's own name taken is tried through the real program.
        {"the name it is first written under is a FIFO",
         [](FakeFileSystem& f) { f.occupied[NotesOf(f).temporary] = zeltor::NameKind::Pipe; },
         "que esta ROM necesita para la nota de su escritura, lo ocupa una tubería (FIFO); "
         "bórrela o cámbiele el nombre; no se ha escrito nada"},
    });
}

// Notes of other ROMs in the folder, and files that only look like notes, are not this ROM's
// business: the run goes through and leaves them as they are.
TEST(Notes, NotesOfOtherRomsAreLeftAlone) {
    FakeFileSystem fs;
    fs.files["otra.smc"] = Original();
    const Bytes old(2, 0x01), now(2, 0x02);
    const zeltor::Range range{0x20, {old.data(), 2}, {now.data(), 2}};
    std::string error;
    ASSERT_TRUE(
        zeltor::WriteJournal(fs, NotesOf(fs, "otra.smc"), {{&range, 1}, std::nullopt}, error));
    fs.files["zeltor-0000000000000000.pendiente"] = Bytes(100, 0xAB);
    fs.files["rom.smc"] = Original();
    const auto others = fs.files;
    const Outcome run = RunZeltor(fs, kArgs);
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const auto& [name, bytes] : others) {
        if (name != "rom.smc") {
            EXPECT_EQ(fs.files[name], bytes) << name;
        }
    }
}

} // namespace
