#include "zeltor/Journal.h"

#include "portable/Hex.h"
#include "zeltor/Backup.h"
#include "zeltor/Text.h"
#include "zeltor/Write.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace zeltor {

namespace {

// The note: magic, ROM size, table offset, table length n, name length a, backup name length
// b (little endian), then the ROM's name, the backup's name, the n original bytes, the n new
// ones, and a CRC-32 of everything before it.
constexpr char kMagic[8] = {'Z', 'E', 'L', 'T', 'O', 'R', 'N', '1'};
constexpr std::size_t kHeader = 40;
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

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc = kCrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
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

struct Note {
    std::uint64_t romSize = 0, offset = 0;
    std::string backup;
    std::vector<std::uint8_t> original, replacement;
};

enum class Reading { Ours, NotOurs, Bad };

// Reads and checks a note; memory follows the note's own size, never what it claims.
Reading ReadNote(File& file, const std::string& name, Note& note) {
    std::uint64_t size = 0;
    std::uint8_t head[kHeader];
    if (!file.Size(size) || size < kHeader + 4 || !file.Read(0, head, kHeader) ||
        std::memcmp(head, kMagic, sizeof kMagic) != 0) {
        return Reading::Bad;
    }
    note.romSize = Get(head + 8, 8);
    note.offset = Get(head + 16, 8);
    const std::uint64_t n = Get(head + 24, 8);
    const std::uint64_t a = Get(head + 32, 4);
    const std::uint64_t b = Get(head + 36, 4);
    if (n == 0 || a > kNameMax || b > kNameMax || n > size / 2 ||
        kHeader + a + b + 2 * n + 4 != size || n > note.romSize || note.offset > note.romSize - n) {
        return Reading::Bad;
    }
    std::vector<std::uint8_t> names(a + b);
    note.original.resize(n);
    note.replacement.resize(n);
    std::uint8_t stored[4];
    if (!file.Read(kHeader, names.data(), names.size()) ||
        !file.Read(kHeader + a + b, note.original.data(), n) ||
        !file.Read(kHeader + a + b + n, note.replacement.data(), n) ||
        !file.Read(kHeader + a + b + 2 * n, stored, 4)) {
        return Reading::Bad;
    }
    std::uint32_t crc = Crc(0, head, kHeader);
    crc = Crc(crc, names.data(), names.size());
    crc = Crc(crc, note.original.data(), n);
    crc = Crc(crc, note.replacement.data(), n);
    if (crc != Get(stored, 4)) {
        return Reading::Bad;
    }
    note.backup.assign(names.begin() + static_cast<std::ptrdiff_t>(a), names.end());
    return std::equal(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(a), name.begin(),
                      name.end())
               ? Reading::Ours
               : Reading::NotOurs;
}

// What the table's bytes say of how the interrupted run ended. The note is kept only when the
// ROM could not be read: it may serve the next run.
enum class State { BadNote, Unreadable, Changed, Untouched, Whole, Torn };

State Classify(const Note& note, File& rom, std::vector<std::uint8_t>& current) {
    std::uint64_t size = 0;
    if (!rom.Size(size)) {
        return State::Unreadable;
    }
    if (size != note.romSize) {
        return State::Changed;
    }
    current.resize(note.original.size());
    if (!rom.Read(note.offset, current.data(), current.size())) {
        return State::Unreadable;
    }
    bool allOld = true;
    bool allNew = true;
    for (std::size_t i = 0; i < current.size(); ++i) {
        const bool isOld = current[i] == note.original[i];
        const bool isNew = current[i] == note.replacement[i];
        if (!isOld && !isNew) {
            return State::Changed;
        }
        allOld = allOld && isOld;
        allNew = allNew && isNew;
    }
    return allOld ? State::Untouched : allNew ? State::Whole : State::Torn;
}

std::string Range(const Note& note) {
    return "(" + Hex(note.offset) + "-" + Hex(note.offset + note.original.size() - 1) + ")";
}

const char kInterrupted[] = "Aviso: el recálculo anterior de esta ROM se interrumpió ";

std::string Notice(State state, const Note& note) {
    switch (state) {
    case State::Untouched:
        return kInterrupted + ("antes de escribir la tabla " + Range(note)) +
               "; la ROM no había cambiado.";
    case State::Whole:
        return kInterrupted + ("cuando ya había escrito la tabla " + Range(note)) +
               " entera; la tabla nueva está completa y se ha dejado como está.";
    case State::Changed:
        return kInterrupted + ("mientras escribía la tabla " + Range(note)) +
               ", pero la ROM ha cambiado después y no se ha tocado; si la tabla quedó a medias, "
               "recupere la ROM de la copia de seguridad " +
               Quote(note.backup) + ".";
    case State::BadNote:
    case State::Unreadable:
    case State::Torn:
        break;
    }
    return "Aviso: un recálculo anterior de esta ROM se interrumpió y no se ha podido comprobar "
           "cómo dejó la tabla; no se ha tocado la ROM: si su tabla quedó a medias, recupérela de "
           "la última copia de seguridad (.bak).";
}

// Puts a torn table's original bytes back; the note stays until they are on the disk.
Recovery PutBack(FileSystem& files, const std::string& path, File& rom, const Note& note,
                 std::vector<std::uint8_t>& back) {
    Recovery result;
    const Step step = WriteAndCheck(rom, note.offset, note.original, back);
    if (step == Step::Done) {
        files.Remove(path);
        result.notice = kInterrupted + ("mientras escribía la tabla " + Range(note)) +
                        ", que quedó a medias; se han repuesto sus bytes originales antes de "
                        "seguir.";
        return result;
    }
    const std::string why = step == Step::Differs
                                ? std::string("no se leyeron igual al comprobarlos")
                                : Describe(rom.Error());
    // The backup's name is never shortened: the translator must be able to find it.
    result.failure =
        Refusal{Exit::RestoreFailed,
                "el recálculo anterior de esta ROM se interrumpió mientras escribía la tabla " +
                    Range(note) + " y no se han podido reponer sus bytes originales: " + why +
                    "; recupere la ROM de la copia de seguridad «" + note.backup + "»"};
    return result;
}

} // namespace

