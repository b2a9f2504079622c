#include "zeltor/rom/Checksum.h"
#include "tests/zeltor/ConsoleRoms.h"
#include "zeltor/rom/Recognize.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

using zeltor::ChecksumField;
using zeltor::ChecksumRole;
using zeltor::MapKind;
using zeltor::Overlay;
using zeltor::RecognisedHeader;

constexpr std::size_t KiB = 1024;
constexpr std::size_t MiB = 1024 * KiB;

// A ROM in memory that notes its largest read and can fail.
class MemoryRom final : public zeltor::File {
public:
    explicit MemoryRom(const Bytes& bytes) : m_Bytes(bytes) {}
    std::size_t largestRead = 0;
    std::optional<std::size_t> failAfter; // reads fail once this many bytes have been read

    bool Size(std::uint64_t& size) override {
        size = m_Bytes.size();
        return true;
    }
    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        largestRead = std::max(largestRead, count);
        if (offset + count > m_Bytes.size() || (failAfter && m_Read + count > *failAfter)) {
            m_Error = {zeltor::Cause::Other, "I/O error"};
            return false;
        }
        std::memcpy(buffer, m_Bytes.data() + offset, count);
        m_Read += count;
        return true;
    }
    bool Write(std::uint64_t, const void*, std::size_t) override { return false; }
    bool Flush() override { return true; }
    bool Info(zeltor::FileInfo&) override { return false; }

private:
    const Bytes& m_Bytes;
    std::size_t m_Read = 0;
};

void Apply(Bytes& rom, const std::vector<Overlay>& changes) {
    for (const Overlay& c : changes) {
        std::copy(c.bytes.begin(), c.bytes.end(),
                  rom.begin() + static_cast<std::ptrdiff_t>(c.offset));
    }
}

std::vector<Overlay> Written(const std::vector<ChecksumField>& fields) {
    std::vector<Overlay> written;
    written.reserve(fields.size());
    for (const ChecksumField& f : fields) {
        written.push_back({f.offset, f.newBytes});
    }
    return written;
}

struct Expected {
    ChecksumRole role;
    std::uint64_t offset;
    bool bigEndian;
};

std::uint32_t ValueOf(const std::vector<std::uint8_t>& bytes, bool bigEndian) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        value = value << 8 | bytes[bigEndian ? i : bytes.size() - 1 - i];
    }
    return value;
}

Overlay Text(std::uint64_t at, std::size_t length, std::uint8_t first) {
    Overlay o{at, Bytes(length)};
    for (std::size_t i = 0; i < length; ++i) {
        o.bytes[i] = static_cast<std::uint8_t>(first + 7 * i);
    }
    return o;
}

struct Case {
    const char* name;
    Bytes rom;
    std::optional<MapKind> asked; // --map
    std::vector<Overlay> changes;
    std::optional<RecognisedHeader> header;
    std::vector<Expected> fields;
};

Bytes Snes(bool hiRom, std::size_t size, bool copier = false) {
    const std::size_t header = (copier ? 512 : 0) + (hiRom ? 0xFFC0 : 0x7FC0);
    return Noisy(SnesRom(hiRom, size, copier), header, header + 0x3F);
}

std::vector<Case> Cases() {
    using R = ChecksumRole;
    const auto snes = [](std::uint64_t at) {
        return std::vector<Expected>{{R::Complement, at + 0x1C, false},
                                     {R::Checksum, at + 0x1E, false}};
    };
    const auto at = [](std::uint64_t offset) { return std::vector<Overlay>{Text(offset, 64, 1)}; };
    const RecognisedHeader lo{MapKind::LoRom, 0x7FC0, 0}, hi{MapKind::HiRom, 0xFFC0, 0};
    const RecognisedHeader gb{MapKind::GameBoy, 0x100, 0}, md{MapKind::MegaDrive, 0x100, 0};
    const RecognisedHeader gba{MapKind::Gba, 0, 0};
    const std::vector<Expected> global = {{R::Checksum, 0x14E, true}};
    const std::vector<Expected> mdSum = {{R::Checksum, 0x18E, true}};
    const Bytes gbRom = Noisy(GameBoyRom(256 * KiB), 0x100, 0x14F);
    const Bytes gbaRom = Noisy(GbaRom(256 * KiB), 0, 0xBF);
    const Bytes plain = Noisy(Bytes(512 * KiB), 1, 0);
    return {
        {"LoROM, 512 KiB", Snes(false, 512 * KiB), {}, at(0x10000), lo, snes(0x7FC0)},
        // Changes that overlap, the later one counting, and one across a chunk's end.
        {"HiROM, 1 MiB",
         Snes(true, MiB),
         {},
         {Text(0x20000, 64, 1), Text(0x20010, 8, 99), Text(0x3FFF0, 32, 5)},
         hi,
         snes(0xFFC0)},
        {"LoROM behind a copier header",
         Snes(false, 512 * KiB, true),
         {},
         at(0x10200),
         RecognisedHeader{MapKind::LoRom, 0x81C0, 512},
         snes(0x81C0)},
        // The header's size byte says 512 KiB: the file's size counts. A change in the 512 KiB
        // that the console repeats counts twice.
        {"LoROM, 1.5 MiB: 1 MiB then 512 KiB twice",
         Snes(false, MiB + 512 * KiB),
         {},
         at(0x120000),
         lo,
         snes(0x7FC0)},
        {"HiROM, 3 MiB: 2 MiB then 1 MiB twice",
         Snes(true, 3 * MiB),
         {},
         at(0x280000),
         hi,
         snes(0xFFC0)},
        // The rest is 128 KiB then 64 KiB twice, and that 256 KiB picture four times: a change
        // in the last 64 KiB counts eight times.
        {"LoROM, 1 MiB + 192 KiB",
         Snes(false, MiB + 192 * KiB),
         {},
         at(0x128000),
         lo,
         snes(0x7FC0)},
        {"--map lorom on a LoROM", Snes(false, 512 * KiB), MapKind::LoRom, at(0x10000), lo,
         snes(0x7FC0)},
        {"--map hirom on a LoROM", Snes(false, 512 * KiB), MapKind::HiRom, at(0x10000), {}, {}},
        {"--map lorom on plain data", plain, MapKind::LoRom, at(0x10000), {}, {}},
        {"Game Boy, a change outside the header", gbRom, {}, at(0x4000), gb, global},
        {"Game Boy, a change in the title",
         gbRom,
         {},
         {Text(0x4000, 64, 1), Text(0x13C, 4, 0x41)},
         gb,
         {{R::HeaderChecksum, 0x14D, true}, {R::Checksum, 0x14E, true}}},
        {"Mega Drive",
         Noisy(MegaDriveRom(512 * KiB), 0x100, 0x1FF),
         {},
         {Text(0x10001, 63, 1)},
         md,
         mdSum},
        {"Mega Drive of an odd size, its last byte changed",
         Noisy(MegaDriveRom(512 * KiB + 1), 0x100, 0x1FF),
         {},
         {Text(512 * KiB - 7, 8, 0x80)},
         md,
         mdSum},
        {"Game Boy Advance, a change in the header",
         gbaRom,
         {},
         {Text(0x10000, 64, 1), Text(0xA4, 4, 0x41)},
         gba,
         {{R::HeaderComplement, 0xBD, true}}},
        {"Game Boy Advance, a change outside the header", gbaRom, {}, at(0xC0), gba, {}},
        {"NES", NesRom(1, 8), {}, at(0x1000), RecognisedHeader{MapKind::Nes, 0, 0}, {}},
        {"plain data", plain, {}, at(0x10000), {}, {}},
    };
}

