#pragma once

#include "zeltor/Files.h"

#include <cstdint>
#include <vector>

namespace zeltor {

enum class Step { Done, WriteFailed, ReadFailed, Differs };

// Writes, flushes, reads back and compares. `back` is allocated beforehand: once the table is
// being written, nothing may fail for want of memory. The same serves to put the original
// bytes back.
Step WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                   std::vector<std::uint8_t>& back);

} // namespace zeltor
