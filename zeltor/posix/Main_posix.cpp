#include "zeltor/Outcome.h"
#include "zeltor/Session.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>

#ifdef ZELTOR_TEST_HOOKS
// Only in the test build (zeltor_pausing): lets a test stop a run halfway through the table.
std::unique_ptr<zeltor::FileSystem> WrapForTests(std::unique_ptr<zeltor::FileSystem> files);
#endif

namespace {

// A program started with stdin, stdout or stderr closed would get the ROM as that descriptor
// and then print its report into it. Each closed one gets /dev/null before anything is opened.
bool OpenStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor: this one.
            const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (null != fd) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (!OpenStandardDescriptors()) {
        // Nothing is opened then, so nothing can be damaged; the message may go nowhere.
        const std::string line =
            zeltor::ErrorLine({zeltor::Exit::WriteFailed,
                               "no se pudo abrir /dev/null en lugar de una salida cerrada; no se "
                               "ha escrito nada en la ROM"}) +
            "\n";
        const ssize_t ignored = ::write(2, line.data(), line.size());
        (void)ignored;
        return static_cast<int>(zeltor::Exit::WriteFailed);
    }
    // Output to a closed pipe must not stop a run halfway, before the ROM is put right:
    // writes to stdout and stderr then just fail, and nothing depends on them.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto files = zeltor::MakeNativeFileSystem();
#ifdef ZELTOR_TEST_HOOKS
    files = WrapForTests(std::move(files));
#endif
    return zeltor::Run(args, *files, std::cout, std::cerr);
}
