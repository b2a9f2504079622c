#include "RecalculatorTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

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

} // namespace
