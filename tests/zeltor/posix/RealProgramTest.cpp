// The real zeltor started as the world may start it: with standard descriptors closed, beside
// a log that is no file, with names as long as the system allows, in a folder it may not
// write, with no room to write, and killed halfway through the table.
#include "tests/zeltor/posix/ProcessSupport.h"
#include "zeltor/Backup.h"
#include "zeltor/Journal.h"

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>

extern char** environ;

namespace {

struct Launch {
    explicit Launch(std::vector<std::string> arguments) : args(std::move(arguments)) {}
    std::vector<std::string> args;
    std::string program = ZELTOR_PROGRAM;
    std::vector<int> closed;   // standard descriptors it starts without
    int err = -1;              // its stderr; /dev/null when -1
    int signal = -1;           // handed on as descriptor 3, named by ZELTOR_PAUSE_FD
    bool unprivileged = false; // as nobody, when the tests run as root (who may write anywhere)
    std::optional<rlim_t> fileSizeLimit;
};

// fork and exec rather than posix_spawn, for the limit and the user. Everything the child
// needs is made before the fork: after it, only calls that are safe there.
Process Spawn(const fs::path& folder, const Launch& launch) {
    std::vector<std::string> all{launch.program};
    all.insert(all.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::string pause = "ZELTOR_PAUSE_FD=3";
    std::string noLeaks = "ASAN_OPTIONS=detect_leaks=0"; // LeakSanitizer cannot run as nobody
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        envp.push_back(*e);
    }
    if (launch.signal >= 0) {
        envp.push_back(pause.data());
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
std::pair<Process, std::string> RunProgram(const fs::path& folder, Launch launch,
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

Bytes Original() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
}
Bytes Expected() {
    return MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x104, 0x108});
}
std::vector<std::string> Args(const std::string& rom, const std::string& tableEnd = "25") {
    return {rom, "100", "20", tableEnd, "2", "00"};
}
std::string Text(const fs::path& path) {
    const Bytes bytes = ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

// With stdin, stdout or stderr closed, the ROM would be opened as that descriptor and the
// report or the error line printed into it. A run that writes and one that refuses, with each
// closed alone and all three together: the ROM holds exactly what it should.
TEST(RealProgram, ClosedStandardDescriptorsNeverBecomeTheRom) {
    const std::vector<std::vector<int>> closings = {{0}, {1}, {2}, {0, 1, 2}};
    for (const auto& closed : closings) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE("closed " + std::to_string(closed.front()) +
                         (closed.size() > 1 ? "-2" : "") + (refused ? ", refused" : ", written"));
            Folder folder("closed-fd");
            WriteAll(folder.path / "rom.smc", Original());
            Launch launch(Args("rom.smc", refused ? "24" : "25"));
            launch.closed = closed;
            Process process = Spawn(folder.path, launch);
            Wait(process);
            EXPECT_EQ(process.code, refused ? 3 : 0);
            EXPECT_EQ(ReadAll(folder.path / "rom.smc"), refused ? Original() : Expected());
            const std::string log = Text(folder.path / "rom.smc.zeltor.log");
            EXPECT_NE(log.find(refused ? "ERROR 3: la tabla mide 0x5 bytes"
                                       : "Tabla escrita y comprobada"),
                      std::string::npos)
                << log;
        }
    }
}

