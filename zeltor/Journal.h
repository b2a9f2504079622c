#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zeltor {

// Before the first byte of a table is written, a note of the write is made durable beside
// the ROM: the ROM's size, the table's place, its original bytes and its new ones, and a
// checksum. It goes once the new table is written, read back and flushed. A run that finds
// one therefore knows that an earlier run on this ROM stopped while the table was being
// written, and has all it needs to put the original table back: the note does not depend on
// the backup, which the translator may have moved or deleted since.

// Where the note lies, and where it is written before it gets that name.
std::string JournalPath(const std::string& rom);
std::string TemporaryJournalPath(const std::string& rom);

struct Intent {
    std::uint64_t romSize = 0;
    std::uint64_t offset = 0;
    const std::vector<std::uint8_t>& original;
    const std::vector<std::uint8_t>& replacement;
    const std::string& backupPath;
};

// Writes the note under its temporary name, flushes it, and only then gives it its name, so a
// note under that name is always whole. On failure `error` says why and no file is left.
bool WriteJournal(FileSystem& files, const std::string& rom, const Intent& intent,
                  std::string& error);

// What a run found of an earlier, interrupted one, before doing anything else.
struct Recovery {
    std::string notice;             // one line for stderr and the log; empty: nothing found
    std::optional<Refusal> failure; // a torn table that could not be put back
    // For a dry run, which writes nothing: the original bytes of a torn table, to be read in
    // place of the ROM's (`original` is empty otherwise).
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> original;
};

// Looks for a note beside the ROM, which `romFile` holds open (for writing, unless `dryRun`).
// A table that the note shows torn (every byte old or new, both kinds present) gets its
// original bytes back; a table left whole, old or new, is left alone, and so is one that has
// changed since in any other way. Then the note goes. A dry run only says what it found.
// Leftovers of an interrupted backup or note are removed too.
Recovery Recover(FileSystem& files, const std::string& rom, File& romFile, bool dryRun);

// The ROM as a run would find it after Recover: `bytes` read in place of the file's own at
// `offset`.
class PatchedFile final : public File {
public:
    PatchedFile(File& file, std::uint64_t offset, const std::vector<std::uint8_t>& bytes)
        : m_File(file), m_Offset(offset), m_Bytes(bytes) {}
    bool Size(std::uint64_t& size) override { return Pass(m_File.Size(size)); }
    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override;
    bool Write(std::uint64_t, const void*, std::size_t) override;
    bool Flush() override { return Pass(m_File.Flush()); }
    bool Info(FileInfo& info) override { return Pass(m_File.Info(info)); }

private:
    bool Pass(bool ok) {
        if (!ok) {
            m_Error = m_File.Error();
        }
        return ok;
    }
    File& m_File;
    std::uint64_t m_Offset;
    const std::vector<std::uint8_t>& m_Bytes;
};

} // namespace zeltor
