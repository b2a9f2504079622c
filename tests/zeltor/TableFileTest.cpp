#include "zeltor/words/TableFile.h"

#include "tests/zeltor/RecalculatorTestSupport.h"

#include <gtest/gtest.h>

namespace {

using zeltor::Exit;

zeltor::Request RunOf(std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--tables", "tablas.txt", "juego.bin"});
    const auto parsed = ParseRecalcArguments(options);
    const auto request = zeltor::ReadRunOptions(std::get<ParsedArguments>(parsed).arguments);
    return std::get<zeltor::Request>(request);
}

zeltor::TableFile Parsed(std::string_view text, const zeltor::Request& run = RunOf()) {
    auto file = zeltor::ParseTableFile(text, run);
    if (const auto* refusal = std::get_if<zeltor::Refusal>(&file)) {
        ADD_FAILURE() << refusal->message;
        return {};
    }
    return std::get<zeltor::TableFile>(file);
}

// Names and descriptions over one block (interleaved), a menu of its own, a Mega Drive table
// and a NES table split in two runs that lie apart; in a file saved by Notepad.
TEST(TableFile, EveryTableOfTheRunAndTheBlocksTheyShare) {
    const zeltor::TableFile file = Parsed("\xEF\xBB\xBF# nombres y descripciones\r\n"
                                          "1A000 18000 1807F 2 00 0080\r\n"
                                          "\r\n"
                                          "   # el menú\r\n"
                                          "1a000\t18100 1817F 2 00\r\n"
                                          "  20000 19000 19005 3 ff  \r\n"
                                          "--big-endian 30000 19100 19107 4 00 00030000\r\n"
                                          "--split --run 8100 40000 8000 80FF 2 FF 0080");
    ASSERT_EQ(file.tables.size(), 5u);
    std::vector<std::size_t> lines;
    for (const zeltor::TableLine& t : file.tables) {
        lines.push_back(t.line);
        EXPECT_EQ(t.request.romName, "juego.bin");
    }
    EXPECT_EQ(lines, (std::vector<std::size_t>{2, 5, 6, 7, 8}));
    const zeltor::Request& names = file.tables[0].request;
    EXPECT_EQ(names.Place(), (zeltor::TablePlace{0x18000, 0x1807F, {}}));
    EXPECT_EQ(names.firstPointer, 0x8000u);
    EXPECT_EQ(file.tables[2].request.pointerSize.Bytes(), 3u);
    EXPECT_EQ(file.tables[2].request.separator, 0xFF);
    EXPECT_EQ(file.tables[3].request.Format(),
              (zeltor::PointerFormat{PointerSize::Largest(), true, false}));
    EXPECT_EQ(file.tables[3].request.firstPointer, 0x30000u);
    const zeltor::Request& nes = file.tables[4].request;
    EXPECT_TRUE(nes.split && !nes.bigEndian);
    EXPECT_EQ(nes.Place(), (zeltor::TablePlace{0x8000, 0x80FF, {0x8100}}));
    ASSERT_EQ(file.blocks.size(), 4u);
    EXPECT_EQ(file.blocks[0].textStart, 0x1A000u);
    EXPECT_EQ(file.blocks[0].tables, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(file.blocks[0].firstPointer, 0x8000u);
    EXPECT_EQ(file.blocks[0].firstPointerText, "0080");
    EXPECT_EQ(file.blocks[1].tables, (std::vector<std::size_t>{2}));
    EXPECT_EQ(file.blocks[1].firstPointer, std::nullopt);
}

// --big-endian and --split on the command line hold for every line.
TEST(TableFile, TheCommandLinesFormatHoldsForEveryLine) {
    const auto file = Parsed("100 200 203 2 00 8200\n--big-endian 300 400 403 2 00\n",
                             RunOf({"--big-endian", "--split"}));
    ASSERT_EQ(file.tables.size(), 2u);
    for (const zeltor::TableLine& t : file.tables) {
        EXPECT_TRUE(t.request.bigEndian && t.request.split) << t.line;
    }
    EXPECT_EQ(file.tables[0].request.firstPointer, 0x8200u);
}

// The first bad line in the file's order refuses the whole file, by its number and its field.
TEST(TableFile, BadLinesAreRefusedByNumberAndField) {
    struct Case {
        std::string lines; // after a good first line
        Exit code;
        std::string message;
    };
    const std::string line2 = "línea 2 de «tablas.txt»: ";
    const std::string fields = "se esperaban 5 o 6 campos (el inicio del texto, el inicio y el "
                               "fin de la tabla, el tamaño, el separador y, si se quiere, el "
                               "primer puntero) y hay ";
    const Case cases[] = {
        {"--mapa 100 200 203 2 00", Exit::Usage,
         line2 + "la opción «--mapa» no existe: una línea admite --big-endian, --split y --run"},
        {"--force 100 200 203 2 00", Exit::Usage,
         line2 + "«--force» vale para toda la pasada: va en la orden, antes de la ROM, no en una "
                 "línea del archivo de tablas"},
        {"--split --run", Exit::Usage, line2 + "falta la posición de «--run»"},
        {"--split --run 8x00 100 200 203 2 00", Exit::BadField,
         line2 + "la posición «8x00» de --run no es una posición hexadecimal válida (cifras 0-9 y "
                 "A-F, hasta FFFFFFFF)"},
        {"100 200 203 2", Exit::Usage, line2 + fields + "4"},
        // A comment takes a line of its own.
        {"100 200 203 2 00 0082 # menú", Exit::Usage, line2 + fields + "8"},
        {"1g0 200 203 2 00", Exit::BadField,
         line2 + "el inicio del texto «1g0» no es una posición hexadecimal válida (cifras 0-9 y "
                 "A-F, hasta FFFFFFFF): revise «Posición inicial del texto»"},
        {"--big-endian 100 200 203 2 00 82", Exit::BadField,
         line2 + "el primer puntero «82» debe dar sus 2 bytes tal como están en la ROM, el más "
                 "significativo primero (big endian): exactamente 4 cifras hexadecimales: revise "
                 "«Valor del primer puntero»"},
        {"--split 100 200 204 2 00", Exit::BadTable,
         line2 + "la tabla dividida mide 0x5 bytes, que no son 2 tramos iguales, uno por byte de "
                 "puntero"},
        {"# nada\n\n100 12 15 2 00", Exit::BadTable,
         "línea 4 de «tablas.txt»: la tabla (0x12-0x15) se solapa con la de la línea 1 "
         "(0x10-0x13)"},
        {"--split --run 12 100 40 41 2 00", Exit::BadTable,
         line2 + "la tabla (0x12-0x13) se solapa con la de la línea 1 (0x10-0x13)"},
        {"5 200 205 3 00", Exit::BadField,
         line2 + "la tabla comparte el texto (0x5) con la de la línea 1, pero tiene punteros de 3 "
                 "bytes y la de la línea 1, 2 bytes: las tablas de un mismo texto deben coincidir "
                 "en eso"},
        {"--big-endian 5 200 203 2 00", Exit::BadField,
         line2 + "la tabla comparte el texto (0x5) con la de la línea 1, pero tiene formato big "
                 "endian y la de la línea 1, little endian: las tablas de un mismo texto deben "
                 "coincidir en eso"},
        {"5 200 203 2 FF", Exit::BadField,
         line2 + "la tabla comparte el texto (0x5) con la de la línea 1, pero tiene separador FF "
                 "y la de la línea 1, 00: las tablas de un mismo texto deben coincidir en eso"},
        // FIRST is compared with the line that gave it, not with the block's first.
        {"5 200 203 2 00 0082\n5 300 303 2 00 0082\n5 400 403 2 00 0083", Exit::BadField,
         "línea 4 de «tablas.txt»: la tabla comparte el texto (0x5) con la de la línea 2, pero "
         "tiene primer puntero «0083» y la de la línea 2, «0082»: las tablas de un mismo texto "
         "deben coincidir en eso"},
        {"100 200 203 5 00\n1g0 300 303 2 00", Exit::BadField,
         line2 + "el tamaño «5» debe ser 2, 3 o 4: revise «Tamaño de cada puntero»"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        const auto file = zeltor::ParseTableFile("5 10 13 2 00\n" + c.lines, RunOf());
        ASSERT_TRUE(std::holds_alternative<zeltor::Refusal>(file));
        EXPECT_EQ(std::get<zeltor::Refusal>(file).code, c.code);
        EXPECT_EQ(std::get<zeltor::Refusal>(file).message, c.message);
    }
}

// TEXTO, the separator and FIRST agree by value, not by how they are typed.
TEST(TableFile, SharedTextAgreesWhateverTheCase) {
    const auto file = Parsed("a0 10 13 2 ff 00A0\nA0 20 23 2 FF 00a0\n");
    ASSERT_EQ(file.blocks.size(), 1u);
    EXPECT_EQ(file.blocks[0].tables, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(file.blocks[0].firstPointer, 0xA000u);
}

TEST(TableFile, AFileWithNoTableOrNotInUtf8IsRefused) {
    for (const std::string& text :
         {std::string(""), std::string("\xEF\xBB\xBF# solo notas\r\n\r\n"),
          std::string("\xFF\xFE"
                      "1\0000\0",
                      6)}) {
        const auto file = zeltor::ParseTableFile(text, RunOf());
        ASSERT_TRUE(std::holds_alternative<zeltor::Refusal>(file));
        EXPECT_EQ(std::get<zeltor::Refusal>(file).code, Exit::Usage);
        EXPECT_EQ(std::get<zeltor::Refusal>(file).message.rfind("el archivo «tablas.txt» ", 0), 0u)
            << std::get<zeltor::Refusal>(file).message;
    }
}

// On the plain command line, the formats reach the request and FIRST is read in them.
TEST(Request, TheCommandLinesFormatsReachTheRequest) {
    struct Case {
        std::vector<std::string> options;
        std::string first;
        bool bigEndian, split;
        std::uint32_t value;
        std::string refusal;
    };
    const Case cases[] = {
        {{}, "00a0", false, false, 0xA000, ""},
        {{"--big-endian"}, "00a0", true, false, 0x00A0, ""},
        {{"--split", "--map", "nes"}, "a0", false, true, 0xA0, ""},
        {{"--big-endian", "--split"},
         "a0",
         true,
         true,
         0,
         "el primer puntero «a0» debe dar sus 2 bytes tal como están en la ROM, el más "
         "significativo primero (big endian): exactamente 4 cifras hexadecimales: revise «Valor "
         "del primer puntero»"},
        {{"--split"},
         "0a0",
         false,
         true,
         0,
         "el primer puntero «0a0» debe dar sus bytes tal como están en la ROM, el más bajo "
         "primero: un número par de cifras hexadecimales, como mucho 4: revise «Valor del primer "
         "puntero»"},
        // Three bytes typed for a 2-byte table: the size may be the field mistyped.
        {{},
         "00a081",
         false,
         false,
         0,
         "el primer puntero «00a081» debe dar sus bytes tal como están en la ROM: un número par "
         "de cifras hexadecimales, como mucho 4: revise «Valor del primer puntero», o «Tamaño de "
         "cada puntero» si los punteros son de 3 bytes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"rom.nes", "100", "20", "23", "2", "00", c.first});
        const auto parsed = std::get<ParsedArguments>(ParseRecalcArguments(args));
        const auto request = zeltor::ReadRequest(parsed.arguments);
        if (!c.refusal.empty()) {
            ASSERT_TRUE(std::holds_alternative<zeltor::Refusal>(request)) << c.first;
            EXPECT_EQ(std::get<zeltor::Refusal>(request).message, c.refusal);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<zeltor::Request>(request)) << c.first;
        const zeltor::Request& r = std::get<zeltor::Request>(request);
        EXPECT_EQ(r.Format(), (zeltor::PointerFormat{r.pointerSize, c.bigEndian, c.split}));
        EXPECT_EQ(r.firstPointer, c.value) << c.first;
    }
}

// A table file that cannot be read, or fields after the ROM, are refused as usage errors:
// nothing is read from the ROM or written.
TEST(TableFile, WhatTheRunCannotTakeIsAUsageError) {
    const Bytes rom = MakeRom(0x400, 0x100, {"uno", "dos"}, 0x00, 0x20, 2, {0x100, 0x104});
    {
        FakeFileSystem fs;
        fs.files["rom.smc"] = rom;
        const Outcome run = RunZeltor(fs, {"--tables", "tablas.txt", "rom.smc"});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err.rfind("ERROR 1: no se puede leer el archivo de tablas «tablas.txt»", 0),
                  0u)
            << run.err;
        EXPECT_EQ(fs.files["rom.smc"], rom);
        EXPECT_EQ(fs.files.size(), 1u);
    }
    FakeFileSystem fs;
    const Outcome extra = RunZeltor(fs, {"--tables", "t.txt", "rom.smc", "100"});
    EXPECT_EQ(extra.err, "ERROR 1: con --tables, tras las opciones solo va la ROM (cada tabla va "
                         "en una línea del archivo de tablas) y hay 2 argumentos. Use --help para "
                         "ver la ayuda.\n");
}

} // namespace
