#include "zeltor/Recalculator.h"

#include "portable/QuoteArgument.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace zeltor {

namespace {

// Big enough to stream a 64 MiB ROM quickly, small enough for a 32-bit process.
constexpr std::size_t kChunk = std::size_t{1} << 20;
// The backup's copy goes through a buffer that stays in the processor's cache: a 1 MiB one
// made the copy about twice as slow as `cp`.
constexpr std::size_t kCopyChunk = std::size_t{1} << 18;

// Every line stays under 300 characters, so that a message box or a log viewer shows it
// whole. Texts that come from outside are shortened in the middle to these lengths.
constexpr std::size_t kNameLimit = 80;   // a file name
constexpr std::size_t kFieldLimit = 20;  // a field as typed
constexpr std::size_t kSystemLimit = 48; // the system's own words about a failure
// A warning that lists entries names at most this many, in at most this many characters.
constexpr std::size_t kListedEntries = 20;
constexpr std::size_t kListBudget = 140;
// The report reaches the log and stdout in pieces, so its size never adds to the plan's.
constexpr std::size_t kPiece = std::size_t{1} << 18;

const char kOffsetsNote[] =
    "; los desplazamientos son posiciones dentro del archivo, no direcciones de la consola";

// A character that is not a hexadecimal digit is refused: on a command line it is a mistake
// to report. The window's HexToLong (request/HexWorks.cpp) counts it as 0 on purpose.
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

// "1 entrada", "3 entradas".
std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
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

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Characters, not bytes, of UTF-8 text.
std::size_t Characters(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

// The byte where character `n` begins.
std::size_t ByteOfCharacter(std::string_view text, std::size_t n) {
    std::size_t at = 0;
    for (std::size_t seen = 0; at < text.size(); ++at) {
        if (!IsContinuation(text[at]) && seen++ == n) {
            return at;
        }
    }
    return at;
}

// Text from outside as it may appear in a line: control characters (a newline would split
// the line) become '?', and a long text loses its middle.
std::string Shown(std::string_view text, std::size_t limit) {
    std::string clean(text);
    for (char& c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    const std::size_t length = Characters(clean);
    if (length <= limit) {
        return clean;
    }
    const std::size_t head = (limit - 1) / 2;
    const std::size_t tail = limit - 1 - head;
    return clean.substr(0, ByteOfCharacter(clean, head)) + "…" +
           clean.substr(ByteOfCharacter(clean, length - tail));
}

std::string Quote(std::string_view text, std::size_t limit = kNameLimit) {
    return "«" + Shown(text, limit) + "»";
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

// A value's bytes as they stand in the ROM, the way FIRST is typed: 0x0082 is "8200".
std::string AsTyped(std::uint32_t value, unsigned size) {
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        text += Hex((value >> (8 * i)) & 0xFF, 2).substr(2);
    }
    return text;
}

std::uint32_t Reversed(std::uint32_t value, unsigned size) {
    std::uint32_t reversed = 0;
    for (unsigned i = 0; i < size; ++i) {
        reversed = (reversed << 8) | ((value >> (8 * i)) & 0xFF);
    }
    return reversed;
}

Refusal Bad(Exit code, std::string message) {
    return Refusal{code, std::move(message)};
}

std::string ErrorLine(const Refusal& refusal) {
    return "ERROR " + std::to_string(static_cast<int>(refusal.code)) + ": " + refusal.message + ".";
}

std::uint32_t OldValue(const Request& r, const Plan& plan, std::size_t k) {
    return ReadLittleEndian(&plan.oldTable[k * r.pointerSize], r.pointerSize);
}

void WarnAboutOrder(const Request& r, Plan& plan) {
    const std::size_t n = plan.starts.size();
    std::size_t descents = 0;
    std::size_t firstDescent = 0;
    for (std::size_t k = 1; k < n; ++k) {
        if (OldValue(r, plan, k) < OldValue(r, plan, k - 1) && descents++ == 0) {
            firstDescent = k;
        }
    }
    if (descents > 0) {
        const int digits = static_cast<int>(r.pointerSize) * 2;
        plan.warnings.push_back(
            "Aviso: la tabla anterior no estaba en orden ascendente (" +
            Count(descents, "descenso", "descensos") + "; el primero en la entrada " +
            std::to_string(firstDescent) + ": " + Hex(OldValue(r, plan, firstDescent), digits) +
            " tras " + Hex(OldValue(r, plan, firstDescent - 1), digits) +
            "); se ha recalculado en el orden de la tabla, así que revise que es el del texto.");
    }
}

// Entries that shared a target now point to successive strings: one line names the groups,
// at most kListedEntries entries of them.
void WarnAboutSharing(const Request& r, Plan& plan) {
    const std::size_t n = plan.starts.size();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> byValue; // (old value, index)
    byValue.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        byValue.emplace_back(OldValue(r, plan, k), static_cast<std::uint32_t>(k));
    }
    std::sort(byValue.begin(), byValue.end());
    std::vector<std::pair<std::size_t, std::size_t>> groups; // [begin, end) in byValue
    std::size_t shared = 0;
    for (std::size_t i = 0; i < byValue.size();) {
        std::size_t j = i + 1;
        while (j < byValue.size() && byValue[j].first == byValue[i].first) {
            ++j;
        }
        if (j - i > 1) {
            groups.emplace_back(i, j);
            shared += j - i;
        }
        i = j;
    }
    if (groups.empty()) {
        return;
    }
    std::sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) {
        return byValue[a.first].second < byValue[b.first].second;
    });
    const int digits = static_cast<int>(r.pointerSize) * 2;
    const bool oneGroup = groups.size() == 1;
    std::string list;
    std::size_t listed = 0;
    for (const auto& [begin, end] : groups) {
        std::string part;
        for (std::size_t m = begin; m < end; ++m) {
            if (listed == kListedEntries || list.size() + part.size() > kListBudget) {
                break;
            }
            part += (part.empty() ? "" : ", ") + std::to_string(byValue[m].second);
            ++listed;
        }
        if (part.empty()) {
            break;
        }
        list += (list.empty() ? "" : "; ") + part +
                (oneGroup ? "" : " (" + Hex(byValue[begin].first, digits) + ")");
    }
    const std::string more =
        listed < shared ? " y " + std::to_string(shared - listed) + " más" : "";
    if (oneGroup) {
        plan.warnings.push_back(
            "Aviso: las entradas " + list + more + " apuntaban al mismo sitio (" +
            Hex(byValue[groups[0].first].first, digits) + "); ahora apuntan a cadenas distintas.");
    } else {
        plan.warnings.push_back("Aviso: había entradas que apuntaban al mismo sitio y ahora "
                                "apuntan a cadenas distintas: " +
                                list + more + ".");
    }
}

