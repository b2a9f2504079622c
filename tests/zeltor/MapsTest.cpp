#include "tests/zeltor/ConsoleRoms.h"
#include "zeltor/rom/Recognize.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Eight strings of 40 letters where the old ones had 20: the translation grows past the end
// of a bank. `mask` keeps of an address what a pointer of the size holds, and `mirror` is
// added to it (a SNES game may address its ROM through the FastROM mirror).
struct CrossingCase {
    const char* name;
    Bytes rom;
    AddressOf address;
    std::uint64_t textStart;
    unsigned size;
    std::uint64_t mirror;
    std::vector<std::string> options;
    int code;
    std::string err;    // all of stderr, or the start of the error line
    std::string report; // the map's line in the report, when it goes through
};

std::vector<std::string> Strings(std::size_t count, std::size_t length) {
    std::vector<std::string> strings;
    for (std::size_t j = 0; j < count; ++j) {
        strings.emplace_back(length, static_cast<char>('a' + j));
    }
    return strings;
}

TEST(Maps, TextCrossingABankIsAddressedThroughTheBankOrRefused) {
    const AddressOf lorom{Console::LoRom, 512};
    const AddressOf hirom{Console::HiRom};
    const AddressOf gb{Console::GameBoy};
    const AddressOf mmc1{Console::Nes, 16, 0x4000};
    const AddressOf nrom{Console::Nes, 16, 0x8000};
    const std::string bank2 = "ERROR 5: la cadena 7 (posición ";
    const CrossingCase cases[] = {
        {"LoROM behind a copier header, 3 bytes",
         SnesRom(false, 0x40000, true),
         lorom,
         0x10100,
         3,
         0x800000,
         {},
         0,
         "Aviso: la cadena 6 (posición 0x101F6) cruza el final de su banco (0x101FF, mapa "
         "LoROM): el juego puede no leerla entera.\n",
         "Mapa de direcciones: LoROM (cabecera interna LoROM en 0x81C0, tras 512 bytes de "
         "cabecera de copión)."},
        {"LoROM behind a copier header, 2 bytes",
         SnesRom(false, 0x40000, true),
         lorom,
         0x10100,
         2,
         0,
         {},
         5,
         "ERROR 5: la cadena 6 (posición 0x101F6) termina después del final del banco del texto "
         "(0x101FF, mapa LoROM): un puntero de 2 bytes no llega a otro banco; mueva el texto "
         "para que quepa en el banco o, si el juego lee punteros de 3 bytes, use ese tamaño.\n",
         ""},
        {"HiROM across 64 KiB, 3 bytes",
         SnesRom(true, 0x40000, false),
         hirom,
         0x1FF00,
         3,
         0,
         {},
         0,
         "Aviso: la cadena 6 (posición 0x1FFF6) cruza el final de su banco (0x1FFFF, mapa "
         "HiROM): el juego puede no leerla entera.\n",
         "Mapa de direcciones: HiROM (cabecera interna HiROM en 0xFFC0)."},
        {"HiROM across 64 KiB, 2 bytes",
         SnesRom(true, 0x40000, false),
         hirom,
         0x1FF00,
         2,
         0,
         {},
         5,
         "ERROR 5: la cadena 6 (posición 0x1FFF6) termina después del final del banco del "
         "texto (0x1FFFF, mapa HiROM)",
         ""},
        {"Game Boy from bank 1 into bank 2, 2 bytes",
         GameBoyRom(0x20000),
         gb,
         0x7F00,
         2,
         0,
         {},
         5,
         "ERROR 5: la cadena 6 (posición 0x7FF6) termina después del final del banco del "
         "texto (0x7FFF, mapa Game Boy)",
         ""},
        {"Game Boy from bank 1 into bank 2, 3 bytes",
         GameBoyRom(0x20000),
         gb,
         0x7F00,
         3,
         0,
         {},
         0,
         "Aviso: la cadena 6 (posición 0x7FF6) cruza el final de su banco (0x7FFF, mapa Game "
         "Boy): el juego puede no leerla entera.\n",
         "Mapa de direcciones: Game Boy (cabecera de Game Boy en 0x100 con la suma de control "
         "de 0x14D correcta)."},
        // 8 strings of 41 bytes end at 0xC00F, the last byte of PRG bank 2 after the header.
        {"NES, MMC1, the text ends with its 16 KiB bank",
         NesRom(1, 8),
         mmc1,
         0xC010 - 8 * 41,
         2,
         0,
         {},
         0,
         "",
         "Mapa de direcciones: NES (cabecera iNES: mapper 1, 128 KiB de PRG en bancos de 16 "
         "KiB)."},
        {"NES, MMC1, one byte further",
         NesRom(1, 8),
         mmc1,
         0xC011 - 8 * 41,
         2,
         0,
         {},
         5,
         bank2 + "0xBFE8) termina después del final del banco del texto (0xC00F, mapa NES)",
         ""},
        {"NES, NROM: one 32 KiB window",
         NesRom(0, 2),
         nrom,
         0x3F10,
         2,
         0,
         {},
         0,
         "",
         "Mapa de direcciones: NES (cabecera iNES: mapper 0, 32 KiB de PRG en bancos de 32 "
         "KiB)."},
        // 4-byte pointers hold the whole address, 0x08000000 up; no bank to cross.
        {"Game Boy Advance, 4 bytes",
         GbaRom(0x40000),
         AddressOf{Console::Gba},
         0x10100,
         4,
         0,
         {},
         0,
         "",
         "Mapa de direcciones: Game Boy Advance (cabecera de Game Boy Advance: 0x96 en 0xB2 y "
         "el complemento de 0xBD correcto)."},
        {"--map gba where no header says so",
         Bytes(0x40000, 0xEE),
         AddressOf{Console::Gba},
         0x3FE00,
         4,
         0,
         {"--map", "gba"},
         0,
         "",
         "Mapa de direcciones: Game Boy Advance (indicado con --map)."},
        {"--map linear overrides the header",
         SnesRom(false, 0x40000, true),
         AddressOf{Console::Linear},
         0x10100,
         3,
         0,
         {"--map", "linear"},
         0,
         "",
         "Mapa de direcciones: lineal (indicado con --map)."},
        {"--map LoROM (any case) where no header says so",
         Bytes(0x40200, 0xEE),
         lorom,
         0x10100,
         3,
         0,
         {"--map", "LoROM"},
         0,
         "Aviso: la cadena 6 (posición 0x101F6) cruza el final de su banco (0x101FF, mapa "
         "LoROM): el juego puede no leerla entera.\n",
         "Mapa de direcciones: LoROM (indicado con --map, tras 512 bytes de cabecera de "
         "copión)."},
    };
    for (const CrossingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto value = [&](std::uint64_t position) {
            const std::uint64_t a = c.address(position);
            return (c.size == 2 ? a & 0xFFFF : a) + c.mirror;
        };
        Bytes rom = c.rom;
        const std::vector<std::string> strings = Strings(8, 40);
        PutStrings(rom, c.textStart, strings, 0x00);
        std::vector<std::uint64_t> old, expected;
        for (std::uint64_t j = 0; j < 8; ++j) {
            old.push_back(value(c.textStart + 21 * j));
            expected.push_back(value(c.textStart + 41 * j));
        }
        const std::uint64_t tableStart = 0x1000;
        PutTable(rom, tableStart, c.size, old);
        FakeFileSystem fs;
        fs.files["rom.smc"] = rom;
        std::vector<std::string> args = c.options;
        for (const std::string& field :
             {std::string("rom.smc"), HexOf(c.textStart), HexOf(tableStart),
              HexOf(tableStart + std::uint64_t{8} * c.size - 1), std::to_string(c.size),
              std::string("00")}) {
            args.push_back(field);
        }
        const Outcome run = RunZeltor(fs, args);
        EXPECT_EQ(run.code, c.code) << run.err;
        if (c.code == 0) {
            EXPECT_EQ(run.err, c.err);
            EXPECT_NE(run.out.find(c.report), std::string::npos) << run.out;
            const auto table = TableOf(fs.files["rom.smc"], tableStart, 8, c.size);
            EXPECT_EQ(std::vector<std::uint64_t>(table.begin(), table.end()), expected);
        } else {
            EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
            EXPECT_EQ(fs.files["rom.smc"], rom);
            EXPECT_EQ(fs.files.size(), 1u);
        }
    }
}

