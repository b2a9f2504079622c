#pragma once

// A corpus of translation jobs, drawn from a fixed seed, as a translator into Spanish meets
// them: strings 0.3 to 4 times their old length, a few 10 times, about one in seven emptied;
// the text in place or moved to free space (the old one left there or wiped); tables before,
// after or far from their text, with padding, data, another table or the text after them; the
// next block of text right after this one. Each job knows the table it must get, and the
// usual typos can be made on it.
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
    // How its games keep pointers: most significant byte first, or split into runs of one
    // byte of every entry (--split); and the one pointer size they use (0: any).
    bool bigEndian = false;
    bool split = false;
    unsigned onlySize = 0;
};

// Every kind the corpus covers; the first is a plain file, whose base the program cannot know.
extern const std::vector<Cartridge> kCartridges;

struct Random {
    std::mt19937 engine{20261208}; // fixed: a failure must be reproducible
    std::uint64_t Pick(std::uint64_t low, std::uint64_t high) {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(engine);
    }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(engine) < p; }
};

// What follows the table.
enum class AfterTable { Zeros, Ones, Data, FarTable, NextTableAdjacent, NextTableApart, Text };

// One job: the ROM as the translator hands it over, the fields to type, the table it must get.
struct Job {
    const Cartridge* cart = nullptr;
    Bytes rom;
    std::uint64_t text = 0, tableStart = 0, tableEnd = 0;
    unsigned size = 2;
    std::uint8_t separator = 0;
    std::optional<std::uint8_t> lineBreak;    // a code inside strings
    std::optional<std::uint64_t> first;       // given by the translator
    std::uint64_t firstValue = 0;             // the first string's new value
    std::vector<std::uint64_t> old, expected; // per entry
    std::vector<std::uint64_t> starts;        // the new strings, one per distinct value
    bool moved = false;
    // Moved where the bytes cannot say where it begins: a plain file, right after another
    // block, or behind 2-byte pointers onto the old values' 16 bits. FIRST is typed then.
    bool needsFirst = false;
    AfterTable after = AfterTable::Zeros;
    // The next table starts right after END and its text right after this one: END one entry
    // short would be the same bytes, so the program refuses and gives both readings.
    bool ambiguous = false;
    std::string what;                 // for a failure's message
    std::vector<std::string> options; // before the ROM: the format, where it is not the map's

    // The table's values as `rom` holds them, read in the cartridge's format.
    std::vector<std::uint64_t> TableIn(const Bytes& rom) const;
};

std::optional<Job> Draw(Random& rnd, const Cartridge& cart, unsigned size);

// The fields as the command line takes them, after the ROM's name.
std::vector<std::string> Arguments(const Job& job);

// A value's bytes as they stand in the ROM (lowest first but for a big-endian table), as the
// first pointer is typed.
std::string Typed(std::uint64_t value, unsigned size, bool bigEndian = false);

// The same job with one usual typo; `name` says which. Only the typos that apply to it.
struct Typo {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> options;
};
std::vector<Typo> Typos(const Job& job);
