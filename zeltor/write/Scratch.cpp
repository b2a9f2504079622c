#include "zeltor/write/Scratch.h"

#include "portable/Hex.h"
#include "zeltor/words/Text.h"

#include <cstdint>

namespace zeltor {

namespace {

// Where the ROM's own name begins: after its folder, if it names one.
std::size_t NameStart(const std::string& rom) {
    const std::size_t cut = rom.find_last_of("/\\:");
    return cut == std::string::npos ? 0 : cut + 1;
}

} // namespace

std::string NameKey(std::string_view bytes) {
    // 64 bits, so two ROMs in one folder never meet.
    std::uint64_t key = 0xCBF29CE484222325u;
    for (const char c : bytes) {
        key = (key ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
    }
    return HexDigits(key, 16);
}

std::string ScratchPath(const std::string& rom, const char* ending) {
    // Keyed by the name, without its folder.
    return RomFolder(rom) + "zeltor-" + NameKey(RomBaseName(rom)) + ending;
}

CreateResult CreateScratch(FileSystem& files, const std::string& path, std::unique_ptr<File>& file,
                           FileError& error) {
    CreateResult created = files.CreateNew(path, file, error);
    if (created == CreateResult::AlreadyExists) {
        files.Remove(path);
        created = files.CreateNew(path, file, error);
    }
    return created;
}

std::string RomBaseName(const std::string& rom) {
    return rom.substr(NameStart(rom));
}

std::string RomFolder(const std::string& rom) {
    return rom.substr(0, NameStart(rom));
}

std::string RomFolderText(const std::string& rom) {
    const std::size_t start = NameStart(rom);
    if (start == 0) {
        return "la carpeta de la ROM";
    }
    return "la carpeta de la ROM (" +
           Quote(start == 1 ? rom.substr(0, 1) : rom.substr(0, start - 1)) + ")";
}

ScratchGuard::~ScratchGuard() {
    if (m_Armed) {
        try {
            m_Files.Remove(m_Path);
        } catch (...) {
            // Nothing more can be done here; the next run removes it.
        }
    }
}

} // namespace zeltor
