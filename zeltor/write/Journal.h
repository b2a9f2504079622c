#pragma once

#include "zeltor/Files.h"
#include "zeltor/write/Write.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zeltor {

// Before the first byte of a table is written, a note of the write is made durable in the
// folder of the ROM's file: which file it is (its identity and size, its name), the ranges
// written with their original and new bytes, the backup made before it, and a checksum. It
// goes once the new bytes are written, read back and flushed. A note is a claim about one
// file: a run acts on it only when it finds that file's identity and size in it, its ranges
// inside the file, and there exactly what an interrupted write of it leaves.

// Where the notes of the file a ROM's name reaches lie, and what that file is.
struct NotePlace {
    FileInfo rom;         // the ROM's file, as opened
    std::string folder;   // the real file's folder ("" or ending in a separator): a
                          // symbolic link's target's, not the link's
    std::string realName; // the real file's own name
    std::string path;     // its note: the name comes from the file's identity
    std::string temporary;
};

// The place of the notes of the file that `romFile`, opened through `rom`, is. False when the
// system cannot say what the file is (`error` then says why).
bool PlaceNotes(FileSystem& files, const std::string& rom, File& romFile, NotePlace& place,
                FileError& error);

// The note of notes from before identities were kept (1.1.0): found by the ROM's name.
std::string OldNotePath(const std::string& folder, const std::string& name);

// "zeltor-", then what ends every note's name.
extern const char kNotePrefix[];
extern const char kNoteEnding[];

// A backup as a note names it: whole, made before the write, and recognisable later.
struct BackupMark {
    std::string name;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// The mark of the backup just made at `path`, named as the note's folder finds it.
std::optional<BackupMark> MarkBackup(FileSystem& files, const NotePlace& place,
                                     const std::string& path);

struct Intent {
    std::span<const Range> ranges; // in the order they are written
    std::optional<BackupMark> backup;
};

// Writes the note under its temporary name, flushes it, and only then gives it its name, so a
// note under that name is always whole. On failure `error` says why and no file is left.
bool WriteJournal(FileSystem& files, const NotePlace& place, const Intent& intent,
                  std::string& error);

// A note as read back. The ranges point into `bytes`, so a note is moved, never copied.
struct Note {
    Note() = default;
    Note(Note&&) = default;
    Note& operator=(Note&&) = default;
    Note(const Note&) = delete;
    Note& operator=(const Note&) = delete;

    enum class Kind { Current, Old, Unreadable } kind = Kind::Unreadable;
    FileInfo rom;     // identity and size (Current only)
    std::string name; // the ROM's name as it was written (Current and Old)
    std::optional<BackupMark> backup;
    std::vector<Range> ranges;
    std::vector<std::uint8_t> bytes;
};

// Reads and checks a note; memory follows the note's own size, never what it claims, and no
// note larger than one for a ROM of `romSize` bytes is read. An Old note gives only its name;
// a note that fails any check is Unreadable.
Note ReadJournal(File& file, std::uint64_t romSize);

// How the bytes in a note's ranges stand against its write: all original, all new, new up to
// some point of the ranges taken in order and original after it, or anything else.
enum class Shape { Original, Written, Torn, Neither, Unreadable };

// Reads the ranges from the ROM; `buffer` is for the reading.
Shape Classify(File& rom, std::span<const Range> ranges, std::vector<std::uint8_t>& buffer);

} // namespace zeltor
