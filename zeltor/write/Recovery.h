#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/write/Journal.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zeltor {

// What a run found of earlier, interrupted runs on the ROM's file, before anything else.
struct Found {
    std::string notice; // one line for stderr and the log; empty: nothing to say
    // A note that cannot be believed, or a note's name taken by something else: the run stops
    // before anything is written.
    std::optional<Refusal> stop;
    // A note whose table is torn (new bytes up to some point, the original ones after): a run
    // that writes mends it after its own backup; any other reads the original bytes instead.
    std::optional<Note> torn;
    std::string tornPath;
    // The backup that the torn note names, when it is still the file that was made then: the
    // newest whole copy from before the interruption.
    std::optional<BackupMark> wholeBackup;
};

// Looks in the folder of the ROM's real file for its note (found by the file's identity) and
// for any other note that claims its name, and judges them. A note is acted on only when it
// is this file's (identity and size), its ranges lie inside it, and they hold what an
// interrupted write of it leaves; anything else stops the run. A note whose table is whole,
// old or new, has nothing left to do and goes (unless `dryRun`), and so do the leftovers of
// an interrupted note or backup.
Found Recognize(FileSystem& files, const std::string& rom, const NotePlace& place, File& romFile,
                bool dryRun);

// How a torn table was dealt with, for the line that says so.
enum class Mending { Simulated, Left, Done };
std::string TornNotice(const Found& found, Mending mending, const std::string& ownBackup = "");

// Puts the torn table's original bytes back (after the run's own backup), then removes its
// note; the note stays until they are on the disk. A failure is exit 8, naming the backup the
// note vouches for, unless the file holds the original bytes all the same (exit 7: the ROM is
// mended, the note kept). `back` holds LargestRange of the torn ranges: this asks for no
// memory until it fails.
std::optional<Refusal> Mend(FileSystem& files, File& rom, const Found& found,
                            std::vector<std::uint8_t>& back);

// The ROM as a run that does not write reads it: the ranges' original bytes in place of the
// file's own.
class PatchedFile final : public File {
public:
    PatchedFile(File& file, std::span<const Range> ranges) : m_File(file), m_Ranges(ranges) {}
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
    std::span<const Range> m_Ranges;
};

} // namespace zeltor
