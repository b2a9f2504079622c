#include "main_window/RomMemory.h"

#include "portable/Hex.h"
#include "portable/RecalcArguments.h"
#include "request/HexWorks.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <string_view>

namespace {

// Longer than any offset a translator types; a longer value is a damaged file.
constexpr DWORD kMaxValue = 64;

constexpr wchar_t kAbsent[] = L"\x01";

bool IsHexValue(std::string_view text, std::size_t maxLength) {
    return !text.empty() && text.size() <= maxLength && HexWorks::IsHexText(text);
}

std::optional<std::string> Read(const std::wstring& ini, const std::wstring& section,
                                const wchar_t* key) {
    wchar_t value[kMaxValue + 2] = {};
    const DWORD length =
        GetPrivateProfileStringW(section.c_str(), key, kAbsent, value, kMaxValue + 2, ini.c_str());
    if (length > kMaxValue || std::wstring_view(value, length) == kAbsent) {
        return std::nullopt;
    }
    return Narrow(std::wstring_view(value, length));
}

// The ROM's section name: its path, with the characters that would end or confuse a section
// name written as %XX (a ROM named "juego [!].smc" is common).
std::wstring SectionOf(const std::string& romPath) {
    std::wstring section;
    for (const wchar_t c : Widen(romPath)) {
        if (c == L'%' || c == L'[' || c == L']') {
            section += L'%';
            section += Widen(HexDigits(static_cast<unsigned>(c), 2));
        } else {
            section += c;
        }
    }
    return section;
}

std::optional<std::string> ReadHex(const std::wstring& ini, const std::wstring& section,
                                   const wchar_t* key, std::size_t maxLength) {
    std::optional<std::string> value = Read(ini, section, key);
    return value && IsHexValue(*value, maxLength) ? value : std::nullopt;
}

} // namespace

RomValues RecallRomValues(const std::string& iniPath, const std::string& romPath) {
    const std::wstring ini = Widen(iniPath);
    const std::wstring section = SectionOf(romPath);
    RomValues v;
    v.textStart = ReadHex(ini, section, L"textStart", kMaxValue);
    v.tableStart = ReadHex(ini, section, L"tableStart", kMaxValue);
    v.tableEnd = ReadHex(ini, section, L"tableEnd", kMaxValue);
    v.separator = ReadHex(ini, section, L"separator", 2);
    v.firstPointer = ReadHex(ini, section, L"firstPointer", PointerSize::Largest().Digits());
    if (auto size = Read(ini, section, L"pointerSize"); size && PointerSize::FromText(*size)) {
        v.pointerSize = size;
    }
    if (auto given = Read(ini, section, L"firstPointerGiven");
        given && (*given == "0" || *given == "1")) {
        v.firstPointerGiven = *given == "1";
    }
    return v;
}

void RememberRomValues(const std::string& iniPath, const std::string& romPath,
                       const RomValues& values) {
    const std::wstring ini = Widen(iniPath);
    // A new file starts as UTF-16 with its byte-order mark: the profile functions then keep
    // it in UTF-16, and a ROM named outside the ANSI code page keeps its name.
    if (const UniqueHandle created(CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
        created.Valid()) {
        const unsigned char bom[] = {0xFF, 0xFE};
        DWORD written = 0;
        WriteFile(created.Get(), bom, sizeof bom, &written, nullptr);
    }
    const std::wstring section = SectionOf(romPath);
    const auto write = [&](const wchar_t* key, const std::optional<std::string>& value) {
        if (value) {
            WritePrivateProfileStringW(section.c_str(), key, Widen(*value).c_str(), ini.c_str());
        }
    };
    write(L"textStart", values.textStart);
    write(L"tableStart", values.tableStart);
    write(L"tableEnd", values.tableEnd);
    write(L"pointerSize", values.pointerSize);
    write(L"separator", values.separator);
    if (values.firstPointerGiven) {
        write(L"firstPointerGiven", std::string(*values.firstPointerGiven ? "1" : "0"));
    }
    write(L"firstPointer", values.firstPointer);
}
