// The real zeltor started as the world may start it: with standard descriptors closed, beside
// a log that is no file of its own, with names as long as the system allows, in a folder it
// may not write, and with no room to write.
#include "tests/zeltor/posix/Launch.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Journal.h"

#include <gtest/gtest.h>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

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
            EXPECT_EQ(
                err.rfind("Hecho: cambian 2 de 3 entradas; mapa lineal; copia de seguridad «", 0),
                0u);
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

} // namespace
