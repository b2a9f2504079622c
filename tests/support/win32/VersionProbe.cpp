// Prints what Windows reads from a program's version resource, and the version in its
// manifest's assemblyIdentity, one "key=value" line each in UTF-8, for the package test.
#include "win32/Utf.h"

#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {
void Print(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

// The version attribute of the manifest's first assemblyIdentity (the program's own).
void PrintManifestVersion(const wchar_t* path) {
    HMODULE module =
        LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) {
        return;
    }
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const auto* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
        const std::string manifest(text, SizeofResource(module, found));
        const std::size_t identity = manifest.find("<assemblyIdentity");
        const std::size_t end = manifest.find("/>", identity);
        const std::size_t version = manifest.find("version=\"", identity);
        if (identity != std::string::npos && version < end) {
            const std::size_t from = version + 9;
            Print("AssemblyVersion", manifest.substr(from, manifest.find('"', from) - from));
        }
    }
    FreeLibrary(module);
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: zeltor_version_probe program.exe\n", stderr);
        return 2;
    }
    // A full path: a bare name would be looked for beside this probe first.
    wchar_t path[MAX_PATH];
    if (GetFullPathNameW(argv[1], MAX_PATH, path, nullptr) == 0) {
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(path, 0, size, data.data())) {
        std::fprintf(stderr, "no version information (error %lu)\n", GetLastError());
        return 1;
    }
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        const auto dotted = [](DWORD high, DWORD low) {
            return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
                   std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
        };
        Print("FixedFileVersion", dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        Print("FixedProductVersion", dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    // The strings live under the first language and code page that the resource lists.
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < 2 * sizeof(WORD)) {
        std::fputs("no translation table\n", stderr);
        return 1;
    }
    const auto* translation = static_cast<const WORD*>(value);
    wchar_t block[40];
    std::swprintf(block, 40, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
    for (const wchar_t* key :
         {L"FileVersion", L"ProductVersion", L"ProductName", L"CompanyName", L"FileDescription"}) {
        if (VerQueryValueW(data.data(), (std::wstring(block) + key).c_str(), &value, &length) &&
            length > 0) {
            Print(Narrow(key), Narrow(static_cast<const wchar_t*>(value)));
        }
    }
    PrintManifestVersion(path);
    return 0;
}
