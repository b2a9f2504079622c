#pragma once

// Starting the real zeltor as the world may start it, for the tests of the real program: with
// standard descriptors closed, as another user, under a file size limit, or stopped on the way.
#include "tests/zeltor/posix/ProcessSupport.h"

#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>

extern char** environ;

struct Launch {
    explicit Launch(std::vector<std::string> arguments) : args(std::move(arguments)) {}
    std::vector<std::string> args;
    std::string program = ZELTOR_PROGRAM;
    std::vector<int> closed;   // standard descriptors it starts without
    int err = -1;              // its stderr; /dev/null when -1
    int signal = -1;           // handed on as descriptor 3, named by ZELTOR_PAUSE_FD
    bool stopFirst = false;    // ZELTOR_STOP_FIRST: it stops itself before its first write
    bool unprivileged = false; // as nobody, when the tests run as root (who may write anywhere)
    std::optional<rlim_t> fileSizeLimit;
};

// fork and exec rather than posix_spawn, for the limit and the user. Everything the child
// needs is made before the fork: after it, only calls that are safe there.
inline Process Spawn(const fs::path& folder, const Launch& launch) {
    std::vector<std::string> all{launch.program};
    all.insert(all.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::string pause = "ZELTOR_PAUSE_FD=3";
    std::string stop = "ZELTOR_STOP_FIRST=1";
    std::string noLeaks = "ASAN_OPTIONS=detect_leaks=0"; // LeakSanitizer cannot run as nobody
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        envp.push_back(*e);
    }
    if (launch.signal >= 0) {
        envp.push_back(pause.data());
    }
    if (launch.stopFirst) {
        envp.push_back(stop.data());
    }
    if (launch.unprivileged) {
        envp.push_back(noLeaks.data());
    }
    envp.push_back(nullptr);
    const int devNull = ::open("/dev/null", O_RDWR);
    Process process;
    process.pid = ::fork();
    if (process.pid == 0) {
        ::dup2(devNull, 0);
        ::dup2(devNull, 1);
        ::dup2(launch.err >= 0 ? launch.err : devNull, 2);
        if (launch.signal >= 0) {
            ::dup2(launch.signal, 3);
        }
        for (const int fd : launch.closed) {
            ::close(fd);
        }
        if (launch.fileSizeLimit) {
            const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        if (launch.unprivileged && ::getuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(126);
        }
        if (::chdir(folder.c_str()) != 0) {
            ::_exit(125);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(devNull);
    return process;
}

// Runs to the end (or for `limit` seconds) with stderr on a pipe, which no file size limit
// touches; gives what it wrote there (the little these runs write fits in the pipe).
inline std::pair<Process, std::string> RunProgram(const fs::path& folder, Launch launch,
                                                  double limit = 30) {
    int err[2];
    EXPECT_EQ(::pipe(err), 0);
    launch.err = err[1];
    Process process = Spawn(folder, launch);
    ::close(err[1]);
    Wait(process, limit);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(err[0]);
    return {process, text};
}

inline Bytes Original() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
}
inline Bytes Expected() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x104, 0x108});
}
inline std::vector<std::string> Args(const std::string& rom, const std::string& tableEnd = "25") {
    return {rom, "100", "20", tableEnd, "2", "00"};
}
inline std::string Text(const fs::path& path) {
    const Bytes bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}
