#include "zeltor/judge/Plan.h"

#include "portable/Hex.h"
#include "zeltor/judge/View.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>

namespace zeltor {

namespace {

using Outcomes = std::vector<std::variant<Plan, Refusal>>;

// A 2-byte pointer holds an address inside one bank: the one the game has switched in for
// the text, which is the first string's.
Refusal OutOfBank(const Block& block, std::size_t j, const Place& origin, const char* map) {
    return Bad(Exit::Overflow,
               StringAt(j, block.starts[j]) +
                   (block.starts[j] > origin.bankLast ? " empieza" : " termina") +
                   " después del final del banco del texto (" + Hex(origin.bankLast) + ", mapa " +
                   map +
                   "): un puntero de 2 bytes no llega a otro banco; mueva el texto para que "
                   "quepa en el banco o, si el juego lee punteros de 3 bytes, use ese tamaño");
}

Refusal Unseen(const Block& block, std::size_t j, const char* map) {
    return Bad(Exit::Overflow, StringAt(j, block.starts[j]) +
                                   " está donde la consola no ve la ROM con el mapa " + map +
                                   " (en una cabecera, o fuera de la PRG): revise " +
                                   FieldName(Field::TextStart));
}

// String j's new value: the first plus the distance between the two strings' addresses on
// the console.
std::optional<Refusal> PlaceStrings(const AddressMap& map, unsigned size, Block& block,
                                    std::vector<std::string>& warnings) {
    block.newValues.assign(block.starts.size(), 0);
    if (block.starts.empty()) {
        return std::nullopt;
    }
    const std::optional<Place> origin = map.Locate(block.starts[0]);
    bool warned = false;
    for (std::size_t j = 0; j < block.starts.size(); ++j) {
        const std::optional<Place> place = map.Locate(block.starts[j]);
        if (!origin || !place || !map.Locate(block.EndOf(j))) {
            return Unseen(block, j, map.Name());
        }
        if (block.EndOf(j) > origin->bankLast && size == 2) {
            return OutOfBank(block, j, *origin, map.Name());
        }
        if (block.EndOf(j) > place->bankLast && !warned) {
            warned = true;
            warnings.push_back("Aviso: " + StringAt(j, block.starts[j]) +
                               " cruza el final de su banco (" + Hex(place->bankLast) + ", mapa " +
                               map.Name() + "): el juego puede no leerla entera.");
        }
        block.newValues[j] = block.first + (place->address - origin->address);
    }
    return std::nullopt;
}

// Each entry's string: the one of its value, found next to the previous entry's when the
// table ascends; none for an entry of padding.
std::vector<std::uint32_t> PairEntries(const Reading& reading, const Block& block) {
    std::vector<std::uint32_t> stringOf(reading.entries.size());
    std::size_t j = 0;
    for (std::size_t k = 0; k < reading.entries.size(); ++k) {
        const std::uint32_t value = reading.entries[k];
        if (reading.IsNull(value)) {
            stringOf[k] = Plan::kNoString;
            continue;
        }
        if (block.values[j] != value) {
            j = j + 1 < block.values.size() && block.values[j + 1] == value
                    ? j + 1
                    : static_cast<std::size_t>(
                          std::lower_bound(block.values.begin(), block.values.end(), value) -
                          block.values.begin());
        }
        stringOf[k] = static_cast<std::uint32_t>(j);
    }
    return stringOf;
}

std::optional<Refusal> EncodeNewTable(Plan& plan) {
    const std::uint64_t max = plan.request.pointerSize.MaxValue();
    plan.newTable = plan.oldTable;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        if (plan.stringOf[k] == Plan::kNoString) {
            continue;
        }
        const std::uint64_t value = plan.block->newValues[plan.stringOf[k]];
        if (value > max) {
            return Bad(Exit::Overflow, "la entrada " + std::to_string(k) + " valdría " +
                                           Hex(value) + ", que no cabe en " +
                                           plan.request.pointerSize.Text() + " bytes (máximo " +
                                           Hex(max) + "): revise " +
                                           FieldName(Field::FirstPointer));
        }
        EncodeEntry(plan.format, static_cast<std::uint32_t>(value), plan.newTable, k);
    }
    return std::nullopt;
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
            return Bad(Exit::BadField,
                       "el primer puntero " + Quote(r.firstPointerText, kFieldLimit) + " " +
                           FirstPointerRule(r.Format()) +
                           " (la consola guarda sus punteros en big endian): revise " +
                           FieldName(Field::FirstPointer));
        }
    }
    return std::nullopt;
}

