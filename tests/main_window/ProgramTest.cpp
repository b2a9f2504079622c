// The real program started with a ROM on its command line, and the code that loads DLLs at
// run time, each from a folder of its own as a translator would keep it.
#include "main_window/frmMain.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Starts a program in a folder and gives its process.
PROCESS_INFORMATION Start(const std::string& exe, const std::string& arguments,
                          const std::string& folder) {
    std::wstring line = L"\"" + Widen(exe) + L"\" " + Widen(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(Widen(exe).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               Widen(folder).c_str(), &startup, &process))
        << GetLastError();
    const UniqueHandle thread(process.hThread); // only the process is waited for
    return process;
}

DWORD Finish(const PROCESS_INFORMATION& process) {
    const UniqueHandle child(process.hProcess);
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(child.Get(), 20000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.Get(), &code);
    } else {
        TerminateProcess(child.Get(), 99);
    }
    return code;
}

// A top-level window of the process, of that class and caption, once it is there.
HWND WaitForWindow(DWORD pid, const wchar_t* className, const wchar_t* caption) {
    for (int i = 0; i < 200; ++i) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, className, caption)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == pid && IsWindowVisible(found)) {
                return found;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

// The text of a window of another process (WM_GETTEXT crosses processes).
std::string TextOf(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                        &length);
    return Narrow(std::wstring(text, length));
}

// The chosen ROM's name as the window shows it, once it has taken the ROM from its command
// line (up to five seconds); empty if it never does.
std::string ChosenRom(HWND main) {
    std::string shown;
    for (int i = 0; i < 100 && shown.empty(); ++i, Sleep(50)) {
        shown = TextOf(GetDlgItem(main, IDC_lblROM));
    }
    return shown;
}

TEST(Program, StartsWithTheRomNamedOnItsCommandLine) {
    TempFolder dir("zeltor program");
    const std::string exe = dir.Sub("ZeltorIGU.exe");
    ASSERT_TRUE(
        CopyFileW(Widen(TestFolder() + "\\ZeltorIGU.exe").c_str(), Widen(exe).c_str(), FALSE));
    dir.Write("mi juego.smc", std::string(0x300, 'x'));
    dir.Write("ZeltorIGU.ini",
              "[" + dir.Sub("mi juego.smc") + "]\r\ntextStart=200\r\ntableStart=100\r\n");

    // As "Open with" gives it: the name quoted, the ROM's folder current.
    PROCESS_INFORMATION process = Start(exe, "\"mi juego.smc\"", dir.Path());
    HWND main = WaitForWindow(process.dwProcessId, L"ZeltorIGU_frmMain", L"Zeltor IGU por Quennel");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ChosenRom(main), "mi juego.smc");
    EXPECT_EQ(TextOf(GetDlgItem(main, IDC_txtInitext)), "200");
    EXPECT_EQ(TextOf(GetDlgItem(main, IDC_txtIniPunt)), "100");
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);

    // A name that is not there: the measuring error, once the window is up; nothing chosen.
    process = Start(exe, "falta.smc", dir.Path());
    main = WaitForWindow(process.dwProcessId, L"ZeltorIGU_frmMain", L"Zeltor IGU por Quennel");
    HWND box = WaitForWindow(process.dwProcessId, L"#32770", L"ZeltorIGU");
    ASSERT_NE(box, nullptr);
    const std::string said = TextOf(GetDlgItem(box, 0xFFFF));
    EXPECT_EQ(said.rfind('2', 0), 0u) << said; // ERROR_FILE_NOT_FOUND, then its description
    EXPECT_GT(said.size(), 1u);
    EXPECT_EQ(TextOf(GetDlgItem(main, IDC_lblROM)), "");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);
}

