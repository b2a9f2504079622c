#include "zeltor/rom/Checksum.h"

#include <algorithm>
#include <utility>

namespace zeltor {

namespace {

// The file as it will be after the write: what it holds, with the planned changes laid over.
class FutureRom {
public:
    FutureRom(File& rom, std::uint64_t size, const std::vector<Overlay>& changes)
        : m_Rom(rom), m_Size(size), m_Changes(changes) {}

    std::uint64_t Size() const { return m_Size; }
    const FileError& Error() const { return m_Error; }

    // Bytes that this module will write too; they count over every change.
    void Lay(std::uint64_t at, std::vector<std::uint8_t> bytes) {
        m_Laid.push_back({at, std::move(bytes)});
    }

    // Whether a planned change writes any byte of first..last.
    bool Touched(std::uint64_t first, std::uint64_t last) const {
        return std::any_of(m_Changes.begin(), m_Changes.end(), [&](const Overlay& c) {
            return !c.bytes.empty() && c.offset <= last && c.offset + c.bytes.size() > first;
        });
    }

    // The bytes as the file holds them now.
    bool ReadOld(std::uint64_t at, std::uint8_t* out, std::size_t count) {
        if (at > m_Size || m_Size - at < count) {
            m_Error = {Cause::Truncated, ""};
            return false;
        }
        if (!m_Rom.Read(at, out, count)) {
            m_Error = m_Rom.Error();
            return false;
        }
        return true;
    }

    // The bytes as they will be.
    bool Read(std::uint64_t at, std::uint8_t* out, std::size_t count) {
        if (!ReadOld(at, out, count)) {
            return false;
        }
        LayOver(m_Changes, at, out, count);
        LayOver(m_Laid, at, out, count);
        return true;
    }

    // Hands `take(at, bytes, n)` the `count` bytes from `from` as they will be, a chunk at a
    // time: a ROM of many MiB is never held whole.
    template <class Take>
    bool Stream(std::uint64_t from, std::uint64_t count, Take&& take) {
        m_Buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(count, kChecksumChunk)));
        for (std::uint64_t done = 0; done < count;) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kChecksumChunk));
            if (!Read(from + done, m_Buffer.data(), n)) {
                return false;
            }
            take(from + done, m_Buffer.data(), n);
            done += n;
        }
        return true;
    }

private:
    static void LayOver(const std::vector<Overlay>& list, std::uint64_t at, std::uint8_t* out,
                        std::size_t count) {
        for (const Overlay& c : list) {
            const std::uint64_t from = std::max(at, c.offset);
            const std::uint64_t to = std::min(at + count, c.offset + c.bytes.size());
            if (from < to) {
                std::copy(c.bytes.begin() + static_cast<std::ptrdiff_t>(from - c.offset),
                          c.bytes.begin() + static_cast<std::ptrdiff_t>(to - c.offset),
                          out + (from - at));
            }
        }
    }

    File& m_Rom;
    std::uint64_t m_Size;
    const std::vector<Overlay>& m_Changes;
    std::vector<Overlay> m_Laid;
    std::vector<std::uint8_t> m_Buffer;
    FileError m_Error;
};

bool ByteSum(FutureRom& in, std::uint64_t from, std::uint64_t count, std::uint64_t& sum) {
    return in.Stream(from, count, [&](std::uint64_t, const std::uint8_t* b, std::size_t n) {
        // 32 bits hold a chunk's sum, and let the compiler add many bytes at once.
        std::uint32_t chunk = 0;
        for (std::size_t i = 0; i < n; ++i) {
            chunk += b[i];
        }
        sum += chunk;
    });
}

// Appends the field of `size` bytes at `offset`, which is to hold `value` in the console's byte
// order.
bool Put(FutureRom& in, ChecksumRole role, std::uint64_t offset, std::size_t size,
         std::uint32_t value, bool bigEndian, std::vector<ChecksumField>& out) {
    ChecksumField field{role, offset, std::vector<std::uint8_t>(size), {}, 0, value};
    if (!in.ReadOld(offset, field.oldBytes.data(), size)) {
        return false;
    }
    field.newBytes = field.oldBytes;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t k = bigEndian ? i : size - 1 - i; // most significant first
        field.oldValue = (field.oldValue << 8) | field.oldBytes[k];
        field.newBytes[k] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - i)));
    }
    out.push_back(std::move(field));
    return true;
}

// The sum of the ROM as the SNES sees it. A size that is not a power of two is seen as the
// largest power of two not above it, then the rest repeated until it fills as much again; the
// rest, when it is no power of two either, is seen the same way within itself. So each power
// of two among the size's binary digits is a block of the file, largest first, and each block
// counts as often as the picture repeats it. The size is the file's: the header's size byte is
// often left behind by an expanded ROM.
bool SnesSum(FutureRom& in, std::uint64_t start, std::uint64_t size, std::uint64_t& sum) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> blocks; // size, sum
    for (std::uint64_t bit = std::uint64_t{1} << 63; bit != 0; bit >>= 1) {
        if ((size & bit) != 0) {
            std::uint64_t blockSum = 0;
            if (!ByteSum(in, start, bit, blockSum)) {
                return false;
            }
            blocks.emplace_back(bit, blockSum);
            start += bit;
        }
    }
    // From the smallest block up: the sum of what the rest shows, and how many bytes it fills.
    std::uint64_t total = 0, shown = 0;
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        const auto [bytes, blockSum] = *it;
        total = blockSum + (shown == 0 ? 0 : total * (bytes / shown));
        shown = shown == 0 ? bytes : 2 * bytes;
    }
    sum = total;
    return true;
}