// A log that is no regular file of its own is never waited for nor written, nor written through:
// not a link, and not another name of a file (the ROM's, above all). The run ends at once with
// its own exit code and says so in one line, before the error line if there is one.
TEST(RealProgram, ALogThatIsNoFileIsAWarningAndNeverAWait) {
    struct Case {
        const char* name;
        void (*make)(const fs::path& log);
        const char* why;
    };
    const Case cases[] = {
        {"FIFO", [](const fs::path& log) { ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0); },
         "es una tubería (FIFO), no un archivo normal"},
        {"folder", [](const fs::path& log) { fs::create_directory(log); },
         "es una carpeta, no un archivo"},
        {"link to /dev/null", [](const fs::path& log) { fs::create_symlink("/dev/null", log); },
         "es un enlace, no un archivo propio"},
        {"link to another file",
         [](const fs::path& log) {
             WriteAll(log.parent_path() / "otro.txt", {'x'});
             fs::create_symlink("otro.txt", log);
         },
         "es un enlace, no un archivo propio"},
        {"another name of the ROM",
         [](const fs::path& log) { fs::create_hard_link(log.parent_path() / "rom.smc", log); },
         "tiene más de un nombre (un enlace duro, quizá a la ROM)"},
    };
    for (const Case& c : cases) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (refused ? ", refused" : ", written"));
            Folder folder("log-no-file");
            WriteAll(folder.path / "rom.smc", Original());
            const fs::path log = folder.path / "rom.smc.zeltor.log";
            c.make(log);
            // A reader holds the FIFO open, so opening it for writing would not fail by itself.
            const int reader = ::open(log.c_str(), O_RDONLY | O_NONBLOCK);
            const auto [process, err] =
                RunProgram(folder.path, Launch(Args("rom.smc", refused ? "24" : "25")), 5);
            if (reader >= 0) {
                ::close(reader);
            }
            EXPECT_EQ(process.code, refused ? 3 : 0);
            EXPECT_LT(process.seconds, 2.0);
            EXPECT_EQ(ReadAll(folder.path / "rom.smc"), refused ? Original() : Expected());
            if (fs::exists(folder.path / "otro.txt")) {
                EXPECT_EQ(ReadAll(folder.path / "otro.txt"), Bytes{'x'});
            }
            const std::string note =
                std::string("Aviso: ") + (refused ? "aparte del error que sigue, " : "") +
                "no se pudo escribir el registro «rom.smc.zeltor.log»: " + c.why + ".\n";
            EXPECT_EQ(err.substr(0, note.size()), note);
            EXPECT_EQ(err.substr(note.size()).rfind(refused ? "ERROR 3: " : "Hecho: ", 0), 0u)
                << err;
        }
    }
}

// Names up to the longest the system allows a ROM with its ".bak": nothing this program adds
// for itself makes a name longer. The log's name, which the translator knows, may not fit.
TEST(RealProgram, NamesAsLongAsTheSystemAllowsWork) {
    for (const std::size_t length : {235u, 244u, 250u, 251u}) {
        SCOPED_TRACE(length);
        Folder folder("long-name");
        const std::string rom = std::string(length - 4, 'n') + ".smc";
        WriteAll(folder.path / rom, Original());
        const auto [process, err] = RunProgram(folder.path, Launch(Args(rom)));
        EXPECT_EQ(process.code, 0) << err;
        EXPECT_EQ(ReadAll(folder.path / rom), Expected());
        EXPECT_EQ(ReadAll(folder.path / (rom + ".bak")), Original());
        std::set<std::string> names = {rom, rom + ".bak"};
        if (length <= 244) {
            names.insert(LogName(rom));
            EXPECT_EQ(err.rfind("Hecho: cambian 2 de 3 entradas; copia de seguridad «", 0), 0u);
        } else {
            EXPECT_EQ(err.rfind("Aviso: no se pudo escribir el registro «", 0), 0u) << err;
            EXPECT_NE(err.find("»: el nombre es demasiado largo (File name too long).\n"),
                      std::string::npos)
                << err;
        }
        EXPECT_EQ(folder.Names(), names) << "no file of the run's own is left";
        if (length == 250) {
            // A second run still finds a free backup name: ".bak1" is 255 bytes.
            const auto [again, ignored] = RunProgram(folder.path, Launch(Args(rom)));
            EXPECT_EQ(again.code, 0);
        }
    }
}

