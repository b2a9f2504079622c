#pragma once

// A corpus of ordinary translations, drawn from a fixed seed, for the recalculator to go
// through exactly: what each console's ROM, text, table and surroundings look like.
#include "tests/zeltor/ConsoleRoms.h"

#include <optional>
#include <random>
#include <string>
#include <vector>

// One kind of cartridge: its blank ROM, how it addresses the file, and where text and tables
// may go (away from its headers).
struct Cartridge {
    const char* name;
    Bytes (*blank)();
    AddressOf address;
    std::uint64_t zoneFirst, zoneEnd; // positions free for text and tables
    std::uint64_t hole, holeEnd;      // a header inside the zone, if any
};

// Every kind the corpus covers.
extern const std::vector<Cartridge> kCartridges;

enum class First { Absent, Same, Moved };
enum class AfterTable { Zeros, Ones, Random, OtherTable, Text };

struct Random {
    std::mt19937 engine{20240917}; // fixed: a failure must be reproducible
    std::uint64_t Pick(std::uint64_t low, std::uint64_t high) {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(engine);
    }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(engine) < p; }
};

// One ordinary translation, laid out in a ROM.
struct Translation {
    Bytes rom;
    std::vector<std::string> args; // after the ROM's name, FIRST included when given
    std::vector<std::uint64_t> old, expected;
    std::vector<std::uint64_t> oldLengths; // per distinct value, ascending
    std::uint64_t textStart = 0, tableStart = 0, freeStart = 0, freeLength = 0;
    unsigned size = 2;
    std::uint8_t separator = 0, freeByte = 0;
    bool freeIsPadding = false;
    AfterTable after = AfterTable::Zeros;
    std::uint64_t oldStart = 0, oldEnd = 0; // where the old text was
    std::uint64_t otherStart = 0;           // where another table's block of text is
    bool otherApart = false;                // its pointers cannot be taken for this table's
};

// An ordinary translation on this cartridge; nothing when the draw does not fit it.
std::optional<Translation> Draw(Random& rnd, const Cartridge& cart, unsigned size, First first,
                                AfterTable after);

// A value's bytes as they stand in the ROM, as the first pointer is typed.
std::string Typed(std::uint64_t value, unsigned size);