// The complement at +0x1C and the checksum at +0x1E of the internal header, little endian.
bool Snes(FutureRom& in, const RecognisedHeader& h, std::vector<ChecksumField>& out) {
    // The four bytes count in the sum as they will be written. Whatever the checksum c, the
    // low bytes of c and of its complement add up to 0xFF, and so do the high ones: laid as
    // for c = 0 (complement FF FF, checksum 00 00) they add the 0x1FE that any c adds, and the
    // sum does not depend on itself.
    in.Lay(h.at + 0x1C, {0xFF, 0xFF, 0x00, 0x00});
    std::uint64_t sum = 0;
    if (!SnesSum(in, h.copier, in.Size() - std::min(in.Size(), h.copier), sum)) {
        return false;
    }
    const auto checksum = static_cast<std::uint32_t>(sum & 0xFFFF);
    return Put(in, ChecksumRole::Complement, h.at + 0x1C, 2, checksum ^ 0xFFFF, false, out) &&
           Put(in, ChecksumRole::Checksum, h.at + 0x1E, 2, checksum, false, out);
}

// The header checksum at 0x14D when the header changes, then the global one at 0x14E, big
// endian: the sum of every byte but its own two, 0x14D as it will be included.
bool GameBoy(FutureRom& in, std::vector<ChecksumField>& out) {
    if (in.Touched(0x134, 0x14C)) {
        std::uint8_t b[0x14D - 0x134];
        if (!in.Read(0x134, b, sizeof b)) {
            return false;
        }
        std::uint8_t x = 0;
        for (const std::uint8_t c : b) {
            x = static_cast<std::uint8_t>(x - c - 1);
        }
        if (!Put(in, ChecksumRole::HeaderChecksum, 0x14D, 1, x, true, out)) {
            return false;
        }
        in.Lay(0x14D, {x});
    }
    in.Lay(0x14E, {0x00, 0x00});
    std::uint64_t sum = 0;
    return ByteSum(in, 0, in.Size(), sum) &&
           Put(in, ChecksumRole::Checksum, 0x14E, 2, sum & 0xFFFF, true, out);
}

// The sum at 0x18E, big endian, of the 16-bit words from 0x200 to the end of the file, each
// most significant byte first, as the 68000 reads them. An odd last byte is the high byte of a
// word whose low byte is 0, as if the file were padded with a zero byte.
bool MegaDrive(FutureRom& in, std::vector<ChecksumField>& out) {
    const std::uint64_t from = 0x200;
    std::uint64_t high = 0, low = 0;
    const bool read =
        in.Stream(from, in.Size() - std::min(in.Size(), from),
                  [&](std::uint64_t at, const std::uint8_t* b, std::size_t n) {
                      std::size_t i = 0;
                      if ((at - from) % 2 != 0) { // a chunk that begins with a word's low byte
                          low += b[i++];
                      }
                      std::uint32_t h = 0, l = 0;
                      for (; i + 1 < n; i += 2) {
                          h += b[i];
                          l += b[i + 1];
                      }
                      if (i < n) {
                          h += b[i];
                      }
                      high += h;
                      low += l;
                  });
    return read &&
           Put(in, ChecksumRole::Checksum, 0x18E, 2, ((high << 8) + low) & 0xFFFF, true, out);
}

// The complement at 0xBD of the header's 0xA0-0xBC, which the console checks at start; the rest
// of the ROM is not summed.
bool Gba(FutureRom& in, std::vector<ChecksumField>& out) {
    if (!in.Touched(0xA0, 0xBC)) {
        return true;
    }
    std::uint8_t b[0xBD - 0xA0];
    if (!in.Read(0xA0, b, sizeof b)) {
        return false;
    }
    std::uint8_t complement = 0;
    for (const std::uint8_t c : b) {
        complement = static_cast<std::uint8_t>(complement - c);
    }
    return Put(in, ChecksumRole::HeaderComplement, 0xBD, 1,
               static_cast<std::uint8_t>(complement - 0x19), true, out);
}

} // namespace

std::variant<std::vector<ChecksumField>, Refusal>
ChecksumsAfter(const std::optional<RecognisedHeader>& header, File& rom, std::uint64_t fileSize,
               const std::vector<Overlay>& changes) {
    std::vector<ChecksumField> fields;
    if (!header) {
        return fields;
    }
    FutureRom in(rom, fileSize, changes);
    bool read = true;
    switch (header->console) {
    case MapKind::LoRom:
    case MapKind::HiRom:
        read = Snes(in, *header, fields);
        break;
    case MapKind::GameBoy:
        read = GameBoy(in, fields);
        break;
    case MapKind::MegaDrive:
        read = MegaDrive(in, fields);
        break;
    case MapKind::Gba:
        read = Gba(in, fields);
        break;
    case MapKind::Nes:
    case MapKind::Linear:
        break;
    }
    if (!read) {
        return Bad(Exit::CannotOpen, "no se pudo leer la ROM para calcular su suma de "
                                     "comprobación: " +
                                         Describe(in.Error()));
    }
    return fields;
}

} // namespace zeltor