// FIRST is typed as the bytes stand; typed the other way round it still passes as a number.
void WarnAboutFirst(const Request& r, Plan& plan) {
    const std::uint32_t current = OldValue(r, plan, 0);
    if (!r.firstPointer || *r.firstPointer == current) {
        return;
    }
    const int digits = static_cast<int>(r.pointerSize) * 2;
    std::string line = "Aviso: el primer valor indicado, " +
                       AsTyped(*r.firstPointer, r.pointerSize) + " (" +
                       Hex(*r.firstPointer, digits) + "), no es el que tiene ahora la entrada 0, " +
                       AsTyped(current, r.pointerSize) + " (" + Hex(current, digits) + ")";
    if (Reversed(*r.firstPointer, r.pointerSize) == current) {
        line += "; parece escrito con los bytes al revés: tal como están en la ROM se escribe " +
                AsTyped(current, r.pointerSize) + ".";
    } else {
        line += "; todas las entradas se han calculado a partir del indicado.";
    }
    plan.warnings.push_back(line);
}

// A table end one entry short leaves the last entry stale: the bytes after TABLEEND, read as
// one more entry, would then look like a pointer of this table.
void WarnAboutTableEnd(const Request& r, Plan& plan, File& rom, std::uint64_t fileSize) {
    const std::uint64_t next = std::uint64_t{r.tableEnd} + 1;
    const std::uint64_t nextLast = next + r.pointerSize - 1;
    const std::uint64_t textStart = r.textStart;
    if (nextLast >= fileSize || (next <= plan.textEnd && nextLast >= textStart)) {
        return;
    }
    std::uint8_t bytes[4] = {};
    if (!rom.Read(next, bytes, r.pointerSize)) {
        return;
    }
    const std::uint32_t value = ReadLittleEndian(bytes, r.pointerSize);
    const std::uint32_t firstOld = OldValue(r, plan, 0);
    const std::uint32_t lastOld = OldValue(r, plan, plan.starts.size() - 1);
    const int digits = static_cast<int>(r.pointerSize) * 2;
    std::string why;
    if (value >= std::min(firstOld, lastOld) && value <= std::max(firstOld, lastOld)) {
        why = "está entre el primer y el último valor anteriores de la tabla (" +
              Hex(firstOld, digits) + " y " + Hex(lastOld, digits) + ")";
    } else if (value >= plan.first && value - plan.first <= plan.textEnd + 1 - textStart) {
        // Just past the text too: that is where a next string would start, the value an
        // up-to-date table holds after its last entry.
        why = "apunta al texto leído o justo detrás (" + Hex(plan.first, digits) + " a " +
              Hex(plan.first + (plan.textEnd + 1 - textStart), digits) + ")";
    } else {
        return;
    }
    plan.warnings.push_back("Aviso: la tabla parece seguir después de TABLEEND: en " + Hex(next) +
                            " hay " + Hex(value, digits) + ", que " + why +
                            "; si es otra entrada, TABLEEND debería ser " + Hex(nextLast) +
                            " y esa entrada ha quedado sin recalcular.");
}

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    return text;
}

// Text handed on in pieces of about kPiece bytes; after a piece is refused, the rest is
// dropped.
class Pieces {
public:
    explicit Pieces(std::function<bool(const std::string&)> put) : m_Put(std::move(put)) {}
    Pieces& operator<<(std::string_view text) {
        if (m_Ok) {
            m_Text += text;
            if (m_Text.size() >= kPiece) {
                Flush();
            }
        }
        return *this;
    }
    bool Flush() {
        if (m_Ok && !m_Text.empty()) {
            m_Ok = m_Put(m_Text);
            m_Text.clear();
        }
        return m_Ok;
    }

private:
    std::function<bool(const std::string&)> m_Put;
    std::string m_Text;
    bool m_Ok = true;
};

