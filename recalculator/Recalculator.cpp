#include "Recalculator.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <limits>
#include <utility>

namespace zeltor {

namespace {

// Big enough to stream a 64 MiB ROM quickly, small enough for a 32-bit process.
constexpr std::size_t kChunk = std::size_t{1} << 20;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Hex(std::uint64_t value, int minDigits = 1) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(digits.size()) < minDigits) {
        digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
    }
    return "0x" + digits;
}

std::string PadLeft(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

std::string PadRight(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, unsigned size) {
    std::uint32_t value = 0;
    for (unsigned i = size; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

void WriteLittleEndian(std::uint32_t value, unsigned size, std::uint8_t* bytes) {
    for (unsigned i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool IsOption(const std::string& arg) {
    return arg.size() > 1 && (arg.rfind("--", 0) == 0 || arg == "-h" || arg == "/?");
}

Refusal Bad(Exit code, std::string message) {
    return Refusal{code, std::move(message)};
}

void AddWarnings(Plan& plan) {
    const auto& e = plan.entries;
    std::size_t descents = 0;
    std::size_t firstDescent = 0;
    for (std::size_t k = 1; k < e.size(); ++k) {
        if (e[k].oldValue < e[k - 1].oldValue && descents++ == 0) {
            firstDescent = k;
        }
    }
    if (descents > 0) {
        plan.warnings.push_back(
            "AVISO: la tabla anterior no estaba en orden ascendente (" + std::to_string(descents) +
            " descenso(s); el primero en la entrada " + std::to_string(firstDescent) + ": " +
            Hex(e[firstDescent].oldValue) + " tras " + Hex(e[firstDescent - 1].oldValue) +
            "). Se ha recalculado en el orden de la tabla: revise que ese orden es el del texto.");
    }

    // Entries that shared a target now point to successive strings: list each group.
    std::vector<std::pair<std::uint32_t, std::size_t>> byValue;
    byValue.reserve(e.size());
    for (std::size_t k = 0; k < e.size(); ++k) {
        byValue.emplace_back(e[k].oldValue, k);
    }
    std::sort(byValue.begin(), byValue.end());
    constexpr std::size_t kListed = 10;
    std::size_t groups = 0;
    for (std::size_t i = 0; i < byValue.size();) {
        std::size_t j = i + 1;
        while (j < byValue.size() && byValue[j].first == byValue[i].first) {
            ++j;
        }
        if (j - i > 1 && groups++ < kListed) {
            std::string list;
            for (std::size_t m = i; m < j; ++m) {
                list += (m == i ? "" : ", ") + std::to_string(byValue[m].second);
            }
            plan.warnings.push_back("AVISO: las entradas " + list + " apuntaban al mismo sitio (" +
                                    Hex(byValue[i].first) +
                                    "); ahora apuntan a cadenas distintas.");
        }
        i = j;
    }
    if (groups > kListed) {
        plan.warnings.push_back("AVISO: y " + std::to_string(groups - kListed) +
                                " grupo(s) más de entradas compartidas.");
    }
}

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    return text;
}

std::string FormatReport(const Request& r, const Plan& plan) {
    std::string out;
    out.reserve(plan.entries.size() * 72 + 1024);
    out += "ROM: " + r.rom + "\n";
    out +=
        "Texto desde " + Hex(r.textStart) + ", tabla " + Hex(r.tableStart) + "-" + Hex(r.tableEnd) +
        ", punteros de " + std::to_string(r.size) + " bytes, separador " + Hex(r.separator, 2) +
        ", primer valor " +
        (r.first ? Hex(*r.first) + " (indicado)" : Hex(plan.entries[0].oldValue) + " (el actual)") +
        "\n\n";
    out += PadLeft("entrada", 8) + "  " + PadRight("tabla", 11) + PadRight("anterior", 11) +
           PadRight("nuevo", 11) + PadRight("cadena", 11) + "longitud\n";
    const int digits = static_cast<int>(r.size) * 2;
    std::size_t changed = 0;
    for (std::size_t k = 0; k < plan.entries.size(); ++k) {
        const Entry& e = plan.entries[k];
        changed += e.oldValue != e.newValue ? 1 : 0;
        out += PadLeft(std::to_string(k), 8) + "  " + PadRight(Hex(e.tableOffset, 6), 11) +
               PadRight(Hex(e.oldValue, digits), 11) + PadRight(Hex(e.newValue, digits), 11) +
               PadRight(Hex(e.stringOffset, 6), 11) + std::to_string(e.stringLength) +
               (e.oldValue != e.newValue ? "" : "  (igual)") + "\n";
    }
    out += "\n";
    for (const std::string& w : plan.warnings) {
        out += w + "\n";
    }
    out += "Resumen: " + std::to_string(plan.entries.size()) + " entradas, " +
           std::to_string(changed) + " cambian, " + std::to_string(plan.entries.size() - changed) +
           " quedan igual; texto de " + Hex(r.textStart) + " a " + Hex(plan.textEnd) + "; " +
           std::to_string(plan.warnings.size()) + " aviso(s).\n";
    return out;
}

// Copies the whole ROM to the first free name of juego.smc.bak, .bak1, .bak2, ...
bool MakeBackup(const std::string& rom, File& source, std::uint64_t size, FileSystem& files,
                std::string& backupPath, std::string& error) {
    std::unique_ptr<File> backup;
    for (int n = 0;; ++n) {
        if (n > 9999) {
            error = "no queda ningún nombre libre para la copia de seguridad";
            return false;
        }
        backupPath = rom + ".bak" + (n == 0 ? "" : std::to_string(n));
        const CreateResult result = files.CreateNew(backupPath, backup, error);
        if (result == CreateResult::Created) {
            break;
        }
        if (result == CreateResult::Failed) {
            return false;
        }
    }
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(size == 0 ? 1 : size, kChunk)));
    bool ok = true;
    for (std::uint64_t at = 0; ok && at < size;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - at, kChunk));
        ok = source.Read(at, buffer.data(), count) && backup->Write(at, buffer.data(), count);
        at += count;
    }
    ok = ok && backup->Flush();
    backup.reset();
    if (!ok) {
        error = "no se pudo copiar la ROM a " + backupPath;
        files.Remove(backupPath); // a partial copy must not pass for a backup later
        return false;
    }
    return true;
}

