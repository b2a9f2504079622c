// Whole runs over games built here: every table of a table file, text blocks that tables share,
// the pointer formats consoles use, and the checksum brought up to date, each table and sum
// held against the test's own working.
#include "tests/zeltor/ConsoleRoms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

using zeltor::MapKind;

// A Spanish pass over an English or Japanese script: each string's length times one of these in
// turn, some emptied, some ten times longer.
const double kSpanish[] = {0.3, 4, 1.7, 0, 10, 0.6, 2.5, 1, 1.3};

// Words of a game's script, in letters and spaces, lengths from 4 to 20.
std::vector<std::string> Script(std::size_t count, std::uint32_t seed) {
    static const char kLetters[] = "aeiou nrstlcdmpbgyhf AEIOU.,!?";
    std::vector<std::string> strings;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string s(4 + (seed >> 16) % 17, ' ');
        for (char& c : s) {
            seed = seed * 1103515245u + 12345u;
            c = kLetters[(seed >> 16) % (sizeof kLetters - 1)];
        }
        strings.push_back(s);
    }
    return strings;
}

std::vector<std::string> Translated(const std::vector<std::string>& old) {
    std::vector<std::string> now;
    for (std::size_t i = 0; i < old.size(); ++i) {
        const double factor = kSpanish[i % std::size(kSpanish)];
        const auto length = static_cast<std::size_t>(std::lround(old[i].size() * factor));
        std::string s;
        while (s.size() < length) {
            s += old[(i + s.size()) % old.size()];
        }
        now.push_back(s.substr(0, length));
    }
    return now;
}

std::vector<std::uint64_t> Starts(std::uint64_t at, const std::vector<std::string>& strings) {
    std::vector<std::uint64_t> starts;
    for (const std::string& s : strings) {
        starts.push_back(at);
        at += s.size() + 1;
    }
    return starts;
}

// One game: a text block at `text`, `tables` tables interleaved over it (string j is entry
// j / tables of table j % tables), each at its START, a split one's second run perhaps apart.
struct Game {
    const char* name;
    Console console;
    Bytes rom;
    std::uint64_t header; // copier (SNES) or iNES header (NES)
    std::uint64_t nesBank;
    unsigned size;
    bool bigEndian, split;
    std::uint64_t text;
    std::vector<std::uint64_t> starts;
    std::uint64_t apart = 0;  // a split table's second run, when it does not follow the first
    const char* options = ""; // the command line's, before the ROM
    bool tableFile = false;
};

constexpr std::size_t kEntries = 6;
constexpr std::uint64_t kRoom = 0x800; // the text's room, which a longer translation fills

std::uint64_t SnesHeader(const Game& g) {
    return g.header + (g.console == Console::HiRom ? 0xFFC0 : 0x7FC0);
}

std::vector<std::uint64_t> SumBytes(const Game& g) {
    return ChecksumBytes(g.console, SnesHeader(g));
}

std::string SumText(const Game& g, const Bytes& rom) {
    const std::vector<std::uint64_t> at = SumBytes(g);
    const bool snes = at.size() == 4;
    const unsigned sum = snes ? Word(rom, at[2], false) : Word(rom, at[0], true);
    char text[8];
    std::snprintf(text, sizeof text, "%04X", sum);
    return text;
}

struct Played {
    Bytes before, expected; // the ROM the run is given, and what it must become
    Outcome outcome;
    FakeFileSystem fs;
};