std::string JournalPath(const std::string& rom) {
    return ScratchPath(rom, ".pendiente");
}

std::string TemporaryJournalPath(const std::string& rom) {
    return ScratchPath(rom, ".pendiente.tmp");
}

bool WriteJournal(FileSystem& files, const std::string& rom, const Intent& intent,
                  std::string& error) {
    const std::string name = RomBaseName(rom);
    const std::size_t n = intent.original.size();
    std::vector<std::uint8_t> head(kHeader);
    std::memcpy(head.data(), kMagic, sizeof kMagic);
    Put(head, 8, intent.romSize, 8);
    Put(head, 16, intent.offset, 8);
    Put(head, 24, n, 8);
    Put(head, 32, name.size(), 4);
    Put(head, 36, intent.backupPath.size(), 4);
    head.insert(head.end(), name.begin(), name.end());
    head.insert(head.end(), intent.backupPath.begin(), intent.backupPath.end());
    std::uint32_t crc = Crc(0, head.data(), head.size());
    crc = Crc(crc, intent.original.data(), n);
    crc = Crc(crc, intent.replacement.data(), n);
    std::vector<std::uint8_t> tail(4);
    Put(tail, 0, crc, 4);

    const std::string temp = TemporaryJournalPath(rom);
    const std::string path = JournalPath(rom);
    FileError why;
    std::unique_ptr<File> file;
    CreateResult created = CreateScratch(files, temp, file, why);
    if (created == CreateResult::Created) {
        ScratchGuard unfinished(files, temp);
        const bool written = file->Write(0, head.data(), head.size()) &&
                             file->Write(head.size(), intent.original.data(), n) &&
                             file->Write(head.size() + n, intent.replacement.data(), n) &&
                             file->Write(head.size() + 2 * n, tail.data(), 4) && file->Flush();
        if (!written) {
            why = file->Error();
        }
        file.reset();
        created = written ? files.MoveNew(temp, path, why) : CreateResult::Failed;
        if (created == CreateResult::Created) {
            unfinished.Keep();
            return true;
        }
    }
    error = "no se pudo preparar la escritura de la tabla (" + Hex(2 * n) + " bytes en " +
            RomFolderText(rom) + "): " +
            (created == CreateResult::AlreadyExists
                 ? "queda " + Quote(path) + ", de un recálculo interrumpido, y no se pudo borrar"
                 : Describe(why));
    return false;
}

Recovery Recover(FileSystem& files, const std::string& rom, File& romFile, bool dryRun) {
    if (!dryRun) {
        files.Remove(TemporaryJournalPath(rom));
        files.Remove(TemporaryBackupPath(rom));
    }
    const std::string path = JournalPath(rom);
    FileError ignored;
    std::unique_ptr<File> file = files.Open(path, false, ignored);
    Recovery result;
    if (!file) {
        return result;
    }
    Note note;
    const Reading reading = ReadNote(*file, RomBaseName(rom), note);
    file.reset();
    if (reading == Reading::NotOurs) {
        return result;
    }
    std::vector<std::uint8_t> current;
    const State state = reading == Reading::Bad ? State::BadNote : Classify(note, romFile, current);
    if (state == State::Torn && !dryRun) {
        return PutBack(files, path, romFile, note, current);
    }
    if (state == State::Torn) {
        result.notice = kInterrupted + ("mientras escribía la tabla " + Range(note)) +
                        ", que quedó a medias; esta simulación no escribe nada: el próximo "
                        "recálculo sin --dry-run repondrá sus bytes originales, y este informe "
                        "ya cuenta con ellos.";
        result.offset = note.offset;
        result.original = std::move(note.original);
        return result;
    }
    result.notice = Notice(state, note);
    if (!dryRun && state != State::Unreadable) {
        files.Remove(path);
    }
    return result;
}

bool PatchedFile::Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (!Pass(m_File.Read(offset, buffer, count))) {
        return false;
    }
    const std::uint64_t from = std::max(offset, m_Offset);
    const std::uint64_t to = std::min(offset + count, m_Offset + m_Bytes.size());
    if (from < to) {
        std::memcpy(static_cast<std::uint8_t*>(buffer) + (from - offset),
                    m_Bytes.data() + (from - m_Offset), static_cast<std::size_t>(to - from));
    }
    return true;
}

bool PatchedFile::Write(std::uint64_t, const void*, std::size_t) {
    m_Error = FileError{Cause::Other, "solo lectura"};
    return false;
}

} // namespace zeltor
