#include "zeltor/judge/Judge.h"

#include "portable/Hex.h"
#include "zeltor/Text.h"
#include "zeltor/judge/Rules.h"

#include <algorithm>
#include <array>

namespace zeltor {

namespace {

using RuleFunction = std::optional<Finding> (*)(const View&, const Reading&);

// The order in which the fields are named: the table's, the separator's, then TEXT's and
// FIRST's. Each rule may count on the ones before it having passed.
// What cannot be carried out at all (exit 3 and 4) comes before what looks mistaken (exit 9).
constexpr std::array<RuleFunction, 10> kRules = {
    WholeEntries,       EnoughStrings, Padding,   Addresses,    TableGoesOn,
    TableStartsEarlier, StrayEntries,  Separator, TextAndFirst, TextEdges,
};

// One field changed, and how the message shows its new value.
struct Correction {
    Field field;
    Fields fields;
    std::string value;
};

void AddTable(const Fields& f, std::vector<Correction>& out) {
    const std::uint64_t size = f.size;
    const auto add = [&](Field field, std::uint64_t start, std::uint64_t end, std::string value) {
        Fields c = f;
        c.tableStart = start;
        c.tableEnd = end;
        out.push_back({field, c, std::move(value)});
    };
    // A correction that left less than half the table would agree with anything.
    const std::uint64_t entries = (f.tableEnd - f.tableStart + 1) / size;
    for (std::uint64_t k = 1; k <= 3; ++k) {
        add(Field::TableStart, f.tableStart - k * size, f.tableEnd, Hex(f.tableStart - k * size));
        if (2 * k < entries) {
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
        if (2 * k < entries) {
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
                out.push_back({Field::PointerSize, c, std::to_string(f.size) + ", " + how});
            }
        }
    }

    for (const unsigned other : {2u, 3u, 4u}) {
        if (other != f.size) {
            Fields c = f;
            c.size = other;
            out.push_back({Field::PointerSize, c, std::to_string(other)});
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
    // The string before TEXT's and the one after.
    std::uint64_t k = t >= 2 ? t - 2 : 0;
    while (k > 0 && view.text.Holds(k) && view.text[k] != r.fields.separator) {
        --k;
    }
    starts.push_back(k + 1);
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
    if (fix->field == finding.field) {
        return finding.message + ": revise " + FieldName(finding.field) + " (con " + fix->value +
               " todo concuerda)" + finding.hint;
    }
    return finding.message + "; con " + FieldName(fix->field) + " en " + fix->value +
           " todo concuerda: revise " + FieldName(fix->field);
}

// The first field, in order, whose correction makes every rule agree.
std::optional<Correction> Agreeing(const View& view, const Reading& r, const Finding& finding) {
    std::vector<Correction> corrections = Corrections(view, r);
    if (finding.textAt) {
        // What the evidence itself proposes goes first among TEXT's corrections.
        Fields proposed = r.fields;
        proposed.textStart = *finding.textAt;
        const auto firstText =
            std::find_if(corrections.begin(), corrections.end(),
                         [](const Correction& c) { return c.field == Field::TextStart; });
        corrections.insert(firstText, {Field::TextStart, proposed, Hex(*finding.textAt)});
    }
    for (Correction& c : corrections) {
        if (std::find(finding.suspects.begin(), finding.suspects.end(), c.field) ==
            finding.suspects.end()) {
            continue;
        }
        const std::optional<Reading> reading = Read(view, c.fields);
        if (reading && !FirstFinding(view, *reading)) {
            return std::move(c);
        }
    }
    return std::nullopt;
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
    for (const RuleFunction rule : kRules) {
        if (auto finding = rule(view, reading)) {
            return finding;
        }
    }
    return std::nullopt;
}

std::variant<Verdict, Refusal> Judge(const View& view, const Request& request,
                                     std::optional<Reading> typed) {
    const std::optional<Reading>& reading = typed;
    if (!reading) {
        return Bad(Exit::BadTable, "la tabla no se pudo leer entera: revise " +
                                       FieldName(Field::TableStart) + " y " +
                                       FieldName(Field::TableEnd));
    }
    const std::optional<Finding> finding = FirstFinding(view, *reading);
    if (!finding) {
        Verdict verdict = StoryOf(view, *reading);
        verdict.reading = reading;
        return verdict;
    }
    const std::optional<Correction> fix =
        finding->settled ? std::nullopt : Agreeing(view, *reading, *finding);
    const std::string message = Compose(*finding, fix ? &*fix : nullptr);
    if (finding->code != Exit::LooksWrong || !request.options.force) {
        return Bad(finding->code, message);
    }
    Verdict verdict;
    const unsigned size = request.pointerSize.Bytes();
    const bool allPadding =
        std::all_of(reading->entries.begin(), reading->entries.end(),
                    [&](std::uint32_t v) { return v == 0 || IsNull(v, size, false); });
    if (allPadding) {
        verdict.inTableOrder = true;
        verdict.first =
            request.firstPointer
                ? *request.firstPointer
                : reading->basis.ValueOf(request.textStart, 0).value_or(request.textStart);
        verdict.notes.push_back("La tabla era relleno: se ha escrito como una tabla nueva, una "
                                "cadena por entrada en el orden de la tabla, desde " +
                                Hex(request.textStart) + ".");
    } else {
        verdict = StoryOf(view, *reading);
    }
    verdict.notes.insert(verdict.notes.begin(),
                         "Aviso: escrito igualmente por --force, aunque " + message + ".");
    verdict.reading = reading;
    return verdict;
}

} // namespace zeltor
