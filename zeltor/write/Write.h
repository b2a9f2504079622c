#pragma once

#include "zeltor/Files.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zeltor {

// One stretch of the ROM that a protected write changes: its bytes before and after, of the
// same length. The bytes belong to the caller.
struct Range {
    std::uint64_t offset = 0;
    std::span<const std::uint8_t> original, replacement;
};

// The bytes a write of `ranges` needs to read each one back: as many as the largest.
std::size_t LargestRange(std::span<const Range> ranges);

enum class Step { Done, WriteFailed, ReadFailed, Differs };

// What is on the disk once the write of a table has been settled.
enum class TableState {
    Written,   // the new table, read back
    PutBack,   // the write failed; the original bytes were written again and read back
    Unchanged, // the write failed and so did putting them back, yet the bytes read are the
               // original ones (nothing had reached the disk, as on a full disk)
    Damaged    // neither the new table nor the original one could be confirmed
};

struct Settled {
    TableState state = TableState::Damaged;
    Step step = Step::WriteFailed; // how the new table's write went
    Cause cause = Cause::Other;    // why it failed, with the system's words in `system`
};

// Writes the ranges' new bytes in list order, then flushes and reads every one back, and, if
// anything fails, puts every range's original bytes back and checks what is on the disk. A run
// killed meanwhile leaves each byte old or new, new up to some point of the ranges taken in
// order and old after it, which is what the note of the write recognises (a power cut may keep
// pages in another order: the note then matches neither, and the next run stops and says so). It
// asks for no memory and lets no std::exception escape, not even one thrown while the file layer
// words a failure (std::bad_alloc): what it returns is always what the disk holds. `back` holds
// LargestRange(ranges) bytes; `system` gets at most its capacity of the system's words.
Settled WriteTable(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back,
                   std::string& system);

// Puts the ranges' original bytes back from the last byte to the first, one page at a time, so
// that the bytes stay new up to some point and old after it while it works: a run stopped
// halfway leaves what the same note still describes. Then flushes, reads back and compares.
// Asks for no memory and lets no std::exception escape; `back` as for WriteTable.
Step PutBack(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back);

} // namespace zeltor