// "0x" and the hexadecimal digits of `value`, at least `minDigits` of them.
char* PutHex(char* p, std::uint64_t value, int minDigits) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (n < minDigits) {
        digits[n++] = '0';
    }
    *p++ = '0';
    *p++ = 'x';
    while (n > 0) {
        *p++ = digits[--n];
    }
    return p;
}

char* PadUntil(char* line, char* p, std::ptrdiff_t column) {
    while (p - line < column) {
        *p++ = ' ';
    }
    return p;
}

// One entry's line, made without temporary strings: the report of a large table is made
// twice per run, once for the log and once for stdout, and each line counts.
std::string_view EntryLine(char (&line)[128], std::size_t k, const Entry& e, int digits) {
    char* p = line;
    char index[24];
    const auto [end, ignored] = std::to_chars(index, index + sizeof index, k);
    p = PadUntil(line, p, 8 - (end - index));
    p = std::copy(index, end, p);
    p = PadUntil(line, p, 10);
    p = PadUntil(line, PutHex(p, e.tableOffset, 6), 21);
    p = PadUntil(line, PutHex(p, e.oldValue, digits), 32);
    p = PadUntil(line, PutHex(p, e.newValue, digits), 43);
    p = PadUntil(line, PutHex(p, e.stringOffset, 6), 54);
    p = PutHex(p, e.stringLength, 1);
    if (e.oldValue == e.newValue) {
        p = std::copy_n("  (igual)", 9, p);
    }
    *p++ = '\n';
    return std::string_view(line, static_cast<std::size_t>(p - line));
}

void WriteReport(const Request& r, const Plan& plan, Pieces& to) {
    const int digits = static_cast<int>(r.pointerSize) * 2;
    to << "ROM: " + Shown(r.romName, kNameLimit) + "\n";
    to << "Texto desde " + Hex(r.textStart) + ", tabla " + Hex(r.tableStart) + "-" +
              Hex(r.tableEnd) + ", punteros de " + std::to_string(r.pointerSize) +
              " bytes, separador " + Hex(r.separator, 2) + ", primer valor " +
              Hex(plan.first, digits) +
              (r.firstPointer ? " (indicado)" : " (el actual de la entrada 0)") + "\n\n";
    to << PadLeft("entrada", 8) + "  " + PadRight("tabla", 11) + PadRight("anterior", 11) +
              PadRight("nuevo", 11) + PadRight("cadena", 11) + "longitud\n";
    std::size_t changed = 0;
    char line[128];
    for (std::size_t k = 0; k < plan.starts.size(); ++k) {
        const Entry e = EntryAt(r, plan, k);
        changed += e.oldValue != e.newValue ? 1 : 0;
        to << EntryLine(line, k, e, digits);
    }
    to << "\n";
    for (const std::string& w : plan.warnings) {
        to << w + "\n";
    }
    const std::size_t n = plan.starts.size();
    to << "Resumen: " + Count(n, "entrada", "entradas") + ", " +
              Count(changed, "cambia", "cambian") + ", " +
              Count(n - changed, "queda igual", "quedan igual") + "; texto de " + Hex(r.textStart) +
              " a " + Hex(plan.textEnd) + "; " + Count(plan.warnings.size(), "aviso", "avisos") +
              ".\n";
}

// Copies the whole ROM under a temporary name, flushes it, and only then gives it the first
// free name of juego.smc.bak, .bak1, .bak2, ...: a file under such a name is always a whole
// copy, even when the run is stopped halfway.
bool MakeBackup(const std::string& rom, File& source, FileSystem& files,
                std::vector<std::uint8_t>& buffer, std::string& backupPath, std::string& error) {
    const std::string temp = TemporaryBackupPath(rom);
    FileError why;
    std::unique_ptr<File> copy;
    CreateResult created = files.CreateNew(temp, copy, why);
    if (created == CreateResult::AlreadyExists) {
        // Left by a run that was stopped while copying. No other run can be copying now: the
        // ROM is open for writing by this one only.
        files.Remove(temp);
        created = files.CreateNew(temp, copy, why);
    }
    if (created != CreateResult::Created) {
        error =
            "no se pudo crear la copia de seguridad " + Quote(temp) + ": " +
            (created == CreateResult::AlreadyExists ? std::string("ya existe y no se pudo borrar")
                                                    : Describe(why));
        return false;
    }
    std::uint64_t size = 0;
    bool ok = source.Size(size);
    if (!ok) {
        error =
            "no se pudo leer el tamaño de la ROM " + Quote(rom) + ": " + Describe(source.Error());
    }
    const std::optional<bool> copied = ok ? source.CopyInto(*copy, size) : std::nullopt;
    if (copied) {
        ok = *copied;
        if (!ok) {
            error = "no se pudo copiar la ROM " + Quote(rom) + " a " + Quote(temp) + ": " +
                    Describe(copy->Error());
        }
    }
    for (std::uint64_t at = 0; ok && !copied && at < size;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - at, buffer.size()));
        if (!source.Read(at, buffer.data(), count)) {
            error = "no se pudo leer la ROM " + Quote(rom) +
                    " para copiarla: " + Describe(source.Error());
            ok = false;
        } else if (!copy->Write(at, buffer.data(), count)) {
            error = "no se pudo escribir la copia de seguridad " + Quote(temp) + ": " +
                    Describe(copy->Error());
            ok = false;
        }
        at += count;
    }
    if (ok && !copy->Flush()) {
        error = "no se pudo guardar en el disco la copia de seguridad " + Quote(temp) + ": " +
                Describe(copy->Error());
        ok = false;
    }
    copy.reset();
    for (int n = 0; ok; ++n) {
        if (n > 9999) {
            error = "no queda ningún nombre libre para la copia de seguridad (de " +
                    Quote(rom + ".bak") + " a " + Quote(rom + ".bak9999") + ")";
            break;
        }
        backupPath = rom + ".bak" + (n == 0 ? "" : std::to_string(n));
        const CreateResult moved = files.MoveNew(temp, backupPath, why);
        if (moved == CreateResult::Created) {
            return true;
        }
        if (moved == CreateResult::Failed) {
            error = "no se pudo dar a la copia de seguridad el nombre " + Quote(backupPath) + ": " +
                    Describe(why);
            break;
        }
    }
    files.Remove(temp);
    return false;
}