// A folder that cannot be written, and a disk that takes nothing more (here a file size limit
// of 0): the ROM is left as it was, the message speaks of the ROM's folder, not of a file the
// translator has never seen, and no file is left behind, not even an empty log.
TEST(RealProgram, AFolderOrDiskThatTakesNothingLeavesNothing) {
    struct Case {
        const char* name;
        bool unprivileged;
        std::optional<rlim_t> limit;
        const char* error;
        const char* logWhy;
    };
    const Case cases[] = {
        {"read-only folder", true, std::nullopt,
         "ERROR 7: no se puede crear la copia de seguridad en la carpeta de la ROM: permiso "
         "denegado (Permission denied); no se ha escrito nada en la ROM.",
         "permiso denegado (Permission denied)"},
        {"no room for one byte", false, rlim_t{0},
         "ERROR 7: no se pudo copiar la ROM «rom.smc» en su copia de seguridad: error del sistema "
         "(File too large); no se ha escrito nada en la ROM.",
         "error del sistema (File too large)"},
    };
    // Nobody may not reach the build's folder: a copy of the program in a folder of its own.
    Folder programFolder("program");
    const fs::path program = programFolder.path / "zeltor";
    fs::copy_file(ZELTOR_PROGRAM, program);
    fs::permissions(programFolder.path, fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder("no-room");
        WriteAll(folder.path / "rom.smc", Original());
        fs::permissions(folder.path / "rom.smc", fs::perms::all);
        if (c.unprivileged) {
            // Root writes anywhere: the run is made as nobody; anyone else meets the mode.
            fs::permissions(folder.path, fs::perms::owner_write, fs::perm_options::remove);
            fs::permissions(folder.path, fs::perms::others_read | fs::perms::others_exec,
                            fs::perm_options::add);
        }
        Launch launch(Args("rom.smc"));
        launch.program = program.string();
        launch.unprivileged = c.unprivileged;
        launch.fileSizeLimit = c.limit;
        const auto [process, err] = RunProgram(folder.path, launch);
        fs::permissions(folder.path, fs::perms::owner_all, fs::perm_options::add);
        EXPECT_EQ(process.code, 7) << err;
        EXPECT_EQ(err, "Aviso: aparte del error que sigue, no se pudo escribir el registro "
                       "«rom.smc.zeltor.log»: " +
                           std::string(c.logWhy) + ".\n" + c.error + "\n");
        EXPECT_EQ(ReadAll(folder.path / "rom.smc"), Original());
        EXPECT_EQ(folder.Names(), std::set<std::string>{"rom.smc"});
    }
}

// Killed for real halfway through the table's write (the test build stops there and waits):
// the table is torn and the note is on the disk. A dry run says so and writes nothing; the
// next run puts the original table back before its own backup, says so, and recalculates.
TEST(RealProgram, KilledInTheTableWriteIsMendedAndToldByTheNextRun) {
    Folder folder("killed-table");
    WriteAll(folder.path / "rom.smc", Original());
    int signal[2];
    ASSERT_EQ(::pipe(signal), 0);
    Launch launch(Args("rom.smc"));
    launch.program = ZELTOR_PAUSING;
    launch.signal = signal[1];
    Process process = Spawn(folder.path, launch);
    ::close(signal[1]);
    pollfd paused{signal[0], POLLIN, 0};
    const bool reached = ::poll(&paused, 1, 10000) == 1;
    ::kill(process.pid, SIGKILL);
    Wait(process);
    ::close(signal[0]);
    ASSERT_TRUE(reached) << "the run never reached the table";
    ASSERT_EQ(process.code, 128 + SIGKILL);
    const Bytes torn = ReadAll(folder.path / "rom.smc");
    EXPECT_EQ(TableOf(torn, 0x20, 3, 2), (std::vector<std::uint32_t>{0x100, 0x104, 0x10A}));
    EXPECT_TRUE(fs::exists(folder.path / zeltor::JournalPath("rom.smc")));
    EXPECT_EQ(ReadAll(folder.path / "rom.smc.bak"), Original());

    std::vector<std::string> dry = Args("rom.smc");
    dry.insert(dry.begin(), "--dry-run");
    const auto [simulated, dryErr] = RunProgram(folder.path, Launch(dry));
    EXPECT_EQ(simulated.code, 0) << dryErr;
    EXPECT_NE(dryErr.find("que quedó a medias; esta simulación no escribe nada"), std::string::npos)
        << dryErr;
    EXPECT_EQ(ReadAll(folder.path / "rom.smc"), torn);

    const auto [next, err] = RunProgram(folder.path, Launch(Args("rom.smc")));
    EXPECT_EQ(next.code, 0) << err;
    const std::string mended =
        "Aviso: el recálculo anterior de esta ROM se interrumpió mientras escribía la tabla "
        "(0x20-0x25), que quedó a medias; se han repuesto sus bytes originales antes de seguir.";
    EXPECT_EQ(err, mended + "\nHecho: cambian 2 de 3 entradas; copia de seguridad «rom.smc.bak1»; "
                            "registro «rom.smc.zeltor.log».\n");
    EXPECT_EQ(ReadAll(folder.path / "rom.smc.bak1"), Original());
    EXPECT_EQ(ReadAll(folder.path / "rom.smc"), Expected());
    EXPECT_NE(Text(folder.path / "rom.smc.zeltor.log").find(mended), std::string::npos);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"rom.smc", "rom.smc.bak", "rom.smc.bak1",
                                                     "rom.smc.zeltor.log"}));
}

} // namespace
