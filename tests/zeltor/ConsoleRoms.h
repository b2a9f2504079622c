#pragma once

// ROM images with the headers by which each console's address map is recognised, and each
// map's addresses written out once more, from the consoles' documentation, to check the
// program's against.
#include "tests/zeltor/RecalculatorTestSupport.h"
#include "zeltor/rom/Maps.h"

#include <algorithm>
#include <cstdint>
#include <functional>

enum class Console { Linear, LoRom, HiRom, GameBoy, Nes, MegaDrive, Gba };

// SNES: `size` bytes of ROM after an optional 512-byte copier header, with the internal
// header at 0x7FC0 (LoROM) or 0xFFC0 (HiROM): a title, the map mode, the ROM size, a
// checksum and complement that agree with each other (but not with the ROM), a reset vector.
inline Bytes SnesRom(bool hiRom, std::size_t size, bool copier, std::uint8_t filler = 0xEE) {
    const std::size_t h = copier ? 512 : 0;
    Bytes rom(h + size, filler);
    std::uint8_t* header = &rom.at(h + (hiRom ? 0xFFC0 : 0x7FC0));
    const char title[] = "ZELTOR PRUEBA        ";
    std::copy(title, title + 21, header);
    header[0x15] = hiRom ? 0x21 : 0x20;
    header[0x16] = 0x00;
    header[0x17] = 0x09; // 512 KiB
    header[0x18] = 0x00;
    header[0x1C] = 0xCB; // complement 0xEDCB
    header[0x1D] = 0xED;
    header[0x1E] = 0x34; // checksum 0x1234
    header[0x1F] = 0x12;
    header[0x3C] = 0x00; // reset at $8000
    header[0x3D] = 0x80;
    return rom;
}

// Game Boy: the logo's first bytes, a title, the ROM size code and the header checksum.
inline Bytes GameBoyRom(std::size_t size, std::uint8_t filler = 0xEE) {
    Bytes rom(size, filler);
    const std::uint8_t logo[] = {0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B};
    std::copy(logo, logo + sizeof logo, &rom.at(0x104));
    const char title[] = "ZELTORPRUEBA";
    std::copy(title, title + 12, &rom.at(0x134));
    std::uint8_t code = 0;
    while ((std::size_t{0x8000} << code) < size) {
        ++code;
    }
    rom.at(0x147) = 0x01; // MBC1
    rom.at(0x148) = code;
    std::uint8_t sum = 0;
    for (std::size_t i = 0x134; i <= 0x14C; ++i) {
        sum = static_cast<std::uint8_t>(sum - rom[i] - 1);
    }
    rom.at(0x14D) = sum;
    return rom;
}

// NES: the 16-byte iNES header, then `prgBanks` of 16 KiB of PRG and 8 KiB of CHR.
inline Bytes NesRom(unsigned mapper, unsigned prgBanks, std::uint8_t filler = 0xEE) {
    Bytes rom(16 + prgBanks * std::size_t{0x4000} + 0x2000, filler);
    const std::uint8_t header[16] = {'N',
                                     'E',
                                     'S',
                                     0x1A,
                                     static_cast<std::uint8_t>(prgBanks),
                                     1,
                                     static_cast<std::uint8_t>((mapper & 0x0F) << 4),
                                     static_cast<std::uint8_t>(mapper & 0xF0)};
    std::copy(header, header + 16, rom.begin());
    return rom;
}

// Mega Drive: the header from 0x100, which begins with the console's name.
inline Bytes MegaDriveRom(std::size_t size, std::uint8_t filler = 0xEE) {
    Bytes rom(size, filler);
    const char header[] = "SEGA MEGA DRIVE (C)ZELT 2024.JAN";
    std::copy(header, header + 32, &rom.at(0x100));
    return rom;
}

