#include "zeltor/words/TableFile.h"

#include "portable/Hex.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace zeltor {

namespace {

using Words = std::vector<std::string_view>;

Words Split(std::string_view line) {
    Words words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) {
            break;
        }
        at = std::min(line.find_first_of(" \t\r", start), line.size());
        words.push_back(line.substr(start, at - start));
    }
    return words;
}

class LineReader {
public:
    LineReader(const Request& run, std::size_t number) : m_Number(number), m_Request(run) {}

    // "línea 3 de «tablas.txt»: ", before every refusal about the line.
    static std::string Where(const Request& run, std::size_t number) {
        const auto& file = run.options.tables;
        return "línea " + std::to_string(number) + (file ? " de " + Quote(*file) : "") + ": ";
    }

    std::variant<TableLine, Refusal> Read(const Words& words) {
        std::size_t at = 0;
        if (auto refusal = ReadOptions(words, at)) {
            return *refusal;
        }
        const std::size_t count = words.size() - at;
        if (count != 5 && count != 6) {
            return Refuse(Exit::Usage,
                          "se esperaban 5 o 6 campos (el inicio del texto, el inicio y el fin de "
                          "la tabla, el tamaño, el separador y, si se quiere, el primer puntero) "
                          "y hay " +
                              std::to_string(count));
        }
        RecalcFields fields;
        for (std::string* field : {&fields.textStart, &fields.tableStart, &fields.tableEnd,
                                   &fields.pointerSize, &fields.separator}) {
            *field = words[at++];
        }
        if (at < words.size()) {
            fields.firstPointer = std::string(words[at]);
        }
        if (auto refusal = ReadFields(fields, m_Request)) {
            return Refuse(refusal->code, refusal->message);
        }
        const auto entries = CountEntries(m_Request.Place(), m_Request.Format());
        if (const auto* refusal = std::get_if<Refusal>(&entries)) {
            return Refuse(refusal->code, refusal->message);
        }
        return TableLine{m_Number, m_Request};
    }

private:
    Refusal Refuse(Exit code, const std::string& message) const {
        return Bad(code, Where(m_Request, m_Number) + message);
    }

    std::optional<Refusal> ReadOptions(const Words& words, std::size_t& at) {
        for (; at < words.size() && words[at].size() > 1 && words[at][0] == '-'; ++at) {
            const std::string_view option = words[at];
            if (option == "--big-endian" || option == "--split") {
                (option == "--split" ? m_Request.split : m_Request.bigEndian) = true;
            } else if (option == "--run") {
                if (at + 1 == words.size()) {
                    return Refuse(Exit::Usage, "falta la posición de «--run»");
                }
                const std::optional<std::uint32_t> run = ParseOffset(words[++at]);
                if (!run) {
                    return Refuse(Exit::BadField,
                                  "la posición " + Quote(words[at], kFieldLimit) +
                                      " de --run no es una posición hexadecimal válida (cifras 0-9 "
                                      "y A-F, hasta FFFFFFFF)");
                }
                m_Request.runs.push_back(*run);
            } else if (option == "--map" || option == "--force" || option == "--dry-run" ||
                       option == "--tables") {
                return Refuse(Exit::Usage, Quote(option, kFieldLimit) +
                                               " vale para toda la pasada: va en la orden, antes "
                                               "de la ROM, no en una línea del archivo de tablas");
            } else {
                return Refuse(Exit::Usage, "la opción " + Quote(option, kFieldLimit) +
                                               " no existe: una línea admite --big-endian, "
                                               "--split y --run");
            }
        }
        return std::nullopt;
    }

    std::size_t m_Number;
    Request m_Request;
};

// The first line of `block` that gives FIRST.
const TableLine& GivesFirst(const TableFile& file, const TextBlock& block) {
    for (const std::size_t t : block.tables) {
        if (file.tables[t].request.firstPointer) {
            return file.tables[t];
        }
    }
    return file.tables[block.tables.front()];
}