enum class Step { Done, WriteFailed, ReadFailed, Differs };

// Writes, flushes, reads back and compares. `back` is allocated beforehand: once the table is
// being written, nothing may fail for want of memory.
Step WriteAndCheck(File& rom, std::uint64_t offset, const std::vector<std::uint8_t>& bytes,
                   std::vector<std::uint8_t>& back) {
    if (!rom.Write(offset, bytes.data(), bytes.size()) || !rom.Flush()) {
        return Step::WriteFailed;
    }
    if (!rom.Read(offset, back.data(), back.size())) {
        return Step::ReadFailed;
    }
    return back == bytes ? Step::Done : Step::Differs;
}

std::variant<Plan, Refusal> MakePlanUnguarded(const Request& r, File& rom, std::uint64_t span) {
    std::uint64_t fileSize = 0;
    if (!rom.Size(fileSize)) {
        return Bad(Exit::CannotOpen, "no se pudo leer el tamaño de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    if (span % r.pointerSize != 0) {
        return Bad(Exit::BadTable, "la tabla mide " + Hex(span) +
                                       " bytes, que no son un número entero de punteros de " +
                                       std::to_string(r.pointerSize) + " bytes");
    }
    if (r.tableEnd >= fileSize) {
        return Bad(Exit::BadTable, "la tabla (" + Hex(r.tableStart) + "-" + Hex(r.tableEnd) +
                                       ") queda fuera del archivo, que mide " + Hex(fileSize) +
                                       " bytes" + kOffsetsNote);
    }
    if (r.textStart >= r.tableStart && r.textStart <= r.tableEnd) {
        return Bad(Exit::BadTable, "el texto (" + Hex(r.textStart) +
                                       ") empieza dentro de la tabla (" + Hex(r.tableStart) + "-" +
                                       Hex(r.tableEnd) + ")");
    }
    if (r.textStart >= fileSize) {
        return Bad(Exit::TextTooShort, "el texto empieza en " + Hex(r.textStart) +
                                           ", pero el archivo solo mide " + Hex(fileSize) +
                                           " bytes" + kOffsetsNote);
    }
    if (span > std::numeric_limits<std::size_t>::max()) {
        return Bad(Exit::BadTable, "la tabla es demasiado grande para este sistema");
    }
    const std::uint64_t count = span / r.pointerSize;

    // The strings first: until they are found, nothing grows with the table's declared size.
    // Strings may not run into a table that follows the text.
    Plan plan;
    const bool tableAfterText = r.tableStart > r.textStart;
    const std::uint64_t limit = tableAfterText ? r.tableStart : fileSize;
    std::vector<std::uint8_t> buffer(kChunk);
    std::uint64_t current = r.textStart;
    for (std::uint64_t at = r.textStart; plan.starts.size() < count && at < limit;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - at, kChunk));
        if (!rom.Read(at, buffer.data(), n)) {
            return Bad(Exit::CannotOpen, "no se pudo leer el texto de la ROM " + Quote(r.romName) +
                                             ": " + Describe(rom.Error()));
        }
        const std::uint8_t* p = buffer.data();
        const std::uint8_t* end = p + n;
        while (plan.starts.size() < count) {
            const void* hit = std::memchr(p, r.separator, static_cast<std::size_t>(end - p));
            if (hit == nullptr) {
                break;
            }
            const std::uint64_t separator =
                at +
                static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - buffer.data());
            plan.starts.push_back(current);
            plan.textEnd = separator;
            current = separator + 1;
            p = static_cast<const std::uint8_t*>(hit) + 1;
        }
        at += n;
    }
    buffer = {};
    if (plan.starts.size() < count) {
        const std::string entries = Count(count, "entrada", "entradas");
        const std::string found = Count(plan.starts.size(), "cadena", "cadenas");
        if (tableAfterText) {
            return Bad(Exit::BadTable, "el texto se solapa con la tabla: la tabla tiene " +
                                           entries + ", pero al llegar a ella (" +
                                           Hex(r.tableStart) + ") solo hay " + found);
        }
        return Bad(Exit::TextTooShort, "la tabla tiene " + entries +
                                           ", pero el archivo termina después de " + found +
                                           " (en " + Hex(fileSize) + ")");
    }

    plan.oldTable.resize(static_cast<std::size_t>(span));
    if (!rom.Read(r.tableStart, plan.oldTable.data(), plan.oldTable.size())) {
        return Bad(Exit::CannotOpen, "no se pudo leer la tabla de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    plan.first = r.firstPointer ? *r.firstPointer : OldValue(r, plan, 0);
    const std::uint64_t max = (std::uint64_t{1} << (8 * r.pointerSize)) - 1;
    plan.newTable.resize(plan.oldTable.size());
    for (std::size_t k = 0; k < plan.starts.size(); ++k) {
        const std::uint64_t value = plan.first + (plan.starts[k] - r.textStart);
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " +
                                           std::to_string(r.pointerSize) + " bytes (máximo " +
                                           Hex(max) + ")");
        }
        WriteLittleEndian(static_cast<std::uint32_t>(value), r.pointerSize,
                          &plan.newTable[k * r.pointerSize]);
    }
    WarnAboutFirst(r, plan);
    WarnAboutTableEnd(r, plan, rom, fileSize);
    WarnAboutOrder(r, plan);
    WarnAboutSharing(r, plan);
    return plan;
}

} // namespace

