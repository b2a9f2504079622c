// The Linux layer's names: what a name holds, a folder's names, a link's target, and the log,
// which is appended only to a file of its own.
#include "zeltor/posix/Posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace zeltor::posix {

namespace {

// Writes all of `text`; 0 when it did, otherwise errno, or -1 for a write that moved
// nothing.
int WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : -1;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

bool AppendOwnFile(const std::string& path, const std::string& text, FileError& error) {
    // As the ROM, only a regular file and never a wait (O_NONBLOCK: a FIFO without a
    // reader fails at once, one with a reader is refused once fstat sees it); and one of its
    // own: never through a link, never a file with another name, which may be the ROM.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = NotRegular(info.st_mode);
        return false;
    }
    constexpr int kFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC;
    bool created = true;
    int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = ::open(path.c_str(), kFlags);
    }
    if (fd < 0) {
        error = FromErrno(errno);
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1) {
        ::close(fd);
        error = info.st_nlink > 1 ? FileError{Cause::ManyNames, ""} : NotRegular(info.st_mode);
        return false;
    }
    const off_t before = info.st_size;
    const int failure = WriteAll(fd, text);
    if (failure != 0) {
        // Undone before the error is worded: that may need memory. A log this call made
        // goes; an existing one loses the part just written, unless another run has
        // appended to it meanwhile.
        if (created) {
            ::unlink(path.c_str());
        } else if (::fstat(fd, &info) == 0 &&
                   info.st_size <= before + static_cast<off_t>(text.size())) {
            const int ignored = ::ftruncate(fd, before);
            (void)ignored;
        }
        ::close(fd);
        error = failure > 0 ? FromErrno(failure) : FileError{Cause::DiskFull, ""};
        return false;
    }
    if (::close(fd) != 0) {
        error = FromErrno(errno);
        return false;
    }
    return true;
}

NameKind Look(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? NameKind::None : NameKind::Other;
    }
    return S_ISREG(info.st_mode)                              ? NameKind::File
           : S_ISLNK(info.st_mode)                            ? NameKind::Link
           : S_ISDIR(info.st_mode)                            ? NameKind::Folder
           : S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ? NameKind::Pipe
           : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)   ? NameKind::Device
                                                              : NameKind::Other;
}

std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                              const std::string& suffix) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                                  &::closedir);
    while (dir) {
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            break;
        }
        const std::string_view name = entry->d_name;
        if (name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
            name.ends_with(suffix)) {
            names.emplace_back(name);
        }
    }
    return names;
}

std::optional<std::string> RealPath(const std::string& path) {
    const std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr),
                                                      &std::free);
    if (!real) {
        return std::nullopt;
    }
    return std::string(real.get());
}

} // namespace zeltor::posix
