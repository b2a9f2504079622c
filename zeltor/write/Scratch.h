#pragma once

#include "zeltor/Files.h"

#include <memory>
#include <string>
#include <string_view>

// The names of the ROM's files, and the files of this program's own beside the ROM (the
// backup's unfinished copy, the note of a write): where they go and how they are made.
namespace zeltor {

// A file of this program's own beside the ROM: "zeltor-" and a key made from the ROM's name,
// then `ending`. The ROM's own name may already be as long as the system allows, so nothing
// is ever added to it but for the names the translator sees (the backup, the log).
std::string ScratchPath(const std::string& rom, const char* ending);

// The ROM's name without its folder.
std::string RomBaseName(const std::string& rom);
// Its folder: "" or what comes before its name, separator included.
std::string RomFolder(const std::string& rom);

// "la carpeta de la ROM", naming the folder when the ROM's name gives one: for the messages
// about files that the translator never sees.
std::string RomFolderText(const std::string& rom);

// 16 hexadecimal digits from `bytes` (FNV-1a, 64 bits): names of this program's own files.
std::string NameKey(std::string_view bytes);

// Creates a scratch file of this program's own, removing first one that a run stopped halfway
// left under that name. No other run can be writing it now: the ROM is open for writing by this
// one only.
CreateResult CreateScratch(FileSystem& files, const std::string& path, std::unique_ptr<File>& file,
                           FileError& error);

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

} // namespace zeltor
