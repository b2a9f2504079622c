// Prints what Windows reads from a program's resources for the package test, one "key=value"
// line each in UTF-8: its version information (the language block and every string), the
// version in its manifest's assemblyIdentity, and each image of its icons.
#include "win32/Utf.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace {
void Print(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

// The version attribute of the manifest's first assemblyIdentity (the program's own).
void PrintManifestVersion(HMODULE module) {
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
}

#pragma pack(push, 2)
// One image of an icon group as the resource lists it (the .ico's entry, with an id instead
// of a file offset).
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

std::string_view ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) {
        return {};
    }
    return {static_cast<const char*>(LockResource(LoadResource(module, found))),
            SizeofResource(module, found)};
}

// What one image really holds, read from its own header: "WxH BITS" and, for a bitmap,
// whether its alpha channel is used (both clear and solid pixels), or "png" with its colour
// type (6 is RGBA) and bit depth.
std::string DescribeIconImage(std::string_view image) {
    if (image.size() >= 33 && image.substr(0, 8) == "\x89PNG\r\n\x1a\n") {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(image[at]); };
        const unsigned width = byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19);
        const unsigned height = byte(20) << 24 | byte(21) << 16 | byte(22) << 8 | byte(23);
        return std::to_string(width) + "x" + std::to_string(height) + " png depth " +
               std::to_string(byte(24)) + " colour " + std::to_string(byte(25));
    }
    BITMAPINFOHEADER header{};
    if (image.size() < sizeof header) {
        return "unreadable";
    }
    std::memcpy(&header, image.data(), sizeof header);
    // An icon's bitmap is twice as high as the image: the colours, then the AND mask.
    std::string text = std::to_string(header.biWidth) + "x" + std::to_string(header.biHeight / 2) +
                       " " + std::to_string(header.biBitCount);
    const std::size_t pixels = static_cast<std::size_t>(header.biWidth) * (header.biHeight / 2);
    if (header.biBitCount == 32 && image.size() >= sizeof header + 4 * pixels) {
        bool clear = false;
        bool solid = false;
        for (std::size_t i = 0; i < pixels; ++i) {
            const auto alpha = static_cast<unsigned char>(image[sizeof header + 4 * i + 3]);
            clear = clear || alpha == 0;
            solid = solid || alpha == 255;
        }
        text += clear && solid ? " alpha" : " no-alpha";
    }
    return text;
}

// Every icon group, then each of its images: "IconGroup=NAME" and "Icon=W H BITS: what the
// image's own header says".
void PrintIcons(HMODULE module) {
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(14), // RT_GROUP_ICON
        [](HMODULE m, LPCWSTR, LPWSTR name, LONG_PTR) -> BOOL {
            Print("IconGroup", IS_INTRESOURCE(name)
                                   ? std::to_string(reinterpret_cast<ULONG_PTR>(name))
                                   : Narrow(name));
            const std::string_view group = ResourceBytes(m, name, MAKEINTRESOURCEW(14));
            GroupIconHeader header{};
            if (group.size() < sizeof header) {
                return TRUE;
            }
            std::memcpy(&header, group.data(), sizeof header);
            for (WORD i = 0; i < header.count; ++i) {
                GroupIconEntry entry{};
                const std::size_t at = sizeof header + i * sizeof entry;
                if (group.size() < at + sizeof entry) {
                    break;
                }
                std::memcpy(&entry, group.data() + at, sizeof entry);
                // A width or height of 0 stands for 256.
                const int width = entry.width == 0 ? 256 : entry.width;
                const int height = entry.height == 0 ? 256 : entry.height;
                const std::string_view image =
                    ResourceBytes(m, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3)); // RT_ICON
                Print("Icon", std::to_string(width) + " " + std::to_string(height) + " " +
                                  std::to_string(entry.bitCount) + ": " + DescribeIconImage(image));
            }
            return TRUE;
        },
        0);
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
    char language[16];
    std::snprintf(language, sizeof language, "%04x %u", translation[0], translation[1]);
    Print("Translation", language);
    for (const wchar_t* key :
         {L"FileVersion", L"ProductVersion", L"ProductName", L"CompanyName", L"FileDescription",
          L"LegalCopyright", L"InternalName", L"OriginalFilename"}) {
        if (VerQueryValueW(data.data(), (std::wstring(block) + key).c_str(), &value, &length) &&
            length > 0) {
            Print(Narrow(key), Narrow(static_cast<const wchar_t*>(value)));
        }
    }
    HMODULE module =
        LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module != nullptr) {
        PrintManifestVersion(module);
        PrintIcons(module);
        FreeLibrary(module);
    }
    return 0;
}