bool WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> back(bytes.size());
    return rom.Write(offset, bytes.data(), bytes.size()) && rom.Flush() &&
           rom.Read(offset, back.data(), back.size()) && back == bytes;
}

} // namespace

std::optional<std::uint32_t> ParseOffset(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        const int d = HexDigit(c);
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

std::optional<std::uint32_t> ParseLittleEndian(std::string_view text, unsigned size) {
    if (text.empty() || text.size() % 2 != 0 || text.size() > static_cast<std::size_t>(size) * 2) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        value |= static_cast<std::uint32_t>(high * 16 + low) << (4 * i);
    }
    return value;
}

std::variant<Arguments, Refusal> ParseArguments(const std::vector<std::string>& args) {
    Arguments parsed;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            parsed.help = true;
        } else if (arg == "--dry-run") {
            parsed.dryRun = true;
        } else if (IsOption(arg)) {
            return Bad(Exit::Usage, "opción desconocida «" + arg + "»");
        } else {
            positional.push_back(arg);
        }
    }
    if (parsed.help) {
        return parsed;
    }
    if (positional.size() != 6 && positional.size() != 7) {
        return Bad(Exit::Usage, "se esperaban 6 o 7 argumentos (ROM TEXTSTART TABLESTART "
                                "TABLEEND SIZE SEPARATOR [FIRST]) y hay " +
                                    std::to_string(positional.size()));
    }
    parsed.rom = positional[0];
    parsed.textStart = positional[1];
    parsed.tableStart = positional[2];
    parsed.tableEnd = positional[3];
    parsed.size = positional[4];
    parsed.separator = positional[5];
    if (positional.size() == 7) {
        parsed.first = positional[6];
    }
    return parsed;
}

