// Stands in for the recalculator in tests: writes the command line it received, then each
// argument as CommandLineToArgvW splits it, one per line in UTF-8, then how it was shown, its
// current folder and what its standard handles are, to "received.txt" beside itself. It writes a
// temporary file first so a reader never sees half of it.
//
// It then behaves as "behaviour.txt" beside it says, one "key=value" per line, in order:
//   sleep=MS        wait that long
//   stdout=BYTES    write that many bytes of filler to standard output
//   stderr=BYTES    the same to standard error
//   stdoutlines=N   write N lines of 64 bytes to standard output, one write each, as a
//                   program that prints line by line does
//   say=TEXT        write TEXT and a line break to standard error
//   inherited=H     write "heredado" through the handle whose value is H (decimal): it
//                   reaches the parent's file only if the handle was inherited
//   exit=N          the exit code (0 without it)
// Each start adds a line to "starts.txt" and writes its process id to "pid.txt"; the last
// thing it does is write "finished.txt".
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

namespace {
void WriteAll(DWORD which, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
              nullptr);
}

void Fill(DWORD which, unsigned long bytes) {
    const std::string line(63, 'x');
    std::string block;
    while (block.size() < std::size_t{64} * 1024) {
        block += line + "\n";
    }
    for (unsigned long done = 0; done < bytes; done += static_cast<unsigned long>(block.size())) {
        WriteAll(which, block.substr(0, std::min<unsigned long>(block.size(), bytes - done)));
    }
}

void Behave(const std::wstring& folder) {
    std::ifstream behaviour((folder + L"behaviour.txt").c_str());
    std::string line;
    while (std::getline(behaviour, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string key = line.substr(0, line.find('='));
        const std::string value = line.substr(line.find('=') + 1);
        if (key == "sleep") {
            Sleep(std::stoul(value));
        } else if (key == "stdout") {
            Fill(STD_OUTPUT_HANDLE, std::stoul(value));
        } else if (key == "stderr") {
            Fill(STD_ERROR_HANDLE, std::stoul(value));
        } else if (key == "stdoutlines") {
            const std::string line(63, 'x');
            for (unsigned long i = std::stoul(value); i > 0; --i) {
                WriteAll(STD_OUTPUT_HANDLE, line + "\n");
            }
        } else if (key == "say") {
            WriteAll(STD_ERROR_HANDLE, value + "\r\n");
        } else if (key == "inherited") {
            DWORD written = 0;
            WriteFile(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::stoull(value))),
                      "heredado", 8, &written, nullptr);
        } else if (key == "exit") {
            std::ofstream((folder + L"finished.txt").c_str()) << "exit " << value << "\n";
            ExitProcess(std::stoul(value));
        }
    }
}
} // namespace

int main() {
    const wchar_t* line = GetCommandLineW();
    std::string out = Narrow(line) + "\n";
    int count = 0;
    const LocalArgv args(CommandLineToArgvW(line, &count));
    for (int i = 1; args.Valid() && i < count; ++i) {
        out += Narrow(args.Get()[i]) + "\n";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    out += "show=" + std::to_string(startup.wShowWindow) + "\n";
    std::wstring cwd(MAX_PATH, L'\0');
    cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
    out += "cwd=" + Narrow(cwd) + "\n";
    // What each standard handle is: "char" for NUL or a console, "disk" for a file.
    out += "streams=";
    for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const DWORD type = GetFileType(GetStdHandle(which));
        out += type == FILE_TYPE_DISK ? "disk" : type == FILE_TYPE_CHAR ? "char" : "other";
        out += which == STD_ERROR_HANDLE ? "\n" : " ";
    }

    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::wstring temp = folder + L"received.tmp";
    if (!(std::ofstream(temp.c_str(), std::ios::binary) << out)) {
        return 1;
    }
    if (!MoveFileExW(temp.c_str(), (folder + L"received.txt").c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return 1;
    }
    std::ofstream((folder + L"starts.txt").c_str(), std::ios::app) << "started\n";
    std::ofstream((folder + L"pid.txt").c_str()) << GetCurrentProcessId() << "\n";
    Behave(folder);
    std::ofstream((folder + L"finished.txt").c_str()) << "exit 0\n";
    return 0;
}
