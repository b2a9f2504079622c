#include "zeltor/Plan.h"

#include "portable/Hex.h"
#include "zeltor/Text.h"
#include "zeltor/judge/View.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace zeltor {

namespace {

// A 2-byte pointer holds an address inside one bank: the one the game has switched in for
// the text, which is the first string's.
Refusal OutOfBank(const Plan& plan, std::size_t j, const Place& origin) {
    return Bad(Exit::Overflow,
               StringAt(j, plan.starts[j]) +
                   (plan.starts[j] > origin.bankLast ? " empieza" : " termina") +
                   " después del final del banco del texto (" + Hex(origin.bankLast) + ", mapa " +
                   plan.map->Name() +
                   "): un puntero de 2 bytes no llega a otro banco; mueva el texto para que "
                   "quepa en el banco o, si el juego lee punteros de 3 bytes, use ese tamaño");
}

Refusal Unseen(const Plan& plan, std::size_t j) {
    return Bad(Exit::Overflow,
               StringAt(j, plan.starts[j]) + " está donde la consola no ve la ROM con el mapa " +
                   plan.map->Name() + " (en una cabecera, o fuera de la PRG): " + "revise " +
                   FieldName(Field::TextStart));
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
            plan.warnings.push_back("Aviso: " + StringAt(j, plan.starts[j]) +
                                    " cruza el final de su banco (" + Hex(place->bankLast) +
                                    ", mapa " + plan.map->Name() +
                                    "): el juego puede no leerla entera.");
        }
        newValues[j] = plan.first + (place->address - origin->address);
    }
    return std::nullopt;
}

std::optional<Refusal> ComputeNewTable(const Request& r, Plan& plan) {
    std::vector<std::uint64_t> newValues(plan.starts.size());
    if (auto refusal = PlaceStrings(r, plan, newValues)) {
        return refusal;
    }
    const std::uint64_t max = r.pointerSize.MaxValue();
    plan.newTable = plan.oldTable;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        if (plan.stringOf[k] == Plan::kNoString) {
            continue;
        }
        const std::uint64_t value = newValues[plan.stringOf[k]];
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " + r.pointerSize.Text() +
                                           " bytes (máximo " + Hex(max) + "): revise " +
                                           FieldName(Field::FirstPointer));
        }
        EncodeEntry(plan.format, static_cast<std::uint32_t>(value), plan.newTable, k);
    }
    return std::nullopt;
}

// Each entry's string: the one of its value, found next to the previous entry's when the
// table ascends; none for an entry of padding.
void PairEntries(const Reading& reading, Plan& plan) {
    plan.stringOf.resize(plan.entries);
    std::size_t j = 0;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        const std::uint32_t value = reading.entries[k];
        if (reading.IsNull(value)) {
            plan.stringOf[k] = Plan::kNoString;
            continue;
        }
        if (plan.values[j] != value) {
            j = j + 1 < plan.values.size() && plan.values[j + 1] == value
                    ? j + 1
                    : static_cast<std::size_t>(
                          std::lower_bound(plan.values.begin(), plan.values.end(), value) -
                          plan.values.begin());
        }
        plan.stringOf[k] = static_cast<std::uint32_t>(j);
    }
}

// A console that stores its pointers most significant byte first makes the table big endian
// unasked; FIRST is then read again in that order.
std::optional<Refusal> SettleByteOrder(const View& view, Request& r) {
    if (!view.bigEndian || r.bigEndian) {
        return std::nullopt;
    }
    r.bigEndian = true;
    if (r.firstPointer) {
        r.firstPointer = FirstPointerValue(r.firstPointerText, r.Format());
        if (!r.firstPointer) {
            return Bad(Exit::BadField, "el primer puntero " +
                                           Quote(r.firstPointerText, kFieldLimit) + " " +
                                           FirstPointerRule(r.Format()) +
                                           " (la consola guarda sus punteros en big endian): "
                                           "revise " +
                                           FieldName(Field::FirstPointer));
        }
    }
    return std::nullopt;
}