std::variant<Request, Refusal> ParseRequest(const Arguments& a) {
    Request r;
    r.rom = a.rom;
    r.dryRun = a.dryRun;
    const std::pair<const std::string*, std::uint32_t*> offsets[] = {
        {&a.textStart, &r.textStart}, {&a.tableStart, &r.tableStart}, {&a.tableEnd, &r.tableEnd}};
    const char* names[] = {"TEXTSTART", "TABLESTART", "TABLEEND"};
    for (int i = 0; i < 3; ++i) {
        const auto value = ParseOffset(*offsets[i].first);
        if (!value) {
            return Bad(Exit::BadField,
                       std::string(names[i]) + " «" + *offsets[i].first +
                           "» no es un desplazamiento hexadecimal válido (cifras 0-9 y A-F, "
                           "hasta FFFFFFFF)");
        }
        *offsets[i].second = *value;
    }
    if (a.size != "2" && a.size != "3" && a.size != "4") {
        return Bad(Exit::BadField, "SIZE «" + a.size + "» debe ser 2, 3 o 4");
    }
    r.size = static_cast<unsigned>(a.size[0] - '0');
    const auto separator = ParseOffset(a.separator);
    if (a.separator.size() > 2 || !separator) {
        return Bad(Exit::BadField,
                   "SEPARATOR «" + a.separator + "» debe ser un byte en hexadecimal (00 a FF)");
    }
    r.separator = static_cast<std::uint8_t>(*separator);
    if (a.first) {
        r.first = ParseLittleEndian(*a.first, r.size);
        if (!r.first) {
            return Bad(Exit::BadField,
                       "FIRST «" + *a.first + "» debe dar los bytes del primer puntero tal como " +
                           "están en la ROM: un número par de cifras hexadecimales, como mucho " +
                           std::to_string(2 * r.size));
        }
    }
    return r;
}

std::variant<Plan, Refusal> MakePlan(const Request& r, File& rom) {
    std::uint64_t fileSize = 0;
    if (!rom.Size(fileSize)) {
        return Bad(Exit::CannotOpen, "no se pudo leer el tamaño de " + r.rom);
    }
    if (r.tableEnd < r.tableStart) {
        return Bad(Exit::BadTable, "el final de la tabla (" + Hex(r.tableEnd) +
                                       ") está antes de su inicio (" + Hex(r.tableStart) + ")");
    }
    const std::uint64_t span = std::uint64_t{r.tableEnd} - r.tableStart + 1;
    if (span % r.size != 0) {
        return Bad(Exit::BadTable, "la tabla mide " + std::to_string(span) +
                                       " bytes, que no son un número entero de punteros de " +
                                       std::to_string(r.size) + " bytes");
    }
    if (r.tableEnd >= fileSize) {
        return Bad(Exit::BadTable, "la tabla (" + Hex(r.tableStart) + "-" + Hex(r.tableEnd) +
                                       ") queda fuera del archivo, que mide " +
                                       std::to_string(fileSize) + " bytes");
    }
    if (r.textStart >= r.tableStart && r.textStart <= r.tableEnd) {
        return Bad(Exit::BadTable, "el texto (" + Hex(r.textStart) +
                                       ") empieza dentro de la tabla (" + Hex(r.tableStart) + "-" +
                                       Hex(r.tableEnd) + ")");
    }
    if (r.textStart >= fileSize) {
        return Bad(Exit::TextTooShort, "el texto empieza en " + Hex(r.textStart) +
                                           ", pero el archivo solo mide " +
                                           std::to_string(fileSize) + " bytes");
    }
    if (span > std::numeric_limits<std::size_t>::max()) {
        return Bad(Exit::BadTable, "la tabla es demasiado grande para este sistema");
    }
    const std::uint64_t count = span / r.size;

    Plan plan;
    plan.oldTable.resize(static_cast<std::size_t>(span));
    if (!rom.Read(r.tableStart, plan.oldTable.data(), plan.oldTable.size())) {
        return Bad(Exit::CannotOpen, "no se pudo leer la tabla de " + r.rom);
    }
    plan.entries.reserve(static_cast<std::size_t>(count));

    // Strings may not run into a table that follows the text.
    const bool tableAfterText = r.tableStart > r.textStart;
    const std::uint64_t limit = tableAfterText ? r.tableStart : fileSize;
    std::vector<std::uint8_t> buffer(kChunk);
    std::uint64_t current = r.textStart;
    for (std::uint64_t at = r.textStart; plan.entries.size() < count && at < limit;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - at, kChunk));
        if (!rom.Read(at, buffer.data(), n)) {
            return Bad(Exit::CannotOpen, "no se pudo leer el texto de " + r.rom);
        }
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* end = p + n;
        while (plan.entries.size() < count) {
            const void* hit = std::memchr(p, r.separator, static_cast<std::size_t>(end - p));
            if (hit == nullptr) {
                break;
            }
            const std::uint64_t sep =
                at +
                static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - buffer.data());
            const std::size_t k = plan.entries.size();
            plan.entries.push_back(Entry{r.tableStart + std::uint64_t{k} * r.size,
                                         ReadLittleEndian(&plan.oldTable[k * r.size], r.size), 0,
                                         current, sep - current});
            plan.textEnd = sep;
            current = sep + 1;
            p = static_cast<const std::uint8_t*>(hit) + 1;
        }
        at += n;
    }
    if (plan.entries.size() < count) {
        const std::string found =
            std::to_string(plan.entries.size()) + " de las " + std::to_string(count) + " cadenas";
        if (tableAfterText) {
            return Bad(Exit::BadTable, "el texto se solapa con la tabla: al llegar a la tabla (" +
                                           Hex(r.tableStart) + ") solo se han encontrado " + found);
        }
        return Bad(Exit::TextTooShort, "el archivo termina después de solo " + found);
    }

    const std::uint64_t first = r.first ? *r.first : plan.entries[0].oldValue;
    const std::uint64_t max = (std::uint64_t{1} << (8 * r.size)) - 1;
    plan.newTable.resize(plan.oldTable.size());
    for (std::size_t k = 0; k < plan.entries.size(); ++k) {
        Entry& e = plan.entries[k];
        const std::uint64_t value = first + (e.stringOffset - r.textStart);
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " +
                                           std::to_string(r.size) + " bytes (máximo " + Hex(max) +
                                           ")");
        }
        e.newValue = static_cast<std::uint32_t>(value);
        WriteLittleEndian(e.newValue, r.size, &plan.newTable[k * r.size]);
    }
    AddWarnings(plan);
    return plan;
}

