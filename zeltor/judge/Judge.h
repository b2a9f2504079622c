#pragma once

#include "portable/FieldNames.h"
#include "zeltor/Outcome.h"
#include "zeltor/judge/Evidence.h"
#include "zeltor/judge/View.h"
#include "zeltor/words/Arguments.h"

#include <bitset>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Whether the fields, the old table and the ROM tell one story: the old values point at the
// text (where it is, or where it was before it moved), the table is whole, the separator ends
// the strings the table needs. Each rule is a pure function of the view and of one reading of
// the fields; a refusal names the field the evidence points at and, where a correction of it
// makes every rule agree, the value to type.
namespace zeltor {

// Where the old values point, and the longest distance between two that follow each other.
struct OldText {
    std::uint64_t low = 0, high = 0, longestGap = 0;
    bool known = false;
};

// The fields read against the view.
struct Reading {
    Fields fields;
    std::vector<std::uint32_t> entries; // every entry's old value
    std::vector<std::uint32_t> values;  // the distinct ones that are pointers, ascending
    Strings strings;                    // read from TEXT, one per value at most
    bool zeroIsNull = false;
    Basis basis;
    ByteCounts counts; // of the bytes in the strings read
    std::bitset<256> charset;
    std::optional<std::uint64_t> freeSpace; // where free space begins after TEXT
    // Where each value points, in the order of `values`; kNowhere where it points at no byte.
    std::vector<std::uint64_t> at;
    static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
    std::vector<std::uint64_t> positions; // the same, those that point somewhere, ascending
    OldText old;

    bool IsNull(std::uint32_t value) const;
};

// Nothing when `fields` ask for bytes the view does not hold (a correction too far off).
// `others` are the other tables over the same text block, whose values the strings go to as
// well. `sibling`, the reading of one of those others, lends its strings and all that is read
// through them when it reads the text as these fields do: a block of many tables is read once.
// The fields of a block's tables but the i-th: the others its reading pairs strings with.
std::vector<Fields> OthersThan(const std::vector<Fields>& fields, std::size_t i);

std::optional<Reading> Read(const View& view, const Fields& fields,
                            const std::vector<Fields>& others = {},
                            const Reading* sibling = nullptr);

// What the evidence shows against one reading.
struct Finding {
    Finding(Exit code, Field field, std::string message, bool settled = false,
            std::string hint = {})
        : code(code), field(field), message(std::move(message)), settled(settled),
          hint(std::move(hint)), suspects(SuspectsOf(field)) {}

    // The fields whose correction could explain what a rule about `field` found, in the order
    // they are named: the table's own for a rule about the table; the table's and the field's
    // for what is read through it.
    static std::vector<Field> SuspectsOf(Field field);

    Exit code;
    Field field;
    std::string message; // what the bytes show, without what to do
    // The message already says what to do (both readings of an ambiguous table end).
    bool settled;
    std::string hint; // said last: "; si ha movido el texto a propósito, ..."
    std::vector<Field> suspects;
    // Where the evidence says the text begins, tried before any other correction.
    std::optional<std::uint64_t> textAt;
    // The byte the evidence says ends the strings, tried before any other field's correction.
    std::optional<std::uint8_t> separator;
};

// How the text and its old values relate.
enum class Story {
    InPlace,  // the smallest old value points at TEXT
    Moved,    // the text went where the old values never pointed
    Declared, // FIRST says where the text now starts
    Assumed   // a plain file: the old base is taken to hold
};

struct Verdict {
    Story story = Story::Assumed;
    std::uint32_t first = 0;        // the value the first string's pointer gets
    std::vector<std::string> notes; // for the report: "el texto se ha movido..."
    // A table of padding written with --force: a table being built, one string per entry in
    // the table's order.
    bool inTableOrder = false;
    // The typed fields as read, for the plan: read once.
    std::optional<Reading> reading;
};

// The rules in their order; the first that finds something.
std::optional<Finding> FirstFinding(const View& view, const Reading& reading);

// The same, but for a split table read an entry either way by a rule: without the rules that
// read it an entry either way again, which would go back and forth between two readings.
std::optional<Finding> FirstFindingOfShifted(const View& view, const Reading& reading);

// The story of a reading that no rule refuses.
Verdict StoryOf(const View& view, const Reading& reading);

// Judges the typed fields. A refusal names the first field, in the order of `Field`, whose
// correction makes every rule agree, with the value to type; or else the field the first
// finding points at.
std::variant<Verdict, Refusal> Judge(const View& view, const Request& request,
                                     std::optional<Reading> typed);

// The tables over one text block, judged together: each table's own rules on its entries, then
// the text's rules once on them all. What the text's rules find names the first table (in
// order, by its `lines`) whose own field's correction makes every rule agree, or the text's
// field. One table refused refuses the block: its text is theirs together.
std::vector<std::variant<Verdict, Refusal>> JudgeBlock(const View& view,
                                                       const std::vector<Request>& requests,
                                                       const std::vector<std::size_t>& lines,
                                                       std::vector<std::optional<Reading>> typed);

} // namespace zeltor
