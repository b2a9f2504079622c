#include "zeltor/write/Journal.h"

#include "portable/Hex.h"
#include "zeltor/words/Text.h"
#include "zeltor/write/Scratch.h"

#include <array>
#include <cstring>
#include <memory>

namespace zeltor {

const char kNotePrefix[] = "zeltor-";
const char kNoteEnding[] = ".pendiente";

namespace {

// The note: a header of kHeader bytes (magic, the file's device and number, its size, the
// backup's size and time, the number of ranges k, the lengths of the ROM's name a and of the
// backup's name b, all little endian), then the two names, k pairs of offset and length, each
// range's original and new bytes in turn, and a CRC-32 of everything before it.
constexpr char kMagic[8] = {'Z', 'E', 'L', 'T', 'O', 'R', 'N', '2'};
// 1.1.0's: magic, ROM size, offset, length, then the name's length at kOldNameAt, the name at
// kOldHeader.
constexpr char kOldMagic[8] = {'Z', 'E', 'L', 'T', 'O', 'R', 'N', '1'};
constexpr std::size_t kOldNameAt = 32;
constexpr std::size_t kOldHeader = 40;
constexpr std::size_t kHeader = 64;
constexpr std::uint64_t kNameMax = 4096;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t Crc(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
    crc = ~crc;
    for (const std::uint8_t b : bytes) {
        crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t Get(const std::uint8_t* bytes, unsigned size) {
    std::uint64_t value = 0;
    for (unsigned i = size; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

// The header, the names and the ranges' places: everything before their bytes.
std::vector<std::uint8_t> Head(const NotePlace& place, const Intent& intent) {
    const std::string backup = intent.backup ? intent.backup->name : "";
    std::vector<std::uint8_t> head(kHeader + place.realName.size() + backup.size());
    std::memcpy(head.data(), kMagic, sizeof kMagic);
    Put(head, 8, place.rom.device, 8);
    Put(head, 16, place.rom.number, 8);
    Put(head, 24, place.rom.size, 8);
    Put(head, 32, intent.backup ? intent.backup->size : 0, 8);
    Put(head, 40, static_cast<std::uint64_t>(intent.backup ? intent.backup->modified : 0), 8);
    Put(head, 48, intent.ranges.size(), 4);
    Put(head, 52, place.realName.size(), 4);
    Put(head, 56, backup.size(), 4);
    std::memcpy(head.data() + kHeader, place.realName.data(), place.realName.size());
    std::memcpy(head.data() + kHeader + place.realName.size(), backup.data(), backup.size());
    for (const Range& range : intent.ranges) {
        const std::size_t at = head.size();
        head.resize(at + 16);
        Put(head, at, range.offset, 8);
        Put(head, at + 8, range.original.size(), 8);
    }
    return head;
}

bool WriteNote(File& file, const std::vector<std::uint8_t>& head, const Intent& intent) {
    std::uint32_t crc = Crc(0, head);
    std::uint64_t at = head.size();
    if (!file.Write(0, head.data(), head.size())) {
        return false;
    }
    for (const Range& range : intent.ranges) {
        for (const auto bytes : {range.original, range.replacement}) {
            crc = Crc(crc, bytes);
            if (!file.Write(at, bytes.data(), bytes.size())) {
                return false;
            }
            at += bytes.size();
        }
    }
    std::vector<std::uint8_t> tail(4);
    Put(tail, 0, crc, 4);
    return file.Write(at, tail.data(), 4) && file.Flush();
}

// The ranges' places and bytes, once the header has been checked against the note's size.
bool ReadRanges(Note& note, std::uint64_t count, std::size_t at) {
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < count; ++i, at += 16) {
        const std::uint64_t length = Get(note.bytes.data() + at + 8, 8);
        if (length == 0 || length > note.bytes.size() || total > note.bytes.size()) {
            return false;
        }
        total += length;
    }
    if (at + 2 * total + 4 != note.bytes.size()) {
        return false;
    }
    std::size_t data = at;
    at -= static_cast<std::size_t>(16 * count);
    for (std::uint64_t i = 0; i < count; ++i, at += 16) {
        const auto length = static_cast<std::size_t>(Get(note.bytes.data() + at + 8, 8));
        const std::uint8_t* bytes = note.bytes.data() + data;
        note.ranges.push_back(
            Range{Get(note.bytes.data() + at, 8), {bytes, length}, {bytes + length, length}});
        data += 2 * length;
    }
    return true;
}

void ReadCurrent(Note& note) {
    const std::uint8_t* head = note.bytes.data();
    const std::uint64_t size = note.bytes.size();
    const std::uint64_t count = Get(head + 48, 4);
    const std::uint64_t a = Get(head + 52, 4);
    const std::uint64_t b = Get(head + 56, 4);
    if (count == 0 || a > kNameMax || b > kNameMax || count > size / 16 ||
        kHeader + a + b + 16 * count + 4 > size ||
        Crc(0, std::span(head, size - 4)) != Get(head + size - 4, 4)) {
        return;
    }
    note.rom.device = Get(head + 8, 8);
    note.rom.number = Get(head + 16, 8);
    note.rom.size = Get(head + 24, 8);
    note.name.assign(reinterpret_cast<const char*>(head) + kHeader, a);
    if (b != 0) {
        note.backup = BackupMark{std::string(reinterpret_cast<const char*>(head) + kHeader + a, b),
                                 Get(head + 32, 8), static_cast<std::int64_t>(Get(head + 40, 8))};
    }
    if (ReadRanges(note, count, static_cast<std::size_t>(kHeader + a + b))) {
        note.kind = Note::Kind::Current;
    } else {
        note.ranges.clear();
    }
}

} // namespace

bool PlaceNotes(FileSystem& files, const std::string& rom, File& romFile, NotePlace& place,
                FileError& error) {
    if (!romFile.Info(place.rom)) {
        error = romFile.Error();
        return false;
    }
    const std::optional<std::string> real = files.RealPath(rom);
    place.folder = real && files.Look(rom) == NameKind::Link ? RomFolder(*real) : RomFolder(rom);
    place.realName = RomBaseName(real ? *real : rom);
    std::string identity(16, '\0');
    for (unsigned i = 0; i < 8; ++i) {
        identity[i] = static_cast<char>(place.rom.device >> (8 * i));
        identity[8 + i] = static_cast<char>(place.rom.number >> (8 * i));
    }
    place.path = place.folder + kNotePrefix + NameKey(identity) + kNoteEnding;
    place.temporary = place.path + ".tmp";
    return true;
}

std::string OldNotePath(const std::string& folder, const std::string& name) {
    return ScratchPath(folder + name, kNoteEnding);
}

std::optional<BackupMark> MarkBackup(FileSystem& files, const NotePlace& place,
                                     const std::string& path) {
    FileError ignored;
    const std::unique_ptr<File> file = files.Open(path, false, ignored);
    FileInfo info;
    if (!file || !file->Info(info)) {
        return std::nullopt;
    }
    return BackupMark{RomFolder(path) == place.folder ? RomBaseName(path) : path, info.size,
                      info.modified};
}

bool WriteJournal(FileSystem& files, const NotePlace& place, const Intent& intent,
                  std::string& error) {
    const std::vector<std::uint8_t> head = Head(place, intent);
    FileError why;
    std::unique_ptr<File> file;
    CreateResult created = CreateScratch(files, place.temporary, file, why);
    if (created == CreateResult::Created) {
        ScratchGuard unfinished(files, place.temporary);
        const bool written = WriteNote(*file, head, intent);
        if (!written) {
            why = file->Error();
        }
        file.reset();
        created = written ? files.MoveNew(place.temporary, place.path, why) : CreateResult::Failed;
        if (created == CreateResult::Created) {
            unfinished.Keep();
            return true;
        }
    }
    std::uint64_t bytes = 0;
    for (const Range& range : intent.ranges) {
        bytes += 2 * range.original.size();
    }
    error = "no se pudo preparar la escritura de la tabla (" + Hex(bytes) + " bytes en " +
            RomFolderText(place.path) + "): " +
            (created == CreateResult::AlreadyExists
                 ? "queda " + Quote(place.path) +
                       ", de un recálculo interrumpido, y no se pudo "
                       "borrar"
                 : Describe(why));
    return false;
}

Note ReadJournal(File& file, std::uint64_t romSize) {
    Note note;
    std::uint64_t size = 0;
    std::uint8_t magic[sizeof kMagic];
    if (!file.Size(size) || size < sizeof kMagic || !file.Read(0, magic, sizeof magic)) {
        return note;
    }
    if (std::memcmp(magic, kOldMagic, sizeof magic) == 0) {
        std::uint8_t length[4];
        if (size >= kOldHeader && file.Read(kOldNameAt, length, 4) &&
            Get(length, 4) <= std::min(kNameMax, size - kOldHeader)) {
            note.name.resize(Get(length, 4));
            if (file.Read(kOldHeader, note.name.data(), note.name.size())) {
                note.kind = Note::Kind::Old;
            }
        }
        return note;
    }
    // Ranges that do not overlap and lie inside the ROM, each with its place and two copies.
    const std::uint64_t largest = kHeader + 2 * kNameMax + 18 * romSize + 4;
    if (std::memcmp(magic, kMagic, sizeof magic) != 0 || size < kHeader + 4 || size > largest) {
        return note;
    }
    note.bytes.resize(size);
    if (file.Read(0, note.bytes.data(), note.bytes.size())) {
        ReadCurrent(note);
    }
    return note;
}

Shape Classify(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& buffer) {
    buffer.resize(LargestRange(ranges));
    // The bytes are new while `writing`, and must all be original after the first that is not.
    bool writing = true;
    bool allOriginal = true;
    bool shaped = true;
    for (const Range& range : ranges) {
        if (!rom.Read(range.offset, buffer.data(), range.original.size())) {
            return Shape::Unreadable;
        }
        for (std::size_t i = 0; i < range.original.size(); ++i) {
            const bool isOriginal = buffer[i] == range.original[i];
            writing = writing && buffer[i] == range.replacement[i];
            shaped = shaped && (writing || isOriginal);
            allOriginal = allOriginal && isOriginal;
        }
    }
    return writing       ? Shape::Written
           : allOriginal ? Shape::Original
           : shaped      ? Shape::Torn
                         : Shape::Neither;
}

} // namespace zeltor
