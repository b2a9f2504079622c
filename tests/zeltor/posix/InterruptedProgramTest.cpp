// The real zeltor killed halfway through the table (zeltor_pausing, the test build, stops there
// and waits), then run again as a translator or another program may: by another name of the
// same file, on a copy of the folder, with its note damaged or its name taken, or with the ROM
// replaced while it runs.
#include "tests/zeltor/posix/Launch.h"
#include "zeltor/write/Journal.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>

namespace {

const std::string kMended =
    "Aviso: el recálculo anterior de esta ROM se interrumpió mientras escribía la tabla "
    "(0x20-0x25), que quedó a medias; se han repuesto sus bytes originales antes de seguir";

// Kills a run of `folder`/rom.smc halfway through its table; gives the torn ROM.
Bytes KillInTheTable(const fs::path& folder) {
    WriteAll(folder / "rom.smc", Original());
    int signal[2];
    EXPECT_EQ(::pipe(signal), 0);
    Launch launch(Args("rom.smc"));
    launch.program = ZELTOR_PAUSING;
    launch.signal = signal[1];
    Process process = Spawn(folder, launch);
    ::close(signal[1]);
    pollfd paused{signal[0], POLLIN, 0};
    const bool reached = ::poll(&paused, 1, 10000) == 1;
    ::kill(process.pid, SIGKILL);
    Wait(process);
    ::close(signal[0]);
    EXPECT_TRUE(reached) << "the run never reached the table";
    Bytes torn = ReadAll(folder / "rom.smc");
    EXPECT_EQ(TableOf(torn, 0x20, 3, 2), (std::vector<std::uint32_t>{0x100, 0x104, 0x10A}));
    EXPECT_EQ(ReadAll(folder / "rom.smc.bak"), Original());
    return torn;
}

std::string NoteOf(const fs::path& rom) {
    return NotesOf(*zeltor::MakeNativeFileSystem(), rom.string()).path;
}

// Whatever name reaches the file, the next run finds its note, mends the table after its own
// backup and points at the backup from before the interruption. A dry run before it only says
// so.
TEST(InterruptedProgram, EveryNameOfTheFileFindsItsNote) {
    struct Case {
        const char* name;
        const char* rom; // as the next run names it, from the folder
        void (*make)(const fs::path& folder);
    };
    const Case cases[] = {
        {"the same name", "rom.smc", [](const fs::path&) {}},
        {"another spelling", "./rom.smc", [](const fs::path&) {}},
        {"a link beside it", "enlace.smc",
         [](const fs::path& f) { fs::create_symlink("rom.smc", f / "enlace.smc"); }},
        {"a link in another folder", "otra/enlace.smc",
         [](const fs::path& f) {
             fs::create_directory(f / "otra");
             fs::create_symlink("../rom.smc", f / "otra" / "enlace.smc");
         }},
        {"a hard link beside it", "duro.smc",
         [](const fs::path& f) { fs::create_hard_link(f / "rom.smc", f / "duro.smc"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder("names");
        const Bytes torn = KillInTheTable(folder.path);
        c.make(folder.path);
        std::vector<std::string> dry = Args(c.rom);
        dry.insert(dry.begin(), "--dry-run");
        const auto [simulated, dryErr] = RunProgram(folder.path, Launch(dry));
        EXPECT_EQ(simulated.code, 0) << dryErr;
        EXPECT_NE(dryErr.find("que quedó a medias; esta simulación no escribe nada"),
                  std::string::npos)
            << dryErr;
        EXPECT_EQ(ReadAll(folder.path / "rom.smc"), torn);

        const std::string rom = c.rom;
        const fs::path own =
            folder.path / (rom + (fs::exists(folder.path / (rom + ".bak")) ? ".bak1" : ".bak"));
        const auto [next, err] = RunProgram(folder.path, Launch(Args(c.rom)));
        EXPECT_EQ(next.code, 0) << err;
        EXPECT_EQ(err.rfind(kMended, 0), 0u) << err;
        EXPECT_NE(
            err.find(
                "\nHecho: cambian 2 de 3 entradas; mapa lineal; copia de seguridad «rom.smc.bak»;"),
            std::string::npos)
            << err;
        EXPECT_EQ(ReadAll(folder.path / "rom.smc"), Expected());
        EXPECT_EQ(ReadAll(own), torn) << "this run's own backup: the ROM as it found it";
        EXPECT_FALSE(fs::exists(NoteOf(folder.path / "rom.smc")));
    }
}

// A note that cannot be believed stops the run before its backup: one changed in one byte, and
// one on a copy of the folder, whose ROM is another file. Nothing is written, and the message
// names the note and what to do; it names no backup it cannot vouch for (the copy's backup has
// another time).
TEST(InterruptedProgram, ADamagedOrCopiedNoteStopsTheRunBeforeAnythingIsWritten) {
    for (const bool copied : {false, true}) {
        SCOPED_TRACE(copied ? "a copy of the folder" : "one byte of the note changed");
        Folder original("doubt");
        const Bytes torn = KillInTheTable(original.path);
        const std::string note = NoteOf(original.path / "rom.smc");
        Folder copy("doubt-copy");
        if (copied) {
            fs::copy(original.path, copy.path,
                     fs::copy_options::overwrite_existing | fs::copy_options::recursive);
        } else {
            Bytes bytes = ReadAll(note);
            bytes[70] ^= 1;
            WriteAll(note, bytes);
        }
        const fs::path& folder = copied ? copy.path : original.path;
        const std::set<std::string> names = Folder::NamesIn(folder);
        const auto [run, err] = RunProgram(folder, Launch(Args("rom.smc")));
        EXPECT_EQ(run.code, 10);
        EXPECT_EQ(err, "ERROR 10: la nota «" + fs::path(note).filename().string() + "» " +
                           (copied ? "es de otro archivo (la ROM se sustituyó o se copió)"
                                   : "no se puede leer, o está dañada") +
                           "; no se ha escrito nada. Compruebe la ROM: si su tabla quedó a "
                           "medias, recupérela de " +
                           "una copia de antes de la interrupción; luego borre la nota.\n");
        EXPECT_EQ(ReadAll(folder / "rom.smc"), torn);
        std::set<std::string> after = Folder::NamesIn(folder);
        after.erase("rom.smc.zeltor.log");
        EXPECT_EQ(after, names) << "no backup, nothing removed";
    }
}

// Whatever holds the note's name (a folder, a FIFO, a link), the run stops before its backup
// and says what is there: no run leaves another whole copy of the ROM behind.
TEST(InterruptedProgram, ANoteNameTakenStopsTheRunBeforeItsBackup) {
    struct Case {
        const char* name;
        void (*take)(const fs::path& note);
        const char* what;
    };
    const Case cases[] = {
        {"folder", [](const fs::path& n) { fs::create_directory(n); }, "una carpeta; bórrela"},
        {"FIFO", [](const fs::path& n) { ASSERT_EQ(::mkfifo(n.c_str(), 0644), 0); },
         "una tubería (FIFO); bórrela"},
        {"link", [](const fs::path& n) { fs::create_symlink("rom.smc", n); }, "un enlace; bórrelo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder("taken");
        WriteAll(folder.path / "rom.smc", Original());
        const fs::path note = NoteOf(folder.path / "rom.smc");
        c.take(note);
        for (int run = 0; run < 2; ++run) {
            const auto [process, err] = RunProgram(folder.path, Launch(Args("rom.smc")), 5);
            EXPECT_EQ(process.code, 10);
            EXPECT_EQ(err, "ERROR 10: el nombre «" + note.filename().string() +
                               "», que esta ROM necesita para la nota de su escritura, lo ocupa " +
                               c.what + " o cámbiele el nombre; no se ha escrito nada.\n");
            EXPECT_EQ(ReadAll(folder.path / "rom.smc"), Original());
            EXPECT_EQ(
                Folder::NamesIn(folder.path),
                (std::set<std::string>{"rom.smc", note.filename().string(), "rom.smc.zeltor.log"}));
        }
    }
}

// Another program saves its own file under the ROM's name while the run writes: the run says
// that the file now under the name was not touched, and that the recalculation must be run
// again, with an exit code of its own.
TEST(InterruptedProgram, ARomReplacedDuringTheRunIsNeverCalledDone) {
    Folder folder("replaced");
    WriteAll(folder.path / "rom.smc", Original());
    Bytes theirs = Original();
    theirs[0] = 'T';
    WriteAll(folder.path / "suyo.smc", theirs);
    int err[2];
    ASSERT_EQ(::pipe(err), 0);
    Launch launch(Args("rom.smc"));
    launch.program = ZELTOR_PAUSING;
    launch.stopFirst = true;
    launch.err = err[1];
    Process process = Spawn(folder.path, launch);
    ::close(err[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(process.pid, &status, WUNTRACED), process.pid);
    ASSERT_TRUE(WIFSTOPPED(status)) << "it never reached the table";
    fs::rename(folder.path / "suyo.smc", folder.path / "rom.smc");
    ::kill(process.pid, SIGCONT);
    Wait(process);
    std::string text(4096, '\0');
    text.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(err[0], text.data(), 4096))));
    ::close(err[0]);
    EXPECT_EQ(process.code, 11) << text;
    EXPECT_EQ(text, "ERROR 11: la tabla se escribió y comprobó, pero «rom.smc» ya no es el archivo "
                    "que se abrió: otro programa lo sustituyó mientras tanto, y el que lleva ahora "
                    "ese nombre no se ha tocado; vuelva a hacer el recálculo.\n");
    EXPECT_EQ(ReadAll(folder.path / "rom.smc"), theirs);
    EXPECT_EQ(ReadAll(folder.path / "rom.smc.bak"), Original());
}

} // namespace
