#include "zeltor/Plan.h"

#include "portable/Hex.h"
#include "zeltor/Recognize.h"
#include "zeltor/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace zeltor {

namespace {

// Big enough to stream a 64 MiB ROM quickly, small enough for a 32-bit process.
constexpr std::size_t kChunk = std::size_t{1} << 20;

// No pointer table shares one string among more entries than this on average: a table that
// would have to is refused before it is read, so that a wrong table end costs neither time
// nor memory.
constexpr std::uint64_t kMostSharing = 256;

const char kOffsetsNote[] = "; las posiciones son del archivo, no direcciones de la consola";

// The table's place against the file and the text, before anything is read.
std::optional<Refusal> CheckPlaces(const Request& r, std::uint64_t span, std::uint64_t fileSize) {
    if (span % r.pointerSize.Bytes() != 0) {
        return Bad(Exit::BadTable, "la tabla mide " + Hex(span) +
                                       " bytes, que no son un número entero de punteros de " +
                                       r.pointerSize.Text() + " bytes");
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
    return std::nullopt;
}

// Finds up to `count` strings from the text's start, each ended by the separator, without
// running past `limit`. Until they are found, nothing grows with the table's declared size.
std::optional<Refusal> FindStrings(const Request& r, File& rom, std::uint64_t count,
                                   std::uint64_t limit, Plan& plan) {
    // Reads grow from a small first one: most texts are far smaller than a chunk.
    std::vector<std::uint8_t> buffer;
    std::size_t chunk = kChunk / 64;
    std::uint64_t current = r.textStart;
    for (std::uint64_t at = r.textStart; plan.starts.size() < count && at < limit;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(limit - at, chunk));
        chunk = std::min(chunk * 2, kChunk);
        buffer.resize(std::max(buffer.size(), n));
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
            const auto* separator = static_cast<const std::uint8_t*>(hit);
            plan.starts.push_back(current);
            plan.textEnd = at + static_cast<std::uint64_t>(separator - buffer.data());
            current = plan.textEnd + 1;
            p = separator + 1;
        }
        at += n;
    }
    return std::nullopt;
}

// `needed` strings (one per entry, or one per distinct value) were not all found.
Refusal TooFewStrings(const Request& r, const Plan& plan, const std::string& needed,
                      bool tableAfterText, std::uint64_t fileSize) {
    const std::string found = Count(plan.starts.size(), "cadena", "cadenas");
    if (tableAfterText) {
        return Bad(Exit::BadTable, "el texto se solapa con la tabla: la tabla tiene " + needed +
                                       ", pero al llegar a ella (" + Hex(r.tableStart) +
                                       ") solo hay " + found);
    }
    return Bad(Exit::TextTooShort, "la tabla tiene " + needed +
                                       ", pero el archivo termina después de " + found + " (en " +
                                       Hex(fileSize) + ")");
}

