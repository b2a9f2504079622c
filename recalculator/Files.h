#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zeltor {

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
};

enum class CreateResult { Created, AlreadyExists, Failed };

// The program's only contact with the file system, so the whole run can be tested with
// an in-memory stand-in that fails on purpose.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens an existing file; `writable` asks for write access too. `error` gets the
    // system's reason on failure.
    virtual std::unique_ptr<File> Open(const std::string& path, bool writable,
                                       std::string& error) = 0;
    // Creates a new file for writing, never replacing one that exists.
    virtual CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                                   std::string& error) = 0;
    virtual bool Remove(const std::string& path) = 0;
    virtual bool AppendText(const std::string& path, const std::string& text) = 0;
};

// The real file system of the platform the program was built for.
std::unique_ptr<FileSystem> MakeNativeFileSystem();

} // namespace zeltor
