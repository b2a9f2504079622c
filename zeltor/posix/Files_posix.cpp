#include "zeltor/posix/Posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace zeltor {

namespace posix {

FileError FromErrno(int code) {
    FileError error;
    error.system = std::strerror(code);
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        error.cause = Cause::NotFound;
        break;
    case EACCES:
    case EPERM:
        error.cause = Cause::AccessDenied;
        break;
    case ENOSPC:
    case EDQUOT:
        error.cause = Cause::DiskFull;
        break;
    case EROFS:
        error.cause = Cause::ReadOnly;
        break;
    case EISDIR:
        error.cause = Cause::Folder;
        break;
    case ENAMETOOLONG:
        error.cause = Cause::NameTooLong;
        break;
    case ELOOP: // O_NOFOLLOW met a symbolic link
        error.cause = Cause::Link;
        break;
    case ENXIO: // a FIFO opened for writing without waiting, and nobody reads it
        error.cause = Cause::Pipe;
        break;
    case EWOULDBLOCK:
    case EBUSY:
    case ETXTBSY:
        error.cause = Cause::InUse;
        break;
    default:
        error.cause = Cause::Other;
        break;
    }
    return error;
}

FileError NotRegular(mode_t mode) {
    FileError error;
    error.cause = S_ISDIR(mode)                      ? Cause::Folder
                  : S_ISFIFO(mode) || S_ISSOCK(mode) ? Cause::Pipe
                  : S_ISCHR(mode) || S_ISBLK(mode)   ? Cause::Device
                  : S_ISLNK(mode)                    ? Cause::Link
                                                     : Cause::Other;
    return error;
}

} // namespace posix

namespace {

using posix::FromErrno;
using posix::NotRegular;

class PosixFile final : public File {
public:
    explicit PosixFile(int fd) : m_Fd(fd) {}
    ~PosixFile() override { ::close(m_Fd); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    bool Size(std::uint64_t& size) override {
        struct stat info {};
        if (::fstat(m_Fd, &info) != 0) {
            m_Error = FromErrno(errno);
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

    bool Flush() override {
        if (::fsync(m_Fd) != 0) {
            m_Error = FromErrno(errno);
            return false;
        }
        return true;
    }

    bool Info(FileInfo& info) override {
        struct stat s {};
        if (::fstat(m_Fd, &s) != 0) {
            m_Error = FromErrno(errno);
            return false;
        }
        info.device = static_cast<std::uint64_t>(s.st_dev);
        info.number = static_cast<std::uint64_t>(s.st_ino);
        info.size = static_cast<std::uint64_t>(s.st_size);
        info.modified =
            static_cast<std::int64_t>(s.st_mtim.tv_sec) * 1000000000 + s.st_mtim.tv_nsec;
        info.names = static_cast<std::uint64_t>(s.st_nlink);
        return true;
    }

    // copy_file_range copies inside the kernel, as `cp` does. Each 8 MiB slice is handed to
    // the disk at once (SYNC_FILE_RANGE_WRITE starts the writing without waiting for it), so
    // the flush that follows the copy has little left to wait for; it still checks it all.
    std::optional<bool> CopyInto(File& target, std::uint64_t size) override {
        auto* to = dynamic_cast<PosixFile*>(&target);
        if (to == nullptr) {
            return std::nullopt;
        }
        constexpr std::uint64_t kSlice = std::uint64_t{8} << 20;
        loff_t from = 0;
        loff_t at = 0;
        while (static_cast<std::uint64_t>(from) < size) {
            const loff_t sliceStart = at;
            const auto left = static_cast<std::size_t>(
                std::min<std::uint64_t>(size - static_cast<std::uint64_t>(from), kSlice));
            const ssize_t n = ::copy_file_range(m_Fd, &from, to->m_Fd, &at, left, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && from == 0 &&
                (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP)) {
                return std::nullopt; // not on these file systems: copy through a buffer
            }
            if (n <= 0) {
                to->m_Error = n < 0 ? FromErrno(errno) : FileError{Cause::Truncated, ""};
                return false;
            }
            ::sync_file_range(to->m_Fd, sliceStart, n, SYNC_FILE_RANGE_WRITE);
        }
        return true;
    }

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
            if (n < 0) {
                m_Error = FromErrno(errno);
                return false;
            }
            if (n == 0) {
                m_Error = FileError{Cause::Truncated, ""};
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

// Makes a new or removed name in `path`'s folder survive a power cut.
void FlushFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, bool writable, FileError& error) override {
        // Only a regular file is a ROM. The type is checked before anything is opened, and
        // O_NONBLOCK keeps a FIFO put in its place meanwhile from holding the open; fstat then
        // checks that what was opened is the file that was checked.
        struct stat before {};
        if (::stat(path.c_str(), &before) != 0) {
            error = FromErrno(errno);
            return nullptr;
        }
        if (!S_ISREG(before.st_mode)) {
            error = NotRegular(before.st_mode);
            return nullptr;
        }
        const int fd = ::open(path.c_str(),
                              (writable ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            error = FromErrno(errno);
            return nullptr;
        }
        auto file = std::make_unique<PosixFile>(fd);
        struct stat opened {};
        if (::fstat(fd, &opened) != 0) {
            error = FromErrno(errno);
            return nullptr;
        }
        if (!S_ISREG(opened.st_mode) || opened.st_dev != before.st_dev ||
            opened.st_ino != before.st_ino) {
            error = NotRegular(opened.st_mode);
            return nullptr;
        }
        // One writer at a time, as the share mode gives on Windows: the backup's temporary
        // file and the table then belong to this run alone.
        if (writable && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = FromErrno(errno);
            return nullptr;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return file;
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                           FileError& error) override {
        // O_EXCL: an existing file is never replaced, even by a run started at the same time.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                return CreateResult::AlreadyExists;
            }
            error = FromErrno(errno);
            return CreateResult::Failed;
        }
        file = std::make_unique<PosixFile>(fd);
        return CreateResult::Created;
    }

    CreateResult MoveNew(const std::string& from, const std::string& to,
                         FileError& error) override {
        // One step that never replaces: renameat2 where the file system knows it, otherwise a
        // second hard link (which fails if `to` exists) and then the old name's removal.
        int result = -1;
#ifdef RENAME_NOREPLACE
        result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (result != 0 && errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
            return Failure(errno, error);
        }
#endif
        if (result != 0) {
            if (::link(from.c_str(), to.c_str()) != 0) {
                return Failure(errno, error);
            }
            ::unlink(from.c_str());
        }
        FlushFolderOf(to);
        return CreateResult::Created;
    }

    bool Remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0;
    }

    bool AppendText(const std::string& path, const std::string& text, FileError& error) override {
        return posix::AppendOwnFile(path, text, error);
    }
    NameKind Look(const std::string& path) override {
        return posix::Look(path);
    }
    std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                                  const std::string& suffix) override {
        return posix::List(folder, prefix, suffix);
    }
    std::optional<std::string> RealPath(const std::string& path) override {
        return posix::RealPath(path);
    }

private:
    static CreateResult Failure(int code, FileError& error) {
        if (code == EEXIST) {
            return CreateResult::AlreadyExists;
        }
        error = FromErrno(code);
        return CreateResult::Failed;
    }
};

} // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<PosixFileSystem>();
}

} // namespace zeltor