// The old table, and its distinct values in ascending order.
std::optional<Refusal> ReadTable(const Request& r, File& rom, std::uint64_t span, Plan& plan) {
    plan.oldTable.resize(static_cast<std::size_t>(span));
    if (!rom.Read(r.tableStart, plan.oldTable.data(), plan.oldTable.size())) {
        return Bad(Exit::CannotOpen, "no se pudo leer la tabla de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    plan.entries = plan.oldTable.size() / r.pointerSize.Bytes();
    plan.values.resize(plan.entries);
    for (std::size_t k = 0; k < plan.values.size(); ++k) {
        plan.values[k] = OldValue(r, plan, k);
    }
    if (!std::is_sorted(plan.values.begin(), plan.values.end())) {
        std::sort(plan.values.begin(), plan.values.end());
    }
    plan.values.erase(std::unique(plan.values.begin(), plan.values.end()), plan.values.end());
    plan.values.shrink_to_fit();
    // Each entry's string, found next to the previous entry's when the table ascends.
    plan.stringOf.resize(plan.entries);
    std::size_t j = 0;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        const std::uint32_t value = OldValue(r, plan, k);
        if (plan.values[j] != value) {
            j = j + 1 < plan.values.size() && plan.values[j + 1] == value
                    ? j + 1
                    : static_cast<std::size_t>(
                          std::lower_bound(plan.values.begin(), plan.values.end(), value) -
                          plan.values.begin());
        }
        plan.stringOf[k] = static_cast<std::uint32_t>(j);
    }
    return std::nullopt;
}

// Keeps one string per distinct value; the strings found beyond them belong to no entry.
std::optional<Refusal> PairStrings(const Request& r, Plan& plan, bool tableAfterText,
                                   std::uint64_t fileSize) {
    const std::size_t distinct = plan.values.size();
    if (distinct > plan.starts.size()) {
        const std::string needed =
            distinct == plan.entries
                ? Count(distinct, "entrada", "entradas")
                : Count(distinct, "valor distinto", "valores distintos") + " (uno por cadena)";
        return TooFewStrings(r, plan, needed, tableAfterText, fileSize);
    }
    if (distinct < plan.starts.size()) {
        plan.textEnd = plan.starts[distinct] - 1;
        plan.starts.resize(distinct);
    }
    return std::nullopt;
}

std::string StringAt(const Plan& plan, std::size_t j) {
    return "la cadena " + std::to_string(j) + " (posición " + Hex(plan.starts[j]) + ")";
}

// A 2-byte pointer holds an address inside one bank: the one the game has switched in for
// the text, which is the first string's.
Refusal OutOfBank(const Plan& plan, std::size_t j, const Place& origin) {
    return Bad(Exit::Overflow,
               StringAt(plan, j) + (plan.starts[j] > origin.bankLast ? " empieza" : " termina") +
                   " después del final del banco del texto (" + Hex(origin.bankLast) + ", mapa " +
                   plan.map->Name() +
                   "): un puntero de 2 bytes no llega a otro banco; mueva el texto para que "
                   "quepa en el banco o, si el juego lee punteros de 3 bytes, use ese tamaño");
}

Refusal Unseen(const Plan& plan, std::size_t j) {
    return Bad(Exit::Overflow, StringAt(plan, j) +
                                   " está donde la consola no ve la ROM con el mapa " +
                                   plan.map->Name() +
                                   " (en una cabecera, o fuera de la PRG): revise «Posición "
                                   "inicial del texto»");
}

// String j's new value: the first plus the distance between the two strings' addresses on
// the console.
std::optional<Refusal> PlaceStrings(const Request& r, Plan& plan,
                                    std::vector<std::uint64_t>& newValues) {
    const std::optional<Place> origin = plan.map->Locate(plan.starts[0]);
    bool warned = false;
    for (std::size_t j = 0; j < plan.starts.size(); ++j) {
        const std::optional<Place> place = plan.map->Locate(plan.starts[j]);
        if (!origin || !place || !plan.map->Locate(plan.EndOf(j))) {
            return Unseen(plan, j);
        }
        if (plan.EndOf(j) > origin->bankLast && r.pointerSize.Bytes() == 2) {
            return OutOfBank(plan, j, *origin);
        }
        if (plan.EndOf(j) > place->bankLast && !warned) {
            warned = true;
            plan.warnings.push_back("Aviso: " + StringAt(plan, j) +
                                    " cruza el final de su banco (" + Hex(place->bankLast) +
                                    ", mapa " + plan.map->Name() +
                                    "): el juego puede no leerla entera.");
        }
        newValues[j] = plan.first + (place->address - origin->address);
    }
    return std::nullopt;
}

std::optional<Refusal> ComputeNewTable(const Request& r, Plan& plan) {
    plan.first = r.firstPointer ? *r.firstPointer : plan.values[0];
    std::vector<std::uint64_t> newValues(plan.starts.size());
    if (auto refusal = PlaceStrings(r, plan, newValues)) {
        return refusal;
    }
    const unsigned size = r.pointerSize.Bytes();
    const std::uint64_t max = r.pointerSize.MaxValue();
    plan.newTable.resize(plan.oldTable.size());
    for (std::size_t k = 0; k < plan.entries; ++k) {
        const std::uint64_t value = newValues[plan.stringOf[k]];
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " + r.pointerSize.Text() +
                                           " bytes (máximo " + Hex(max) + ")");
        }
        WriteLittleEndian(static_cast<std::uint32_t>(value), size, &plan.newTable[k * size]);
    }
    return std::nullopt;
}