std::string LogPath(const std::string& rom) {
    return rom + ".zeltor.log";
}

int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err) {
    if (args.size() == 1 && args[0] == "--version") {
        out << "Zeltor " << ZELTOR_VERSION << "\n";
        return static_cast<int>(Exit::Ok);
    }
    if (args.empty()) {
        out << HelpText();
        return static_cast<int>(Exit::Usage);
    }
    const auto parsed = ParseArguments(args);
    if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
        err << "Zeltor: ERROR " << static_cast<int>(refusal->code) << ": " << refusal->message
            << ". Use --help para ver la ayuda.\n";
        return static_cast<int>(refusal->code);
    }
    const Arguments& arguments = std::get<Arguments>(parsed);
    if (arguments.help) {
        out << HelpText();
        return static_cast<int>(Exit::Ok);
    }

    // The front-end never shows the console, so every run leaves its story in the log.
    const std::string logPath = LogPath(arguments.rom);
    std::string invocation = "Zeltor";
    for (const std::string& a : args) {
        invocation += " " + a;
    }
    const std::string header = "=== " + Timestamp() + " · " + invocation + "\n";
    const auto log = [&](const std::string& text) {
        if (!files.AppendText(logPath, header + text + "\n")) {
            err << "Zeltor: aviso: no se pudo escribir el registro " << logPath << "\n";
        }
    };
    const auto refuse = [&](const Refusal& refusal) {
        const std::string line = "ERROR " + std::to_string(static_cast<int>(refusal.code)) + ": " +
                                 refusal.message + ".";
        err << "Zeltor: " << line << "\n";
        log(line + " La ROM no se ha modificado.");
        return static_cast<int>(refusal.code);
    };

    const auto request = ParseRequest(arguments);
    if (const auto* refusal = std::get_if<Refusal>(&request)) {
        return refuse(*refusal);
    }
    const Request& r = std::get<Request>(request);

    std::string error;
    const std::unique_ptr<File> rom = files.Open(r.rom, !r.dryRun, error);
    if (!rom) {
        return refuse(Refusal{Exit::CannotOpen, "no se puede abrir " + r.rom +
                                                    (r.dryRun ? "" : " para escribir") + ": " +
                                                    error});
    }
    auto planned = MakePlan(r, *rom);
    if (const auto* refusal = std::get_if<Refusal>(&planned)) {
        return refuse(*refusal);
    }
    const Plan& plan = std::get<Plan>(planned);
    std::string report = FormatReport(r, plan);

    if (r.dryRun) {
        report += "Simulación (--dry-run): no se ha escrito nada.\n";
    } else if (plan.newTable == plan.oldTable) {
        report += "La tabla ya estaba al día: no se ha escrito nada.\n";
    } else {
        std::uint64_t size = 0;
        std::string backupPath;
        if (!rom->Size(size) || !MakeBackup(r.rom, *rom, size, files, backupPath, error)) {
            out << report;
            return refuse(Refusal{Exit::WriteFailed, "no se pudo hacer la copia de seguridad: " +
                                                         error + "; no se ha escrito nada"});
        }
        if (!WriteAndCheck(*rom, r.tableStart, plan.newTable)) {
            out << report;
            // Only the table's bytes were touched, so putting them back restores the ROM.
            if (WriteAndCheck(*rom, r.tableStart, plan.oldTable)) {
                return refuse(Refusal{Exit::WriteFailed,
                                      "falló la escritura o la comprobación de la tabla; se han "
                                      "repuesto los bytes originales (copia en " +
                                          backupPath + ")"});
            }
            const std::string line =
                "ERROR 8: falló la escritura de la tabla y no se pudieron reponer los bytes "
                "originales. La ROM puede estar dañada: recupérela de la copia " +
                backupPath + ".";
            err << "Zeltor: " << line << "\n";
            log(report + line);
            return static_cast<int>(Exit::RestoreFailed);
        }
        report += "Copia de seguridad: " + backupPath + "\n";
        report += "Tabla escrita y comprobada: " + std::to_string(plan.newTable.size()) +
                  " bytes en " + Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n";
    }
    out << report;
    log(report);
    return static_cast<int>(Exit::Ok);
}