std::string Describe(const FileError& error) {
    std::string text;
    switch (error.cause) {
    case Cause::NotFound:
        text = "no existe";
        break;
    case Cause::AccessDenied:
        text = "permiso denegado";
        break;
    case Cause::DiskFull:
        text = "no hay espacio en el disco";
        break;
    case Cause::InUse:
        text = "otro programa lo está usando";
        break;
    case Cause::ReadOnly:
        text = "el disco es de solo lectura";
        break;
    case Cause::Folder:
        text = "es una carpeta, no un archivo";
        break;
    case Cause::Pipe:
        text = "es una tubería (FIFO), no un archivo normal";
        break;
    case Cause::Device:
        text = "es un dispositivo, no un archivo normal";
        break;
    case Cause::Truncated:
        text = "el archivo es más corto de lo esperado";
        break;
    case Cause::Other:
        text = "error del sistema";
        break;
    }
    if (!error.system.empty()) {
        text += " (" + Shown(error.system, kSystemLimit) + ")";
    }
    return text;
}

Entry EntryAt(const Request& r, const Plan& plan, std::size_t k) {
    const std::uint64_t start = plan.starts[k];
    const std::uint64_t end = k + 1 < plan.starts.size() ? plan.starts[k + 1] - 1 : plan.textEnd;
    return Entry{r.tableStart + std::uint64_t{k} * r.pointerSize,
                 ReadLittleEndian(&plan.oldTable[k * r.pointerSize], r.pointerSize),
                 ReadLittleEndian(&plan.newTable[k * r.pointerSize], r.pointerSize), start,
                 end - start};
}

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

// Options are recognised only where no field can be: --help alone, --dry-run first. Every
// other argument is a field, so a field that reads "-h" is a bad field, never an option.
std::variant<Arguments, Refusal> ParseArguments(const std::vector<std::string>& args) {
    Arguments parsed;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?")) {
        parsed.help = true;
        return parsed;
    }
    std::size_t at = 0;
    if (!args.empty() && args[0] == "--dry-run") {
        parsed.dryRun = true;
        at = 1;
    }
    const std::size_t count = args.size() - at;
    if (count != 6 && count != 7) {
        return Bad(Exit::Usage, "se esperaban 6 o 7 argumentos ([--dry-run] ROM TEXTSTART "
                                "TABLESTART TABLEEND SIZE SEPARATOR [FIRST]) y hay " +
                                    std::to_string(count) + ". Use --help para ver la ayuda");
    }
    parsed.romName = args[at];
    parsed.textStart = args[at + 1];
    parsed.tableStart = args[at + 2];
    parsed.tableEnd = args[at + 3];
    parsed.pointerSize = args[at + 4];
    parsed.separator = args[at + 5];
    if (count == 7) {
        parsed.firstPointer = args[at + 6];
    }
    return parsed;
}