std::variant<Plan, Refusal> MakePlanUnguarded(const Request& r, File& rom, std::uint64_t span) {
    std::uint64_t fileSize = 0;
    if (!rom.Size(fileSize)) {
        return Bad(Exit::CannotOpen, "no se pudo leer el tamaño de la ROM " + Quote(r.romName) +
                                         ": " + Describe(rom.Error()));
    }
    if (auto refusal = CheckPlaces(r, span, fileSize)) {
        return *refusal;
    }
    const std::uint64_t count = span / r.pointerSize.Bytes();
    // Strings may not run into a table that follows the text.
    Plan plan;
    const bool tableAfterText = r.tableStart > r.textStart;
    if (auto refusal = FindStrings(r, rom, count, tableAfterText ? r.tableStart : fileSize, plan)) {
        return *refusal;
    }
    if (plan.starts.size() < count && count / kMostSharing >= plan.starts.size()) {
        return TooFewStrings(r, plan, Count(count, "entrada", "entradas"), tableAfterText,
                             fileSize);
    }
    if (auto refusal = ReadTable(r, rom, span, plan)) {
        return *refusal;
    }
    if (auto refusal = PairStrings(r, plan, tableAfterText, fileSize)) {
        return *refusal;
    }
    auto choice = ChooseMap(r.map, rom, fileSize);
    if (const auto* refusal = std::get_if<Refusal>(&choice)) {
        return *refusal;
    }
    plan.map = std::move(std::get<MapChoice>(choice).map);
    plan.mapReason = std::move(std::get<MapChoice>(choice).reason);
    for (const std::string& mistake : FindMistakes(r, plan, rom, fileSize)) {
        if (!r.options.force) {
            return Bad(Exit::LooksWrong, mistake);
        }
        plan.warnings.push_back("Aviso: escrito igualmente por --force, aunque " + mistake + ".");
    }
    if (auto refusal = ComputeNewTable(r, plan)) {
        return *refusal;
    }
    return plan;
}

} // namespace

std::uint64_t Plan::EndOf(std::size_t j) const {
    return j + 1 < starts.size() ? starts[j + 1] - 1 : textEnd;
}

std::uint32_t OldValue(const Request& r, const Plan& plan, std::size_t k) {
    const unsigned size = r.pointerSize.Bytes();
    return ReadLittleEndian(&plan.oldTable[k * size], size);
}

Entry EntryAt(const Request& r, const Plan& plan, std::size_t k) {
    const unsigned size = r.pointerSize.Bytes();
    const std::uint32_t old = OldValue(r, plan, k);
    const std::size_t j = plan.stringOf[k];
    const std::uint64_t start = plan.starts[j];
    return Entry{r.tableStart + std::uint64_t{k} * size, old,
                 ReadLittleEndian(&plan.newTable[k * size], size), start, plan.EndOf(j) - start};
}

std::size_t ChangedEntries(const Request& r, const Plan& plan) {
    const unsigned size = r.pointerSize.Bytes();
    std::size_t changed = 0;
    for (std::size_t at = 0; at + size <= plan.newTable.size(); at += size) {
        changed +=
            std::equal(&plan.newTable[at], &plan.newTable[at] + size, &plan.oldTable[at]) ? 0 : 1;
    }
    return changed;
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
                                   Count(span / r.pointerSize.Bytes(), "entrada", "entradas") +
                                   " (" + Hex(span) + " bytes)");
}

} // namespace zeltor