// Puts the old script and tables in, then the translation as an inserter leaves it, and runs
// the recalculation as `g` asks.
void Play(const Game& g, Played& p) {
    const AddressOf address{g.console, g.header, g.nesBank};
    Bytes rom = g.rom;
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(g.text), kRoom, 0xEE);
    const std::size_t tables = g.starts.size();
    const std::vector<std::string> old = Script(tables * kEntries, 7 + tables);
    const std::vector<std::string> now = Translated(old);
    const auto pointers = [&](const std::vector<std::uint64_t>& starts, std::size_t t) {
        std::vector<std::uint64_t> values;
        for (std::size_t e = 0; e < kEntries; ++e) {
            const std::uint64_t a = address(starts[e * tables + t]);
            values.push_back(g.size == 4 ? a : a & ((std::uint64_t{1} << (8 * g.size)) - 1));
        }
        return values;
    };
    const auto lay = [&](Bytes& into, const Bytes& table, std::uint64_t at) {
        const std::size_t run = kEntries;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const bool second = g.apart != 0 && i >= run;
            into.at((second ? g.apart - run : at) + i) = table[i];
        }
    };
    PutStrings(rom, g.text, old, 0x00);
    for (std::size_t t = 0; t < tables; ++t) {
        lay(rom, Encoded(pointers(Starts(g.text, old), t), g.size, g.bigEndian, g.split),
            g.starts[t]);
    }
    // The translator's pass: the old text cleared, the new one in its place.
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(g.text), kRoom, 0xEE);
    PutStrings(rom, g.text, now, 0x00);
    p.before = p.expected = rom;
    for (std::size_t t = 0; t < tables; ++t) {
        lay(p.expected, Encoded(pointers(Starts(g.text, now), t), g.size, g.bigEndian, g.split),
            g.starts[t]);
    }

    p.fs.files["rom.smc"] = rom;
    std::vector<std::string> args;
    for (std::istringstream in(g.options); in;) {
        std::string option;
        if (in >> option) {
            args.push_back(option);
        }
    }
    const auto fields = [&](std::size_t t) {
        const std::uint64_t end = g.starts[t] + (g.apart != 0 ? kEntries : kEntries * g.size) - 1;
        return std::vector<std::string>{HexOf(g.text), HexOf(g.starts[t]), HexOf(end),
                                        std::to_string(g.size), "00"};
    };
    if (g.tableFile) {
        std::string file = "# nombres y descripciones, y lo demás\n";
        for (std::size_t t = 0; t < tables; ++t) {
            std::string line = g.apart != 0 ? "--split --run " + HexOf(g.apart) : "";
            for (const std::string& f : fields(t)) {
                line += (line.empty() ? "" : " ") + f;
            }
            file += line + "\n";
        }
        p.fs.files["tablas.txt"] = Bytes(file.begin(), file.end());
        args.insert(args.end(), {"--tables", "tablas.txt", "rom.smc"});
    } else {
        args.push_back("rom.smc");
        const auto f = fields(0);
        args.insert(args.end(), f.begin(), f.end());
    }
    p.outcome = RunZeltor(p.fs, args);
}

// A game of `console` over `rom`: the NES's an NROM after its iNES header, the Mega Drive's
// pointers big endian; the rest as the calls after it say.
Game Make(const char* name, Console console, Bytes rom, unsigned size, std::uint64_t text,
          std::vector<std::uint64_t> starts) {
    const bool nes = console == Console::Nes;
    return Game{name,
                console,
                std::move(rom),
                nes ? 16u : 0u,
                nes ? 0x8000u : 0u,
                size,
                console == Console::MegaDrive,
                false,
                text,
                std::move(starts)};
}
Game Copier(Game g) {
    g.header = 512;
    return g;
}
Game Split(Game g, std::uint64_t apart, const char* options) {
    g.split = true;
    g.apart = apart;
    g.options = options;
    return g;
}
Game InFile(Game g) {
    g.tableFile = true;
    return g;
}

std::vector<Game> Games() {
    const std::size_t KiB = 1024;
    const auto snes = [&](bool hiRom, std::size_t size, bool copier) {
        const std::size_t at = (copier ? 512 : 0) + (hiRom ? 0xFFC0 : 0x7FC0);
        return Noisy(SnesRom(hiRom, size, copier), at, at + 0x3F);
    };
    return {
        // The descriptions right after the names, both over one block.
        InFile(Make("names and descriptions over one LoROM block", Console::LoRom,
                    snes(false, 512 * KiB, false), 2, 0x8200, {0xA000, 0xA00C})),
        InFile(Make("three tables over a plain file's block", Console::Linear, Bytes(0x8000, 0xEE),
                    2, 0x1000, {0x3000, 0x3100, 0x3200})),
        Make("1 MiB HiROM, 3-byte pointers", Console::HiRom, snes(true, 1024 * KiB, false), 3,
             0x10200, {0x20000}),
        Copier(Make("512 KiB LoROM after a copier's header", Console::LoRom,
                    snes(false, 512 * KiB, true), 2, 512 + 0x8200, {512 + 0xA000})),
        Make("1.5 MiB LoROM, mirrored by the console", Console::LoRom,
             snes(false, 1536 * KiB, false), 3, 0x100200, {0x108000}),
        Make("Game Boy, bank 1", Console::GameBoy, Noisy(GameBoyRom(256 * KiB), 0x100, 0x14F), 2,
             0x4200, {0x6000}),
        Make("Mega Drive, big endian unasked", Console::MegaDrive,
             Noisy(MegaDriveRom(512 * KiB), 0x100, 0x1FF), 4, 0x20000, {0x30000}),
        Make("Game Boy Advance", Console::Gba, Noisy(GbaRom(1024 * KiB), 0, 0xBF), 4, 0x10000,
             {0x20000}),
        Split(Make("NES table split in halves", Console::Nes, Noisy(NesRom(0, 2), 0, 15), 2,
                   16 + 0x1000, {16 + 0x3000}),
              0, "--split"),
        InFile(Split(Make("NES split halves apart, in a table file", Console::Nes,
                          Noisy(NesRom(0, 2), 0, 15), 2, 16 + 0x1000, {16 + 0x3000}),
                     16 + 0x3100, "")),
    };
}

