#include "zeltor/judge/Judge.h"

#include "portable/Hex.h"
#include "zeltor/judge/Rules.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <array>

namespace zeltor {

namespace {

using RuleFunction = std::optional<Finding> (*)(const View&, const Reading&);

// The order in which the fields are named: the table's, the separator's, then TEXT's and
// FIRST's. Each rule may count on the ones before it having passed.
// What cannot be carried out at all (exit 3 and 4) comes before what looks mistaken (exit 9).
constexpr std::array<RuleFunction, 18> kRules = {
    WholeEntries,        EnoughStrings,      Padding,          Addresses,       Separator,
    TableGoesOn,         TableStartsEarlier, StrayEntries,     EndsMissOldText, NextTableTakenIn,
    EmptyLastBeforeNext, SplitRunsShifted,   SplitOrderBroken, TextAndFirst,    TextEdges,
    MovedRightAfter,     TextInSeparators,   FileOffsets,
};
// Where several tables share a text block: each table's own rules, then the text's, once.
constexpr std::array<RuleFunction, 11> kTableRules = {
    WholeEntries,        Padding,          Addresses,        TableGoesOn,
    TableStartsEarlier,  StrayEntries,     EndsMissOldText,  NextTableTakenIn,
    EmptyLastBeforeNext, SplitRunsShifted, SplitOrderBroken,
};
constexpr std::array<RuleFunction, 7> kTextRules = {
    EnoughStrings,   Separator,        TextAndFirst, TextEdges,
    MovedRightAfter, TextInSeparators, FileOffsets,
};

template <std::size_t N>
std::optional<Finding> FirstOf(const std::array<RuleFunction, N>& rules, const View& view,
                               const Reading& reading) {
    for (const RuleFunction rule : rules) {
        if (auto finding = rule(view, reading)) {
            return finding;
        }
    }
    return std::nullopt;
}

// One field changed, and how the message shows its new value.
struct Correction {
    Field field;
    Fields fields;
    std::string value;
    // It leaves entries out, or reads the table in another size or layout: with less to read,
    // or other values, it hides evidence as often as it mends.
    bool hides = false;
};

void AddTable(const Fields& f, std::vector<Correction>& out) {
    const std::uint64_t size = f.size;
    const auto add = [&](Field field, std::uint64_t start, std::uint64_t end, std::string value) {
        Fields c = f;
        c.tableStart = start;
        c.tableEnd = end;
        // The whole table read some bytes off gives other values, not the table's: where FIRST
        // says where the text begins, they may agree by chance.
        const bool drops = end - start < f.tableEnd - f.tableStart;
        const bool shifted =
            (start > f.tableStart ? start - f.tableStart : f.tableStart - start) % size != 0 &&
            end - start == f.tableEnd - f.tableStart;
        out.push_back({field, c, std::move(value), drops || shifted});
    };
    // A correction that left less than half the table would agree with anything; one that
    // left three strings or fewer, with most evidence about a separator.
    const std::uint64_t entries = (f.tableEnd - f.tableStart + 1) / size;
    const auto keeps = [&](std::uint64_t k) {
        return 2 * k < entries && entries - k >= std::min<std::uint64_t>(4, entries - 1);
    };
    for (std::uint64_t k = 1; k <= 3; ++k) {
        add(Field::TableStart, f.tableStart - k * size, f.tableEnd, Hex(f.tableStart - k * size));
        if (keeps(k)) {
            add(Field::TableStart, f.tableStart + k * size, f.tableEnd,
                Hex(f.tableStart + k * size));
        }
    }
    for (std::uint64_t d = 1; d < size; ++d) {
        for (const std::uint64_t start : {f.tableStart - d, f.tableStart + d}) {
            add(Field::TableStart, start, f.tableEnd, Hex(start));
            const std::uint64_t end = start > f.tableStart ? f.tableEnd + d : f.tableEnd - d;
            add(Field::TableStart, start, end,
                Hex(start) + " (y " + FieldName(Field::TableEnd) + " en " + Hex(end) + ")");
        }
    }
    for (std::uint64_t k = 1; k <= 3; ++k) {
        if (keeps(k)) {
            add(Field::TableEnd, f.tableStart, f.tableEnd - k * size, Hex(f.tableEnd - k * size));
        }
        add(Field::TableEnd, f.tableStart, f.tableEnd + k * size, Hex(f.tableEnd + k * size));
    }
    for (std::uint64_t d = 1; d < size; ++d) {
        for (const std::uint64_t end : {f.tableEnd - d, f.tableEnd + d}) {
            add(Field::TableEnd, f.tableStart, end, Hex(end));
        }
    }
    // The same size in the other layouts a game keeps its pointers in, before other sizes.
    if (f.runs.empty()) {
        for (const auto& [bigEndian, split] : {std::pair{false, true}, std::pair{true, false},
                                               std::pair{true, true}, std::pair{false, false}}) {
            Fields c = f;
            c.bigEndian = bigEndian;
            c.split = split;
            if (c != f) {
                const std::string how = bigEndian && split ? "con --big-endian y --split"
                                        : bigEndian        ? "con --big-endian"
                                        : split            ? "con --split"
                                                           : "sin --big-endian ni --split";
                out.push_back({Field::PointerSize, c, std::to_string(f.size) + ", " + how, true});
            }
        }
    }

    for (const unsigned other : {2u, 3u, 4u}) {
        if (other != f.size) {
            Fields c = f;
            c.size = other;
            out.push_back({Field::PointerSize, c, std::to_string(other), true});
        }
    }
}

void AddSeparators(const View& view, const Reading& r, std::vector<Correction>& out) {
    // Bytes that occur about as often as the table has strings, in the text read.
    const std::uint64_t to = std::min(view.text.End(), r.freeSpace.value_or(view.text.End()));
    std::array<std::size_t, 256> counts{};
    for (std::uint64_t at = r.fields.textStart; at < to; ++at) {
        ++counts[view.text[at]];
    }
    // 00 and FF, then the few bytes that occur most nearly as often as the table has strings.
    const std::size_t m = r.values.size();
    std::vector<int> bytes = {0x00, 0xFF};
    std::vector<std::pair<std::size_t, int>> near;
    for (int b = 1; b < 255; ++b) {
        if (counts[b] + 4 >= m && counts[b] <= m) {
            near.emplace_back(m - counts[b], b);
        }
    }
    std::sort(near.begin(), near.end());
    for (std::size_t k = 0; k < near.size() && k < 6; ++k) {
        bytes.push_back(near[k].second);
    }
    for (const int b : bytes) {
        if (b != r.fields.separator) {
            Fields c = r.fields;
            c.separator = static_cast<std::uint8_t>(b);
            out.push_back({Field::Separator, c, HexDigits(static_cast<unsigned>(b), 2)});
        }
    }
}

void AddText(const View& view, const Reading& r, std::vector<Correction>& out) {
    std::vector<std::uint64_t> starts;
    const OldText old = OldTextOf(r);
    if (old.known) {
        starts.push_back(old.low);
    }
    const std::uint64_t t = r.fields.textStart;
    for (const std::uint64_t d : {1u, 2u}) {
        starts.push_back(t - d);
        starts.push_back(t + d);
    }
    // The string before TEXT's (no further back than a table just before it) and the one after.
    std::uint64_t k = t >= 2 ? t - 2 : 0;
    while (k > 0 && view.text.Holds(k) && view.text[k] != r.fields.separator &&
           k != r.fields.tableEnd) {
        --k;
    }
    starts.push_back(k + 1);
    // Where a typed FIRST points, on a known map.
    if (r.fields.first && view.mapKnown) {
        if (const auto p = r.basis.Where(*r.fields.first)) {
            starts.push_back(*p);
        }
    }
    if (r.strings.starts.size() > 1) {
        starts.push_back(r.strings.starts[1]);
    }
    for (const std::uint64_t start : starts) {
        if (start != t && start < view.fileSize) {
            Fields c = r.fields;
            c.textStart = start;
            out.push_back({Field::TextStart, c, Hex(start)});
        }
    }
}

void AddFirst(const View& view, const Reading& r, std::vector<Correction>& out) {
    const Fields& f = r.fields;
    std::vector<std::optional<std::uint32_t>> firsts;
    if (f.first) {
        firsts.push_back(Reversed(*f.first, f.size));
        firsts.push_back(std::nullopt);
    }
    if (view.mapKnown && !r.values.empty()) {
        firsts.push_back(r.basis.ValueOf(f.textStart, r.values.front()));
    }
    for (const auto& first : firsts) {
        if (first != f.first) {
            Fields c = f;
            c.first = first;
            out.push_back({Field::FirstPointer, c,
                           first ? AsTyped(*first, f.size) : std::string("sin primer puntero")});
        }
    }
}

std::vector<Correction> Corrections(const View& view, const Reading& r) {
    std::vector<Correction> out;
    AddTable(r.fields, out);
    AddSeparators(view, r, out);
    AddText(view, r, out);
    AddFirst(view, r, out);
    return out;
}

std::string Compose(const Finding& finding, const Correction* fix) {
    if (finding.settled) {
        return finding.message;
    }
    if (fix == nullptr) {
        return finding.message + ": revise " + FieldName(finding.field) + finding.hint;
    }
    // A FIRST left out reads "(sin primer puntero, todo concuerda)", not "con sin ...".
    const bool without = fix->value.rfind("sin ", 0) == 0;
    if (fix->field == finding.field) {
        return finding.message + ": revise " + FieldName(finding.field) +
               (without ? " (" + fix->value + ", todo concuerda)"
                        : " (con " + fix->value + " todo concuerda)") +
               finding.hint;
    }
    if (without) {
        return finding.message + "; " + fix->value + ", todo concuerda: revise " +
               FieldName(fix->field);
    }
    return finding.message + "; con " + FieldName(fix->field) + " en " + fix->value +
           " todo concuerda: revise " + FieldName(fix->field);
}

// The first field, in the order the finding suspects them, whose correction makes every rule
// agree.
std::optional<Correction> Agreeing(const View& view, const Reading& r, const Finding& finding) {
    std::vector<Correction> corrections = Corrections(view, r);
    if (finding.textAt) {
        // What the evidence itself proposes goes first among TEXT's corrections.
        Fields proposed = r.fields;
        proposed.textStart = *finding.textAt;
        corrections.insert(corrections.begin(), {Field::TextStart, proposed, Hex(*finding.textAt)});
    }
    // A separator that ends exactly the table's strings where the text ends is named before
    // the fields read through it: a table or TEXT corrected around a wrong one agrees by chance.
    if (finding.separator) {
        Fields proposed = r.fields;
        proposed.separator = *finding.separator;
        const std::optional<Reading> reading = Read(view, proposed);
        if (reading && !FirstFinding(view, *reading)) {
            return Correction{Field::Separator, proposed, HexDigits(*finding.separator, 2)};
        }
    }
    // Corrections that hide evidence come after every other suspect's.
    for (const bool hides : {false, true}) {
        for (const Field field : finding.suspects) {
            for (Correction& c : corrections) {
                if (c.field != field || c.hides != hides) {
                    continue;
                }
                const std::optional<Reading> reading = Read(view, c.fields);
                if (reading && !FirstFinding(view, *reading)) {
                    return std::move(c);
                }
            }
        }
    }
    return std::nullopt;
}

// A refusal that --force overrules: written as typed, the reason kept as a warning. A table of
// padding is written as a table being built, one string per entry in its order.
Verdict Forced(const View& view, const Request& request, const Reading& reading,
               const std::string& message) {
    Verdict verdict;
    const unsigned size = request.pointerSize.Bytes();
    const bool allPadding =
        std::all_of(reading.entries.begin(), reading.entries.end(),
                    [&](std::uint32_t v) { return v == 0 || IsNull(v, size, false); });
    if (allPadding) {
        verdict.inTableOrder = true;
        verdict.first =
            request.firstPointer
                ? *request.firstPointer
                : reading.basis.ValueOf(request.textStart, 0).value_or(request.textStart);
        verdict.notes.push_back("La tabla era relleno: se ha escrito como una tabla nueva, una "
                                "cadena por entrada en el orden de la tabla, desde " +
                                Hex(request.textStart) + ".");
    } else {
        verdict = StoryOf(view, reading);
    }
    verdict.notes.insert(verdict.notes.begin(),
                         "Aviso: escrito igualmente por --force, aunque " + message + ".");
    verdict.reading = reading;
    return verdict;
}

bool IsTableField(Field field) {
    return field == Field::TableStart || field == Field::TableEnd || field == Field::PointerSize;
}

bool Suspected(const Finding& finding, Field field) {
    return std::find(finding.suspects.begin(), finding.suspects.end(), field) !=
           finding.suspects.end();
}

// What the text's rules found, for every table over it: the first table (in order) whose own
// field's correction makes them agree, or else the text's field corrected for them all.
std::string BlockMessage(const View& view, const std::vector<std::size_t>& lines,
                         const std::vector<Fields>& fields,
                         const std::vector<std::optional<Reading>>& typed, const Finding& finding) {
    for (std::size_t i = 0; i < fields.size() && !finding.settled; ++i) {
        for (const Correction& c : Corrections(view, *typed[i])) {
            if (!IsTableField(c.field) || !Suspected(finding, c.field)) {
                continue;
            }
            const std::optional<Reading> reading = Read(view, c.fields, OthersThan(fields, i));
            if (reading && !FirstFinding(view, *reading)) {
                return "en la tabla de la línea " + std::to_string(lines[i]) + ", " +
                       Compose(finding, &c);
            }
        }
    }
    for (const Correction& c :
         finding.settled ? std::vector<Correction>{} : Corrections(view, *typed.front())) {
        if (IsTableField(c.field) || !Suspected(finding, c.field)) {
            continue;
        }
        std::vector<Fields> changed = fields;
        for (Fields& f : changed) {
            f.textStart = c.fields.textStart;
            f.separator = c.fields.separator;
            f.first = c.fields.first;
        }
        const std::optional<Reading> reading = Read(view, changed.front(), OthersThan(changed, 0));
        if (reading && !FirstFinding(view, *reading)) {
            return Compose(finding, &c);
        }
    }
    return Compose(finding, nullptr);
}

} // namespace

std::vector<Field> Finding::SuspectsOf(Field field) {
    using F = Field;
    switch (field) {
    case F::TableStart:
    case F::TableEnd:
    case F::PointerSize:
        return {F::TableStart, F::TableEnd, F::PointerSize};
    case F::Separator:
        return {F::TableStart, F::TableEnd, F::PointerSize, F::Separator, F::TextStart};
    case F::TextStart:
        return {F::TableStart, F::TableEnd, F::PointerSize, F::TextStart, F::FirstPointer};
    case F::FirstPointer:
        break;
    }
    return {F::TextStart, F::FirstPointer};
}

std::optional<Finding> FirstFinding(const View& view, const Reading& reading) {
    return FirstOf(kRules, view, reading);
}

std::optional<Finding> FirstFindingOfShifted(const View& view, const Reading& reading) {
    for (const RuleFunction rule : kRules) {
        if (rule == SplitRunsShifted || rule == SplitOrderBroken) {
            continue;
        }
        if (auto finding = rule(view, reading)) {
            return finding;
        }
    }
    return std::nullopt;
}

namespace {

// Both readings of the table's end are given only where nothing else explains the entry after
// it: TEXT past the first string also leaves the text going on, and where the bytes before
// TEXT show that and the TEXT they give makes every rule agree, TEXT is named.
Finding TextOverAmbiguity(const View& view, const Reading& reading, Finding ambiguous) {
    std::optional<Finding> edge = TextEdges(view, reading);
    if (!edge || !edge->textAt) {
        return ambiguous;
    }
    Fields fields = reading.fields;
    fields.textStart = *edge->textAt;
    const std::optional<Reading> corrected = Read(view, fields);
    return corrected && !FirstFinding(view, *corrected) ? std::move(*edge) : ambiguous;
}

} // namespace

std::variant<Verdict, Refusal> Judge(const View& view, const Request& request,
                                     std::optional<Reading> typed) {
    const std::optional<Reading>& reading = typed;
    if (!reading) {
        return Bad(Exit::BadTable, "la tabla no se pudo leer entera: revise " +
                                       FieldName(Field::TableStart) + " y " +
                                       FieldName(Field::TableEnd));
    }
    std::optional<Finding> finding = FirstFinding(view, *reading);
    if (!finding) {
        Verdict verdict = StoryOf(view, *reading);
        verdict.reading = std::move(typed);
        return verdict;
    }
    if (finding->settled) {
        finding = TextOverAmbiguity(view, *reading, std::move(*finding));
    }
    const std::optional<Correction> fix =
        finding->settled ? std::nullopt : Agreeing(view, *reading, *finding);
    const std::string message = Compose(*finding, fix ? &*fix : nullptr);
    if (finding->code != Exit::LooksWrong || !request.options.force) {
        return Bad(finding->code, message);
    }
    return Forced(view, request, *reading, message);
}

} // namespace zeltor

