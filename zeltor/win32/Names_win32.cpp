// The Windows layer's names: what a name holds, a folder's names, a file's final path, and the
// log, which is appended only to a file of its own.
#include "zeltor/win32/Win32Files.h"

#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <limits>
#include <optional>

namespace zeltor::win32files {

namespace {

// "\\?\C:\..." as "C:\...", when it is short enough to be used so.
std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (path.size() < MAX_PATH && path.starts_with(L"\\\\?\\UNC\\")) {
        return L"\\" + path.substr(7);
    }
    if (path.size() < MAX_PATH && path.starts_with(L"\\\\?\\")) {
        return path.substr(4);
    }
    return path;
}

// What the log's handle is when it is not a file of its own.
std::optional<Cause> NotOwnFile(HANDLE handle) {
    if (const auto other = NotAFile(handle)) {
        return other;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) {
        return Cause::Other;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Cause::Link;
    }
    return info.nNumberOfLinks > 1 ? std::optional<Cause>(Cause::ManyNames) : std::nullopt;
}

// Writes `text` with CRLF line ends, as Windows readers expect, after the mark that
// Notepad on older Windows needs to read a new log as UTF-8.
bool Append(HANDLE handle, bool created, const std::string& text, DWORD& failure) {
    std::string bytes = created ? "\xEF\xBB\xBF" : "";
    for (char c : text) {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    DWORD put = 0;
    if (bytes.size() > std::numeric_limits<DWORD>::max()) {
        failure = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
        put != bytes.size()) {
        failure = GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError();
        return false;
    }
    return true;
}

// What stands under the log's name, before it is opened for writing: a handle that may only
// read attributes conflicts with nobody's sharing, not even the ROM's own handle, so another
// name of the ROM is told as such and not as a file in use. Nothing there is no objection.
std::optional<Cause> NotOwnName(const std::wstring& wide) {
    if (IsDeviceName(wide)) {
        return Cause::Device;
    }
    const UniqueHandle probe{
        CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    return probe.Valid() ? NotOwnFile(probe.Get()) : std::nullopt;
}

} // namespace

bool AppendOwnFile(const std::string& path, const std::string& text, FileError& error) {
    const std::wstring wide = Widen(path);
    // As the ROM: only a regular file, and one of its own: never through a link or another
    // reparse point, never a file with another name, which may be the ROM. A folder would
    // only say "access denied".
    if (const auto other = NotOwnName(wide)) {
        error = FileError{*other, ""};
        return false;
    }
    UniqueHandle log{CreateFileW(wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (!log.Valid()) {
        error = LastErrorFor(wide);
        return false;
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (const auto other = NotOwnFile(log.Get())) {
        error = FileError{*other, ""};
        return false;
    }
    DWORD failure = ERROR_SUCCESS;
    if (!Append(log.Get(), created, text, failure)) {
        // A log this call made goes, before the error is worded: that may need memory.
        log.Reset();
        if (created) {
            DeleteFileW(wide.c_str());
        }
        error = FromWin32(failure);
        return false;
    }
    return true;
}

NameKind Look(const std::string& path) {
    const std::wstring wide = Widen(path);
    if (IsDeviceName(wide)) {
        return NameKind::Device;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? NameKind::None
                                                                            : NameKind::Other;
    }
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? NameKind::Link
           : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? NameKind::Folder
                                                            : NameKind::File;
}

std::vector<std::string> List(const std::string& folder, const std::string& prefix,
                              const std::string& suffix) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(
        FindFirstFileW(Widen(folder + prefix + "*" + suffix).c_str(), &found));
    if (!search.Valid()) {
        return names;
    }
    do {
        // The pattern also matches short names and longer endings: the long name decides.
        std::string name = Narrow(found.cFileName);
        if (name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
            name.ends_with(suffix)) {
            names.push_back(std::move(name));
        }
    } while (FindNextFileW(search.Get(), &found));
    return names;
}

std::optional<std::string> RealPath(const std::string& path) {
    const UniqueHandle file{CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr)};
    if (!file.Valid()) {
        return std::nullopt;
    }
    std::wstring real(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(
            file.Get(), real.data(), static_cast<DWORD>(real.size()), VOLUME_NAME_DOS);
        if (length == 0) {
            return std::nullopt;
        }
        if (length < real.size()) {
            real.resize(length);
            return Narrow(WithoutLongPrefix(real));
        }
        real.resize(length);
    }
    return std::nullopt;
}

} // namespace zeltor::win32files