// Every table exact, one backup, each checksum as the console computes it and the summary
// naming it; nothing else in the ROM changes.
TEST(Runs, TranslatedGamesComeOutExact) {
    for (const Game& g : Games()) {
        SCOPED_TRACE(g.name);
        Played p;
        Play(g, p);
        ASSERT_EQ(p.outcome.code, 0) << p.outcome.err;
        Bytes& after = p.fs.files["rom.smc"];
        const std::vector<std::uint64_t> sums = SumBytes(g);
        for (const std::uint64_t at : sums) {
            p.expected.at(at) = after.at(at);
        }
        EXPECT_EQ(after, p.expected);
        if (!sums.empty()) {
            ExpectConsoleAgrees(KindOf(g.console), after, SnesHeader(g), g.header);
            EXPECT_NE(SumText(g, p.before), SumText(g, after));
            EXPECT_NE(p.outcome.summary.find("; suma de comprobación: " + SumText(g, p.before) +
                                             " → " + SumText(g, after) + ";"),
                      std::string::npos)
                << p.outcome.summary;
        } else {
            EXPECT_EQ(p.outcome.summary.find("suma"), std::string::npos) << p.outcome.summary;
        }
        std::vector<std::string> backups;
        for (const auto& [name, bytes] : p.fs.files) {
            if (name.find(".bak") != std::string::npos) {
                backups.push_back(name);
                EXPECT_EQ(bytes, p.before);
            }
        }
        EXPECT_EQ(backups, std::vector<std::string>{"rom.smc.bak"});
        if (g.starts.size() > 1) {
            for (std::size_t t = 0; t < g.starts.size(); ++t) {
                EXPECT_NE(
                    p.outcome.out.find("== Tabla de la línea " + std::to_string(t + 2) + " =="),
                    std::string::npos);
            }
        }
    }
}

// If one table is refused, nothing is written: the first refusal in the file's order gives
// the exit code and the last line, and the report gives every table's verdict.
TEST(Runs, OneTableRefusedWritesNothing) {
    Game g = Games()[1]; // three tables over one block of a plain file
    Played p;
    Play(g, p);
    ASSERT_EQ(p.outcome.code, 0);
    // The same tables again, with a fourth over another block whose TEXT is one byte late.
    FakeFileSystem fs;
    Bytes rom = p.before;
    const std::vector<std::string> words = {"Hola", "Adios", "Si"};
    const std::uint64_t end = PutStrings(rom, 0x5000, words, 0x00);
    PutTable(rom, 0x6000, 2, {0x5000, 0x5005, 0x500B});
    ASSERT_EQ(end, 0x500Eu);
    fs.files["rom.smc"] = rom;
    std::string file(p.fs.files["tablas.txt"].begin(), p.fs.files["tablas.txt"].end());
    file += "5001 6000 6005 2 00\n";
    fs.files["tablas.txt"] = Bytes(file.begin(), file.end());
    const Outcome refused = RunZeltor(fs, {"--tables", "tablas.txt", "rom.smc"});
    EXPECT_EQ(refused.code, 9);
    EXPECT_EQ(refused.err.rfind("ERROR 9: línea 5: ", 0), 0u) << refused.err;
    EXPECT_EQ(fs.files["rom.smc"], rom);
    EXPECT_EQ(fs.files.count("rom.smc.bak"), 0u);
    for (const char* section : {"línea 2", "línea 3", "línea 4", "línea 5"}) {
        EXPECT_NE(refused.out.find(std::string("== Tabla de la ") + section + " =="),
                  std::string::npos)
            << section << "\n"
            << refused.out;
    }

    // A bad line is refused by its number and field before the ROM is even looked for.
    FakeFileSystem none;
    const std::string bad = "# tablas\n1000 3000 300B 2 00\n\n1000 3100 31G0 2 00\n";
    none.files["tablas.txt"] = Bytes(bad.begin(), bad.end());
    const Outcome badLine = RunZeltor(none, {"--tables", "tablas.txt", "rom.smc"});
    EXPECT_EQ(badLine.code, 2);
    EXPECT_NE(badLine.err.find("línea 4"), std::string::npos) << badLine.err;
    EXPECT_NE(badLine.err.find("«Posición final de la tabla de punteros»"), std::string::npos)
        << badLine.err;
}