// The block's strings, from the typed reading and the verdict of a table over it.
std::optional<Refusal> MakeBlock(const View& view, const Request& r, const Verdict& verdict,
                                 Block& block) {
    const Reading& reading = *verdict.reading;
    Strings strings = reading.strings;
    block.values = reading.values;
    if (verdict.inTableOrder) {
        // A table of padding written as a table being built: one string per entry, in order.
        const std::size_t n = reading.entries.size();
        strings = Split(view.text, r.textStart, r.separator, n, view.textLimit);
        if (strings.starts.size() < n) {
            return Bad(Exit::TextTooShort, "la tabla tiene " + Count(n, "entrada", "entradas") +
                                               ", pero solo se encontraron " +
                                               Count(strings.starts.size(), "cadena", "cadenas") +
                                               " para escribirla como tabla nueva: revise " +
                                               FieldName(Field::TableEnd));
        }
        block.values = reading.entries;
    }
    block.starts = std::move(strings.starts);
    block.textEnd = strings.end;
    block.first = verdict.first;
    block.story = verdict.story;
    return std::nullopt;
}

Plan TablePlan(const View& view, const TableJob& job, const Request& r, Verdict& verdict,
               std::shared_ptr<const Block> block) {
    Plan plan;
    plan.request = r;
    plan.line = job.line;
    plan.block = std::move(block);
    plan.format = r.Format();
    const Reading& reading = *verdict.reading;
    plan.entries = reading.entries.size();
    plan.pieces = Fields::Of(r).Pieces();
    for (const Piece& piece : plan.pieces) {
        const Span* span = view.TableHolding(piece.start, piece.size);
        const auto from = static_cast<std::ptrdiff_t>(piece.start - span->from);
        plan.oldTable.insert(plan.oldTable.end(), span->bytes.begin() + from,
                             span->bytes.begin() + from + static_cast<std::ptrdiff_t>(piece.size));
    }
    if (verdict.inTableOrder) {
        plan.stringOf.resize(plan.entries);
        for (std::size_t k = 0; k < plan.entries; ++k) {
            plan.stringOf[k] = static_cast<std::uint32_t>(k);
        }
    } else {
        plan.stringOf = PairEntries(reading, *plan.block);
    }
    plan.mapName = view.map->Name();
    plan.mapReason = view.mapReason;
    plan.header = view.header;
    for (std::string& note : verdict.notes) {
        (note.rfind("Aviso:", 0) == 0 ? plan.warnings : plan.notes).push_back(std::move(note));
    }
    return plan;
}

