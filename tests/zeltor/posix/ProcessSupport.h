#pragma once

// What the tests that start the real program share: files read and written whole, a folder
// of their own, and a process waited for with a time limit.
#include "tests/zeltor/RecalculatorTestSupport.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

inline Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder for one test, removed with everything in it.
struct Folder {
    fs::path path;
    explicit Folder(const std::string& name)
        : path(fs::temp_directory_path() / ("zeltor-" + name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::set<std::string> Names() const { return NamesIn(path); }
    static std::set<std::string> NamesIn(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
};

struct Process {
    pid_t pid = -1;
    int code = -1; // the exit code, or 128 + the signal
    double seconds = 0;
};

// Waits for the end, killing the process after `limit` seconds.
inline void Wait(Process& process, double limit = 30) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int status = 0;
        if (::waitpid(process.pid, &status, WNOHANG) == process.pid) {
            process.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        process.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (process.seconds > limit) {
            ::kill(process.pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    process.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