// The checksum as the run leaves it: reported by a dry run and not written, kept as it is with
// --keep-checksum, written alone once the table is current, then nothing left to write.
TEST(Runs, TheChecksumAloneOrKept) {
    const Game g = Games()[2]; // 1 MiB HiROM
    Played p;
    Play(g, p);
    const Bytes before = p.before;
    const std::string wrong = SumText(g, before);
    struct Step {
        std::vector<std::string> options;
        bool tableWritten, sumWritten;
        const char* summary;
    };
    const Step steps[] = {
        {{"--dry-run"},
         false,
         false,
         "Simulación: cambiarían 5 de 6 entradas; mapa HiROM; suma de comprobación: 1234 → "},
        {{"--keep-checksum"},
         true,
         false,
         "Hecho: cambian 5 de 6 entradas; mapa HiROM; copia de seguridad «rom.smc.bak»;"},
        {{},
         true,
         true,
         "Hecho: cambian 0 de 6 entradas; mapa HiROM; suma de comprobación: 1234 → "},
        {{},
         true,
         true,
         "Hecho: la tabla ya estaba al día (no cambia ninguna de 6 entradas; mapa HiROM); no se ha "
         "escrito nada;"},
    };
    FakeFileSystem fs;
    fs.files["rom.smc"] = before;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.summary);
        std::vector<std::string> args = step.options;
        args.insert(args.end(), {"rom.smc", "10200", "20000", "20011", "3", "00"});
        const Outcome run = RunZeltor(fs, args);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.summary.rfind(step.summary, 0), 0u) << run.summary;
        const Bytes& rom = fs.files["rom.smc"];
        EXPECT_EQ(
            std::equal(rom.begin() + 0x20000, rom.begin() + 0x20012, p.expected.begin() + 0x20000),
            step.tableWritten);
        EXPECT_EQ(SumText(g, rom) != wrong, step.sumWritten);
        if (step.sumWritten) {
            ExpectConsoleAgrees(MapKind::HiRom, rom, 0xFFC0, 0);
        }
    }
}

// A text moved on a Game Boy right after other data, its old one left standing and another block
// packed after the new one. Right after other data, where TEXT begins is FIRST's to say. The old
// strings still show which entries are the table's: an END one entry long takes in a value of
// other data that begins none of them, and is refused naming END; the next table's entries,
// which step through its strings, are not taken for this one's. A TEXT typed on the second
// string is named with where FIRST points.
TEST(Runs, AMovedTextsOldOneShowsTheTablesEnd) {
    Bytes rom = GameBoyRom(0x10000);
    const std::vector<std::string> old = Script(9, 7);
    const std::vector<std::string> now = Translated(old);
    const std::vector<std::uint64_t> was = Starts(0x4100, old);
    PutStrings(rom, 0x4100, old, 0x00);
    const std::uint64_t end = PutStrings(rom, 0x5000, now, 0x00);
    PutStrings(rom, end, {"otro", "bloque"}, 0x00);
    std::vector<std::uint64_t> values = was;
    values.push_back(was[4] + 2); // inside the fifth old string
    // The next table's text a little after the old one, where it stayed; its table after this
    // one's, past the stray value.
    const std::uint64_t oldEnd = PutStrings(rom, 0x4100, old, 0x00);
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(oldEnd), 24, 0x00);
    const std::vector<std::string> next = {"seis", "siete", "ocho", "nueve"};
    PutStrings(rom, oldEnd + 24, next, 0x00);
    for (const std::uint64_t start : Starts(oldEnd + 24, next)) {
        values.push_back(start);
    }
    PutTable(rom, 0x6000, 2, values);
    std::string stray = HexOf(was[4] + 2);
    std::transform(stray.begin(), stray.end(), stray.begin(), ::toupper);
    const std::vector<std::uint64_t> starts = Starts(0x5000, now);
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says; // in the last line
    };
    const Case cases[] = {
        {{"5000", "6000", "6011", "2", "00"},
         9,
         "justo tras otros datos, donde no se distingue de una «Posición inicial del texto» "
         "desplazada una cadena o un byte: revise «Posición inicial del texto» o, si el texto "
         "empieza ahí, indique «Valor del primer puntero»: 0050."},
        {{"5000", "6000", "6011", "2", "00", "0050"}, 0, ""},
        {{"5000", "6000", "6013", "2", "00", "0050"},
         9,
         "la última entrada de la tabla (en 0x6012 hay 0x" + stray +
             ") no señala el principio de una cadena del texto anterior"},
        {{"5000", "6000", "6013", "2", "00", "0050"},
         9,
         "revise «Posición final de la tabla de punteros» (con 0x6011 todo concuerda)."},
        {{HexOf(starts[1]), "6000", "6011", "2", "00", "0050"},
         9,
         "con «Posición inicial del texto» en 0x5000 todo concuerda"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[2]);
        FakeFileSystem fs;
        fs.files["rom.gb"] = rom;
        std::vector<std::string> line = {"rom.gb"};
        line.insert(line.end(), c.args.begin(), c.args.end());
        const Outcome run = RunZeltor(fs, line);
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        const Bytes& after = fs.files["rom.gb"];
        for (std::size_t k = 0; k < starts.size() && c.code == 0; ++k) {
            EXPECT_EQ(Word(after, 0x6000 + 2 * k, false), starts[k]) << k;
        }
        if (c.code != 0) {
            EXPECT_EQ(after, rom);
        }
    }
}

