#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/rom/Recognize.h"

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

// The checksums a console keeps in its header, worked out for the ROM as it will be after a
// run's write, so that they go in the same write as the tables.
namespace zeltor {

// Bytes a run is to write at `offset` of the file: a table's new bytes.
struct Overlay {
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> bytes;
};

enum class ChecksumRole {
    Checksum,         // the sum of the ROM: SNES, Game Boy's global one, Mega Drive
    Complement,       // SNES: the checksum's complement, which lies just before it
    HeaderChecksum,   // Game Boy: 0x14D, over the header's 0x134-0x14C
    HeaderComplement, // Game Boy Advance: 0xBD, over the header's 0xA0-0xBC
};

// One field of the header, as it stands and as it must be written.
struct ChecksumField {
    ChecksumRole role = ChecksumRole::Checksum;
    std::uint64_t offset = 0; // in the file, a copier's header included
    std::vector<std::uint8_t> oldBytes, newBytes;
    // As the console reads them, for the report: 0x47AD is "47AD".
    std::uint32_t oldValue = 0, newValue = 0;

    bool Stale() const { return oldBytes != newBytes; }
};

// The checksum fields of a ROM of `fileSize` bytes once `changes` are written over it (where
// two changes overlap, the later one's bytes count; bytes past the end count for nothing),
// in the order they lie in the file. None without a recognised header, for NES, for Game Boy
// Advance unless a change touches 0xA0-0xBC; Game Boy's 0x14D only if one touches
// 0x134-0x14C. The whole ROM is read, in chunks, only for a console that sums it whole (SNES,
// Game Boy, Mega Drive). A read that fails is a refusal.
std::variant<std::vector<ChecksumField>, Refusal>
ChecksumsAfter(const std::optional<RecognisedHeader>& header, File& rom, std::uint64_t fileSize,
               const std::vector<Overlay>& changes);

// What one pass over the ROM reads at a time, at most.
inline constexpr std::size_t kChecksumChunk = std::size_t{256} * 1024;

} // namespace zeltor
