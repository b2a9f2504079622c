#pragma once

#include "zeltor/Files.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeltor {

// A file of this program's own beside the ROM: "zeltor-" and a key made from the ROM's name,
// then `ending`. The ROM's own name may already be as long as the system allows, so nothing
// is ever added to it but for the names the translator sees (the backup, the log).
std::string ScratchPath(const std::string& rom, const char* ending);

// The ROM's name without its folder.
std::string RomBaseName(const std::string& rom);
// Its folder: "" or what comes before its name, separator included.
std::string RomFolder(const std::string& rom);

// 16 hexadecimal digits from `bytes` (FNV-1a, 64 bits): names of this program's own files.
std::string NameKey(std::string_view bytes);

// Creates a scratch file of this program's own, removing first one that a run stopped halfway
// left under that name. No other run can be writing it now: the ROM is open for writing by this
// one only.
CreateResult CreateScratch(FileSystem& files, const std::string& path, std::unique_ptr<File>& file,
                           FileError& error);

// Where the backup is copied before it gets its .bak name; a leftover is an unfinished copy.
std::string TemporaryBackupPath(const std::string& rom);

// "la carpeta de la ROM", naming the folder when the ROM's name gives one: for the messages
// about files that the translator never sees.
std::string RomFolderText(const std::string& rom);

// Copies the whole ROM under a temporary name, flushes it, and only then gives it the first
// free name of juego.smc.bak, .bak1, .bak2, ...: a file under such a name is always a whole
// copy, even when the run is stopped halfway, and no unfinished copy is left behind, not even
// when an exception ends the run. `buffer` is the copy's buffer; on failure `error` says what
// went wrong.
// Removes a scratch file when it goes out of scope, unless kept; never throws. `path` must
// outlive it.
class ScratchGuard {
public:
    ScratchGuard(FileSystem& files, const std::string& path) : m_Files(files), m_Path(path) {}
    ~ScratchGuard();
    ScratchGuard(const ScratchGuard&) = delete;
    ScratchGuard& operator=(const ScratchGuard&) = delete;
    void Keep() { m_Armed = false; }

private:
    FileSystem& m_Files;
    const std::string& m_Path;
    bool m_Armed = true;
};

bool MakeBackup(const std::string& rom, File& source, FileSystem& files,
                std::vector<std::uint8_t>& buffer, std::string& backupPath, std::string& error);

} // namespace zeltor
