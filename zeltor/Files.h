#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeltor {

// Why a file operation failed, in the terms a translator can act on.
enum class Cause {
    Other,
    NotFound,
    AccessDenied,
    DiskFull,
    InUse,       // another program holds the file
    ReadOnly,    // the disk or medium cannot be written
    Folder,      // a folder where a file was expected
    Pipe,        // a FIFO or pipe: reading it could wait for ever
    Device,      // a device such as /dev/null or CON
    Truncated,   // the file ended before the bytes asked for
    NameTooLong, // longer than the system allows a name or a path
    Link,        // a symbolic link or another reparse point, where a file of its own is needed
    ManyNames    // a file with more than one name (a hard link), where one of its own is needed
};

struct FileError {
    Cause cause = Cause::Other;
    std::string system; // the system's own words, in whatever language it speaks
};

// "permiso denegado (Permission denied)": the cause in Spanish, then the system's text.
std::string Describe(const FileError& error);

// What the system says of an open file.
struct FileInfo {
    // Which file it is, by whatever name it was reached: device and file number on Linux,
    // volume serial and file index on Windows.
    std::uint64_t device = 0, number = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0; // its last write, in the system's own units
    std::uint64_t names = 1;   // how many names (hard links) it has
};

// What a name holds, a link itself rather than what it points to.
enum class NameKind { None, File, Folder, Pipe, Device, Link, Other };

// An open file. Offsets are 64-bit so that nothing depends on the width of size_t.
class File {
public:
    virtual ~File() = default;
    virtual bool Size(std::uint64_t& size) = 0;
    // Reads or writes exactly `count` bytes at `offset`; false on any shortfall.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t count) = 0;
    virtual bool Write(std::uint64_t offset, const void* buffer, std::size_t count) = 0;
    // Pushes written bytes to the disk (or as close as the platform allows).
    virtual bool Flush() = 0;
    virtual bool Info(FileInfo& info) = 0;
    // Copies this file's first `size` bytes to the start of `target` inside the system, where
    // the platform can (as `cp` does); std::nullopt when it cannot, and the caller copies
    // through a buffer. On failure, `target` holds the error.
    virtual std::optional<bool> CopyInto(File& target, std::uint64_t size) {
        (void)target;
        (void)size;
        return std::nullopt;
    }
    // Why the last call that returned false failed.
    const FileError& Error() const { return m_Error; }

protected:
    FileError m_Error;
};

enum class CreateResult { Created, AlreadyExists, Failed };

// The program's only contact with the file system, so the whole run can be tested with
// an in-memory stand-in that fails on purpose.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens an existing regular file; `writable` asks for write access too, and for the
    // right to be its only writer. Read-only, it shares the file with any other program,
    // writers included. Folders, pipes and devices are refused before anything is opened
    // for writing, and opening never waits.
    virtual std::unique_ptr<File> Open(const std::string& path, bool writable,
                                       FileError& error) = 0;
    // Creates a new file for writing, never replacing one that exists.
    virtual CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                                   FileError& error) = 0;
    // Gives the closed file `from` the name `to` in one step, only if `to` does not exist
    // yet, and makes the new name durable.
    virtual CreateResult MoveNew(const std::string& from, const std::string& to,
                                 FileError& error) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // Appends to a regular file of its own, created when missing: a link, a file with more
    // than one name (which may be the ROM's other name), a folder, a FIFO or a device is
    // refused without waiting. A failed append leaves the file as it found it, and never
    // leaves behind an empty file that it created.
    virtual bool AppendText(const std::string& path, const std::string& text, FileError& error) = 0;
    // What `path` names, without following a link there.
    virtual NameKind Look(const std::string& path) = 0;
    // The names in `folder` ("" for the working folder, or ending in a separator) that start
    // with `prefix` and end with `suffix`; none when the folder cannot be read.
    virtual std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                                          const std::string& suffix) = 0;
    // The full name of the file `path` names, every link followed, as the system spells it;
    // std::nullopt when the system cannot tell.
    virtual std::optional<std::string> RealPath(const std::string& path) = 0;
};

// The real file system of the platform the program was built for.
std::unique_ptr<FileSystem> MakeNativeFileSystem();

} // namespace zeltor
