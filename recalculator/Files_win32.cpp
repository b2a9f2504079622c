#include "Files.h"

#include "Utf.h"

#include <windows.h>

#include <limits>

namespace zeltor {

namespace {

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L'.' || message.back() == L' ')) {
        message.pop_back();
    }
    return Narrow(message) + " (" + std::to_string(code) + ")";
}

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
    explicit Win32File(HANDLE handle) : m_Handle(handle) {}
    ~Win32File() override { CloseHandle(m_Handle); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    bool Size(std::uint64_t& size) override {
        LARGE_INTEGER value{};
        if (!GetFileSizeEx(m_Handle, &value)) {
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }

    bool Read(std::uint64_t offset, void* buffer, std::size_t count) override {
        auto* p = static_cast<char*>(buffer);
        while (count > 0) {
            const DWORD ask = static_cast<DWORD>(count < kMaxCall ? count : kMaxCall);
            OVERLAPPED where = At(offset);
            DWORD got = 0;
            if (!ReadFile(m_Handle, p, ask, &got, &where) || got == 0) {
                return false;
            }
            p += got;
            offset += got;
            count -= got;
        }
        return true;
    }

    bool Write(std::uint64_t offset, const void* buffer, std::size_t count) override {
        const auto* p = static_cast<const char*>(buffer);
        while (count > 0) {
            const DWORD ask = static_cast<DWORD>(count < kMaxCall ? count : kMaxCall);
            OVERLAPPED where = At(offset);
            DWORD put = 0;
            if (!WriteFile(m_Handle, p, ask, &put, &where) || put == 0) {
                return false;
            }
            p += put;
            offset += put;
            count -= put;
        }
        return true;
    }

    bool Flush() override { return FlushFileBuffers(m_Handle) != 0; }

private:
    HANDLE m_Handle;
};

class Win32FileSystem final : public FileSystem {
public:
    std::unique_ptr<File> Open(const std::string& path, bool writable,
                               std::string& error) override {
        // While we write, nobody else may: readers are welcome.
        const HANDLE handle =
            CreateFileW(Widen(path).c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0),
                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = SystemMessage(GetLastError());
            return nullptr;
        }
        return std::make_unique<Win32File>(handle);
    }

    CreateResult CreateNew(const std::string& path, std::unique_ptr<File>& file,
                           std::string& error) override {
        // CREATE_NEW: an earlier backup is never replaced.
        const HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
                return CreateResult::AlreadyExists;
            }
            error = SystemMessage(code);
            return CreateResult::Failed;
        }
        file = std::make_unique<Win32File>(handle);
        return CreateResult::Created;
    }

    bool Remove(const std::string& path) override { return DeleteFileW(Widen(path).c_str()) != 0; }

    bool AppendText(const std::string& path, const std::string& text) override {
        const HANDLE handle = CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        // Notepad on older Windows needs the mark to read a new log as UTF-8.
        std::string bytes;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(handle, &size) && size.QuadPart == 0) {
            bytes = "\xEF\xBB\xBF";
        }
        // Windows readers expect CRLF line ends.
        for (char c : text) {
            if (c == '\n') {
                bytes += '\r';
            }
            bytes += c;
        }
        DWORD put = 0;
        const bool ok =
            bytes.size() <= std::numeric_limits<DWORD>::max() &&
            WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
            put == bytes.size();
        CloseHandle(handle);
        return ok;
    }
};

} // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
    return std::make_unique<Win32FileSystem>();
}

} // namespace zeltor
