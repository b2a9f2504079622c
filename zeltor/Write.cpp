#include "zeltor/Write.h"

#include <algorithm>

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

// WriteAndCheck, where an exception counts as a failed write.
Step TryWriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                      std::vector<std::uint8_t>& back, bool& threw) noexcept {
    try {
        return WriteAndCheck(rom, offset, bytes, back);
    } catch (...) {
        threw = true;
        return Step::WriteFailed;
    }
}

} // namespace

Settled WriteTable(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& replacement,
                   const std::vector<std::uint8_t>& original, std::vector<std::uint8_t>& back,
                   std::string& system) noexcept {
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
    // Putting them back failed too; a full disk may still have kept every original byte.
    try {
        if (rom.Read(offset, back.data(), back.size()) && back == original) {
            settled.state = TableState::Unchanged;
        }
    } catch (...) {
    }
    return settled;
}

} // namespace zeltor
