// Zeltor.exe as a console program: it leaves the console's code page as it found it, and when
// it is opened by a double click it says what it is and waits for a key instead of flashing.
#include "tests/support/win32/TempFolder.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ZeltorCommand(const std::string& args) {
    return L"\"" + Widen(TestFolder() + "\\Zeltor.exe") + L"\" " + Widen(args);
}

// Runs Zeltor.exe in this process's console, its output thrown away, and gives its exit code.
DWORD RunInOurConsole(const std::string& args) {
    std::wstring line = ZeltorCommand(args);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                       OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return 0xFFFFFFFF;
    }
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    WaitForSingleObject(process.Get(), 10000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

TEST(ZeltorConsole, GivesTheCodePageBackOnEveryWayOut) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    for (const UINT cp : {850u, 1252u}) {
        ASSERT_TRUE(SetConsoleOutputCP(cp));
        // Help, a refusal of its arguments, a ROM that is missing, and no arguments at all.
        for (const char* args : {"--help", "--mapa", "--dry-run falta.smc 1 2 3 2 00", ""}) {
            SCOPED_TRACE(args);
            EXPECT_NE(RunInOurConsole(args), 0xFFFFFFFFu);
            EXPECT_EQ(GetConsoleOutputCP(), cp);
        }
    }
    FreeConsole();
}

// Attaches to the process's console, reads what it shows and types one key into it. Repeated
// until the process ends: a key typed before it asks is thrown away, as it should be.
std::wstring ShowAndType(DWORD process) {
    FreeConsole();
    if (!AttachConsole(process)) {
        return {};
    }
    const UniqueHandle screen(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(screen.Get(), &info);
    std::wstring shown(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1),
                       L' ');
    DWORD count = 0;
    ReadConsoleOutputCharacterW(screen.Get(), shown.data(), static_cast<DWORD>(shown.size()),
                                COORD{0, 0}, &count);
    const UniqueHandle input(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    INPUT_RECORD key{};
    key.EventType = KEY_EVENT;
    key.Event.KeyEvent.bKeyDown = TRUE;
    key.Event.KeyEvent.wRepeatCount = 1;
    key.Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
    key.Event.KeyEvent.uChar.UnicodeChar = L'\r';
    WriteConsoleInputW(input.Get(), &key, 1, &count);
    FreeConsole();
    return shown;
}

// While it lasts, this process's standard handles belong to a console of its own.
class ConsoleStdHandles {
public:
    ConsoleStdHandles() {
        FreeConsole();
        AllocConsole();
        m_Input.Reset(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        m_Output.Reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
        SetStdHandle(STD_INPUT_HANDLE, m_Input.Get());
        SetStdHandle(STD_OUTPUT_HANDLE, m_Output.Get());
        SetStdHandle(STD_ERROR_HANDLE, m_Output.Get());
    }
    ~ConsoleStdHandles() {
        SetStdHandle(STD_INPUT_HANDLE, m_Saved[0]);
        SetStdHandle(STD_OUTPUT_HANDLE, m_Saved[1]);
        SetStdHandle(STD_ERROR_HANDLE, m_Saved[2]);
        FreeConsole();
    }
    ConsoleStdHandles(const ConsoleStdHandles&) = delete;
    ConsoleStdHandles& operator=(const ConsoleStdHandles&) = delete;

private:
    HANDLE m_Saved[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                         GetStdHandle(STD_ERROR_HANDLE)};
    UniqueHandle m_Input, m_Output;
};

// Ends a process the test left running, so that nothing outlives the test.
struct EndsProcess {
    HANDLE process;
    ~EndsProcess() {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process, 99);
        }
    }
};

// Opened from Explorer: a console of its own, no arguments.
TEST(ZeltorConsole, WaitsForAKeyOnlyWhenDoubleClicked) {
    TempFolder temp;
    for (const bool withArguments : {false, true}) {
        SCOPED_TRACE(withArguments);
        std::wstring line =
            ZeltorCommand(withArguments ? "--dry-run falta.smc 100 20 25 2 00" : "");
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        {
            // As Explorer starts it: its standard handles are those of its new console (Wine
            // would otherwise hand on this test's own pipes).
            const ConsoleStdHandles consoleHandles;
            ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                       CREATE_NEW_CONSOLE, nullptr, Widen(temp.Path()).c_str(),
                                       &startup, &started));
        }
        const UniqueHandle process(started.hProcess), thread(started.hThread);
        const EndsProcess ending{process.Get()};
        if (withArguments) {
            // The window starts it this way too: it must never wait.
            EXPECT_EQ(WaitForSingleObject(process.Get(), 5000), WAIT_OBJECT_0);
            continue;
        }
        // It waits, and a key typed into its console lets it end.
        EXPECT_EQ(WaitForSingleObject(process.Get(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
        std::wstring shown;
        for (int attempt = 0; attempt < 100 && WaitForSingleObject(process.Get(), 200) != 0;
             ++attempt) {
            const std::wstring now = ShowAndType(started.dwProcessId);
            shown += now;
        }
        ASSERT_EQ(WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
        // What it said: what it is, then how to use it, then the question.
        EXPECT_NE(shown.find(L"se usa desde ZeltorIGU.exe o desde una consola"),
                  std::wstring::npos);
        EXPECT_NE(shown.find(L"Pulse una tecla"), std::wstring::npos);
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        EXPECT_EQ(code, 1u);
    }
}

} // namespace
