#include "tests/support/win32/TempFolder.h"

#include "portable/JoinPath.h"
#include "win32/AppFolder.h"
#include "win32/Utf.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace {
std::atomic<int> g_Counter{0};

void RemoveTree(const std::wstring& path) {
    std::wstring from = path;
    from.push_back(L'\0'); // SHFileOperation wants a double-terminated list
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}
} // namespace

TempFolder::TempFolder(const std::string& name) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::string unique = name + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(GetTickCount()) + "-" + std::to_string(++g_Counter);
    m_Path = JoinPath(Narrow(base), unique);
    CreateDirectoryW(Widen(m_Path).c_str(), nullptr);
}

TempFolder::~TempFolder() {
    RemoveTree(Widen(m_Path));
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    std::string path = Sub(name);
    std::ofstream(Widen(path).c_str(), std::ios::binary) << bytes;
    return path;
}

std::string TempFolder::MakeFolder(const std::string& name) const {
    std::string path = Sub(name);
    CreateDirectoryW(Widen(path).c_str(), nullptr);
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(Widen(path).c_str(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WaitForFile(const std::string& path, unsigned milliseconds) {
    const std::wstring wide = Widen(path);
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

std::string TestFolder() {
    return AppFolder();
}