TEST(Program, StartsTheRecalculatorInTheFolderOfTheRomOnItsCommandLine) {
    TempFolder dir("zeltor program");
    const std::string exe = dir.Sub("ZeltorIGU.exe");
    ASSERT_TRUE(
        CopyFileW(Widen(TestFolder() + "\\ZeltorIGU.exe").c_str(), Widen(exe).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\zeltor_echo_args.exe").c_str(),
                          Widen(dir.Sub("Zeltor.exe")).c_str(), FALSE));
    // A namesake beside the program, for rule 2; the ROM named is in another folder.
    dir.Write("juego.smc", std::string(0x100, 'a'));
    const std::string folder = dir.MakeFolder("otra carpeta");
    const std::string rom = dir.Write("otra carpeta\\juego.smc", std::string(0x300, 'b'));

    // Started from the program's folder, which a start that inherits ours would keep.
    PROCESS_INFORMATION process = Start(exe, "\"" + rom + "\"", dir.Path());
    HWND main = WaitForWindow(process.dwProcessId, L"ZeltorIGU_frmMain", L"Zeltor IGU por Quennel");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ChosenRom(main), "juego.smc");
    // 2FF passes rule 9 only against the chosen ROM's length (0x300, not 0x100).
    for (const auto& [id, text] : {std::pair<int, const wchar_t*>{IDC_txtInitext, L"2FF"},
                                   {IDC_txtIniPunt, L"0"},
                                   {IDC_txtFinPunt, L"0"},
                                   {IDC_txtSeparador, L"00"}}) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(GetDlgItem(main, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                            SMTO_NORMAL, 5000, &ignored);
    }
    PostMessageW(GetDlgItem(main, IDC_cmdRecalcular), BM_CLICK, 0, 0);
    HWND box = WaitForWindow(process.dwProcessId, L"#32770", L"ZeltorIGU");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), "¡Punteros recalculados!");
    const std::string received = ReadWholeFile(dir.Sub("received.txt"));
    EXPECT_NE(received.find("\ncwd=" + folder + "\n"), std::string::npos) << received;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);
}

TEST(Program, LoadsDllsOnlyFromTheSystemFolder) {
    TempFolder dir("zeltor dlls");
    const std::string probe = dir.Sub("zeltor_dll_probe.exe");
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\zeltor_dll_probe.exe").c_str(),
                          Widen(probe).c_str(), FALSE));
    for (const char* dll : {"comdlg32.dll", "shell32.dll"}) {
        ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\decoys\\" + dll).c_str(),
                              Widen(dir.Sub(dll)).c_str(), FALSE));
    }
    dir.Write("juego.smc", "rom");
    const auto loaded = [&](const char* dll) {
        return GetFileAttributesW(Widen(dir.Sub(std::string(dll) + ".loaded")).c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    };

    if (UnderWine()) {
        // Wine prefers its own builtin DLLs; for the probe, let a DLL found beside it win, as a
        // DLL beside a program can on Windows.
        for (const wchar_t* dll : {L"comdlg32", L"shell32"}) {
            const wchar_t order[] = L"native,builtin";
            ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER,
                                      L"Software\\Wine\\AppDefaults\\zeltor_dll_probe.exe\\"
                                      L"DllOverrides",
                                      dll, REG_SZ, order, sizeof(order)),
                      ERROR_SUCCESS);
        }
    }
    const std::string window = "dialog: seen\nrom: juego.smc\n";
    struct Case {
        const char* arguments;
        const char* report; // what the probe saw, for the window's own code
        bool decoysLoaded;
    };
    const Case cases[] = {
        // A load by name alone takes the decoys: this test can see the fault. (Not on
        // Windows, where both DLLs are known to the system and never searched for.)
        {"--bare", "", UnderWine()},
        // Each of the program's two defences on its own keeps them out.
        {"--restrict --bare", "", false},
        {"\"juego.smc\"", window.c_str(), false},
        {"--restrict \"juego.smc\"", window.c_str(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(Finish(Start(probe, c.arguments, dir.Path())), 0u);
        if (*c.report != '\0') {
            EXPECT_EQ(ReadWholeFile(dir.Sub("probe.txt")), c.report);
        }
        EXPECT_EQ(loaded("comdlg32.dll"), c.decoysLoaded);
        EXPECT_EQ(loaded("shell32.dll"), c.decoysLoaded);
        DeleteFileW(Widen(dir.Sub("comdlg32.dll.loaded")).c_str());
        DeleteFileW(Widen(dir.Sub("shell32.dll.loaded")).c_str());
        DeleteFileW(Widen(dir.Sub("probe.txt")).c_str());
    }
}

} // namespace
