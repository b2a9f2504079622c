// A protected write of several ranges of one ROM: stopped anywhere, what is on the disk is what
// its note describes, and the note itself survives no change of a byte.
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/write/Journal.h"
#include "zeltor/write/Safeguard.h"
#include "zeltor/write/Write.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace {

using zeltor::Range;
using zeltor::Shape;

using Places = std::vector<std::pair<std::uint64_t, std::size_t>>;
// Three ranges, the first two across page boundaries, written out of order, with some new
// bytes equal to the old ones; the ROM's other bytes are never to change.
const Places kAcrossPages = {{0x5100, 9000}, {0x10, 5000}, {0x3000, 3}};

struct Layout {
    Bytes rom = Bytes(0x8000);
    Bytes news[3];
    std::vector<Range> ranges;

    explicit Layout(const Places& places = kAcrossPages) {
        std::mt19937 random(24);
        for (auto& b : rom) {
            b = static_cast<std::uint8_t>(random());
        }
        for (int i = 0; i < 3; ++i) {
            const auto [offset, length] = places[i];
            news[i].assign(rom.begin() + offset, rom.begin() + offset + length);
            for (std::size_t k = 0; k < length; k += 1 + k % 3) {
                news[i][k] = static_cast<std::uint8_t>(random());
            }
            ranges.push_back(Range{offset, {rom.data() + offset, length}, news[i]});
        }
    }
    Bytes Written() const {
        Bytes all = rom;
        for (const Range& r : ranges) {
            std::copy(r.replacement.begin(), r.replacement.end(), all.begin() + r.offset);
        }
        return all;
    }
};

// Plays the ROM alone: the faults switched on for one run.
FakeFileSystem WithRom(const Bytes& rom) {
    FakeFileSystem fs;
    fs.files["rom.smc"] = rom;
    return fs;
}

Shape ShapeOf(FakeFileSystem& fs, const std::vector<Range>& ranges) {
    zeltor::FileError error;
    const auto rom = fs.Open("rom.smc", false, error);
    Bytes buffer;
    return zeltor::Classify(*rom, ranges, buffer);
}

// Killed after any number of bytes of the write, the ranges hold new bytes up to some point
// and old ones after it; putting them back, killed anywhere (the system keeps a write's whole
// pages), keeps that so; either one let finish leaves exactly the new or the old ROM.
TEST(Ranges, AWriteOrAPutBackStoppedAnywhereLeavesWhatTheNoteDescribes) {
    const Layout layout;
    std::size_t total = 0;
    for (const Range& r : layout.ranges) {
        total += r.original.size();
    }
    Bytes back(zeltor::LargestRange(layout.ranges));
    std::string system;
    zeltor::FileError error;
    for (std::size_t killAt = 0; killAt <= total + 1; killAt += killAt % 1000 < 4 ? 1 : 257) {
        SCOPED_TRACE("killed after " + std::to_string(killAt) + " bytes");
        FakeFileSystem fs = WithRom(layout.rom);
        fs.killInTableWrite = killAt;
        if (killAt > total) {
            fs.killInTableWrite.reset();
            EXPECT_EQ(
                zeltor::WriteTable(*fs.Open("rom.smc", true, error), layout.ranges, back, system)
                    .state,
                zeltor::TableState::Written);
            EXPECT_EQ(fs.files["rom.smc"], layout.Written());
            continue;
        }
        EXPECT_THROW(
            zeltor::WriteTable(*fs.Open("rom.smc", true, error), layout.ranges, back, system),
            Killed);
        const Shape torn = ShapeOf(fs, layout.ranges);
        EXPECT_EQ(torn, killAt == 0       ? Shape::Original
                        : killAt == total ? Shape::Written
                                          : Shape::Torn);
        const Bytes left = fs.files["rom.smc"];
        for (std::size_t stop = 0;; stop += stop % 4096 < 4 || stop % 4096 > 4092 ? 1 : 509) {
            FakeFileSystem again = WithRom(left);
            again.killInTableWrite = stop;
            again.killByPages = true;
            try {
                EXPECT_EQ(zeltor::PutBack(*again.Open("rom.smc", true, error), layout.ranges, back),
                          zeltor::Step::Done);
                EXPECT_EQ(again.files["rom.smc"], layout.rom);
                break;
            } catch (const Killed&) {
                const Shape now = ShapeOf(again, layout.ranges);
                EXPECT_TRUE(now == Shape::Torn || now == Shape::Original || now == torn)
                    << "put back stopped after " << stop << " bytes";
            }
        }
    }
}

