#include "zeltor/Write.h"

#include <algorithm>
#include <exception>

namespace zeltor {

Step WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                   std::vector<std::uint8_t>& back) {
    if (!rom.Write(offset, bytes.data(), bytes.size()) || !rom.Flush()) {
        return Step::WriteFailed;
    }
    if (!rom.Read(offset, back.data(), back.size())) {
        return Step::ReadFailed;
    }
    return back == bytes ? Step::Done : Step::Differs;
}

namespace {

// WriteAndCheck, where a std::exception counts as a failed write.
Step TryWriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                      std::vector<std::uint8_t>& back, bool& threw) {
    try {
        return WriteAndCheck(rom, offset, bytes, back);
    } catch (const std::exception&) {
        threw = true;
        return Step::WriteFailed;
    }
}

} // namespace

Settled WriteTable(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& replacement,
                   const std::vector<std::uint8_t>& original, std::vector<std::uint8_t>& back,
                   std::string& system) {
    Settled settled;
    bool threw = false;
    settled.step = TryWriteAndCheck(rom, offset, replacement, back, threw);
    if (settled.step == Step::Done) {
        settled.state = TableState::Written;
        return settled;
    }
    if (!threw) {
        // Within the capacity reserved beforehand: no memory is asked for.
        const FileError& error = rom.Error();
        settled.cause = error.cause;
        system.assign(error.system, 0, std::min(error.system.size(), system.capacity()));
    }
    bool ignored = false;
    if (TryWriteAndCheck(rom, offset, original, back, ignored) == Step::Done) {
        settled.state = TableState::PutBack;
        return settled;
    }
    // Putting them back failed too; a full disk may still have kept every original byte. A
    // second look, in case the first failed only for the moment: only a ROM that cannot be
    // read at all, or one that really differs, is called damaged.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (rom.Read(offset, back.data(), back.size())) {
                settled.state = back == original ? TableState::Unchanged : TableState::Damaged;
                break;
            }
        } catch (const std::exception&) {
        }
    }
    return settled;
}

} // namespace zeltor