// Game Boy Advance: a branch over the header, a title and game code, the fixed 0x96 (or
// `fixed`) and the header's complement, which the console computes over 0xA0-0xBC and checks
// at start.
inline Bytes GbaRom(std::size_t size, std::uint8_t fixed = 0x96, std::uint8_t filler = 0xEE) {
    Bytes rom(size, filler);
    const std::uint8_t branch[] = {0x2E, 0x00, 0x00, 0xEA};
    std::copy(branch, branch + 4, rom.begin());
    const char title[] = "ZELTORPRUEBAAZTE01";
    std::copy(title, title + 18, &rom.at(0xA0));
    rom.at(0xB2) = fixed;
    std::fill(&rom.at(0xB3), &rom.at(0xBD), 0x00);
    int complement = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        complement -= rom[i];
    }
    rom.at(0xBD) = static_cast<std::uint8_t>((complement - 0x19) & 0xFF);
    return rom;
}

// Each map's address of a file position, as the consoles' documentation gives it: the bank
// above the 16th bit, then the address in the window the bank is seen through.
struct AddressOf {
    Console console;
    std::uint64_t header = 0;  // copier header (SNES) or iNES header (NES)
    std::uint64_t nesBank = 0; // the PRG window's size (NES)

    std::uint64_t operator()(std::uint64_t position) const {
        const std::uint64_t p = position - header;
        switch (console) {
        case Console::Linear:
            return position;
        case Console::LoRom:
            return ((p / 0x8000) << 16) + 0x8000 + p % 0x8000;
        case Console::HiRom:
            return 0xC00000 + p;
        case Console::GameBoy:
            return p < 0x4000 ? p : ((p / 0x4000) << 16) + 0x4000 + p % 0x4000;
        case Console::Nes:
            return ((p / nesBank) << 16) + 0x8000 + p % nesBank;
        case Console::MegaDrive:
            return position;
        case Console::Gba:
            return 0x08000000 + position;
        }
        return 0;
    }
    // The file positions of the bank that holds `position`.
    std::uint64_t BankEnd(std::uint64_t position) const {
        const std::uint64_t bank = console == Console::LoRom     ? 0x8000
                                   : console == Console::HiRom   ? 0x10000
                                   : console == Console::GameBoy ? 0x4000
                                   : console == Console::Nes     ? nesBank
                                   : console == Console::Gba     ? 0x2000000
                                                                 : 0;
        if (bank == 0) {
            return UINT64_MAX;
        }
        return header + ((position - header) / bank + 1) * bank - 1;
    }
};

// Writes `strings` from `at`, each ended by `separator`; returns the position after the last.
inline std::uint64_t PutStrings(Bytes& rom, std::uint64_t at,
                                const std::vector<std::string>& strings, std::uint8_t separator) {
    for (const std::string& s : strings) {
        for (char c : s) {
            rom.at(at++) = static_cast<std::uint8_t>(c);
        }
        rom.at(at++) = separator;
    }
    return at;
}

// A table's bytes as the game keeps them, worked out here, not by the
// program: most significant byte first when big endian, and split into runs of one byte of
// every entry when split.
inline Bytes Encoded(const std::vector<std::uint64_t>& values, unsigned size, bool bigEndian,
                     bool split) {
    Bytes bytes(values.size() * size);
    for (std::size_t k = 0; k < values.size(); ++k) {
        for (unsigned b = 0; b < size; ++b) {
            const unsigned place = bigEndian ? size - 1 - b : b;
            bytes[split ? b * values.size() + k : k * size + b] =
                static_cast<std::uint8_t>(values[k] >> (8 * place));
        }
    }
    return bytes;
}

// Writes the values little endian in `size` bytes each from `at`.
inline void PutTable(Bytes& rom, std::uint64_t at, unsigned size,
                     const std::vector<std::uint64_t>& values) {
    for (std::uint64_t v : values) {
        for (unsigned b = 0; b < size; ++b) {
            rom.at(at++) = static_cast<std::uint8_t>(v >> (8 * b));
        }
    }
}

inline std::string HexOf(std::uint64_t v) {
    std::ostringstream s;
    s << std::hex << v;
    return s.str();
}

// Different bytes everywhere but in first..last (the header), so that a block summed the wrong
// number of times, or a copier's header summed at all, changes the sum.
inline Bytes Noisy(Bytes rom, std::size_t first, std::size_t last) {
    std::uint32_t seed = 0x2545F491;
    for (std::size_t i = 0; i < rom.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        if (i < first || i > last) {
            rom[i] = static_cast<std::uint8_t>(seed >> 24);
        }
    }
    return rom;
}