std::variant<Request, Refusal> ParseRequest(const Arguments& a) {
    Request r;
    r.romName = a.romName;
    r.dryRun = a.dryRun;
    const std::pair<const std::string*, std::uint32_t*> offsets[] = {
        {&a.textStart, &r.textStart}, {&a.tableStart, &r.tableStart}, {&a.tableEnd, &r.tableEnd}};
    const char* names[] = {"TEXTSTART", "TABLESTART", "TABLEEND"};
    for (int i = 0; i < 3; ++i) {
        const auto value = ParseOffset(*offsets[i].first);
        if (!value) {
            return Bad(Exit::BadField,
                       std::string(names[i]) + " " + Quote(*offsets[i].first, kFieldLimit) +
                           " no es un desplazamiento hexadecimal válido (cifras 0-9 y A-F, "
                           "hasta FFFFFFFF)");
        }
        *offsets[i].second = *value;
    }
    if (a.pointerSize != "2" && a.pointerSize != "3" && a.pointerSize != "4") {
        return Bad(Exit::BadField,
                   "SIZE " + Quote(a.pointerSize, kFieldLimit) + " debe ser 2, 3 o 4");
    }
    r.pointerSize = static_cast<unsigned>(a.pointerSize[0] - '0');
    const auto separator = ParseOffset(a.separator);
    if (a.separator.size() > 2 || !separator) {
        return Bad(Exit::BadField, "SEPARATOR " + Quote(a.separator, kFieldLimit) +
                                       " debe ser un byte en hexadecimal (00 a FF)");
    }
    r.separator = static_cast<std::uint8_t>(*separator);
    if (a.firstPointer) {
        r.firstPointer = ParseLittleEndian(*a.firstPointer, r.pointerSize);
        if (!r.firstPointer) {
            return Bad(Exit::BadField,
                       "FIRST " + Quote(*a.firstPointer, kFieldLimit) +
                           " debe dar los bytes del primer puntero tal como están en la ROM: un "
                           "número par de cifras hexadecimales, como mucho " +
                           std::to_string(2 * r.pointerSize));
        }
    }
    return r;
}

