#pragma once

#include "tests/zeltor/FakeFileSystem.h"
#include "zeltor/Outcome.h"
#include "zeltor/Session.h"
#include "zeltor/words/Arguments.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Journal.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A ROM of `length` bytes of 0xEE filler, with the strings (each followed by the separator)
// at textStart and the old pointer values, little endian, at tableStart.
inline Bytes MakeRom(std::size_t length, std::uint32_t textStart,
                     const std::vector<std::string>& strings, std::uint8_t separator,
                     std::uint32_t tableStart, unsigned size,
                     const std::vector<std::uint32_t>& oldValues) {
    Bytes rom(length, 0xEE);
    std::size_t at = textStart;
    for (const std::string& s : strings) {
        for (char c : s) {
            rom.at(at++) = static_cast<std::uint8_t>(c);
        }
        rom.at(at++) = separator;
    }
    for (std::size_t k = 0; k < oldValues.size(); ++k) {
        for (unsigned b = 0; b < size; ++b) {
            rom.at(tableStart + k * size + b) = static_cast<std::uint8_t>(oldValues[k] >> (8 * b));
        }
    }
    return rom;
}

inline std::vector<std::uint32_t> TableOf(const Bytes& rom, std::size_t tableStart,
                                          std::size_t count, unsigned size) {
    std::vector<std::uint32_t> values;
    for (std::size_t k = 0; k < count; ++k) {
        std::uint32_t v = 0;
        for (unsigned b = size; b-- > 0;) {
            v = (v << 8) | rom.at(tableStart + k * size + b);
        }
        values.push_back(v);
    }
    return values;
}

struct Outcome {
    int code;
    std::string out;
    std::string err;     // stderr without the summary: warnings, or the error line
    std::string summary; // the last line of a run that went through
};

// A run that went through ends stderr with its summary ("Hecho: ...", "Simulación: ..."); it
// is taken off `err`, so that what is left are the warnings.
inline Outcome SplitSummary(int code, std::string out, std::string err) {
    Outcome outcome{code, std::move(out), std::move(err), {}};
    if (code != 0 || outcome.err.empty()) {
        return outcome;
    }
    const std::size_t start = outcome.err.rfind('\n', outcome.err.size() - 2);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    outcome.summary = outcome.err.substr(from, outcome.err.size() - 1 - from);
    EXPECT_TRUE(outcome.summary.rfind("Hecho: ", 0) == 0 ||
                outcome.summary.rfind("Simulación: ", 0) == 0)
        << outcome.err;
    outcome.err.erase(from);
    return outcome;
}

inline Outcome RunZeltor(zeltor::FileSystem& files, const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = zeltor::Run(args, files, out, err);
    return SplitSummary(code, out.str(), err.str());
}

// Where a run puts the note of its write to `rom`: the folder of the file, a name from its
// identity.
inline zeltor::NotePlace NotesOf(zeltor::FileSystem& files, const std::string& rom = "rom.smc") {
    zeltor::FileError error;
    const auto file = files.Open(rom, false, error);
    zeltor::NotePlace place;
    EXPECT_TRUE(file && zeltor::PlaceNotes(files, rom, *file, place, error)) << rom;
    return place;
}
