#pragma once

// What the tests of the real Zeltor.exe share: a run as the front-end makes it, its stderr in
// lines, a folder holding a copy of the program, and the sample ROM.
#include "request/CommandLine.h"
#include "request/RecalcRequest.h"
#include "request/win32/Launch.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

struct Outcome {
    DWORD code = 0xFFFFFFFF;
    std::string err; // standard error, which the front-end shows
    DWORD milliseconds = 0;
};

// Runs the line as the front-end does (in the program's folder, standard error captured,
// waited for), and times it.
inline Outcome RunAndWait(const std::string& program, const std::string& commandLine) {
    Outcome outcome;
    const ULONGLONG start = GetTickCount64();
    const std::optional<RecalculatorExit> exit = RunRecalculator({program, commandLine, {}});
    outcome.milliseconds = static_cast<DWORD>(GetTickCount64() - start);
    if (exit) {
        outcome.code = exit->code;
        outcome.err = exit->errorOutput;
    }
    return outcome;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Copies Zeltor.exe into a fresh folder, as the front-end's folder would hold it.
inline std::string FolderWithZeltor(const TempFolder& temp, const std::string& name) {
    std::string folder = temp.MakeFolder(name);
    EXPECT_TRUE(CopyFileW(Widen(TestFolder() + "\\Zeltor.exe").c_str(),
                          Widen(folder + "\\Zeltor.exe").c_str(), FALSE));
    return folder;
}

// Three strings at 0x100 ("uno", "dos", "tres"); a 2-byte table at 0x20 that still points
// to older, longer strings.
inline std::string SampleRom() {
    std::string rom(0x400, '\xEE');
    rom.replace(0x100, 13, std::string("uno\0dos\0tres\0", 13));
    rom.replace(0x20, 6, std::string("\x00\x81\x06\x81\x0C\x81", 6));
    return rom;
}

inline std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW(Widen(folder + "\\*").c_str(), &found));
    if (search.Valid()) {
        do {
            names.push_back(Narrow(found.cFileName));
        } while (FindNextFileW(search.Get(), &found));
    }
    std::sort(names.begin(), names.end());
    return names;
}
