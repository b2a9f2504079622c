#pragma once

#include "zeltor/Files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zeltor {

enum class Step { Done, WriteFailed, ReadFailed, Differs };

// Writes, flushes, reads back and compares. `back` is allocated beforehand: once the table is
// being written, nothing may fail for want of memory. The same serves to put the original
// bytes back.
Step WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                   std::vector<std::uint8_t>& back);

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

// Writes the new table and, if that fails, puts the original bytes back and checks what is on
// the disk. It asks for no memory and lets no std::exception escape, not even one thrown while
// the file layer words a failure (std::bad_alloc): what it returns is always what the disk
// holds. `back` is as
// large as the table; `system` gets at most its capacity of the system's words.
Settled WriteTable(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& replacement,
                   const std::vector<std::uint8_t>& original, std::vector<std::uint8_t>& back,
                   std::string& system);

} // namespace zeltor