// Each table planned from its verdict; the block's strings placed once for all of them.
Outcomes PlanVerdicts(const View& view, const std::vector<TableJob>& jobs,
                      const std::vector<Request>& requests,
                      std::vector<std::variant<Verdict, Refusal>>& verdicts) {
    Outcomes outcomes(jobs.size(), Refusal{});
    auto block = std::make_shared<Block>();
    std::optional<Refusal> blockRefusal;
    std::vector<std::string> warnings;
    // The block's strings from the first table that passed: every passing table reads the same.
    const auto passed = std::find_if(verdicts.begin(), verdicts.end(), [](const auto& v) {
        return std::holds_alternative<Verdict>(v);
    });
    if (passed != verdicts.end()) {
        const Verdict& verdict = std::get<Verdict>(*passed);
        blockRefusal = MakeBlock(view, requests.front(), verdict, *block);
        if (!blockRefusal) {
            blockRefusal =
                PlaceStrings(*view.map, requests.front().pointerSize.Bytes(), *block, warnings);
        }
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (auto* refusal = std::get_if<Refusal>(&verdicts[i])) {
            outcomes[i] = std::move(*refusal);
            continue;
        }
        if (blockRefusal) {
            outcomes[i] = *blockRefusal;
            continue;
        }
        Plan plan = TablePlan(view, jobs[i], requests[i], std::get<Verdict>(verdicts[i]), block);
        if (i == 0) {
            plan.warnings.insert(plan.warnings.end(), warnings.begin(), warnings.end());
        }
        if (auto refusal = EncodeNewTable(plan)) {
            outcomes[i] = std::move(*refusal);
        } else {
            outcomes[i] = std::move(plan);
        }
    }
    return outcomes;
}

// The tables over one text block, read, judged and planned together.
Outcomes PlanBlockUnguarded(const std::vector<TableJob>& jobs, const std::vector<TableJob>& run,
                            File& rom) {
    const auto all = [&](const Refusal& refusal) { return Outcomes(jobs.size(), refusal); };
    std::vector<Request> requests;
    for (const TableJob& job : jobs) {
        if (job.request.tableEnd < job.request.tableStart) {
            return all(Bad(Exit::BadTable, "el final de la tabla (" + Hex(job.request.tableEnd) +
                                               ") está antes de su inicio (" +
                                               Hex(job.request.tableStart) + "): revise " +
                                               FieldName(Field::TableEnd)));
        }
        requests.push_back(job.request);
    }
    auto viewed = ReadView(requests, rom);
    if (auto* refusal = std::get_if<Refusal>(&viewed)) {
        return all(*refusal);
    }
    View& view = std::get<View>(viewed);
    for (const TableJob& job : run) {
        const Request& r = job.request;
        if (r.textStart > jobs.front().request.textStart) {
            view.nextText = std::min<std::uint64_t>(view.nextText, r.textStart);
        }
        if (r.tableEnd >= r.tableStart) {
            view.named.emplace_back(r.tableStart, r.tableEnd);
            for (const std::uint32_t at : r.runs) {
                view.named.emplace_back(at, std::uint64_t{at} + (r.tableEnd - r.tableStart));
            }
        }
    }
    std::vector<Fields> fields;
    for (Request& r : requests) {
        if (auto refusal = SettleByteOrder(view, r)) {
            return all(*refusal);
        }
        fields.push_back(Fields::Of(r));
    }
    // The typed fields read once each, for the old text's bytes and for the judgement; each
    // table's strings are the block's, paired with every table's values.
    std::vector<std::optional<Reading>> typed;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        typed.push_back(
            Read(view, fields[i], OthersThan(fields, i), i > 0 && typed[0] ? &*typed[0] : nullptr));
    }
    if (typed.front()) {
        if (auto refusal = ReadOldText(requests.front(), *typed.front(), rom, view)) {
            return all(*refusal);
        }
    }
    std::vector<std::size_t> lines;
    lines.reserve(jobs.size());
    for (const TableJob& job : jobs) {
        lines.push_back(job.line);
    }
    std::vector<std::variant<Verdict, Refusal>> verdicts =
        JudgeBlock(view, requests, lines, std::move(typed));
    return PlanVerdicts(view, jobs, requests, verdicts);
}

// `run` is every table of the run, which none of these goes on into.
Outcomes PlanBlock(const std::vector<TableJob>& jobs, const std::vector<TableJob>& run, File& rom) {
    try {
        return PlanBlockUnguarded(jobs, run, rom);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    const Request& r = jobs.front().request;
    const std::uint64_t span = std::uint64_t{r.tableEnd} - r.tableStart + 1;
    return Outcomes(
        jobs.size(),
        Bad(Exit::BadTable, "no hay memoria suficiente para una tabla de " +
                                Count(span / r.pointerSize.Bytes(), "entrada", "entradas") + " (" +
                                Hex(span) + " bytes): revise " + FieldName(Field::TableEnd)));
}

} // namespace

