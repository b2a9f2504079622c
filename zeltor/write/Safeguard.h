#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/write/Journal.h"
#include "zeltor/write/Recovery.h"
#include "zeltor/write/Write.h"

#include <optional>
#include <span>
#include <string>
#include <utility>

namespace zeltor {

// What the ROM holds while a run works on it, for the words of a run cut short.
enum class RomState {
    Untouched,
    Mending,  // a torn table's original bytes are being put back
    Mended,   // they are, and nothing else has been written yet
    Writing,  // until the write of the ranges is settled
    Written,  // the new bytes, read back
    Restored, // the write failed; the ROM is as it was before it
    Damaged   // neither could be confirmed
};

// Everything a run does to the ROM, in the order that keeps it safe: it looks at the notes of
// earlier runs first; then, only in a run that writes, the backup, the mending of a torn
// table, the note of this write, the write and its check, and whether the ROM's name still
// names the file written. What the run says of it is left to the run.
class Safeguard {
public:
    Safeguard(FileSystem& files, std::string rom) : m_Files(files), m_Rom(std::move(rom)) {}

    // With the ROM open (for writing, unless `dryRun`), before anything else. A refusal stops
    // the run: nothing has been written.
    std::optional<Refusal> Recognize(File& romFile, bool dryRun);
    // The line about an earlier, interrupted run, as things stand; empty when there was none.
    const std::string& Notice() const { return m_Notice; }
    // A torn table's ranges, whose original bytes a plan reads in place of the ROM's.
    std::span<const Range> Torn() const;

    enum class End {
        Written,    // the ranges are written and checked (or there were none)
        NotWritten, // the backup or the note failed: `error` says why; nothing of this run's
                    // own was written
        MendFailed, // a torn table could not be put back, or not confirmed: `refusal`
        Failed,     // the write failed: `settled` says what the ROM holds
        Replaced    // written, but the ROM's name now names another file
    };
    struct Result {
        End end = End::NotWritten;
        std::string error;
        std::optional<Refusal> refusal;
        Settled settled;
        std::string system; // the system's words about a failed write
    };
    // Backs the ROM up, mends a torn table, notes the write, writes `ranges` in order and
    // checks them. Everything the write and its undoing need is allocated before the first
    // byte.
    Result Carry(File& rom, std::span<const Range> ranges);

    RomState State() const { return m_State; }
    // Whether this run put a torn table's original bytes back.
    bool Mended() const { return m_Mended; }
    const std::string& BackupPath() const { return m_BackupPath; }
    // The backup to restore from: this run's own, or, when this run mended a torn table (its
    // own backup holds it torn), the one made before the interruption; nullptr when that one
    // is no longer the file it was. Asks for no memory.
    const std::string* WholeBackup() const;
    // For a run cut short: removes what must not outlive it. Asks for no memory; never throws.
    void Abandon() noexcept;

private:
    bool StillNamed();

    FileSystem& m_Files;
    std::string m_Rom;
    NotePlace m_Place;
    Found m_Found;
    std::string m_Notice;
    RomState m_State = RomState::Untouched;
    bool m_Mended = false;
    std::string m_BackupPath;
    std::string m_Scratch[2]; // files of this run's own that must not outlive it
};

} // namespace zeltor