// A table between two texts, its own after it, the last string emptied into free space of the
// separator's byte: nothing in the text shows a string left out, but the one entry between END
// one entry short and the text points among the table's strings. START one entry early takes in
// the end of the text before it, a letter and the separator.
TEST(Runs, TheTableBetweenTwoTexts) {
    Bytes rom = GameBoyRom(0x10000);
    const std::vector<std::string> old = Script(9, 5);
    std::vector<std::string> now = Translated(old);
    now.back().clear();
    const std::uint64_t table = 0x4F00;
    const std::uint64_t text = table + 2 * old.size();
    PutStrings(rom, table - 21, {"otro bloque", "de texto"}, 0x00); // ends right before it
    PutTable(rom, table, 2, Starts(text, old));
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(text), 0x400, 0x00);
    PutStrings(rom, text, now, 0x00);
    const struct {
        std::uint64_t start, end;
        const char* says; // nullptr: written
    } cases[] = {
        {table, text - 1, nullptr},
        {table, text - 3,
         "y tras ella empieza el texto: revise «Posición final de la tabla de punteros» (con "
         "0x4F11 todo concuerda)"},
        {table - 2, text - 1,
         "la primera entrada de la tabla (en 0x4EFE hay 0x006F) señala 0x6F, lejos del texto de "
         "las demás (0x4F12-0x4F84): parece el final del texto que precede a la tabla, con su "
         "separador: revise «Posición inicial de la tabla de punteros» (con 0x4F00 todo "
         "concuerda)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        FakeFileSystem fs;
        fs.files["rom.gb"] = rom;
        const Outcome run =
            RunZeltor(fs, {"rom.gb", HexOf(text), HexOf(c.start), HexOf(c.end), "2", "00"});
        EXPECT_EQ(run.code, c.says != nullptr ? 9 : 0) << run.err;
        if (c.says != nullptr) {
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_EQ(fs.files["rom.gb"], rom);
        }
    }
}

