#include "zeltor/words/Arguments.h"

#include "portable/FieldNames.h"
#include "portable/Hex.h"
#include "zeltor/words/Text.h"

#include <cctype>
#include <limits>

namespace zeltor {

std::optional<std::uint32_t> ParseOffset(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        // Unlike the window's reader, a character that is not a digit is refused: on a command
        // line it is a mistake to report.
        const int d = HexDigitValue(c);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(d);
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> ParseLittleEndian(std::string_view text, PointerSize size) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > size.Digits()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        value |= static_cast<std::uint32_t>(high * 16 + low) << (4 * i);
    }
    return value;
}

Refusal OptionAfterRom(const std::string& option) {
    return Bad(Exit::Usage, Quote(option, kFieldLimit) +
                                " está después de la ROM, donde solo van los campos: las opciones "
                                "van antes de la ROM (Zeltor [opciones] ROM TEXTO ...)");
}

bool LooksLikeOption(std::string_view text) {
    return text == "-h" || text == "-?" ||
           (text.size() > 2 && text.substr(0, 2) == "--" &&
            std::isalpha(static_cast<unsigned char>(text[2])) != 0);
}

std::optional<std::string> OptionAmongFields(const std::vector<std::string>& args) {
    std::size_t k = 0;
    while (k < args.size() && args[k].size() > 1 && args[k].front() == '-' && args[k] != "--") {
        k += args[k] == "--map" || args[k] == "--tables" ? 2 : 1;
    }
    k += k < args.size() && args[k] == "--" ? 2 : 1; // the ROM
    for (; k < args.size(); ++k) {
        if (LooksLikeOption(args[k])) {
            return args[k];
        }
    }
    return std::nullopt;
}

Refusal UsageRefusal(const ArgumentsError& error) {
    switch (error.kind) {
    case ArgumentsError::Kind::UnknownOption:
        return Bad(Exit::Usage, "la opción " + Quote(error.option, kFieldLimit) +
                                    " no existe. Use --help para ver la ayuda");
    case ArgumentsError::Kind::MissingValue:
        return Bad(Exit::Usage, "falta el valor de la opción " + Quote(error.option, kFieldLimit) +
                                    ". Use --help para ver la ayuda");
    case ArgumentsError::Kind::TablesFieldCount:
        return Bad(Exit::Usage, "con --tables, tras las opciones solo va la ROM (cada tabla va en "
                                "una línea del archivo de tablas) y hay " +
                                    Count(error.fieldCount, "argumento", "argumentos") +
                                    ". Use --help para ver la ayuda");
    case ArgumentsError::Kind::FieldCount:
        break;
    }
    return Bad(Exit::Usage,
               "tras las opciones se esperaban 6 o 7 argumentos (la ROM, el inicio del "
               "texto, el inicio y el fin de la tabla, el tamaño, el separador y, si "
               "se quiere, el primer puntero) y hay " +
                   std::to_string(error.fieldCount) + ". Use --help para ver la ayuda");
}

namespace {

std::optional<Refusal> ParseOffsets(const RecalcFields& f, Request& r) {
    const std::pair<const std::string*, std::uint32_t*> offsets[] = {
        {&f.textStart, &r.textStart}, {&f.tableStart, &r.tableStart}, {&f.tableEnd, &r.tableEnd}};
    const char* names[] = {"el inicio del texto", "el inicio de la tabla", "el fin de la tabla"};
    const Field fields[] = {Field::TextStart, Field::TableStart, Field::TableEnd};
    for (int i = 0; i < 3; ++i) {
        const auto value = ParseOffset(*offsets[i].first);
        if (!value) {
            return Bad(Exit::BadField,
                       std::string(names[i]) + " " + Quote(*offsets[i].first, kFieldLimit) +
                           " no es una posición hexadecimal válida (cifras 0-9 y A-F, hasta "
                           "FFFFFFFF): revise " +
                           FieldName(fields[i]));
        }
        *offsets[i].second = *value;
    }
    return std::nullopt;
}

} // namespace

std::variant<Request, Refusal> ReadRunOptions(const RecalcArguments& a) {
    Request r;
    r.romName = a.fields.romName;
    r.options = a.options;
    r.bigEndian = a.options.bigEndian;
    r.split = a.options.split;
    if (a.options.map) {
        r.map = MapFromName(*a.options.map);
        if (!r.map) {
            return Bad(Exit::Usage, "el mapa " + Quote(*a.options.map, kFieldLimit) +
                                        " no existe: --map admite " + MapNames());
        }
    }
    return r;
}

std::optional<Refusal> ReadFields(const RecalcFields& f, Request& r) {
    // A field that reads like an option is an option written after the ROM.
    for (const std::string* field :
         {&f.textStart, &f.tableStart, &f.tableEnd, &f.pointerSize, &f.separator}) {
        if (LooksLikeOption(*field)) {
            return OptionAfterRom(*field);
        }
    }
    if (f.firstPointer && LooksLikeOption(*f.firstPointer)) {
        return OptionAfterRom(*f.firstPointer);
    }
    if (auto refusal = ParseOffsets(f, r)) {
        return refusal;
    }
    const std::optional<PointerSize> size = PointerSize::FromText(f.pointerSize);
    if (!size) {
        return Bad(Exit::BadField, "el tamaño " + Quote(f.pointerSize, kFieldLimit) +
                                       " debe ser 2, 3 o 4: revise " +
                                       FieldName(Field::PointerSize));
    }
    r.pointerSize = *size;
    const auto separator = ParseOffset(f.separator);
    if (f.separator.size() > 2 || !separator) {
        return Bad(Exit::BadField, "el separador " + Quote(f.separator, kFieldLimit) +
                                       " debe ser un byte en hexadecimal (00 a FF): revise " +
                                       FieldName(Field::Separator));
    }
    r.separator = static_cast<std::uint8_t>(*separator);
    if (f.firstPointer) {
        r.firstPointerText = *f.firstPointer;
        r.firstPointer = FirstPointerValue(*f.firstPointer, r.Format());
        if (!r.firstPointer) {
            // As many digits as another size gives: that size may be the one mistyped.
            const std::size_t digits = f.firstPointer->size();
            const bool otherSize = digits % 2 == 0 && digits / 2 >= 2 && digits / 2 <= 4 &&
                                   digits / 2 != r.pointerSize.Bytes();
            return Bad(Exit::BadField, "el primer puntero " + Quote(*f.firstPointer, kFieldLimit) +
                                           " " + FirstPointerRule(r.Format()) + ": revise " +
                                           FieldName(Field::FirstPointer) +
                                           (otherSize ? ", o " + FieldName(Field::PointerSize) +
                                                            " si los punteros son de " +
                                                            std::to_string(digits / 2) + " bytes"
                                                      : std::string()));
        }
    }
    return std::nullopt;
}

std::variant<Request, Refusal> ReadRequest(const RecalcArguments& a) {
    auto request = ReadRunOptions(a);
    if (auto* r = std::get_if<Request>(&request)) {
        if (auto refusal = ReadFields(a.fields, *r)) {
            return *refusal;
        }
    }
    return request;
}

std::variant<Request, Refusal> ParseRequest(const RecalcArguments& a) {
    return ReadRequest(a);
}

} // namespace zeltor