std::variant<Plan, Refusal> MakePlanUnguarded(const Request& asked, File& rom) {
    Request r = asked;
    auto viewed = ReadView(r, rom);
    if (auto* refusal = std::get_if<Refusal>(&viewed)) {
        return std::move(*refusal);
    }
    View& view = std::get<View>(viewed);
    if (auto refusal = SettleByteOrder(view, r)) {
        return std::move(*refusal);
    }
    // The typed fields read once, for the old text's bytes and for the judgement.
    std::optional<Reading> typed = Read(view, Fields::Of(r));
    if (typed) {
        if (auto refusal = ReadOldText(r, *typed, rom, view)) {
            return std::move(*refusal);
        }
    }
    auto judged = Judge(view, r, std::move(typed));
    if (auto* refusal = std::get_if<Refusal>(&judged)) {
        return std::move(*refusal);
    }
    Verdict& verdict = std::get<Verdict>(judged);
    const std::optional<Reading>& reading = verdict.reading;
    Plan plan;
    plan.entries = reading->entries.size();
    plan.format = r.Format();
    for (const Piece& piece : Fields::Of(r).Pieces()) {
        const Span* span = view.TableHolding(piece.start, piece.size);
        const auto from = static_cast<std::ptrdiff_t>(piece.start - span->from);
        plan.oldTable.insert(plan.oldTable.end(), span->bytes.begin() + from,
                             span->bytes.begin() + from + static_cast<std::ptrdiff_t>(piece.size));
    }
    Strings strings = reading->strings;
    if (verdict.inTableOrder) {
        strings = Split(view.text, r.textStart, r.separator, plan.entries, view.textLimit);
        if (strings.starts.size() < plan.entries) {
            return Bad(Exit::TextTooShort, "la tabla tiene " +
                                               Count(plan.entries, "entrada", "entradas") +
                                               ", pero solo se encontraron " +
                                               Count(strings.starts.size(), "cadena", "cadenas") +
                                               " para escribirla como tabla nueva: revise " +
                                               FieldName(Field::TableEnd));
        }
        plan.stringOf.resize(plan.entries);
        for (std::size_t k = 0; k < plan.entries; ++k) {
            plan.stringOf[k] = static_cast<std::uint32_t>(k);
            plan.values.push_back(reading->entries[k]);
        }
    } else {
        plan.values = reading->values;
        PairEntries(*reading, plan);
    }
    plan.starts = std::move(strings.starts);
    plan.textEnd = strings.end;
    plan.first = verdict.first;
    plan.story = verdict.story;
    plan.map = std::move(view.map);
    plan.mapReason = std::move(view.mapReason);
    for (std::string& note : verdict.notes) {
        (note.rfind("Aviso:", 0) == 0 ? plan.warnings : plan.notes).push_back(std::move(note));
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

std::uint32_t OldValue(const Request&, const Plan& plan, std::size_t k) {
    return DecodeEntry(plan.format, plan.oldTable, k);
}

Entry EntryAt(const Request& r, const Plan& plan, std::size_t k) {
    const unsigned size = r.pointerSize.Bytes();
    const std::uint32_t old = OldValue(r, plan, k);
    const std::uint32_t now = DecodeEntry(plan.format, plan.newTable, k);
    // A split table's entry is named by where its first run holds it.
    const std::uint64_t at = r.tableStart + std::uint64_t{k} * (plan.format.split ? 1 : size);
    if (plan.stringOf[k] == Plan::kNoString) {
        return Entry{at, old, now, 0, 0, true};
    }
    const std::size_t j = plan.stringOf[k];
    const std::uint64_t start = plan.starts[j];
    return Entry{at, old, now, start, plan.EndOf(j) - start, false};
}

std::size_t ChangedEntries(const Request& r, const Plan& plan) {
    std::size_t changed = 0;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        changed += OldValue(r, plan, k) != DecodeEntry(plan.format, plan.newTable, k) ? 1 : 0;
    }
    return changed;
}

std::variant<Plan, Refusal> MakePlan(const Request& r, File& rom) {
    if (r.tableEnd < r.tableStart) {
        return Bad(Exit::BadTable, "el final de la tabla (" + Hex(r.tableEnd) +
                                       ") está antes de su inicio (" + Hex(r.tableStart) +
                                       "): revise " + FieldName(Field::TableEnd));
    }
    const std::uint64_t span = std::uint64_t{r.tableEnd} - r.tableStart + 1;
    try {
        return MakePlanUnguarded(r, rom);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Bad(Exit::BadTable, "no hay memoria suficiente para una tabla de " +
                                   Count(span / r.pointerSize.Bytes(), "entrada", "entradas") +
                                   " (" + Hex(span) + " bytes): revise " +
                                   FieldName(Field::TableEnd));
}

} // namespace zeltor
