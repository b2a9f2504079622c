#include "zeltor/write/Backup.h"

#include "portable/Hex.h"
#include "portable/RecalcArguments.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <memory>

namespace zeltor {

namespace {

constexpr unsigned kBackupNames = 10000; // .bak, then .bak1 to .bak9999

// Creates the temporary copy, removing one left by a run that was stopped while copying.
std::unique_ptr<File> CreateTemporary(const std::string& rom, FileSystem& files,
                                      const std::string& temp, std::string& error) {
    FileError why;
    std::unique_ptr<File> copy;
    const CreateResult created = CreateScratch(files, temp, copy, why);
    if (created != CreateResult::Created) {
        error =
            "no se puede crear la copia de seguridad en " + RomFolderText(rom) + ": " +
            (created == CreateResult::AlreadyExists
                 ? "queda " + Quote(temp) + ", de un recálculo interrumpido, y no se pudo borrar"
                 : Describe(why));
        return nullptr;
    }
    return copy;
}

// Copies the ROM's bytes into `copy` (inside the system where it can) and flushes them.
bool CopyAndFlush(const std::string& rom, File& source, File& copy,
                  std::vector<std::uint8_t>& buffer, std::string& error) {
    std::uint64_t size = 0;
    if (!source.Size(size)) {
        error =
            "no se pudo leer el tamaño de la ROM " + Quote(rom) + ": " + Describe(source.Error());
        return false;
    }
    const std::optional<bool> copied = source.CopyInto(copy, size);
    if (copied && !*copied) {
        error = "no se pudo copiar la ROM " + Quote(rom) +
                " en su copia de seguridad: " + Describe(copy.Error());
        return false;
    }
    for (std::uint64_t at = 0; !copied && at < size;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - at, buffer.size()));
        if (!source.Read(at, buffer.data(), count)) {
            error = "no se pudo leer la ROM " + Quote(rom) +
                    " para copiarla: " + Describe(source.Error());
            return false;
        }
        if (!copy.Write(at, buffer.data(), count)) {
            error = "no se pudo escribir la copia de seguridad de " + Quote(rom) + ": " +
                    Describe(copy.Error());
            return false;
        }
        at += count;
    }
    if (!copy.Flush()) {
        error = "no se pudo guardar en el disco la copia de seguridad de " + Quote(rom) + ": " +
                Describe(copy.Error());
        return false;
    }
    return true;
}

// Gives the whole copy the first free backup name, never replacing a file.
bool NameBackup(const std::string& rom, FileSystem& files, const std::string& temp,
                std::string& backupPath, std::string& error) {
    FileError why;
    for (unsigned n = 0; n < kBackupNames; ++n) {
        backupPath = BackupName(rom, n);
        const CreateResult moved = files.MoveNew(temp, backupPath, why);
        if (moved == CreateResult::Created) {
            return true;
        }
        if (moved == CreateResult::Failed) {
            error = "no se pudo dar a la copia de seguridad el nombre " + Quote(backupPath) + ": " +
                    Describe(why);
            return false;
        }
    }
    error = "no queda ningún nombre libre para la copia de seguridad (de " +
            Quote(BackupName(rom, 0)) + " a " + Quote(BackupName(rom, kBackupNames - 1)) + ")";
    return false;
}

} // namespace

std::string TemporaryBackupPath(const std::string& rom) {
    return ScratchPath(rom, ".copia.tmp");
}

bool MakeBackup(const std::string& rom, File& source, FileSystem& files,
                std::vector<std::uint8_t>& buffer, std::string& backupPath, std::string& error) {
    const std::string temp = TemporaryBackupPath(rom);
    std::unique_ptr<File> copy = CreateTemporary(rom, files, temp, error);
    if (!copy) {
        return false;
    }
    // From here on the unfinished copy goes, whatever ends the copying.
    ScratchGuard unfinished(files, temp);
    const bool ok = CopyAndFlush(rom, source, *copy, buffer, error);
    copy.reset();
    if (ok && NameBackup(rom, files, temp, backupPath, error)) {
        unfinished.Keep();
        return true;
    }
    return false;
}

} // namespace zeltor
