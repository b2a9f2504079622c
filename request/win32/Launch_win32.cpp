#include "request/Launch.h"

#include "win32/MessagePump.h"
#include "win32/Owned.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <windows.h>

namespace {

// Enough of the end of the error output for the ten lines the window quotes.
constexpr LONGLONG kTailBytes = LONGLONG{16} * 1024;

SECURITY_ATTRIBUTES Inheritable() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    return attributes;
}

// A file that receives the recalculator's standard error. A file never fills up the way a
// pipe does, so the recalculator cannot block on it, however much it writes, and nothing has
// to read while it runs. The system deletes it when the last handle to it is closed.
UniqueHandle CreateCaptureFile() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    SECURITY_ATTRIBUTES attributes = Inheritable();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name =
            std::wstring(folder) + L"zeltorigu-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt) + L".err";
        UniqueHandle file(
            CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file.Valid() ||
            (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            return file;
        }
    }
    return {};
}

UniqueHandle OpenNulDevice() {
    SECURITY_ATTRIBUTES attributes = Inheritable();
    return UniqueHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, OPEN_EXISTING,
                                    0, nullptr));
}

// The end of what was written into the capture file, from the start of a whole line.
std::string ReadTail(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        return {};
    }
    LARGE_INTEGER from{};
    from.QuadPart = size.QuadPart > kTailBytes ? size.QuadPart - kTailBytes : 0;
    if (!SetFilePointerEx(file, from, nullptr, FILE_BEGIN)) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart - from.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return {};
    }
    bytes.resize(read);
    if (from.QuadPart > 0) {
        const std::size_t newline = bytes.find('\n');
        bytes.erase(0, newline == std::string::npos ? bytes.size() : newline + 1);
    }
    return Utf8FromProgramOutput(bytes);
}

class Win32Recalculator final : public StartedRecalculator {
public:
    Win32Recalculator(UniqueHandle process, UniqueHandle errors)
        : m_Process(std::move(process)), m_Errors(std::move(errors)) {}

    std::optional<RecalculatorExit> Wait() override {
        if (!WaitDispatchingMessages(m_Process.Get())) {
            return std::nullopt;
        }
        RecalculatorExit exit;
        DWORD code = 0;
        if (!GetExitCodeProcess(m_Process.Get(), &code)) {
            RaiseWin32Error(GetLastError());
        }
        exit.code = code;
        if (m_Errors.Valid()) {
            exit.errorOutput = ReadTail(m_Errors.Get());
        }
        return exit;
    }

private:
    UniqueHandle m_Process;
    UniqueHandle m_Errors;
};

} // namespace

std::unique_ptr<StartedRecalculator> StartRecalculator(const std::string& program,
                                                       const std::string& commandLine) {
    // The program is named on its own as well, so a folder with a space in it can never
    // make Windows start some other program (C:\Program.exe) instead.
    const std::wstring application = Widen(program);
    std::wstring line = Widen(commandLine); // CreateProcessW may write into it
    std::wstring folder = application.substr(0, application.find_last_of(L"\\/") + 1);
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back(); // "C:\Trad", but "C:\" for the root of a drive
    }

    // Only these handles are inheritable, and only the child is started from this thread.
    const UniqueHandle nul = OpenNulDevice();
    UniqueHandle errors = CreateCaptureFile();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    startup.hStdInput = nul.Get();
    // The report on standard output is in the log too; the console is minimised anyway.
    startup.hStdOutput = nul.Get();
    startup.hStdError = errors.Valid() ? errors.Get() : nul.Get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        RaiseWin32Error(GetLastError());
    }
    const UniqueHandle thread(started.hThread);
    return std::make_unique<Win32Recalculator>(UniqueHandle(started.hProcess), std::move(errors));
}

std::optional<RecalculatorExit> RunRecalculator(const std::string& program,
                                                const std::string& commandLine) {
    return StartRecalculator(program, commandLine)->Wait();
}