inline std::uint64_t LargestPowerOfTwo(std::uint64_t size) {
    std::uint64_t p = 1;
    while (p * 2 <= size) {
        p *= 2;
    }
    return p;
}
// The SNES's picture of a ROM of `size` bytes: the largest power of two not above the size,
// then the rest, seen again and again until it fills as much; the rest is pictured the same
// way on its own.
inline std::uint64_t Picture(std::uint64_t size) {
    const std::uint64_t p = LargestPowerOfTwo(size);
    return p == size ? p : 2 * p;
}
// The ROM byte the console reads at `address` of that picture.
inline std::uint64_t Seen(std::uint64_t address, std::uint64_t size) {
    const std::uint64_t p = LargestPowerOfTwo(size);
    if (address < p) {
        return address;
    }
    const std::uint64_t rest = size - p;
    return p + Seen((address - p) % Picture(rest), rest);
}

inline unsigned Word(const Bytes& rom, std::size_t at, bool bigEndian) {
    return bigEndian ? rom[at] << 8 | rom[at + 1] : rom[at + 1] << 8 | rom[at];
}

// Whether the console, or the emulator that checks what it checks, takes the ROM's checksums,
// from each console's documentation. `at` is the SNES internal header's place.
inline void ExpectConsoleAgrees(zeltor::MapKind console, const Bytes& rom, std::size_t at,
                                std::size_t copier) {
    unsigned sum = 0;
    switch (console) {
    case zeltor::MapKind::LoRom:
    case zeltor::MapKind::HiRom:
        for (std::uint64_t a = 0, size = rom.size() - copier; a < Picture(size); ++a) {
            sum += rom[copier + Seen(a, size)];
        }
        EXPECT_EQ(Word(rom, at + 0x1E, false), sum & 0xFFFF);
        EXPECT_EQ(Word(rom, at + 0x1C, false), ~sum & 0xFFFF);
        break;
    case zeltor::MapKind::GameBoy: {
        for (std::size_t i = 0; i < rom.size(); ++i) {
            sum += i == 0x14E || i == 0x14F ? 0 : rom[i];
        }
        EXPECT_EQ(Word(rom, 0x14E, true), sum & 0xFFFF);
        std::uint8_t x = 0;
        for (std::size_t i = 0x134; i <= 0x14C; ++i) {
            x = static_cast<std::uint8_t>(x - rom[i] - 1);
        }
        EXPECT_EQ(rom[0x14D], x);
        break;
    }
    case zeltor::MapKind::MegaDrive: {
        Bytes even = rom; // an odd last byte: the high byte of a word ending in 0
        even.resize((rom.size() + 1) / 2 * 2, 0x00);
        for (std::size_t i = 0x200; i < even.size(); i += 2) {
            sum += Word(even, i, true);
        }
        EXPECT_EQ(Word(rom, 0x18E, true), sum & 0xFFFF);
        break;
    }
    case zeltor::MapKind::Gba:
        for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
            sum += rom[i];
        }
        EXPECT_EQ(rom[0xBD], (0u - sum - 0x19) & 0xFF);
        break;
    default:
        break;
    }
}

inline zeltor::MapKind KindOf(Console c) {
    const zeltor::MapKind kinds[] = {zeltor::MapKind::Linear, zeltor::MapKind::LoRom,
                                     zeltor::MapKind::HiRom,  zeltor::MapKind::GameBoy,
                                     zeltor::MapKind::Nes,    zeltor::MapKind::MegaDrive,
                                     zeltor::MapKind::Gba};
    return kinds[static_cast<int>(c)];
}

// The bytes of the checksum a run brings up to date with the tables (an SNES's complement
// with it); `snes` is where the SNES internal header lies. None for the other consoles.
inline std::vector<std::uint64_t> ChecksumBytes(Console console, std::uint64_t snes) {
    switch (console) {
    case Console::LoRom:
    case Console::HiRom:
        return {snes + 0x1C, snes + 0x1D, snes + 0x1E, snes + 0x1F};
    case Console::GameBoy:
        return {0x14E, 0x14F};
    case Console::MegaDrive:
        return {0x18E, 0x18F};
    default:
        return {};
    }
}
