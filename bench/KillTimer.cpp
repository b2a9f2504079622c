// Starts a program and kills it (SIGKILL) a given number of microseconds after a watched file
// is first modified: for scripts/bench-kills, which times kills into the write of a ROM's
// table. A shell cannot time a kill that closely.
// Usage: zeltor_kill_timer WATCHED DELAY_US PROGRAM [ARGUMENTS...]
// Prints "killed" or "ended" (the program ended before it was modified or killed).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool Ended(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

timespec Modified(const char* path) {
    struct stat info {};
    ::stat(path, &info);
    return info.st_mtim;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WATCHED DELAY_US PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const char* watched = argv[1];
    const long delay = std::strtol(argv[2], nullptr, 10);
    const timespec before = Modified(watched);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[3], &actions, nullptr, argv + 3, environ) != 0) {
        std::perror("posix_spawn");
        return 2;
    }
    for (;;) {
        const timespec now = Modified(watched);
        if (now.tv_sec != before.tv_sec || now.tv_nsec != before.tv_nsec) {
            break;
        }
        if (Ended(pid)) {
            std::puts("ended");
            return 1;
        }
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(delay);
    while (std::chrono::steady_clock::now() < until) {
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    std::puts(killed ? "killed" : "ended");
    return killed ? 0 : 1;
}