std::string HelpText() {
    return R"(Zeltor: recalcula la tabla de punteros de una ROM después de traducir sus textos.

Uso:  Zeltor ROM TEXTSTART TABLESTART TABLEEND SIZE SEPARATOR [FIRST] [--dry-run]
      Zeltor --help
      Zeltor --version

  ROM         el archivo de la ROM.
  TEXTSTART   desplazamiento en el archivo donde empieza el texto (hexadecimal).
  TABLESTART  desplazamiento del primer byte de la tabla de punteros (hexadecimal).
  TABLEEND    desplazamiento del ÚLTIMO byte de la tabla, incluido (hexadecimal).
  SIZE        bytes por puntero: 2, 3 o 4.
  SEPARATOR   byte que termina cada cadena, en hexadecimal (por ejemplo 00 o FF).
  FIRST       valor del primer puntero, escrito con los bytes tal como están en la ROM
              (little endian): "00a0" es 0xA000. Sin FIRST se usa el valor que tiene ahora
              la entrada 0.
  --dry-run   no escribe nada: solo calcula y muestra el informe.

Los desplazamientos son posiciones dentro del archivo, sin prefijo 0x.
La tabla tiene N = (TABLEEND - TABLESTART + 1) / SIZE entradas; la división debe ser exacta.
Se leen N cadenas seguidas desde TEXTSTART; cada una acaba en el byte SEPARATOR (las cadenas
vacías también cuentan). La entrada k pasa a valer FIRST + (inicio de la cadena k - TEXTSTART),
escrita en little endian en SIZE bytes.

Seguridad: antes de escribir se copia la ROM a ROM.bak (o .bak1, .bak2... sin pisar nunca una
copia anterior). Solo se escriben los bytes de la tabla, que se vuelven a leer y comprobar.
Si algo falla, la ROM queda exactamente como estaba.

Informe: una línea por entrada (índice, posición en la tabla, valor anterior, valor nuevo,
inicio y longitud de la cadena) y un resumen, en pantalla y en ROM.zeltor.log junto a la ROM.
Avisa (sin negarse) si la tabla anterior no estaba en orden ascendente o si dos entradas
apuntaban al mismo sitio: al recalcular en orden dejan de compartirlo.

Códigos de salida:
  0  hecho (o simulación correcta, o la tabla ya estaba al día)
  1  uso incorrecto: número de argumentos u opción desconocida
  2  campo incorrecto: hexadecimal no válido, SIZE distinto de 2, 3 o 4, SEPARATOR o FIRST mal
  3  tabla incorrecta: final antes del inicio, no es un número entero de punteros, fuera del
     archivo o solapada con el texto
  4  el archivo termina antes de encontrar las N cadenas
  5  un valor nuevo no cabe en SIZE bytes
  6  no se puede abrir la ROM (para escribir, salvo con --dry-run)
  7  falló la copia de seguridad, la escritura o la comprobación; la ROM quedó como estaba
  8  falló la escritura y no se pudo reponer la ROM: recupérela de la copia .bak indicada
)";
}

} // namespace zeltor