// Why `table` cannot share the text block that earlier lines have opened, if it cannot.
std::optional<Refusal> Disagreement(const TableFile& file, const TextBlock& block,
                                    const TableLine& table, const Request& run) {
    const TableLine* other = &file.tables[block.tables.front()];
    const Request& a = table.request;
    const Request& b = other->request;
    std::string ours, theirs, what;
    if (a.pointerSize != b.pointerSize) {
        what = "punteros de ";
        ours = a.pointerSize.Text() + " bytes";
        theirs = b.pointerSize.Text() + " bytes";
    } else if (a.Format() != b.Format()) {
        what = "formato ";
        ours = FormatName(a.Format());
        theirs = FormatName(b.Format());
    } else if (a.separator != b.separator) {
        what = "separador ";
        ours = HexDigits(a.separator, 2);
        theirs = HexDigits(b.separator, 2);
    } else if (a.firstPointer && block.firstPointer && *a.firstPointer != *block.firstPointer) {
        other = &GivesFirst(file, block);
        what = "primer puntero ";
        ours = Quote(a.firstPointerText, kFieldLimit);
        theirs = Quote(block.firstPointerText, kFieldLimit);
    } else {
        return std::nullopt;
    }
    const std::string line = std::to_string(other->line);
    return Bad(Exit::BadField, LineReader::Where(run, table.line) + "la tabla comparte el texto (" +
                                   Hex(a.textStart) + ") con la de la línea " + line +
                                   ", pero tiene " + what + ours + " y la de la línea " + line +
                                   ", " + theirs +
                                   ": las tablas de un mismo texto deben coincidir en eso");
}

// Puts the newest table into the block of its text, unless it cannot share it.
std::optional<Refusal> Join(TableFile& file, std::map<std::uint32_t, std::size_t>& blockOf,
                            const Request& run) {
    const std::size_t index = file.tables.size() - 1;
    const Request& r = file.tables[index].request;
    const auto [found, isNew] = blockOf.emplace(r.textStart, file.blocks.size());
    if (isNew) {
        file.blocks.push_back(TextBlock{r.textStart, {}, std::nullopt, {}});
    }
    TextBlock& block = file.blocks[found->second];
    if (!isNew) {
        if (auto refusal = Disagreement(file, block, file.tables[index], run)) {
            return refusal;
        }
    }
    block.tables.push_back(index);
    if (r.firstPointer && !block.firstPointer) {
        block.firstPointer = r.firstPointer;
        block.firstPointerText = r.firstPointerText;
    }
    return std::nullopt;
}

// Two tables over the same bytes would be written twice, the second over the first.
class Overlaps {
public:
    std::optional<Refusal> Add(const TableLine& table, const Request& run) {
        const Request& r = table.request;
        const auto entries = std::get<std::uint64_t>(CountEntries(r.Place(), r.Format()));
        const std::vector<Piece> pieces = TablePieces(r.Place(), r.Format(), entries);
        for (const Piece& piece : pieces) {
            const std::uint64_t last = piece.start + piece.size - 1;
            auto next = m_Taken.upper_bound(last);
            if (next != m_Taken.begin() && std::prev(next)->second.last >= piece.start) {
                const Taken& taken = std::prev(next)->second;
                return Bad(Exit::BadTable,
                           LineReader::Where(run, table.line) + "la tabla (" + Hex(piece.start) +
                               "-" + Hex(last) + ") se solapa con la de la línea " +
                               std::to_string(taken.line) + " (" + Hex(std::prev(next)->first) +
                               "-" + Hex(taken.last) + ")");
            }
        }
        for (const Piece& piece : pieces) {
            m_Taken[piece.start] = Taken{piece.start + piece.size - 1, table.line};
        }
        return std::nullopt;
    }

private:
    struct Taken {
        std::uint64_t last;
        std::size_t line;
    };
    std::map<std::uint64_t, Taken> m_Taken; // by first byte; none overlaps another
};

// A file saved as UTF-16 (Notepad's "Unicode") starts with its byte-order mark.
bool Utf16(std::string_view text) {
    return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
}

} // namespace

std::variant<TableFile, Refusal> ParseTableFile(std::string_view text, const Request& run) {
    const std::string name = run.options.tables ? Quote(*run.options.tables) : "de tablas";
    if (Utf16(text)) {
        return Bad(Exit::Usage, "el archivo " + name +
                                    " está en UTF-16: guárdelo como UTF-8 y vuelva a intentarlo");
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    TableFile file;
    std::map<std::uint32_t, std::size_t> blockOf;
    Overlaps overlaps;
    for (std::size_t number = 1; !text.empty(); ++number) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const Words words = Split(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (words.empty() || words[0].starts_with('#')) {
            continue;
        }
        auto table = LineReader(run, number).Read(words);
        if (const auto* refusal = std::get_if<Refusal>(&table)) {
            return *refusal;
        }
        file.tables.push_back(std::move(std::get<TableLine>(table)));
        if (auto refusal = overlaps.Add(file.tables.back(), run)) {
            return *refusal;
        }
        if (auto refusal = Join(file, blockOf, run)) {
            return *refusal;
        }
    }
    if (file.tables.empty()) {
        return Bad(Exit::Usage, "el archivo " + name +
                                    " no tiene ninguna tabla: cada tabla va en una línea, "
                                    "TEXTO INICIO FIN TAMAÑO SEPARADOR [PRIMERO]");
    }
    return file;
}

} // namespace zeltor
