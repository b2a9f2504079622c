#include "zeltor/write/Write.h"

#include <algorithm>
#include <exception>

namespace zeltor {

namespace {

// A write of at most one page, aligned to one, reaches the file whole or not at all when the
// process is killed: the system copies a write into the file page by page and stops only
// between pages.
constexpr std::uint64_t kPage = 4096;

bool Matches(const std::vector<std::uint8_t>& back, std::span<const std::uint8_t> bytes) {
    return std::equal(bytes.begin(), bytes.end(), back.begin());
}

// Reads every range back and compares it with its original or its new bytes.
Step ReadBack(File& rom, std::span<const Range> ranges, bool original,
              std::vector<std::uint8_t>& back) {
    for (const Range& range : ranges) {
        const auto bytes = original ? range.original : range.replacement;
        if (!rom.Read(range.offset, back.data(), bytes.size())) {
            return Step::ReadFailed;
        }
        if (!Matches(back, bytes)) {
            return Step::Differs;
        }
    }
    return Step::Done;
}

Step WriteForward(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back) {
    for (const Range& range : ranges) {
        if (!rom.Write(range.offset, range.replacement.data(), range.replacement.size())) {
            return Step::WriteFailed;
        }
    }
    // One flush for them all: a kill stops the writes in their order whatever the flushes, and
    // each flush of a small ROM's handful of ranges costs as much as its whole copy.
    if (!rom.Flush()) {
        return Step::WriteFailed;
    }
    return ReadBack(rom, ranges, false, back);
}

// A page that failed is written once more at once: a failure that passes must not leave the
// page half put back, its first bytes old before new ones, which no note describes.
bool WritePage(File& rom, std::uint64_t at, const std::uint8_t* bytes, std::size_t count) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            if (rom.Write(at, bytes, count)) {
                return true;
            }
        } catch (const std::exception&) {
        }
    }
    return false;
}

Step WriteBackward(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back) {
    for (auto range = ranges.rbegin(); range != ranges.rend(); ++range) {
        for (std::uint64_t end = range->offset + range->original.size(); end > range->offset;) {
            const std::uint64_t start = std::max(range->offset, (end - 1) / kPage * kPage);
            if (!WritePage(rom, start, range->original.data() + (start - range->offset),
                           static_cast<std::size_t>(end - start))) {
                return Step::WriteFailed;
            }
            end = start;
        }
    }
    if (!rom.Flush()) {
        return Step::WriteFailed;
    }
    return ReadBack(rom, ranges, true, back);
}

// A step where a std::exception counts as a failed write.
template <class Work>
Step Guarded(Work work, bool& threw) {
    try {
        return work();
    } catch (const std::exception&) {
        threw = true;
        return Step::WriteFailed;
    }
}

} // namespace

std::size_t LargestRange(std::span<const Range> ranges) {
    std::size_t largest = 0;
    for (const Range& range : ranges) {
        largest = std::max(largest, range.original.size());
    }
    return largest;
}

Step PutBack(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back) {
    bool ignored = false;
    return Guarded([&] { return WriteBackward(rom, ranges, back); }, ignored);
}

Settled WriteTable(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& back,
                   std::string& system) {
    Settled settled;
    bool threw = false;
    settled.step = Guarded([&] { return WriteForward(rom, ranges, back); }, threw);
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
    if (PutBack(rom, ranges, back) == Step::Done) {
        settled.state = TableState::PutBack;
        return settled;
    }
    // Putting them back failed too; a full disk may still have kept every original byte. A
    // second look, in case the first failed only for the moment: only a ROM that cannot be
    // read at all, or one that really differs, is called damaged.
    for (int attempt = 0; attempt < 2; ++attempt) {
        bool failed = false;
        const Step look = Guarded([&] { return ReadBack(rom, ranges, true, back); }, failed);
        if (!failed && look != Step::ReadFailed) {
            settled.state = look == Step::Done ? TableState::Unchanged : TableState::Damaged;
            break;
        }
    }
    return settled;
}

} // namespace zeltor
