#include "request/win32/Launch.h"

#include "win32/MessagePump.h"
#include "win32/Owned.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

// Enough of the end of the error output for the ten lines the window quotes.
constexpr LONGLONG kTailBytes = LONGLONG{16} * 1024;

SECURITY_ATTRIBUTES Inheritable() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    return attributes;
}

// A temporary file that receives one of the recalculator's output streams. A file never fills
// up the way a pipe does, so the recalculator cannot block on it, however much it writes, and
// nothing has to read while it runs; and a write to it is cheap, where under Wine a write to
// NUL can cost milliseconds. The system deletes it when the last handle to it is closed.
UniqueHandle CreateCaptureFile(const wchar_t* extension) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    SECURITY_ATTRIBUTES attributes = Inheritable();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name =
            std::wstring(folder) + L"zeltorigu-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt) + extension;
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

// Lets a child inherit these handles and no others: without such a list, every inheritable
// handle of this process would go to it.
class InheritOnly {
public:
    explicit InheritOnly(std::vector<HANDLE> handles) : m_Handles(std::move(handles)) {
        // The list may name a handle once only (standard input and output may be one handle).
        std::sort(m_Handles.begin(), m_Handles.end());
        m_Handles.erase(std::unique(m_Handles.begin(), m_Handles.end()), m_Handles.end());
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_Storage.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_Storage.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            RaiseWin32Error(GetLastError());
        }
        m_List = list;
        if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_Handles.data(),
                                       m_Handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
            RaiseWin32Error(GetLastError());
        }
    }
    ~InheritOnly() {
        if (m_List != nullptr) {
            DeleteProcThreadAttributeList(m_List);
        }
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_List; }

private:
    std::vector<HANDLE> m_Handles; // read by the list until the child is started
    std::vector<unsigned char> m_Storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_List = nullptr;
};

// A recalculator that was started, and the files its standard error and output go to.
struct Started {
    UniqueHandle process;
    UniqueHandle errors;
    UniqueHandle output; // never read: the report is in the log too
};

// The folder to start in: the one asked for, or else the program's own ("C:\Trad", but "C:\"
// for the root of a drive).
std::wstring WorkingFolder(const RecalcLaunch& launch) {
    if (!launch.folder.empty()) {
        return Widen(launch.folder);
    }
    const std::wstring program = Widen(launch.program);
    std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
    if (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

Started StartRecalculator(const RecalcLaunch& launch) {
    // The program is named on its own as well, so a folder with a space in it can never
    // make Windows start some other program (C:\Program.exe) instead.
    const std::wstring application = Widen(launch.program);
    std::wstring line = Widen(launch.commandLine); // CreateProcessW may write into it
    const std::wstring folder = WorkingFolder(launch);

    const UniqueHandle nul = OpenNulDevice();
    UniqueHandle errors = CreateCaptureFile(L".err");
    UniqueHandle output = CreateCaptureFile(L".out");
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_SHOWMINIMIZED;
    startup.StartupInfo.hStdInput = nul.Get(); // it never reads: nothing to wait for there
    startup.StartupInfo.hStdOutput = output.Valid() ? output.Get() : nul.Get();
    startup.StartupInfo.hStdError = errors.Valid() ? errors.Get() : nul.Get();
    // The child inherits its three standard handles and nothing else of this process.
    const InheritOnly inherit({startup.StartupInfo.hStdInput, startup.StartupInfo.hStdOutput,
                               startup.StartupInfo.hStdError});
    startup.lpAttributeList = inherit.Get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(
            application.c_str(), line.data(), nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
            nullptr, folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &started)) {
        // A damaged Zeltor.exe: "%1 is not a valid Win32 application" names the program.
        RaiseWin32Error(GetLastError(), launch.program);
    }
    const UniqueHandle thread(started.hThread);
    return {UniqueHandle(started.hProcess), std::move(errors), std::move(output)};
}

} // namespace

std::optional<RecalculatorExit> RunRecalculator(const RecalcLaunch& launch) {
    const Started started = StartRecalculator(launch);
    if (!WaitDispatchingMessages(started.process.Get())) {
        return std::nullopt;
    }
    RecalculatorExit exit;
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process.Get(), &code)) {
        RaiseWin32Error(GetLastError());
    }
    exit.code = code;
    if (started.errors.Valid()) {
        exit.errorOutput = ReadTail(started.errors.Get());
    }
    return exit;
}
