// Times how long a program takes from its start to a painted window that waits for input:
// WaitForInputIdle returns once the new process has handled its first messages, the first
// paint among them, and sits idle in its message loop.
//
//   StartupProbe.exe RUNS program.exe [program.exe ...]
//
// Prints the median, minimum and maximum in milliseconds for each program, and the ratio
// of each median to the first program's.
#include "win32/Owned.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {
double StartOnce(const std::wstring& program) {
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency{};
    LARGE_INTEGER begin{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fwprintf(stderr, L"cannot start %ls (%lu)\n", program.c_str(), GetLastError());
        return -1;
    }
    const UniqueHandle child(process.hProcess);
    const UniqueHandle thread(process.hThread);
    WaitForInputIdle(child.Get(), 30000);
    QueryPerformanceCounter(&end);
    TerminateProcess(child.Get(), 0);
    WaitForSingleObject(child.Get(), 10000);
    return 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: StartupProbe RUNS program.exe [program.exe ...]\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    double baseline = 0;
    for (int p = 2; p < argc; ++p) {
        StartOnce(argv[p]); // warm the file cache and Wine's own start-up
        std::vector<double> times;
        times.reserve(static_cast<size_t>(runs));
        for (int i = 0; i < runs; ++i) {
            times.push_back(StartOnce(argv[p]));
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        if (p == 2) {
            baseline = median;
        }
        std::wprintf(
            L"%-28ls median %7.1f ms  (min %7.1f, max %7.1f)  ratio %.2fx\n",
            std::wstring(argv[p]).substr(std::wstring(argv[p]).find_last_of(L"\\/") + 1).c_str(),
            median, times.front(), times.back(), median / baseline);
    }
    return 0;
}
