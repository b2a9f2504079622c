// Runs a program, waits for it and writes its peak resident memory in KiB (as wait4 gives it)
// to a file; exits with the program's exit code.
//   zeltor_peak_memory REPORT PROGRAM [ARGS...]
// Built without sanitizers and kept small on purpose: a child started straight from the
// sanitized test process was measured with a good part of that process's own memory (300 MiB
// for a run that needs 12).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 3) {
        return 125;
    }
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        return 126;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return 127;
    }
    if (FILE* report = std::fopen(argv[1], "w")) {
        std::fprintf(report, "%ld\n", usage.ru_maxrss);
        std::fclose(report);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