namespace zeltor {

std::vector<Fields> OthersThan(const std::vector<Fields>& fields, std::size_t i) {
    std::vector<Fields> others = fields;
    others.erase(others.begin() + static_cast<std::ptrdiff_t>(i));
    return others;
}

std::vector<std::variant<Verdict, Refusal>> JudgeBlock(const View& view,
                                                       const std::vector<Request>& requests,
                                                       const std::vector<std::size_t>& lines,
                                                       std::vector<std::optional<Reading>> typed) {
    const std::size_t n = requests.size();
    if (n == 1) {
        return {Judge(view, requests.front(), std::move(typed.front()))};
    }
    std::vector<std::variant<Verdict, Refusal>> out(n, Refusal{});
    std::vector<bool> decided(n, false);
    std::vector<Fields> fields;
    std::optional<Refusal> refused;
    // Each table's own rules first, each named by its own fields' correction.
    for (std::size_t i = 0; i < n; ++i) {
        if (!typed[i]) {
            out[i] = Bad(Exit::BadTable, "la tabla no se pudo leer entera: revise " +
                                             FieldName(Field::TableStart) + " y " +
                                             FieldName(Field::TableEnd));
            refused = refused ? refused : std::get<Refusal>(out[i]);
            decided[i] = true;
            continue;
        }
        fields.push_back(typed[i]->fields);
        if (const auto finding = FirstOf(kTableRules, view, *typed[i])) {
            const auto fix = finding->settled ? std::nullopt : Agreeing(view, *typed[i], *finding);
            const std::string message = Compose(*finding, fix ? &*fix : nullptr);
            decided[i] = true;
            if (finding->code == Exit::LooksWrong && requests[i].options.force) {
                out[i] = Forced(view, requests[i], *typed[i], message);
                continue;
            }
            out[i] = Bad(finding->code, message);
            refused = refused ? refused : std::get<Refusal>(out[i]);
        }
    }
    if (refused) {
        // The text is the tables' together: the others cannot be judged without that one.
        for (std::size_t i = 0; i < n; ++i) {
            if (!decided[i] || std::holds_alternative<Verdict>(out[i])) {
                out[i] = Bad(refused->code, "comparte su texto con otra tabla que se ha negado");
            }
        }
        return out;
    }
    // Then the text's rules, once, for all of them.
    std::optional<std::string> message;
    Exit code = Exit::Ok;
    if (const auto finding = FirstOf(kTextRules, view, *typed.front())) {
        message = BlockMessage(view, lines, fields, typed, *finding);
        code = finding->code;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (decided[i]) {
            continue; // forced already
        }
        if (!message) {
            Verdict verdict = StoryOf(view, *typed[i]);
            verdict.reading = std::move(typed[i]);
            out[i] = std::move(verdict);
        } else if (code == Exit::LooksWrong && requests[i].options.force) {
            out[i] = Forced(view, requests[i], *typed[i], *message);
        } else {
            out[i] = Bad(code, *message);
        }
    }
    return out;
}

} // namespace zeltor
