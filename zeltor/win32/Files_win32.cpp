#include "zeltor/win32/Win32Files.h"

#include "win32/Owned.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <windows.h>

#include <cwctype>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace zeltor {

namespace win32files {

namespace {

std::string SystemMessage(DWORD code) {
    return SystemErrorText(code) + " (" + std::to_string(code) + ")";
}

} // namespace

FileError FromWin32(DWORD code) {
    FileError error;
    error.system = SystemMessage(code);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        error.cause = Cause::NotFound;
        break;
    case ERROR_ACCESS_DENIED:
        error.cause = Cause::AccessDenied;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        error.cause = Cause::DiskFull;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        error.cause = Cause::InUse;
        break;
    case ERROR_WRITE_PROTECT:
        error.cause = Cause::ReadOnly;
        break;
    case ERROR_HANDLE_EOF:
        error.cause = Cause::Truncated;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        error.cause = Cause::NameTooLong;
        break;
    default:
        error.cause = Cause::Other;
        break;
    }
    return error;
}

FileError LastError() {
    return FromWin32(GetLastError());
}

namespace {

// Wine answers "not found" for a name longer than the system allows: that name cannot exist,
// and the translator must be told why.
bool HasOverlongPart(const std::wstring& path) {
    std::size_t length = 0;
    for (const wchar_t c : path) {
        length = c == L'\\' || c == L'/' ? 0 : length + 1;
        if (length > 255) {
            return true;
        }
    }
    return false;
}

} // namespace

FileError LastErrorFor(const std::wstring& path) {
    FileError error = LastError();
    if (error.cause == Cause::NotFound && HasOverlongPart(path)) {
        error = FileError{Cause::NameTooLong, ""}; // the system's words would say "not found"
    }
    return error;
}

// CON, NUL, COM1, LPT1... name a device in any folder and with any extension; opening one may
// fail in ways that say nothing of it (Wine: "Invalid handle"), so they are known by name.
bool IsDeviceName(const std::wstring& path) {
    const std::size_t start = path.find_last_of(L"\\/:") + 1; // npos + 1 is 0
    std::wstring stem = path.substr(start, path.find_first_of(L".:", start) - start);
    while (!stem.empty() && stem.back() == L' ') {
        stem.pop_back();
    }
    for (wchar_t& c : stem) {
        c = static_cast<wchar_t>(towupper(c));
    }
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kNames) {
        if (stem == name) {
            return true;
        }
    }
    const bool port =
        stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0);
    const wchar_t digit = port ? stem[3] : L'\0';
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
           digit == L'\u00B3';
}

// What the handle is when it is not a regular file.
std::optional<Cause> NotAFile(HANDLE handle) {
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_PIPE) {
        return Cause::Pipe;
    }
    if (type != FILE_TYPE_DISK) {
        return Cause::Device;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Cause::Folder;
    }
    return std::nullopt;
}

} // namespace win32files

namespace {

using win32files::IsDeviceName;
using win32files::LastError;
using win32files::LastErrorFor;
using win32files::NotAFile;

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

// One ReadFile/WriteFile call moves at most a DWORD's worth of bytes.
constexpr std::size_t kMaxCall = 1u << 30;

class Win32File final : public File {
public:
    explicit Win32File(UniqueHandle handle) : m_Handle(std::move(handle)) {}

    bool Size(std::uint64_t& size) override {
        LARGE_INTEGER value{};
        if (!GetFileSizeEx(m_Handle.Get(), &value)) {
            m_Error = LastError();
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }

    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        return Whole(offset, static_cast<char*>(buffer), count, Cause::Truncated,
                     [&](char* p, DWORD ask, DWORD& done, OVERLAPPED& where) {
                         return ReadFile(m_Handle.Get(), p, ask, &done, &where);
                     });
    }

    bool Write(std::uint64_t offset, const void* buffer, std::size_t count) override {
        return Whole(offset, static_cast<const char*>(buffer), count, Cause::DiskFull,
                     [&](const char* p, DWORD ask, DWORD& done, OVERLAPPED& where) {
                         return WriteFile(m_Handle.Get(), p, ask, &done, &where);
                     });
    }

    bool Flush() override {
        if (!FlushFileBuffers(m_Handle.Get())) {
            m_Error = LastError();
            return false;
        }
        return true;
    }

