#include "tests/zeltor/posix/ProcessSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The real POSIX layer: a run writes the table, a backup and the log beside the ROM; a
// refusal leaves the file alone.
TEST(NativeFiles, RecalculatesBacksUpAndLogs) {
    const fs::path dir = fs::temp_directory_path() / ("zeltor-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path rom = dir / "mi juego ñ.smc";
    const Bytes original =
        MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 3, {0x100, 0x105, 0x10A});
    WriteAll(rom, original);
    const auto files = zeltor::MakeNativeFileSystem();

    const Outcome refused =
        RunZeltor(*files, {rom.string(), "100", "20", "28", "3", "00", "ffffff"});
    EXPECT_EQ(refused.code, static_cast<int>(zeltor::Exit::Overflow));
    EXPECT_EQ(ReadAll(rom), original);

    const Outcome run = RunZeltor(*files, {rom.string(), "100", "20", "28", "3", "00"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(TableOf(ReadAll(rom), 0x20, 3, 3), (std::vector<std::uint32_t>{0x100, 0x104, 0x108}));
    EXPECT_EQ(ReadAll(rom.string() + ".bak"), original);
    const Bytes log = ReadAll(rom.string() + ".zeltor.log");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("ERROR 5"), std::string::npos);
    EXPECT_NE(text.find("Tabla escrita y comprobada"), std::string::npos);
    fs::remove_all(dir);
}

// Starts the real program in `folder` with stdout and stderr on the given descriptors; with
// `wrapper`, the program is started by it.
Process Start(const fs::path& folder, const std::vector<std::string>& args, int out, int err,
              const std::vector<std::string>& wrapper = {}) {
    std::vector<std::string> all = wrapper;
    all.push_back(ZELTOR_PROGRAM);
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(all.size() + 1);
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    Process process;
    EXPECT_EQ(posix_spawn(&process.pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return process;
}

// Runs to the end with stderr in a file; gives the process and what it wrote there.
std::pair<Process, std::string> RunToEnd(const fs::path& folder,
                                         const std::vector<std::string>& args, double limit = 30,
                                         const std::vector<std::string>& wrapper = {}) {
    FILE* err = std::tmpfile();
    const int devNull = ::open("/dev/null", O_WRONLY);
    Process process = Start(folder, args, devNull, ::fileno(err), wrapper);
    ::close(devNull);
    Wait(process, limit);
    std::string text;
    std::rewind(err);
    for (int c; (c = std::fgetc(err)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(err);
    return {process, text};
}

const std::vector<std::string> kFields = {"100", "20", "25", "2", "00"};

std::vector<std::string> Args(std::vector<std::string> front) {
    front.insert(front.end(), kFields.begin(), kFields.end());
    return front;
}

// Only a regular file is a ROM: the rest is refused at once, and a run that cannot start, or a
// dry run, leaves no file behind.
TEST(NativeProcess, RunsThatCannotStartAndDryRunsLeaveNothingBehind) {
    Folder folder("nothing");
    const Bytes original =
        MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
    WriteAll(folder.path / "rom.smc", original);
    ASSERT_EQ(::mkfifo((folder.path / "fifo").c_str(), 0644), 0);
    fs::create_directory(folder.path / "folder");
    const auto names = folder.Names();
    const bool devNullLogBefore = fs::exists("/dev/null.zeltor.log");
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* error; // the one line on stderr
    };
    const Case cases[] = {
        {Args({"fifo"}), 6, "ERROR 6: no se puede abrir la ROM «fifo»: es una tubería (FIFO)"},
        {Args({"--dry-run", "fifo"}), 6, "ERROR 6: no se puede abrir la ROM «fifo»: es una tub"},
        {Args({"folder"}), 6, "ERROR 6: no se puede abrir la ROM «folder»: es una carpeta"},
        {Args({"--dry-run", "folder"}), 6, "ERROR 6: no se puede abrir la ROM «folder»: es una"},
        {Args({"/dev/null"}), 6, "ERROR 6: no se puede abrir la ROM «/dev/null»: es un disp"},
        {Args({"missing.smc"}), 6, "ERROR 6: no se puede abrir la ROM «missing.smc»: no existe"},
        {Args({"--dry-run", "missing.smc"}), 6, "ERROR 6: no se puede abrir la ROM «missing.smc»"},
        {Args({"--dry-run", "rom.smc"}), 0, nullptr},
        {{"--dry-run", "rom.smc", "100", "20", "27", "2", "00"}, 4, "ERROR 4: la tabla tiene 4 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const auto [process, err] = RunToEnd(folder.path, c.args, 5);
        EXPECT_EQ(process.code, c.code) << err;
        EXPECT_LT(process.seconds, 1.0);
        if (c.error != nullptr) {
            EXPECT_EQ(err.rfind(c.error, 0), 0u) << err;
            EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
        } else {
            EXPECT_EQ(
                err,
                "Simulación: cambiarían 2 de 3 entradas; mapa lineal; no se ha escrito nada.\n");
        }
        EXPECT_EQ(folder.Names(), names);
        EXPECT_EQ(ReadAll(folder.path / "rom.smc"), original);
    }
    EXPECT_EQ(fs::exists("/dev/null.zeltor.log"), devNullLogBefore);
}

// stdout and stderr on pipes that nobody reads: the run still ends as it should, log included.
TEST(NativeProcess, ClosedOutputsChangeNothing) {
    Folder folder("closed");
    WriteAll(folder.path / "rom.smc",
             MakeRom(0x400, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A}));
    int out[2];
    int err[2];
    ASSERT_EQ(::pipe(out), 0);
    ASSERT_EQ(::pipe(err), 0);
    ::close(out[0]);
    ::close(err[0]);
    // FIRST typed with its bytes reversed and written by --force, so that there is a warning
    // for stderr too.
    Process process = Start(
        folder.path, {"--force", "rom.smc", "100", "20", "25", "2", "00", "0100"}, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    Wait(process);
    EXPECT_EQ(process.code, 0);
    EXPECT_EQ(TableOf(ReadAll(folder.path / "rom.smc"), 0x20, 3, 2),
              (std::vector<std::uint32_t>{0x0001, 0x0005, 0x0009}));
    const Bytes log = ReadAll(folder.path / "rom.smc.zeltor.log");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("bytes al revés"), std::string::npos) << text;
    EXPECT_NE(text.find("Tabla escrita y comprobada"), std::string::npos) << text;
}

// A table of about a billion entries in a sparse 2 GiB - 1 file with too few strings: memory
// follows the strings found, so the refusal is quick and small.
TEST(NativeProcess, HugeTableEndsQuicklyInLittleMemory) {
    Folder folder("huge");
    const fs::path rom = folder.path / "huge.rom";
    { std::ofstream(rom).flush(); }
    fs::resize_file(rom, 0x7FFFFFFF);
    const fs::path peakReport = folder.path / "peak.txt";
    const auto [process, err] =
        RunToEnd(folder.path, {"huge.rom", "7FFFFF00", "0", "7FFFFEFF", "2", "00"}, 30,
                 {ZELTOR_PEAK_MEMORY, peakReport.string()});
    EXPECT_EQ(process.code, 4) << err;
    EXPECT_EQ(err.rfind("ERROR 4: la tabla tiene 1073741696 entradas, pero el archivo termina "
                        "después de 255 cadenas",
                        0),
              0u)
        << err;
    EXPECT_LT(process.seconds, 5.0);
    const Bytes peakText = ReadAll(peakReport);
    const long peakKiB = std::stol(std::string(peakText.begin(), peakText.end()));
    EXPECT_GT(peakKiB, 0);
    EXPECT_LT(peakKiB, 64 * 1024);
    std::cout << "2 GiB - 1 sparse ROM: exit " << process.code << " in " << process.seconds
              << " s, peak memory " << peakKiB << " KiB\n";
    const Bytes log = ReadAll(folder.path / "huge.rom.zeltor.log");
    EXPECT_NE(std::string(log.begin(), log.end()).find("ERROR 4"), std::string::npos);
}

// Killed while it copies the ROM, the run leaves no file under a backup's name but whole
// copies; the next run clears what it left and makes its own backup.
TEST(NativeProcess, KilledDuringTheBackupLeavesOnlyWholeBackups) {
    Folder folder("killed");
    Bytes original =
        MakeRom(16 << 20, 0x100, {"uno", "dos", "tres"}, 0x00, 0x20, 2, {0x100, 0x105, 0x10A});
    for (std::size_t i = 0x200; i < original.size(); ++i) {
        original[i] = static_cast<std::uint8_t>(i * 7 + i / 4099);
    }
    WriteAll(folder.path / "rom.smc", original);
    WriteAll(folder.path / "rom.smc.bak", {'o', 'l', 'd'});
    const fs::path temp = folder.path / zeltor::TemporaryBackupPath("rom.smc");
    const int devNull = ::open("/dev/null", O_WRONLY);
    Process process = Start(folder.path, Args({"rom.smc"}), devNull, devNull);
    bool copying = false;
    for (int i = 0; i < 100000 && !copying; ++i) {
        std::error_code ignored;
        copying = fs::file_size(temp, ignored) > 0 && !ignored;
        if (!copying) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    ::kill(process.pid, SIGKILL);
    Wait(process);
    ASSERT_TRUE(copying) << "the run was never seen copying";
    ASSERT_EQ(process.code, 128 + SIGKILL) << "the run ended before it could be stopped";
    const auto backups = [&] {
        std::map<std::string, Bytes> found;
        for (const std::string& name : folder.Names()) {
            if (name.rfind("rom.smc.bak", 0) == 0) {
                found[name] = ReadAll(folder.path / name);
            }
        }
        return found;
    };
    EXPECT_EQ(backups(), (std::map<std::string, Bytes>{{"rom.smc.bak", {'o', 'l', 'd'}}}));
    EXPECT_EQ(ReadAll(folder.path / "rom.smc"), original);

    const auto [again, err] = RunToEnd(folder.path, Args({"rom.smc"}));
    ::close(devNull);
    EXPECT_EQ(again.code, 0) << err;
    EXPECT_EQ(backups(), (std::map<std::string, Bytes>{{"rom.smc.bak", {'o', 'l', 'd'}},
                                                       {"rom.smc.bak1", original}}));
    EXPECT_FALSE(fs::exists(temp));
}

} // namespace