// A write that fails in any range, or whose check fails, puts every range's original bytes
// back; when that fails too, the state said is the state on the disk, and a damaged ROM still
// holds what the note describes.
TEST(Ranges, AFailedWriteOfAnyRangePutsEveryRangeBack) {
    const Layout layout;
    using zeltor::TableState;
    struct Case {
        const char* name;
        std::function<void(FakeFileSystem&)> arm;
        TableState state;
    };
    const Case cases[] = {
        {"the first range stops halfway", [](FakeFileSystem& f) { f.breakNextWriteAfter = 4500; },
         TableState::PutBack},
        {"a range reads back otherwise", [](FakeFileSystem& f) { f.corruptReadBack = true; },
         TableState::PutBack},
        // Write, flush and read of the first range, then the second's write throws.
        {"the second range's write throws", [](FakeFileSystem& f) { f.throwAtCall = 4; },
         TableState::PutBack},
        {"nothing reaches a full disk", [](FakeFileSystem& f) { f.fullDisk = true; },
         TableState::Unchanged},
        {"the disk fills halfway", [](FakeFileSystem& f) { f.breakAllWrites = true; },
         TableState::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs = WithRom(layout.rom);
        zeltor::FileError error;
        const auto rom = fs.Open("rom.smc", true, error);
        fs.calls = 0;
        c.arm(fs);
        Bytes back(zeltor::LargestRange(layout.ranges));
        std::string system;
        system.reserve(64);
        EXPECT_EQ(zeltor::WriteTable(*rom, layout.ranges, back, system).state, c.state);
        if (c.state == TableState::Damaged) {
            EXPECT_EQ(ShapeOf(fs, layout.ranges), Shape::Torn);
        } else {
            EXPECT_EQ(fs.files["rom.smc"], layout.rom);
        }
    }
}

// The note gives back every range, in its order, with the ROM's identity and the backup's
// mark; any byte of it changed, or any length cut off, and it is unreadable.
TEST(Ranges, TheNoteKeepsEveryRangeAndNoChangedByteGoesUnseen) {
    const Layout layout({{0x200, 3}, {0x10, 5}, {0x7FFE, 2}});
    FakeFileSystem fs = WithRom(layout.rom);
    const zeltor::NotePlace place = NotesOf(fs);
    std::string error;
    ASSERT_TRUE(zeltor::WriteJournal(
        fs, place, {layout.ranges, zeltor::BackupMark{"rom.smc.bak", 0x8000, -77}}, error))
        << error;
    const auto read = [&](const Bytes& bytes) {
        fs.files["copy"] = bytes;
        zeltor::FileError ignored;
        return zeltor::ReadJournal(*fs.Open("copy", false, ignored), layout.rom.size());
    };
    const Bytes note = fs.files[place.path];
    const zeltor::Note back = read(note);
    ASSERT_EQ(back.kind, zeltor::Note::Kind::Current);
    EXPECT_EQ(back.name, "rom.smc");
    EXPECT_EQ(back.rom.number, place.rom.number);
    EXPECT_EQ(back.rom.size, layout.rom.size());
    ASSERT_TRUE(back.backup.has_value());
    EXPECT_EQ(back.backup->name, "rom.smc.bak");
    EXPECT_EQ(back.backup->modified, -77);
    ASSERT_EQ(back.ranges.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.ranges[i].offset, layout.ranges[i].offset);
        EXPECT_TRUE(std::ranges::equal(back.ranges[i].original, layout.ranges[i].original));
        EXPECT_TRUE(std::ranges::equal(back.ranges[i].replacement, layout.ranges[i].replacement));
    }
    for (std::size_t i = 0; i < note.size(); ++i) {
        Bytes changed = note;
        changed[i] ^= 0x10;
        EXPECT_EQ(read(changed).kind, zeltor::Note::Kind::Unreadable) << "byte " << i;
        EXPECT_EQ(read(Bytes(note.begin(), note.begin() + static_cast<std::ptrdiff_t>(i))).kind,
                  zeltor::Note::Kind::Unreadable)
            << "cut at " << i;
    }
}

} // namespace
