#include "zeltor/Outcome.h"
#include "zeltor/Session.h"

#include "win32/SystemLibrary.h"
#include "win32/Utf.h"

#include <windows.h>

#include <atomic>
#include <iostream>

namespace {

// The console's output code page before this program made it UTF-8. A console the translator
// goes on using must get it back on every way out: a return, Ctrl+C, Ctrl+Break or the
// console being closed. Zero while nothing is to be put back.
std::atomic<UINT> g_OriginalOutputCp{0};

void RestoreOutputCp() {
    if (const UINT cp = g_OriginalOutputCp.exchange(0); cp != 0) {
        SetConsoleOutputCP(cp);
    }
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    RestoreOutputCp();
    return FALSE; // the usual ending follows
}

// The report is UTF-8 (accents): the console is told so for as long as the program runs.
class Utf8Console {
public:
    Utf8Console() {
        const UINT cp = GetConsoleOutputCP();
        if (cp != 0 && cp != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
            g_OriginalOutputCp = cp;
            SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
        }
    }
    ~Utf8Console() { RestoreOutputCp(); }
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
};

// Started from Explorer (a double click) rather than from a console or a program: the console
// was made for this process alone, and it closes as soon as the process ends.
bool AloneInItsConsole() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

// Waits for a key typed into the console; only when standard input is that console.
void WaitForAKey() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) {
        return;
    }
    // Keys pressed before the question was asked do not answer it.
    FlushConsoleInputBuffer(input);
    std::cerr << "Pulse una tecla para cerrar esta ventana." << std::endl;
    INPUT_RECORD record{};
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

// Started from Unix with its standard descriptors closed, Wine's loader takes their numbers for
// its own files, the working folder first and then its link to the Wine server, and the program
// gets those as its standard handles. A report written there goes down the server's link: the
// program then never ends, or ends with a wrong exit code, and may leave the server stuck. A
// standard handle that is a folder shows that this happened (nothing else makes one), and then
// no standard handle is written: the log and the exit code still tell everything.
bool StandardHandlesAreOurs() {
    for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = GetStdHandle(which);
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
            GetFileType(handle) == FILE_TYPE_DISK &&
            GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
            (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return false;
        }
    }
    return true;
}

} // namespace

// wmain: the C runtime splits the UTF-16 command line, so quoted pieces and ROM names
// outside the ANSI code page arrive intact.
int wmain(int argc, wchar_t** argv) {
    // It runs in the ROM's folder: nothing it loads may be searched for there.
    RestrictDllSearchToSystemFolder();
    const Utf8Console console;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Narrow(argv[i]));
    }
    // Only without arguments: the window starts it in a console of its own too, always with.
    const bool doubleClicked = args.empty() && AloneInItsConsole();
    if (doubleClicked) {
        std::cerr << "Zeltor.exe es el recalculador de punteros de ZeltorIGU: se usa desde "
                     "ZeltorIGU.exe o desde una consola.\n\n";
    }
    const auto files = zeltor::MakeNativeFileSystem();
    std::ostream nowhere(nullptr);
    const bool ours = StandardHandlesAreOurs();
    const int code =
        zeltor::Run(args, *files, ours ? std::cout : nowhere, ours ? std::cerr : nowhere);
    if (doubleClicked) {
        std::cerr << '\n';
        WaitForAKey();
    }
    return code;
}
