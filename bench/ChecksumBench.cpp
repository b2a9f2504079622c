// Times the checksum of a 4 MiB SNES ROM read through the real file layer, as a run reads it
// right after its backup has read the whole file (so from the page cache): the header's
// recognition, then the sum with one table's new bytes laid over the ROM.
// Usage: zeltor_bench_checksum ROM   (ROM is made, 4 MiB of LoROM, when it does not exist)
#include "zeltor/Checksum.h"
#include "zeltor/Recognize.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr std::size_t kSize = std::size_t{4} << 20;

// Varied bytes, and the LoROM header at 0x7FC0 that recognition asks for.
void MakeRom(const char* path) {
    std::vector<char> rom(kSize);
    std::uint32_t seed = 1;
    for (char& c : rom) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    char* h = rom.data() + 0x7FC0;
    std::fill(h, h + 21, 'B');
    h[0x15] = 0x20; // LoROM
    h[0x17] = 0x0C; // 4 MiB
    h[0x1C] = static_cast<char>(0xFF);
    h[0x1D] = static_cast<char>(0xFF);
    h[0x1E] = 0x00;
    h[0x1F] = 0x00;
    h[0x3C] = 0x00;
    h[0x3D] = static_cast<char>(0x80); // reset at $8000
    std::ofstream(path, std::ios::binary).write(rom.data(), static_cast<std::streamsize>(kSize));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zeltor_bench_checksum ROM\n");
        return 2;
    }
    if (!std::ifstream(argv[1])) {
        MakeRom(argv[1]);
    }
    zeltor::FileError error;
    const auto rom = zeltor::MakeNativeFileSystem()->Open(argv[1], false, error);
    std::uint64_t size = 0;
    if (!rom || !rom->Size(size)) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const std::vector<zeltor::Overlay> table = {{0x10000, std::vector<std::uint8_t>(0x400, 0x5A)}};
    std::vector<double> runs;
    std::uint32_t checksum = 0;
    for (int run = 0; run < 15; ++run) {
        const auto start = std::chrono::steady_clock::now();
        auto choice = zeltor::ChooseMap(std::nullopt, *rom, size);
        const auto* map = std::get_if<zeltor::MapChoice>(&choice);
        if (map == nullptr || !map->header) {
            std::fprintf(stderr, "no SNES header recognised in %s\n", argv[1]);
            return 1;
        }
        const auto fields = zeltor::ChecksumsAfter(map->header, *rom, size, table);
        const auto end = std::chrono::steady_clock::now();
        const auto* found = std::get_if<std::vector<zeltor::ChecksumField>>(&fields);
        if (found == nullptr || found->size() != 2) {
            std::fprintf(stderr, "the checksum could not be worked out\n");
            return 1;
        }
        checksum = found->back().newValue;
        runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(runs.begin(), runs.end());
    std::printf("checksum of a %llu-byte SNES ROM (now %04X): %.2f ms median of 15, %.2f ms "
                "fastest, %.0f MiB/s\n",
                static_cast<unsigned long long>(size), checksum, runs[runs.size() / 2], runs[0],
                static_cast<double>(size) / (1 << 20) / (runs[runs.size() / 2] / 1000));
    return 0;
}