// Each console's checksum after the write is what the console computes over the ROM as
// written, and a run over that ROM finds nothing stale.
TEST(Checksum, EachConsolesSumHoldsAfterTheWrite) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        MemoryRom file(c.rom);
        auto chosen = zeltor::ChooseMap(c.asked, file, c.rom.size());
        ASSERT_TRUE(std::holds_alternative<zeltor::MapChoice>(chosen));
        const std::optional<RecognisedHeader> header = std::get<zeltor::MapChoice>(chosen).header;
        EXPECT_EQ(header, c.header);
        const auto result = zeltor::ChecksumsAfter(header, file, c.rom.size(), c.changes);
        ASSERT_TRUE(std::holds_alternative<std::vector<ChecksumField>>(result));
        const auto& fields = std::get<std::vector<ChecksumField>>(result);
        ASSERT_EQ(fields.size(), c.fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const ChecksumField& f = fields[i];
            EXPECT_EQ(f.role, c.fields[i].role);
            ASSERT_EQ(f.offset, c.fields[i].offset);
            EXPECT_EQ(f.oldBytes, Bytes(c.rom.begin() + static_cast<std::ptrdiff_t>(f.offset),
                                        c.rom.begin() + static_cast<std::ptrdiff_t>(
                                                            f.offset + f.oldBytes.size())));
            EXPECT_EQ(f.oldValue, ValueOf(f.oldBytes, c.fields[i].bigEndian));
            EXPECT_EQ(f.newValue, ValueOf(f.newBytes, c.fields[i].bigEndian));
        }
        Bytes written = c.rom;
        Apply(written, c.changes);
        Apply(written, Written(fields));
        if (header) {
            ExpectConsoleAgrees(header->console, written, header->at, header->copier);
        }
        MemoryRom again(written);
        const auto current = zeltor::ChecksumsAfter(header, again, written.size(), {});
        for (const ChecksumField& f : std::get<std::vector<ChecksumField>>(current)) {
            EXPECT_FALSE(f.Stale()) << f.offset;
        }
    }
}

// A 4 MiB ROM is read a bounded chunk at a time; a read that fails refuses, naming the sum.
TEST(Checksum, ReadsInChunksAndRefusesWhatItCannotRead) {
    const Bytes rom = SnesRom(false, 4 * MiB, false);
    const RecognisedHeader lo{MapKind::LoRom, 0x7FC0, 0};
    MemoryRom file(rom);
    ASSERT_TRUE(std::holds_alternative<std::vector<ChecksumField>>(
        zeltor::ChecksumsAfter(lo, file, rom.size(), {Text(0x10000, 64, 1)})));
    EXPECT_LE(file.largestRead, zeltor::kChecksumChunk);
    for (const std::size_t failAfter : {std::size_t{0}, 3 * MiB}) {
        MemoryRom failing(rom);
        failing.failAfter = failAfter;
        const auto result = zeltor::ChecksumsAfter(lo, failing, rom.size(), {});
        ASSERT_TRUE(std::holds_alternative<zeltor::Refusal>(result)) << failAfter;
        const zeltor::Refusal& refusal = std::get<zeltor::Refusal>(result);
        EXPECT_EQ(refusal.code, zeltor::Exit::CannotOpen);
        EXPECT_NE(refusal.message.find("suma de comprobación"), std::string::npos);
        EXPECT_NE(refusal.message.find("I/O error"), std::string::npos) << refusal.message;
    }
}

} // namespace