std::uint64_t Block::EndOf(std::size_t j) const {
    return j + 1 < starts.size() ? starts[j + 1] - 1 : textEnd;
}

std::vector<Range> Plan::Ranges() const {
    std::vector<Range> ranges;
    std::size_t at = 0;
    for (const Piece& piece : pieces) {
        const auto size = static_cast<std::size_t>(piece.size);
        ranges.push_back(Range{piece.start, std::span(oldTable).subspan(at, size),
                               std::span(newTable).subspan(at, size)});
        at += size;
    }
    return ranges;
}

std::uint32_t OldValue(const Plan& plan, std::size_t k) {
    return DecodeEntry(plan.format, plan.oldTable, k);
}

Entry EntryAt(const Plan& plan, std::size_t k) {
    const std::uint32_t old = OldValue(plan, k);
    const std::uint32_t now = DecodeEntry(plan.format, plan.newTable, k);
    // A split table's entry is named by where its first run holds it.
    const unsigned size = plan.request.pointerSize.Bytes();
    const std::uint64_t at =
        plan.request.tableStart + std::uint64_t{k} * (plan.format.split ? 1 : size);
    if (plan.stringOf[k] == Plan::kNoString) {
        return Entry{at, old, now, 0, 0, true};
    }
    const std::size_t j = plan.stringOf[k];
    const std::uint64_t start = plan.block->starts[j];
    return Entry{at, old, now, start, plan.block->EndOf(j) - start, false};
}

std::size_t ChangedEntries(const Plan& plan) {
    std::size_t changed = 0;
    for (std::size_t k = 0; k < plan.entries; ++k) {
        changed += OldValue(plan, k) != DecodeEntry(plan.format, plan.newTable, k) ? 1 : 0;
    }
    return changed;
}

const Refusal* RunPlan::FirstRefusal() const {
    for (const auto& table : tables) {
        if (const auto* refusal = std::get_if<Refusal>(&table)) {
            return refusal;
        }
    }
    return nullptr;
}

std::vector<const Plan*> RunPlan::Plans() const {
    std::vector<const Plan*> plans;
    for (const auto& table : tables) {
        if (const auto* plan = std::get_if<Plan>(&table)) {
            plans.push_back(plan);
        }
    }
    return plans;
}

RunPlan MakeRunPlan(const std::vector<TableJob>& jobs, File& rom) {
    // Tables with the same TEXTO share their block: grouped in the order their first comes.
    std::vector<std::vector<std::size_t>> blocks;
    std::map<std::uint32_t, std::size_t> blockOf;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto [at, fresh] = blockOf.emplace(jobs[i].request.textStart, blocks.size());
        if (fresh) {
            blocks.emplace_back();
        }
        blocks[at->second].push_back(i);
    }
    RunPlan run;
    run.tables.resize(jobs.size(), Refusal{});
    for (const std::vector<std::size_t>& indexes : blocks) {
        std::vector<TableJob> group;
        group.reserve(indexes.size());
        for (const std::size_t i : indexes) {
            group.push_back(jobs[i]);
        }
        Outcomes outcomes = PlanBlock(group, jobs, rom);
        for (std::size_t k = 0; k < indexes.size(); ++k) {
            // A table file's refusal names its line, on the line that ends stderr too.
            if (auto* refusal = std::get_if<Refusal>(&outcomes[k]);
                refusal && group[k].line > 0 &&
                refusal->message.rfind("en la tabla de la línea", 0) != 0) {
                refusal->message =
                    "línea " + std::to_string(group[k].line) + ": " + refusal->message;
            }
            run.tables[indexes[k]] = std::move(outcomes[k]);
        }
    }
    return run;
}

} // namespace zeltor