std::variant<Plan, Refusal> MakePlan(const Request& r, File& rom) {
    if (r.tableEnd < r.tableStart) {
        return Bad(Exit::BadTable, "el final de la tabla (" + Hex(r.tableEnd) +
                                       ") está antes de su inicio (" + Hex(r.tableStart) + ")");
    }
    const std::uint64_t span = std::uint64_t{r.tableEnd} - r.tableStart + 1;
    try {
        return MakePlanUnguarded(r, rom, span);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Bad(Exit::BadTable, "no hay memoria suficiente para una tabla de " +
                                   Count(span / r.pointerSize, "entrada", "entradas") + " (" +
                                   Hex(span) + " bytes)");
}

std::string LogPath(const std::string& rom) {
    return rom + ".zeltor.log";
}

std::string TemporaryBackupPath(const std::string& rom) {
    return rom + ".copia-incompleta.tmp";
}

namespace {

// One run, from its arguments to its exit code. What goes to stderr is kept until the end, so
// that the ROM is put right and the log written before anything is printed, and so that an
// error line is always the last.
class Session {
public:
    Session(FileSystem& files, std::ostream& out, std::ostream& err)
        : m_Files(files), m_Out(out), m_Err(err) {}

    int Run(const std::vector<std::string>& args);
    // Says what became of the ROM when the run was cut short by an exception.
    int Abandon();

private:
    int Finish(Exit code, const std::string& errorLine = "");
    int Refuse(const Refusal& refusal, bool log);
    // Appends one entry to the log: the header, then whatever `body` writes.
    void Log(const std::function<void(Pieces&)>& body);
    void Print(const std::function<void(Pieces&)>& body);

    FileSystem& m_Files;
    std::ostream& m_Out;
    std::ostream& m_Err;
    bool m_Logging = false;
    std::string m_LogPath, m_Header;
    std::vector<std::string> m_Warnings;
    std::vector<std::string> m_Notes; // about the log: printed after the warnings
    enum class Rom { Untouched, Written, Restored, Damaged } m_Rom = Rom::Untouched;
    std::string m_BackupPath;
};

int Session::Abandon() {
    // Only memory can run out, and never while the table is being written: the buffers for
    // that are taken beforehand. Plain literals, so that this needs no memory of its own.
    switch (m_Rom) {
    case Rom::Written:
        m_Err << "Aviso: la tabla se ha escrito y comprobado, pero no quedó memoria para el "
                 "informe ni el registro.\n";
        return static_cast<int>(Exit::Ok);
    case Rom::Restored:
        m_Err << "ERROR 7: no hay memoria suficiente para terminar; se han repuesto los bytes "
                 "originales y la ROM está como estaba.\n";
        return static_cast<int>(Exit::WriteFailed);
    case Rom::Damaged:
        m_Err << "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; la ROM "
                 "puede estar dañada: recupérela de la copia de seguridad «"
              << m_BackupPath << "».\n";
        return static_cast<int>(Exit::RestoreFailed);
    case Rom::Untouched:
        break;
    }
    m_Err << "ERROR 7: no hay memoria suficiente para terminar; no se ha escrito nada en la "
             "ROM.\n";
    return static_cast<int>(Exit::WriteFailed);
}

int Session::Finish(Exit code, const std::string& errorLine) {
    // Nothing written here is checked: a closed stdout or stderr must not change the outcome.
    // Warnings only with a run that went through; on failure the error line says what matters.
    if (errorLine.empty()) {
        for (const std::string& warning : m_Warnings) {
            m_Err << warning << '\n';
        }
    }
    for (const std::string& note : m_Notes) {
        m_Err << note << '\n';
    }
    if (!errorLine.empty()) {
        m_Err << errorLine << '\n';
    }
    m_Err.flush();
    m_Out.flush();
    return static_cast<int>(code);
}

int Session::Refuse(const Refusal& refusal, bool log) {
    const std::string line = ErrorLine(refusal);
    if (log) {
        Log([&](Pieces& to) { to << line + " La ROM no se ha modificado.\n"; });
    }
    return Finish(refusal.code, line);
}

void Session::Log(const std::function<void(Pieces&)>& body) {
    if (!m_Logging) {
        return;
    }
    FileError error;
    Pieces to(
        [&](const std::string& piece) { return m_Files.AppendText(m_LogPath, piece, error); });
    to << m_Header;
    body(to);
    to << "\n";
    if (!to.Flush()) {
        m_Notes.push_back("Aviso: no se pudo escribir el registro " + Quote(m_LogPath) + ": " +
                          Describe(error) + ".");
    }
}

void Session::Print(const std::function<void(Pieces&)>& body) {
    Pieces to([&](const std::string& piece) {
        m_Out << piece;
        return true;
    });
    body(to);
    to.Flush();
}

int Session::Run(const std::vector<std::string>& args) {
    const auto parsed = ParseArguments(args);
    if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
        if (args.empty()) {
            m_Out << HelpText();
        }
        return Refuse(*refusal, false);
    }
    const Arguments& a = std::get<Arguments>(parsed);
    if (a.help) {
        m_Out << HelpText();
        return Finish(Exit::Ok);
    }

    // The front-end never shows the console, so a run leaves its story in the log: every run
    // but a dry run, which writes nothing at all, and one whose ROM is not a file it can read.
    m_Logging = !a.dryRun;
    m_LogPath = LogPath(a.romName);
    m_Header = "=== " + Timestamp() + " · Zeltor";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool isRom = i == (a.dryRun ? 1u : 0u);
        m_Header += " " + QuoteArgument(Shown(args[i], isRom ? kNameLimit : kFieldLimit));
    }
    m_Header += "\n";

    const auto request = ParseRequest(a);
    if (const auto* refusal = std::get_if<Refusal>(&request)) {
        FileError ignored;
        return Refuse(*refusal, m_Logging && m_Files.Open(a.romName, false, ignored) != nullptr);
    }
    const Request& r = std::get<Request>(request);

    FileError openError;
    const std::unique_ptr<File> rom = m_Files.Open(r.romName, !r.dryRun, openError);
    if (!rom) {
        const Cause cause = openError.cause;
        const bool forWriting = !r.dryRun && (cause == Cause::AccessDenied ||
                                              cause == Cause::ReadOnly || cause == Cause::InUse);
        return Refuse(Refusal{Exit::CannotOpen, "no se puede abrir la ROM " + Quote(r.romName) +
                                                    (forWriting ? " para escribir" : "") + ": " +
                                                    Describe(openError)},
                      false);
    }
    auto planned = MakePlan(r, *rom);
    if (const auto* refusal = std::get_if<Refusal>(&planned)) {
        return Refuse(*refusal, m_Logging);
    }
    const Plan& plan = std::get<Plan>(planned);
    const auto report = [&](Pieces& to) { WriteReport(r, plan, to); };

    if (r.dryRun) {
        Print([&](Pieces& to) {
            report(to);
            to << "Simulación (--dry-run): no se ha escrito nada, tampoco el registro.\n";
        });
        m_Warnings = plan.warnings;
        return Finish(Exit::Ok);
    }
    m_Warnings = plan.warnings;
    if (plan.newTable == plan.oldTable) {
        const auto body = [&](Pieces& to) {
            report(to);
            to << "La tabla ya estaba al día: no se ha escrito nada.\n";
        };
        Log(body);
        Print(body);
        return Finish(Exit::Ok);
    }

    std::vector<std::uint8_t> copyBuffer(kCopyChunk);
    std::vector<std::uint8_t> readBack(plan.newTable.size());
    std::string cause;
    cause.reserve(512); // filled while the table may be torn: it must not need memory then
    std::string backupError;
    const std::string& backupPath = m_BackupPath;
    if (!MakeBackup(r.romName, *rom, m_Files, copyBuffer, m_BackupPath, backupError)) {
        const std::string line =
            ErrorLine({Exit::WriteFailed, backupError + "; no se ha escrito nada en la ROM"});
        const auto body = [&](Pieces& to) {
            report(to);
            to << line + "\n";
        };
        Log(body);
        Print(body);
        return Finish(Exit::WriteFailed, line);
    }

    const Step written = WriteAndCheck(*rom, r.tableStart, plan.newTable, readBack);
    if (written == Step::Done) {
        m_Rom = Rom::Written;
        const auto body = [&](Pieces& to) {
            report(to);
            to << "Copia de seguridad: " + backupPath + "\n";
            to << "Tabla escrita y comprobada: " + Hex(plan.newTable.size()) + " bytes en " +
                      Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n";
        };
        Log(body);
        Print(body);
        return Finish(Exit::Ok);
    }
    const Cause failure = rom->Error().cause;
    cause.assign(rom->Error().system, 0, std::min<std::size_t>(rom->Error().system.size(), 500));
    // Only the table's bytes were touched, so putting them back restores the ROM. This comes
    // before the log and before anything is printed.
    const bool restored = WriteAndCheck(*rom, r.tableStart, plan.oldTable, readBack) == Step::Done;
    m_Rom = restored ? Rom::Restored : Rom::Damaged;

    const std::string what =
        written == Step::Differs
            ? "la tabla escrita en " + Quote(r.romName) + " no se leyó igual al comprobarla"
            : std::string(written == Step::WriteFailed ? "no se pudo escribir la tabla en "
                                                       : "no se pudo releer la tabla en ") +
                  Quote(r.romName) + ": " + Describe(FileError{failure, cause});
    if (restored) {
        const std::string line =
            ErrorLine({Exit::WriteFailed, what + "; se han repuesto los bytes originales y la ROM "
                                                 "está como estaba"});
        const auto body = [&](Pieces& to) {
            report(to);
            to << "Copia de seguridad: " + backupPath + "\n" + line + "\n";
        };
        Log(body);
        Print(body);
        return Finish(Exit::WriteFailed, line);
    }
    // The backup's name is never shortened: the translator must be able to find it.
    const std::string line =
        "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; la ROM puede "
        "estar dañada: recupérela de la copia de seguridad «" +
        backupPath + "».";
    const auto body = [&](Pieces& to) {
        report(to);
        to << "Causa: " + what + ".\n" + line + "\n";
    };
    Log(body);
    Print(body);
    return Finish(Exit::RestoreFailed, line);
}

} // namespace

