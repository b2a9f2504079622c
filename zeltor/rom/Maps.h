#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// How a console addresses the bytes of a ROM file. A pointer holds a console address, so the
// distance between two strings' pointers is the distance between their addresses, which is the
// distance in the file only where the console sees the file as one block.
namespace zeltor {

enum class MapKind { Linear, LoRom, HiRom, GameBoy, Nes, MegaDrive, Gba };

// "linear", "lorom", "hirom", "gb", "nes", "md" or "gba", as --map takes them, in any case.
std::optional<MapKind> MapFromName(std::string_view name);
// Those names, for the message that refuses another: "linear, lorom, ... o gba".
std::string MapNames();

// Where the console sees one byte of the file.
struct Place {
    // The console address; where there are banks, the bank sits in the bits above the 16th,
    // as a 3-byte pointer holds it.
    std::uint64_t address = 0;
    // The file positions of the byte's bank, both included: a 2-byte pointer reaches no
    // further.
    std::uint64_t bankFirst = 0, bankLast = 0;
};

class AddressMap {
public:
    virtual ~AddressMap() = default;
    // "LoROM", "Game Boy"...
    virtual const char* Name() const = 0;
    // The address of the byte at `position`; nothing for a byte the console does not see,
    // such as a header.
    virtual std::optional<Place> Locate(std::uint64_t position) const = 0;
    // How many bytes of ROM come before what `address` points to: the difference of two is
    // the distance in the file between what two pointers address, without the gaps between
    // banks. Mirrors of a bank count as the bank.
    virtual std::int64_t Linear(std::uint64_t address) const = 0;
    // The file position of the ROM byte a console `address` shows, mirrors folded; nothing
    // for an address where the console shows no ROM (its RAM, its registers, a header).
    virtual std::optional<std::uint64_t> Position(std::uint64_t address) const = 0;
    // The address a 2-byte pointer `value` stands for while the bank of the byte at `position`
    // is the one switched in: a 2-byte pointer holds no bank.
    virtual std::uint64_t InBankOf(std::uint64_t position, std::uint32_t value) const;
};

// The file as one block, addresses equal to positions.
std::unique_ptr<AddressMap> MakeLinearMap();
// Mega Drive: the cartridge at address 0, the file as one block; named so in the report.
std::unique_ptr<AddressMap> MakeMegaDriveMap();
// Game Boy Advance: the cartridge at 0x08000000, 32 MiB at most, mirrored at 0x0A000000 and
// 0x0C000000 (the other wait states).
std::unique_ptr<AddressMap> MakeGbaMap();
// SNES: 32 KiB banks at $8000-$FFFF, or 64 KiB banks, after a copier header of `header` bytes.
std::unique_ptr<AddressMap> MakeLoRomMap(std::uint64_t header);
std::unique_ptr<AddressMap> MakeHiRomMap(std::uint64_t header);
// Bank 0 at $0000-$3FFF, bank n >= 1 at $4000-$7FFF.
std::unique_ptr<AddressMap> MakeGameBoyMap();
// The PRG ROM from `prgStart` on, `prgSize` bytes, seen through a window of `bankSize` bytes
// at $8000.
std::unique_ptr<AddressMap> MakeNesMap(std::uint64_t prgStart, std::uint64_t prgSize,
                                       std::uint64_t bankSize);

} // namespace zeltor
