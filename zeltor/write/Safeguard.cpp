#include "zeltor/write/Safeguard.h"

#include "zeltor/words/Text.h"
#include "zeltor/write/Backup.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace zeltor {

namespace {

// The backup's copy goes through a buffer that stays in the processor's cache: a 1 MiB one
// made the copy about twice as slow as `cp`.
constexpr std::size_t kCopyChunk = std::size_t{1} << 18;

} // namespace

std::optional<Refusal> Safeguard::Recognize(File& romFile, bool dryRun) {
    FileError error;
    if (!PlaceNotes(m_Files, m_Rom, romFile, m_Place, error)) {
        return Refusal{Exit::CannotOpen, "no se puede saber qué archivo es la ROM " + Quote(m_Rom) +
                                             ": " + Describe(error)};
    }
    m_Found = zeltor::Recognize(m_Files, m_Rom, m_Place, romFile, dryRun);
    if (m_Found.stop) {
        return m_Found.stop;
    }
    m_Notice = m_Found.torn ? TornNotice(m_Found, dryRun ? Mending::Simulated : Mending::Left)
                            : m_Found.notice;
    return std::nullopt;
}

std::span<const Range> Safeguard::Torn() const {
    return m_Found.torn ? std::span<const Range>(m_Found.torn->ranges) : std::span<const Range>();
}

Safeguard::Result Safeguard::Carry(File& rom, std::span<const Range> ranges) {
    // Everything the write and its undoing need is made now: once the ROM is being written,
    // nothing may fail for want of memory.
    std::vector<std::uint8_t> copyBuffer(kCopyChunk);
    std::vector<std::uint8_t> readBack(std::max(LargestRange(ranges), LargestRange(Torn())));
    Result result;
    result.system.reserve(512);
    m_Scratch[0] = TemporaryBackupPath(m_Rom);
    m_Scratch[1] = m_Place.temporary;
    if (!MakeBackup(m_Rom, rom, m_Files, copyBuffer, m_BackupPath, result.error)) {
        return result;
    }
    // Only now, with a whole copy of what it changes on the disk, may a torn table be mended.
    if (m_Found.torn) {
        m_State = RomState::Mending;
        result.refusal = Mend(m_Files, rom, m_Found, readBack);
        if (result.refusal) {
            m_Notice.clear(); // the error line says it all
            if (result.refusal->code != Exit::RestoreFailed) {
                m_State = RomState::Mended; // mended, though not confirmed on the disk
                m_Mended = true;
            }
            result.end = End::MendFailed;
            return result;
        }
        m_State = RomState::Mended;
        m_Mended = true;
        m_Notice = TornNotice(m_Found, Mending::Done, m_BackupPath);
    }
    if (ranges.empty()) {
        result.end = End::Written;
        return result;
    }
    // After a mending, this run's backup holds the torn table: the note names the older one.
    const Intent intent{ranges, m_Mended ? m_Found.wholeBackup
                                         : MarkBackup(m_Files, m_Place, m_BackupPath)};
    if (!WriteJournal(m_Files, m_Place, intent, result.error)) {
        return result;
    }
    m_State = RomState::Writing;
    result.settled = WriteTable(rom, ranges, readBack, result.system);
    m_State = result.settled.state == TableState::Written   ? RomState::Written
              : result.settled.state == TableState::Damaged ? RomState::Damaged
                                                            : RomState::Restored;
    if (m_State != RomState::Damaged) {
        // Settled: the note has done its work. One left behind by a damaged ROM lets the next
        // run put the original bytes back.
        m_Files.Remove(m_Place.path);
    }
    if (m_State != RomState::Written) {
        result.end = End::Failed;
        return result;
    }
    result.end = StillNamed() ? End::Written : End::Replaced;
    return result;
}

bool Safeguard::StillNamed() {
    // Another program may have saved its own file under the ROM's name meanwhile: the name
    // must still reach the file that was opened and written.
    FileError ignored;
    const std::unique_ptr<File> now = m_Files.Open(m_Rom, false, ignored);
    FileInfo named;
    return now && now->Info(named) && named.device == m_Place.rom.device &&
           named.number == m_Place.rom.number;
}

const std::string* Safeguard::WholeBackup() const {
    if (!m_Found.torn) {
        return &m_BackupPath;
    }
    return m_Found.wholeBackup ? &m_Found.wholeBackup->name : nullptr;
}

void Safeguard::Abandon() noexcept {
    // Memory ran out, or something else threw, after the ROM was settled: the write lets
    // nothing escape.
    const bool settled = m_State == RomState::Written || m_State == RomState::Restored;
    for (const std::string* path :
         {&m_Scratch[0], &m_Scratch[1], settled ? &m_Place.path : nullptr}) {
        if (path != nullptr && !path->empty()) {
            try {
                m_Files.Remove(*path);
            } catch (...) {
            }
        }
    }
}

} // namespace zeltor