// END one entry long takes in a value of other data after a 4-byte NES table: its top byte is
// not the one every pointer of the table shares, and it points far from their text.
TEST(Runs, AnEntryOfAnotherForm) {
    Bytes rom = NesRom(1, 8);
    const std::uint64_t bank = 0x10 + 3 * 0x4000;
    const std::uint64_t text = bank + 0x200;
    const std::vector<std::string> old = Script(6, 5);
    const std::uint64_t end = PutStrings(rom, text, Translated(old), 0x00);
    PutStrings(rom, end, {"otro", "bloque"}, 0x00);
    std::vector<std::uint64_t> values;
    for (const std::uint64_t start : Starts(text, old)) {
        values.push_back((3u << 16) + 0x8000 + (start - bank));
    }
    values.push_back(0x7403BF00); // other data: bank 3 wrapped, far from the text
    const std::uint64_t table = 0x10 + 5 * 0x4000;
    PutTable(rom, table, 4, values);
    FakeFileSystem fs;
    fs.files["rom.nes"] = rom;
    const Outcome run =
        RunZeltor(fs, {"rom.nes", HexOf(text), HexOf(table), HexOf(table + 27), "4", "00"});
    EXPECT_EQ(run.code, 9);
    EXPECT_NE(run.err.find("(en 0x14028 hay 0x7403BF00) señala 0xFF10, lejos del texto de las "
                           "demás (0xC210-0xC251): parece de otros datos: su byte más alto (74) "
                           "no es el de las demás (00): revise «Posición final de la tabla de "
                           "punteros» (con 0x14027 todo concuerda)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(fs.files["rom.nes"], rom);
}

// On a console's map, a last entry far from the others' text: other data where no string begins
// (END one entry long), or an old string that ran long, its separator still before it.
TEST(Runs, AFarLastEntryOnAConsole) {
    Bytes rom = GameBoyRom(0x10000);
    const std::vector<std::string> old = Script(6, 9);
    std::vector<std::uint64_t> values = Starts(0x5000, old);
    const std::uint64_t end = PutStrings(rom, 0x5000, old, 0x00);
    // The old text's last string ran to 0x57FF; the translation leaves its tail and separator.
    std::fill(rom.begin() + static_cast<std::ptrdiff_t>(end), rom.begin() + 0x57FF, 'a');
    rom.at(0x57FF) = 0x00;
    PutStrings(rom, 0x5800, {"fin"}, 0x00);
    Bytes longLast = rom;
    values.push_back(0x5800);
    PutTable(longLast, 0x6000, 2, values);
    PutStrings(longLast, 0x5000, Translated(old), 0x00);
    // Without that string, the bytes after the table read as an entry into the far data.
    values.back() = 0x5C37;
    Bytes data = longLast;
    PutTable(data, 0x6000, 2, values);
    const struct {
        const Bytes* rom;
        const char* end;
        const char* refusal; // nullptr: written
    } cases[] = {
        {&longLast, "600D", nullptr},
        {&data, "600B", nullptr},
        {&data, "600D",
         "revise «Posición final de la tabla de punteros» (con 0x600B todo concuerda)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        FakeFileSystem fs;
        fs.files["rom.gb"] = *c.rom;
        const Outcome run =
            RunZeltor(fs, {"--dry-run", "rom.gb", "5000", "6000", c.end, "2", "00"});
        EXPECT_EQ(run.code, c.refusal != nullptr ? 9 : 0) << run.err;
        if (c.refusal != nullptr) {
            EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
        }
    }
}

// A line break typed as the separator, the text followed by data: the strings it reads hold
// the separator, FF, which stands between strings, never in one.
TEST(Runs, ALineBreakTypedBeforeData) {
    Bytes rom = GameBoyRom(0x10000);
    const std::vector<std::string> old = Script(6, 11);
    PutTable(rom, 0x6000, 2, Starts(0x5000, old));
    std::vector<std::string> now = Translated(old);
    for (std::string& line : now) {
        line.insert(line.size() / 2, "\n");
    }
    const std::uint64_t end = PutStrings(rom, 0x5000, now, 0xFF);
    const std::uint8_t data[] = {0x3A, 0x9B, 0x7E, 0xC2, 0x54, 0x41, 0xBA, 0xF4, 0x95, 0x85};
    std::copy(std::begin(data), std::end(data), rom.begin() + static_cast<std::ptrdiff_t>(end));
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(end + sizeof data), 32, 0xFF);
    for (const char* separator : {"ff", "0a"}) {
        SCOPED_TRACE(separator);
        FakeFileSystem fs;
        fs.files["rom.gb"] = rom;
        const Outcome run = RunZeltor(fs, {"rom.gb", "5000", "6000", "600B", "2", separator});
        if (separator[0] == 'f') {
            EXPECT_EQ(run.code, 0) << run.err;
            continue;
        }
        EXPECT_EQ(run.code, 9);
        EXPECT_NE(run.err.find("revise «Valor hexadecimal del caracter separador» (con FF todo "
                               "concuerda)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(fs.files["rom.gb"], rom);
    }
}

// A one-string table in place, its string in free space of the separator's byte: TEXT one byte
// early reads one empty string that ends right where the old text begins, which is no move.
TEST(Runs, OneStringTextStartOneByteEarly) {
    Bytes rom = GameBoyRom(0x10000);
    std::fill_n(rom.begin() + 0x5000, 0x100, 0xFF);
    PutStrings(rom, 0x5020, {"hola"}, 0xFF);
    PutTable(rom, 0x6000, 2, {0x5020, 0x5020});
    for (const std::uint64_t text : {0x5020u, 0x501Fu}) {
        SCOPED_TRACE(text);
        FakeFileSystem fs;
        fs.files["rom.gb"] = rom;
        const Outcome run = RunZeltor(fs, {"rom.gb", HexOf(text), "6000", "6003", "2", "ff"});
        if (text == 0x5020) {
            EXPECT_EQ(run.code, 0) << run.err;
            continue;
        }
        EXPECT_EQ(run.code, 9);
        EXPECT_NE(run.err.find("revise «Posición inicial del texto» (con 0x5020 todo concuerda)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(fs.files["rom.gb"], rom);
    }
}

// A text moved into free space of the separator's byte: TEXT typed a byte early reads one empty
// string more, as a first string emptied does. Without FIRST both are refused, with what to type
// for each; FIRST settles an emptied first string.
TEST(Runs, AMovedTextAmongSeparators) {
    Bytes rom = GameBoyRom(0x10000);
    std::fill_n(rom.begin() + 0x5000, 0x1000, 0xFF);
    PutStrings(rom, 0x5800, {"uno", "dos", "tres"}, 0xFF);
    PutTable(rom, 0x6000, 2, {0x5800, 0x5804, 0x5808});
    Bytes emptied = rom;
    PutStrings(rom, 0x5400, {"una", "dos", "tres"}, 0xFF);
    PutStrings(emptied, 0x5400, {"", "dos", "tres"}, 0xFF);
    const struct {
        const Bytes* rom;
        const char* text;
        const char* first;
        const char* refusal; // nullptr: written
    } cases[] = {
        {&rom, "5400", nullptr, nullptr},
        {&rom, "53ff", nullptr, "si el texto empieza en 0x5400, revise «Posición inicial"},
        {&emptied, "5400", nullptr,
         "si la primera cadena se ha vaciado, indique «Valor del primer puntero»: 0054"},
        {&emptied, "5400", "0054", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + (c.rom == &rom ? "" : " emptied"));
        FakeFileSystem fs;
        fs.files["rom.gb"] = *c.rom;
        std::vector<std::string> args = {"rom.gb", c.text, "6000", "6005", "2", "ff"};
        if (c.first != nullptr) {
            args.emplace_back(c.first);
        }
        const Outcome run = RunZeltor(fs, args);
        if (c.refusal != nullptr) {
            EXPECT_EQ(run.code, 9);
            EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
            EXPECT_EQ(fs.files["rom.gb"], *c.rom);
            continue;
        }
        EXPECT_EQ(run.code, 0) << run.err;
        const std::uint32_t second = c.rom == &rom ? 0x5404 : 0x5401;
        EXPECT_EQ(TableOf(fs.files["rom.gb"], 0x6000, 3, 2),
                  (std::vector<std::uint32_t>{0x5400, second, second + 4}));
    }
}

// A split NES table typed from one entry late: its first run then ends with the second run's
// first byte, one of the text's pages, and the moved text keeps one string more than the entries
// read; or, where another block follows it, the table read from one entry earlier agrees. START
// is named with the value that makes it whole.
TEST(Runs, ASplitTableReadOneEntryOff) {
    Bytes rom = NesRom(1, 8);
    const std::uint64_t text = 0x10 + 2 * 0x4000 + 0x100; // $8100 in its bank, in free space
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(text - 16), 16, 0xFF);
    const std::vector<std::string> now = Translated(Script(8, 3));
    const std::uint64_t end = PutStrings(rom, text, now, 0x00);
    std::fill_n(rom.begin() + static_cast<std::ptrdiff_t>(end), 64, 0xFF);
    // The old text, 20 bytes a string from $9000, is in another bank now.
    const std::uint64_t table = 0x10 + 5 * 0x4000;
    for (std::uint64_t k = 0; k < 8; ++k) {
        rom.at(table + k) = static_cast<std::uint8_t>(20 * k);
        rom.at(table + 8 + k) = 0x90;
    }
    Bytes followed = rom;
    PutStrings(followed, end, {"otro", "bloque", "de", "texto"}, 0x00);
    // The same old text from $90B0, over two pages, filler after the table, a block after the
    // text.
    Bytes paged = followed;
    for (std::uint64_t k = 0; k < 8; ++k) {
        paged.at(table + k) = static_cast<std::uint8_t>(0xB0 + 20 * k);
        paged.at(table + 8 + k) = k < 4 ? 0x90 : 0x91;
    }
    std::fill_n(paged.begin() + static_cast<std::ptrdiff_t>(table + 16), 16, 0xFF);
    // Its first and fifth entries swapped: the table starts on the second page.
    Bytes swapped = paged;
    std::swap(swapped.at(table), swapped.at(table + 4));
    std::swap(swapped.at(table + 8), swapped.at(table + 12));
    // Unordered, its first entry alone on the page before the others'.
    Bytes alone = paged;
    const std::uint16_t unordered[] = {0x8FF0, 0x9114, 0x90D8, 0x9128,
                                       0x9100, 0x90C4, 0x90EC, 0x913C};
    for (std::uint64_t k = 0; k < 8; ++k) {
        alone.at(table + k) = static_cast<std::uint8_t>(unordered[k] & 0xFF);
        alone.at(table + 8 + k) = static_cast<std::uint8_t>(unordered[k] >> 8);
    }
    const char* late = "revise «Posición inicial de la tabla de punteros» (con 0x14010 todo "
                       "concuerda)";
    // Read from one entry late, the first run ends with a page byte, on either page or the one
    // before. Read to one entry short, the first entry pairs the last low byte, as its page,
    // with the first: far from the text. Read one entry long, the pages of an ordered table
    // change one entry early: its values step back there.
    const struct {
        const Bytes* rom;
        std::uint64_t start, end;
        const char* refusal; // nullptr: written
    } cases[] = {
        {&rom, table, table + 15, nullptr},
        {&rom, table + 2, table + 15, late},
        {&followed, table + 2, table + 15, late},
        {&rom, table, table + 13,
         "con «Posición final de la tabla de punteros» en 0x1401F todo concuerda"},
        {&paged, table, table + 15, nullptr},
        {&swapped, table, table + 15, nullptr},
        {&swapped, table + 2, table + 15, late},
        {&alone, table, table + 15, nullptr},
        {&alone, table + 2, table + 15, late},
        {&paged, table, table + 17,
         "retroceden donde cambia la página: sus dos tramos están partidos un byte fuera de "
         "sitio. Revise «Posición final de la tabla de punteros» (con 0x1401F todo concuerda)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(HexOf(c.start) + "-" + HexOf(c.end) + (c.rom == &rom ? "" : " other"));
        const Bytes& before = *c.rom;
        FakeFileSystem fs;
        fs.files["rom.nes"] = before;
        const Outcome run = RunZeltor(
            fs, {"--split", "rom.nes", HexOf(text), HexOf(c.start), HexOf(c.end), "2", "00"});
        EXPECT_EQ(run.code, c.refusal != nullptr ? 9 : 0) << run.err;
        if (c.refusal != nullptr) {
            EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
            EXPECT_EQ(fs.files["rom.nes"], before);
        }
    }
}

// Two readings of a split table a byte apart, each judged by a rule that reads the other:
// judging ends, and names the start that agrees. The bytes of a drawn job that looped.
TEST(Runs, ASplitTableBetweenTwoReadingsIsJudgedOnce) {
    Bytes rom = NesRom(1, 8, 0x00);
    const std::pair<std::uint64_t, const char*> spans[] = {
        {0xA4FC, "266379909196c7d3de0e1f576f8085b8d3d7f35e9ab31317173770a2a3888888"
                 "888888888888898989898989898989898a8a8a8b8b8b8b8b8b8bebf2"},
        {0x14B94, "699210ef"},
        {0x16ACC, "a52a1d6c"},
        {0x16AD8, "d678d69c70c79cd6"},
        {0x16AE8, "9c88979cc7d66912d66f9c70469c6f809c6fb5807880789c70d65e9cd688b0d6"
                  "920070a55e7015698ac7d670d687d61594a5889797889c80d697efd6d6469c94"
                  "88704c079c698870d69c9c70461d8a109c975e97121d88970070b569aa46886c"
                  "4c8897168816d692"},
        {0x16B5D, "5e9cc7"},
    };
    for (const auto& [at, hex] : spans) {
        for (std::size_t k = 0; hex[2 * k] != 0; ++k) {
            rom.at(at + k) =
                static_cast<std::uint8_t>(std::stoul(std::string(hex + 2 * k, 2), nullptr, 16));
        }
    }
    FakeFileSystem fs;
    fs.files["rom.nes"] = rom;
    const Outcome run = RunZeltor(fs, {"--split", "rom.nes", "16ACC", "A4FE", "A535", "2", "00"});
    EXPECT_EQ(run.code, 9) << run.err;
    EXPECT_NE(run.err.find("revise «Posición inicial de la tabla de punteros»"), std::string::npos)
        << run.err;
    EXPECT_EQ(fs.files["rom.nes"], rom);
}

// A format left out is named with the option that makes the table agree.
TEST(Runs, TheFormatThatAgreesIsNamed) {
    Game g = Games()[8]; // NES, split
    g.options = "";
    Played p;
    Play(g, p);
    EXPECT_EQ(p.outcome.code, 9);
    EXPECT_NE(p.outcome.err.find("--split"), std::string::npos) << p.outcome.err;
    EXPECT_EQ(p.fs.files["rom.smc"], p.before);
}

// The guide's example, a game's item names and descriptions over one block: a few short
// strings, the last with the text's first digits, which is no sign of data after the text.
TEST(Runs, TheGuidesNamesAndDescriptions) {
    const std::vector<std::string> before = {"SWORD",          "A sharp blade.", "SHIELD",
                                             "Blocks arrows.", "POTION",         "Heals 50 HP."};
    const std::vector<std::string> after = {
        "ESPADA", "Hoja afilada.", "ESCUDO", "Para las flechas.", "POCION", "Cura 50 PV."};
    Bytes rom(0x400, 0xFF);
    const std::vector<std::uint64_t> old = Starts(0x200, before);
    PutTable(rom, 0x100, 2, {0x8000 + old[0], 0x8000 + old[2], 0x8000 + old[4]});
    PutTable(rom, 0x106, 2, {0x8000 + old[1], 0x8000 + old[3], 0x8000 + old[5]});
    PutStrings(rom, 0x200, after, 0x00);
    FakeFileSystem fs;
    fs.files["objetos.smc"] = rom;
    const std::string file = "# nombres y descripciones\n200 100 105 2 00\n200 106 10B 2 00\n";
    fs.files["tablas.txt"] = Bytes(file.begin(), file.end());
    const Outcome run = RunZeltor(fs, {"--tables", "tablas.txt", "objetos.smc"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(TableOf(fs.files["objetos.smc"], 0x100, 6, 2),
              (std::vector<std::uint32_t>{0x8200, 0x8215, 0x822E, 0x8207, 0x821C, 0x8235}));
}

} // namespace