int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err) {
    if (args.size() == 1 && args[0] == "--version") {
        out << "Zeltor " << ZELTOR_VERSION << "\n";
        return static_cast<int>(Exit::Ok);
    }
    Session session(files, out, err);
    try {
        return session.Run(args);
    } catch (const std::exception&) {
        return session.Abandon();
    }
}

std::string HelpText() {
    return R"(Zeltor: recalcula la tabla de punteros de una ROM después de traducir sus textos.

Uso:  Zeltor [--dry-run] ROM TEXTSTART TABLESTART TABLEEND SIZE SEPARATOR [FIRST]
      Zeltor --help
      Zeltor --version

  --dry-run   solo calcula y muestra el informe: no escribe nada, ni copia ni registro.
              Solo se reconoce como primer argumento.
  ROM         el archivo de la ROM (un archivo normal, no una carpeta ni un dispositivo).
  TEXTSTART   desplazamiento en el archivo donde empieza el texto (hexadecimal).
  TABLESTART  desplazamiento del primer byte de la tabla de punteros (hexadecimal).
  TABLEEND    desplazamiento del ÚLTIMO byte de la tabla, incluido (hexadecimal).
  SIZE        bytes por puntero: 2, 3 o 4.
  SEPARATOR   byte que termina cada cadena, en hexadecimal (por ejemplo 00 o FF).
  FIRST       valor del primer puntero, escrito con los bytes tal como están en la ROM
              (little endian): "00a0" es 0xA000. Sin FIRST se usa el valor que tiene ahora
              la entrada 0.

--help (o -h) y --version solo se reconocen como único argumento. Cualquier otro argumento es un campo:
un campo que diga "-h" o "--dry-run" es un campo incorrecto.

Los desplazamientos son posiciones dentro del archivo, sin prefijo 0x, no direcciones de la
consola. La tabla tiene N = (TABLEEND - TABLESTART + 1) / SIZE entradas; la división debe ser
exacta. Se leen N cadenas seguidas desde TEXTSTART; cada una acaba en el byte SEPARATOR (las
cadenas vacías también cuentan). La entrada k pasa a valer FIRST + (inicio de la cadena k -
TEXTSTART), escrita en little endian en SIZE bytes.

Seguridad: antes de escribir se copia la ROM entera a ROM.copia-incompleta.tmp, se guarda en el
disco y solo entonces pasa a llamarse ROM.bak (o .bak1, .bak2... sin pisar nunca una copia
anterior): un archivo .bak es siempre una copia completa. Solo se escriben los bytes de la
tabla, que se vuelven a leer y comprobar. Si algo falla, se reponen los bytes originales antes
de nada más, y la ROM queda exactamente como estaba.

Informe: una línea por entrada (índice, posición en la tabla, valor anterior, valor nuevo,
inicio y longitud de la cadena) y un resumen, en la salida estándar y en ROM.zeltor.log junto
a la ROM. Los avisos y los errores van además, una línea cada uno, a la salida de errores.
Avisa (sin negarse) si FIRST no es el valor actual de la entrada 0 (y si parece escrito con los
bytes al revés), si la tabla parece seguir después de TABLEEND, si la tabla anterior no estaba
en orden ascendente o si varias entradas apuntaban al mismo sitio.

Códigos de salida:
  0  hecho (o simulación correcta, o la tabla ya estaba al día)
  1  uso incorrecto: número de argumentos
  2  campo incorrecto: hexadecimal no válido, SIZE distinto de 2, 3 o 4, SEPARATOR o FIRST mal
  3  tabla incorrecta: final antes del inicio, no es un número entero de punteros, fuera del
     archivo, solapada con el texto o demasiado grande para la memoria disponible
  4  el archivo termina antes de encontrar las N cadenas
  5  un valor nuevo no cabe en SIZE bytes
  6  no se puede abrir la ROM (para escribir, salvo con --dry-run) o no es un archivo normal
  7  falló la copia de seguridad, la escritura o la comprobación; la ROM quedó como estaba
  8  falló la escritura y no se pudo reponer la ROM: recupérela de la copia .bak indicada
)";
}

} // namespace zeltor
