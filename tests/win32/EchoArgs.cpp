// Stands in for the recalculator in tests: writes the command line it received, then each
// argument as CommandLineToArgvW splits it, one per line in UTF-8, to "received.txt"
// beside itself. It writes a temporary file first so a reader never sees half of it.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {
std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}
} // namespace

int main() {
    const wchar_t* line = GetCommandLineW();
    std::string out = Utf8(line) + "\n";
    int count = 0;
    if (wchar_t** args = CommandLineToArgvW(line, &count)) {
        for (int i = 1; i < count; ++i) {
            out += Utf8(args[i]) + "\n";
        }
        LocalFree(args);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    out += "show=" + std::to_string(startup.wShowWindow) + "\n";
    std::wstring cwd(MAX_PATH, L'\0');
    cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
    out += "cwd=" + Utf8(cwd) + "\n";

    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\') + 1);
    const std::wstring temp = folder + L"received.tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(temp.c_str(), (folder + L"received.txt").c_str(), MOVEFILE_REPLACE_EXISTING)
               ? 0
               : 1;
}
