#include "zeltor/write/Recovery.h"

#include "portable/Hex.h"
#include "zeltor/words/Text.h"
#include "zeltor/write/Backup.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

namespace zeltor {

namespace {

const char kInterrupted[] = "Aviso: el recálculo anterior de esta ROM se interrumpió";

// "(0x20-0x25)", or the first of several and how many more.
std::string RangesText(std::span<const Range> ranges) {
    const Range& first = ranges.front();
    std::string text =
        "(" + Hex(first.offset) + "-" + Hex(first.offset + first.original.size() - 1);
    if (ranges.size() > 1) {
        text += " y " + std::to_string(ranges.size() - 1) + " más";
    }
    return text + ")";
}

// Ranges inside a file of `size` bytes, none over another.
bool Fit(std::span<const Range> ranges, std::uint64_t size) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> places;
    for (const Range& range : ranges) {
        if (range.offset > size || range.original.size() > size - range.offset) {
            return false;
        }
        places.emplace_back(range.offset, range.offset + range.original.size());
    }
    std::sort(places.begin(), places.end());
    for (std::size_t i = 1; i < places.size(); ++i) {
        if (places[i].first < places[i - 1].second) {
            return false;
        }
    }
    return true;
}

// The ROM's name as a note records it, read without the rest: enough to know whom it claims.
std::optional<std::string> ClaimedName(File& file) {
    // The name's length and where the name starts, in 1.1.0's notes and in today's.
    const std::pair<const char*, std::pair<std::uint64_t, std::uint64_t>> formats[] = {
        {"ZELTORN1", {32, 40}}, {"ZELTORN2", {52, 64}}};
    char magic[8];
    std::uint8_t length[4];
    std::uint64_t size = 0;
    if (!file.Size(size) || size < sizeof magic || !file.Read(0, magic, sizeof magic)) {
        return std::nullopt;
    }
    for (const auto& [expected, at] : formats) {
        if (std::memcmp(magic, expected, sizeof magic) == 0 && size >= at.second &&
            file.Read(at.first, length, 4)) {
            const std::uint64_t n =
                length[0] | length[1] << 8 | length[2] << 16 | std::uint64_t{length[3]} << 24;
            std::string name(std::min<std::uint64_t>(n, 4096), '\0');
            if (n <= size - at.second && file.Read(at.second, name.data(), name.size())) {
                return name;
            }
        }
    }
    return std::nullopt;
}

struct Claim {
    std::string path;
    Note note;
    bool own = false; // under the name this file's identity gives
};

// Every note in the folder that concerns this file: its own, any under the name a note of
// 1.1.0 had for it, and any other that records its name (a copy of the folder, or a ROM put
// in place of the one the note was written for).
std::vector<Claim> Claims(FileSystem& files, const std::string& rom, const NotePlace& place) {
    const std::string mine[] = {place.path, OldNotePath(place.folder, place.realName),
                                OldNotePath(place.folder, RomBaseName(rom))};
    std::vector<std::string> names = files.List(place.folder, kNotePrefix, kNoteEnding);
    for (const std::string& path : mine) {
        names.push_back(RomBaseName(path)); // even when the folder cannot be listed
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<Claim> claims;
    for (const std::string& name : names) {
        const std::string path = place.folder + name;
        FileError error;
        std::unique_ptr<File> file = files.Open(path, false, error);
        const bool ours = std::find(std::begin(mine), std::end(mine), path) != std::end(mine);
        if (file && (ours || ClaimedName(*file) == place.realName)) {
            claims.push_back(Claim{path, ReadJournal(*file, place.rom.size), path == place.path});
        } else if (!file && path == place.path && error.cause != Cause::NotFound) {
            claims.push_back(Claim{path, Note{}, true}); // there, but it cannot be read
        }
    }
    // The file's own first: its verdict is the one that tells most.
    std::stable_partition(claims.begin(), claims.end(), [](const Claim& c) { return c.own; });
    return claims;
}

// Why a note that concerns this file cannot be believed; empty when it can be checked.
std::string Doubt(const Claim& claim, const NotePlace& place) {
    const Note& note = claim.note;
    if (note.kind == Note::Kind::Unreadable) {
        return "no se puede leer, o está dañada";
    }
    if (note.kind == Note::Kind::Old) {
        return "es de Zeltor 1.1.0, que no dice de qué archivo es";
    }
    if (note.rom.device != place.rom.device || note.rom.number != place.rom.number) {
        return "es de otro archivo (la ROM se sustituyó o se copió)";
    }
    if (!claim.own) {
        return "no lleva el nombre que le toca (¿una copia?)";
    }
    if (note.rom.size != place.rom.size) {
        return "es de esta ROM cuando medía " + Hex(note.rom.size) + " bytes";
    }
    if (!Fit(note.ranges, place.rom.size)) {
        return "señala bytes que no caben en la ROM";
    }
    return "";
}

// The backup a note names, when it is still the file that was made then.
std::optional<BackupMark> Vouched(FileSystem& files, const NotePlace& place, const Note& note) {
    if (!note.backup) {
        return std::nullopt;
    }
    const std::string& name = note.backup->name;
    FileError ignored;
    const auto file =
        files.Open(RomFolder(name).empty() ? place.folder + name : name, false, ignored);
    FileInfo info;
    if (file && file->Info(info) && info.size == note.backup->size &&
        info.modified == note.backup->modified) {
        return note.backup;
    }
    return std::nullopt;
}

Refusal Stop(FileSystem& files, const NotePlace& place, const Claim& claim,
             const std::string& doubt) {
    const std::optional<BackupMark> backup = Vouched(files, place, claim.note);
    return Refusal{Exit::Note,
                   "la nota " + Quote(RomBaseName(claim.path)) + " " + doubt +
                       "; no se ha escrito nada. Compruebe la ROM: si su tabla quedó a medias, "
                       "recupérela de " +
                       (backup ? Quote(RomBaseName(backup->name))
                               : std::string("una copia de antes de la interrupción")) +
                       "; luego borre la nota"};
}

// A note's name taken by what no note can be: the run stops before its backup.
std::optional<Refusal> Occupied(const std::string& path, NameKind kind) {
    const std::pair<NameKind, const char*> what[] = {
        {NameKind::Folder, "una carpeta; bórrela"},
        {NameKind::Pipe, "una tubería (FIFO); bórrela"},
        {NameKind::Device, "un dispositivo; bórrelo"},
        {NameKind::Link, "un enlace; bórrelo"},
        {NameKind::File, "un archivo que no se pudo borrar; bórrelo"},
        {NameKind::Other, "algo que no es un archivo; bórrelo"}};
    for (const auto& [k, text] : what) {
        if (k == kind) {
            return Refusal{Exit::Note, "el nombre " + Quote(RomBaseName(path)) +
                                           ", que esta ROM necesita para la nota de su escritura, "
                                           "lo ocupa " +
                                           text + " o cámbiele el nombre; no se ha escrito nada"};
        }
    }
    return std::nullopt;
}

// Leftovers of an interrupted run go; the note's names must be free for this one's.
std::optional<Refusal> ClearNames(FileSystem& files, const std::string& rom, const NotePlace& place,
                                  bool dryRun) {
    if (!dryRun) {
        files.Remove(TemporaryBackupPath(rom));
        if (files.Look(place.temporary) == NameKind::File) {
            files.Remove(place.temporary);
        }
    }
    const NameKind note = files.Look(place.path);
    const NameKind temporary = files.Look(place.temporary);
    if (note != NameKind::None && note != NameKind::File) {
        return Occupied(place.path, note);
    }
    if (temporary != NameKind::None && (temporary != NameKind::File || !dryRun)) {
        return Occupied(place.temporary, temporary);
    }
    return std::nullopt;
}

} // namespace

Found Recognize(FileSystem& files, const std::string& rom, const NotePlace& place, File& romFile,
                bool dryRun) {
    Found found;
    found.stop = ClearNames(files, rom, place, dryRun);
    if (found.stop) {
        return found;
    }
    std::vector<Claim> claims = Claims(files, rom, place);
    for (const Claim& claim : claims) {
        if (const std::string doubt = Doubt(claim, place); !doubt.empty()) {
            found.stop = Stop(files, place, claim, doubt);
            return found;
        }
    }
    if (claims.empty()) {
        return found;
    }
    Claim& claim = claims.front();
    std::vector<std::uint8_t> buffer;
    const Shape shape = Classify(romFile, claim.note.ranges, buffer);
    const std::string range = RangesText(claim.note.ranges);
    if (shape == Shape::Unreadable || shape == Shape::Neither) {
        found.stop = Stop(files, place, claim,
                          shape == Shape::Neither
                              ? "no cuadra con la tabla " + range
                              : "no se pudo comprobar: " + Describe({romFile.Error().cause, ""}));
        return found;
    }
    if (shape == Shape::Torn) {
        found.wholeBackup = Vouched(files, place, claim.note);
        found.tornPath = claim.path;
        found.torn = std::move(claim.note);
        return found;
    }
    found.notice =
        kInterrupted + (shape == Shape::Written
                            ? " cuando ya había escrito la tabla " + range +
                                  " entera; la tabla nueva está completa y se ha dejado como está."
                            : ", pero la tabla " + range +
                                  " está entera, con sus bytes originales; no había nada que "
                                  "reponer.");
    if (!dryRun) {
        files.Remove(claim.path);
    }
    return found;
}

std::string TornNotice(const Found& found, Mending mending, const std::string& ownBackup) {
    std::string text = kInterrupted + (" mientras escribía la tabla " +
                                       RangesText(found.torn->ranges) + ", que quedó a medias; ");
    switch (mending) {
    case Mending::Simulated:
        return text + "esta simulación no escribe nada: el próximo recálculo sin --dry-run "
                      "repondrá sus bytes originales, y este informe ya cuenta con ellos.";
    case Mending::Left:
        return text + "no se ha tocado: el próximo recálculo que escriba repondrá sus bytes "
                      "originales.";
    case Mending::Done:
        break;
    }
    return text + "se han repuesto sus bytes originales antes de seguir (" +
           Quote(RomBaseName(ownBackup)) + " la guarda a medias).";
}

std::optional<Refusal> Mend(FileSystem& files, File& rom, const Found& found,
                            std::vector<std::uint8_t>& back) {
    const Step step = PutBack(rom, found.torn->ranges, back);
    if (step == Step::Done) {
        try {
            files.Remove(found.tornPath);
        } catch (const std::exception&) {
            // A note left of a table now whole only draws a warning from the next run.
        }
        return std::nullopt;
    }
    const std::string why = step == Step::Differs
                                ? std::string("no se leyeron igual al comprobarlos")
                                : Describe(rom.Error());
    const std::string range = RangesText(found.torn->ranges);
    // The put-back may have reached the file though its flush or check failed: what the file
    // holds decides what is said. The note stays either way.
    if (Classify(rom, found.torn->ranges, back) == Shape::Original) {
        return Refusal{Exit::WriteFailed, "no se pudo confirmar en el disco la tabla " + range +
                                              " repuesta: " + why +
                                              "; en la ROM solo se ha repuesto la tabla que un "
                                              "recálculo anterior dejó a medias, y su nota se "
                                              "conserva"};
    }
    // The backup's name is never shortened: the translator must be able to find it.
    return Refusal{
        Exit::RestoreFailed,
        "el recálculo anterior de esta ROM se interrumpió mientras escribía la tabla " + range +
            " y no se han podido reponer sus bytes originales: " + why + "; recupere la ROM de " +
            (found.wholeBackup ? "la copia de seguridad «" + found.wholeBackup->name + "»"
                               : std::string("una copia de antes de la interrupción"))};
}

bool PatchedFile::Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (!Pass(m_File.Read(offset, buffer, count))) {
        return false;
    }
    for (const Range& range : m_Ranges) {
        const std::uint64_t from = std::max(offset, range.offset);
        const std::uint64_t to = std::min(offset + count, range.offset + range.original.size());
        if (from < to) {
            std::memcpy(static_cast<std::uint8_t*>(buffer) + (from - offset),
                        range.original.data() + (from - range.offset),
                        static_cast<std::size_t>(to - from));
        }
    }
    return true;
}

bool PatchedFile::Write(std::uint64_t, const void*, std::size_t) {
    m_Error = FileError{Cause::Other, "solo lectura"};
    return false;
}

} // namespace zeltor
