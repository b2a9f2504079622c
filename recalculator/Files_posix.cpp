#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zeltor {

namespace {

class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : m_Fd(fd) {}
    ~PosixFile() override { ::close(m_Fd); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Size(std::uint64_t& size) override {
        struct stat info {};
        if (::fstat(m_Fd, &info) != 0) {
            return false;
        }
        size = static_cast<std::uint64_t>(info.st_size);
        return true;
    }

    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        return Whole(::pread, static_cast<char*>(buffer), offset, count);
    }

    bool Write(std::uint64_t offset, const void* buffer, std::size_t count) override {
        return Whole(::pwrite, static_cast<const char*>(buffer), offset, count);
    }

    bool Flush() override { return ::fsync(m_Fd) == 0; }

private:
    // pread and pwrite may move fewer bytes than asked, or be interrupted: go on until all
    // of them are done or the call really fails.
    template <class Call, class Byte>
    bool Whole(Call call, Byte* p, std::uint64_t offset, std::size_t count) {
        while (count > 0) {
            const ssize_t n = call(m_Fd, p, count, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            p += n;
            offset += static_cast<std::uint64_t>(n);
            count -= static_cast<std::size_t>(n);
        }
        return true;
    }

    int m_Fd;
};

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, bool writable,
                               std::string& error) override {
        const int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        if (fd < 0) {
            error = std::strerror(errno);
            return nullptr;
        }
        return std::make_unique<PosixFile>(fd);
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                           std::string& error) override {
        // O_EXCL: an earlier backup is never replaced, even by a run started at the same time.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                return CreateResult::AlreadyExists;
            }
            error = std::strerror(errno);
            return CreateResult::Failed;
        }
        file = std::make_unique<PosixFile>(fd);
        return CreateResult::Created;
    }

    bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    bool AppendText(const std::string& path, const std::string& text) override {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << text;
        return static_cast<bool>(out.flush());
    }
};

} // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<PosixFileSystem>();
}

} // namespace zeltor