// Which header is trusted, and which is not: the report names the map and why.
TEST(Maps, RecognisedFromTheHeaderAndNamedWithTheReason) {
    const auto broken = [](Bytes rom, std::size_t at, std::uint8_t value) {
        rom.at(at) = value;
        return rom;
    };
    struct Case {
        const char* name;
        Bytes rom;
        std::string line;
    };
    const std::string none = "lineal (ninguna cabecera de consola reconocida)";
    const Case cases[] = {
        {"LoROM", SnesRom(false, 0x20000, false), "LoROM (cabecera interna LoROM en 0x7FC0)"},
        {"HiROM behind a copier header", SnesRom(true, 0x20000, true),
         "HiROM (cabecera interna HiROM en 0x101C0, tras 512 bytes de cabecera de copión)"},
        {"SNES with checksum and complement that disagree",
         broken(SnesRom(false, 0x20000, false), 0x7FDC, 0x00), none},
        {"SNES with a reset vector outside the ROM",
         broken(SnesRom(false, 0x20000, false), 0x7FFD, 0x12), none},
        {"SNES with a map mode of the other kind",
         broken(SnesRom(false, 0x20000, false), 0x7FD5, 0x21), none},
        {"SNES with no ROM size", broken(SnesRom(false, 0x20000, false), 0x7FD7, 0x00), none},
        {"Game Boy", GameBoyRom(0x10000),
         "Game Boy (cabecera de Game Boy en 0x100 con la suma de control de 0x14D correcta)"},
        {"Game Boy with a wrong header checksum", broken(GameBoyRom(0x10000), 0x14D, 0x00), none},
        {"NES, MMC3", NesRom(4, 8),
         "NES (cabecera iNES: mapper 4, 128 KiB de PRG en bancos de 8 KiB)"},
        {"NES, a mapper without data", NesRom(77, 2),
         "NES (cabecera iNES: mapper 77, 32 KiB de PRG en bancos de 8 KiB (mapper sin datos: se "
         "suponen bancos de 8 KiB))"},
        {"Game Boy Advance", GbaRom(0x20000),
         "Game Boy Advance (cabecera de Game Boy Advance: 0x96 en 0xB2 y el complemento de 0xBD "
         "correcto)"},
        {"Game Boy Advance with a wrong complement", broken(GbaRom(0x20000), 0xBD, 0x00), none},
        {"plain data", Bytes(0x20000, 0xEE), none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes rom = c.rom;
        PutStrings(rom, 0x3000, {"uno", "dos"}, 0x00);
        PutTable(rom, 0x2000, 2, {0x9000, 0x9005});
        FakeFileSystem fs;
        fs.files["rom.smc"] = rom;
        // The same two values on every console: no 2-byte value is ROM on all of them (a Game
        // Boy shows ROM below $8000, a SNES above), so the judgement is overruled.
        const Outcome run =
            RunZeltor(fs, {"--dry-run", "--force", "rom.smc", "3000", "2000", "2003", "2", "00"});
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.out.find("\nMapa de direcciones: " + c.line + ". "), std::string::npos)
            << run.out;
    }
}

