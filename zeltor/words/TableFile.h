#pragma once

#include "zeltor/Outcome.h"
#include "zeltor/words/Arguments.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The table file of --tables: every table of a run, one per line, read from its text alone.
//
//   line   := blank | comment | table
//   comment:= [blanks] "#" anything
//   table  := {option} TEXTO INICIO FIN TAMAÑO SEPARADOR [PRIMERO]
//   option := "--big-endian" | "--split" | "--run" POS
//
// Fields and options are separated by spaces or tabs; the fields are the command line's, in its
// order and its hexadecimal form. --big-endian and --split given on the command line hold for
// every line. A split table whose runs lie apart gives START-END for its first run and one
// "--run POS" for each later run, in order. Lines with the same TEXTO share that text block: they
// must agree on size, format and separator, and on FIRST where more than one gives it. A UTF-8
// byte-order mark and CRLF line ends are taken as they come.
namespace zeltor {

struct TableLine {
    std::size_t line = 0; // in the file, from 1
    Request request;      // the run's request, with this line's table in it
};

// Tables that share a text block: their strings are read once, from textStart.
struct TextBlock {
    std::uint32_t textStart = 0;
    std::vector<std::size_t> tables; // indexes into TableFile::tables, in the file's order
    // FIRST, from the first line of the block that gives it.
    std::optional<std::uint32_t> firstPointer;
    std::string firstPointerText;
};

struct TableFile {
    std::vector<TableLine> tables;
    std::vector<TextBlock> blocks; // in the order their first line comes
};

// Every line checked into a table, or the first bad line refused, naming its number and the
// field. `run` holds the ROM, the run's options (the file's name among them) and map.
std::variant<TableFile, Refusal> ParseTableFile(std::string_view text, const Request& run);

} // namespace zeltor