    bool Info(FileInfo& info) override {
        BY_HANDLE_FILE_INFORMATION facts{};
        if (!GetFileInformationByHandle(m_Handle.Get(), &facts)) {
            m_Error = LastError();
            return false;
        }
        info.device = facts.dwVolumeSerialNumber;
        info.number = std::uint64_t{facts.nFileIndexHigh} << 32 | facts.nFileIndexLow;
        info.size = std::uint64_t{facts.nFileSizeHigh} << 32 | facts.nFileSizeLow;
        info.modified =
            static_cast<std::int64_t>(std::uint64_t{facts.ftLastWriteTime.dwHighDateTime} << 32 |
                                      facts.ftLastWriteTime.dwLowDateTime);
        info.names = facts.nNumberOfLinks;
        return true;
    }

private:
    // Moves `count` bytes at `offset` in as many calls as it takes; a call that moves nothing
    // is the shortfall's cause (the end of the file, or a full disk).
    template <class Byte, class Call>
    bool Whole(std::uint64_t offset, Byte* p, std::size_t count, Cause shortfall, Call call) {
        while (count > 0) {
            const DWORD ask = static_cast<DWORD>(count < kMaxCall ? count : kMaxCall);
            OVERLAPPED where = At(offset);
            DWORD done = 0;
            if (!call(p, ask, done, where)) {
                m_Error = LastError();
                return false;
            }
            if (done == 0) {
                m_Error = FileError{shortfall, ""};
                return false;
            }
            p += done;
            offset += done;
            count -= done;
        }
        return true;
    }

    UniqueHandle m_Handle;
};

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x{};
    BY_HANDLE_FILE_INFORMATION y{};
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, bool writable, FileError& error) override {
        const std::wstring wide = Widen(path);
        if (IsDeviceName(wide)) {
            error = FileError{Cause::Device, ""};
            return nullptr;
        }
        // Only a regular file is a ROM. A first handle that may only read attributes (and may
        // be a folder's) tells what the name is before anything is opened for writing.
        const UniqueHandle probe{CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr)};
        if (!probe.Valid()) {
            error = LastErrorFor(wide);
            return nullptr;
        }
        if (const auto other = NotAFile(probe.Get())) {
            error = FileError{*other, ""};
            return nullptr;
        }
        // While we write, nobody else may: readers are welcome. Only reading, we share it
        // with anyone, as an emulator or an editor holding it open expects.
        const DWORD share =
            writable ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        UniqueHandle handle{CreateFileW(wide.c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0),
                                        share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                        nullptr)};
        if (!handle.Valid()) {
            error = LastError();
            return nullptr;
        }
        if (const auto other = NotAFile(handle.Get())) {
            error = FileError{*other, ""};
            return nullptr;
        }
        if (!SameFile(probe.Get(), handle.Get())) {
            error = FileError{Cause::Other, ""}; // replaced between the two opens
            return nullptr;
        }
        return std::make_unique<Win32File>(std::move(handle));
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                           FileError& error) override {
        // CREATE_NEW: an existing file is never replaced.
        const std::wstring wide = Widen(path);
        UniqueHandle handle{CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (!handle.Valid()) {
            return Failure(wide, error);
        }
        file = std::make_unique<Win32File>(std::move(handle));
        return CreateResult::Created;
    }

    CreateResult MoveNew(const std::string& from, const std::string& to,
                         FileError& error) override {
        // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced; write-through
        // returns only once the new name is on the disk.
        const std::wstring target = Widen(to);
        if (!MoveFileExW(Widen(from).c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
            return Failure(target, error);
        }
        return CreateResult::Created;
    }

    bool Remove(const std::string& path) override { return DeleteFileW(Widen(path).c_str()) != 0; }

    bool AppendText(const std::string& path, const std::string& text, FileError& error) override {
        return win32files::AppendOwnFile(path, text, error);
    }
    NameKind Look(const std::string& path) override { return win32files::Look(path); }
    std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                                  const std::string& suffix) override {
        return win32files::List(folder, prefix, suffix);
    }
    std::optional<std::string> RealPath(const std::string& path) override {
        return win32files::RealPath(path);
    }

private:
    static CreateResult Failure(const std::wstring& path, FileError& error) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
            return CreateResult::AlreadyExists;
        }
        error = LastErrorFor(path);
        return CreateResult::Failed;
    }
};

} // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<Win32FileSystem>();
}

} // namespace zeltor