TEST(Maps, ANameThatIsNoMapIsAUsageError) {
    struct Case {
        std::vector<std::string> options;
        std::string err;
    };
    const Case cases[] = {
        {{"--map", "snes"},
         "ERROR 1: el mapa «snes» no existe: --map admite linear, lorom, hirom, gb, nes, md o "
         "gba.\n"},
        {{"--map", "nes"},
         "ERROR 1: --map nes necesita la cabecera iNES al principio del "
         "archivo, y esta ROM no la tiene.\n"},
    };
    for (const Case& c : cases) {
        FakeFileSystem fs;
        fs.files["rom.smc"] = SnesRom(false, 0x20000, false);
        std::vector<std::string> args = c.options;
        for (const char* field : {"rom.smc", "3000", "2000", "2003", "2", "00"}) {
            args.emplace_back(field);
        }
        const Outcome run = RunZeltor(fs, args);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(fs.files.size(), 1u);
    }
}

// Mega Drive and Game Boy Advance are looked for only where no older console's header is: a
// ROM that was recognised before keeps its map. Mega Drive stores its pointers big endian.
TEST(Maps, MegaDriveAndGameBoyAdvanceByTheirHeaders) {
    const auto sega = [](Bytes rom) {
        std::copy_n("SEGA", 4, &rom.at(0x100));
        return rom;
    };
    struct Case {
        const char* name;
        Bytes rom;
        std::optional<zeltor::MapKind> asked;
        std::string map, reason;
        bool bigEndian;
    };
    const std::string md = "«SEGA» en 0x100, cabecera de Mega Drive";
    const std::string gba = "cabecera de Game Boy Advance: 0x96 en 0xB2 y el complemento de 0xBD "
                            "correcto";
    const std::string none = "ninguna cabecera de consola reconocida";
    const std::string asked = "indicado con --map";
    const Case cases[] = {
        {"Mega Drive", MegaDriveRom(0x20000), {}, "Mega Drive", md, true},
        {"\"sega\" in small letters",
         [] {
             Bytes rom = MegaDriveRom(0x20000);
             std::copy_n("sega", 4, &rom.at(0x100));
             return rom;
         }(),
         {},
         "lineal",
         none,
         false},
        {"Game Boy Advance", GbaRom(0x40000), {}, "Game Boy Advance", gba, false},
        {"GBA without its 0x96", GbaRom(0x40000, 0x97), {}, "lineal", none, false},
        {"GBA header cut short before its complement",
         [] {
             Bytes rom = GbaRom(0x40000);
             rom.resize(0xBD);
             return rom;
         }(),
         {},
         "lineal",
         none,
         false},
        {"LoROM with SEGA at 0x100",
         sega(SnesRom(false, 0x20000, false)),
         {},
         "LoROM",
         "cabecera interna LoROM en 0x7FC0",
         false},
        {"Game Boy with SEGA at 0x100",
         sega(GameBoyRom(0x10000)),
         {},
         "Game Boy",
         "cabecera de Game Boy en 0x100 con la suma de control de 0x14D correcta",
         false},
        {"--map md over plain data", Bytes(0x1000, 0xEE), zeltor::MapKind::MegaDrive, "Mega Drive",
         asked, true},
        {"--map linear over a Mega Drive", MegaDriveRom(0x20000), zeltor::MapKind::Linear, "lineal",
         asked, false},
        {"--map gba over a Mega Drive", MegaDriveRom(0x20000), zeltor::MapKind::Gba,
         "Game Boy Advance", asked, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem fs;
        fs.files["rom.bin"] = c.rom;
        zeltor::FileError error;
        const auto rom = fs.Open("rom.bin", false, error);
        ASSERT_TRUE(rom);
        auto chosen = zeltor::ChooseMap(c.asked, *rom, c.rom.size());
        ASSERT_TRUE(std::holds_alternative<zeltor::MapChoice>(chosen));
        const zeltor::MapChoice& choice = std::get<zeltor::MapChoice>(chosen);
        EXPECT_EQ(choice.map->Name(), c.map);
        EXPECT_EQ(choice.reason, c.reason);
        EXPECT_EQ(choice.bigEndian, c.bigEndian);
    }
}

// The GBA's cartridge: 32 MiB from 0x08000000, seen again at 0x0A000000 and 0x0C000000.
TEST(Maps, GameBoyAdvanceAddressesAndTheirMirrors) {
    const auto map = zeltor::MakeGbaMap();
    const AddressOf address{Console::Gba};
    for (const std::uint64_t position : {0x0u, 0xC0u, 0x12345u, 0x1FFFFFFu}) {
        const auto place = map->Locate(position);
        ASSERT_TRUE(place) << position;
        EXPECT_EQ(place->address, address(position));
        EXPECT_EQ(place->bankLast, address.BankEnd(position));
        for (const std::uint64_t mirror : {0x0u, 0x2000000u, 0x4000000u}) {
            EXPECT_EQ(map->Linear(place->address + mirror), static_cast<std::int64_t>(position));
        }
    }
    EXPECT_FALSE(map->Locate(0x2000000));
    // Outside the cartridge: nowhere near any string, below it or past its last mirror.
    EXPECT_EQ(map->Linear(0x9000), 0x9000 - 0x08000000);
    EXPECT_EQ(map->Linear(0x0E000010), 0x06000010);
}

} // namespace
