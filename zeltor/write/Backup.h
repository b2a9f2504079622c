#pragma once

#include "zeltor/Files.h"
#include "zeltor/write/Scratch.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zeltor {

// Where the backup is copied before it gets its .bak name; a leftover is an unfinished copy.
std::string TemporaryBackupPath(const std::string& rom);

// Copies the whole ROM under a temporary name, flushes it, and only then gives it the first
// free name of juego.smc.bak, .bak1, .bak2, ...: a file under such a name is always a whole
// copy, even when the run is stopped halfway, and no unfinished copy is left behind, not even
// when an exception ends the run. `buffer` is the copy's buffer; on failure `error` says what
// went wrong.
bool MakeBackup(const std::string& rom, File& source, FileSystem& files,
                std::vector<std::uint8_t>& buffer, std::string& backupPath, std::string& error);

} // namespace zeltor
