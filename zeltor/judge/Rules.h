#pragma once

#include "zeltor/judge/Judge.h"

#include <optional>

// The rules, each a pure function of the view and one reading of the fields, in the order the
// fields are named: the table's (START, END, SIZE), the separator's, then TEXT's and FIRST's.
namespace zeltor {

// The table's own fields.
std::optional<Finding> WholeEntries(const View& view, const Reading& reading);
std::optional<Finding> Padding(const View& view, const Reading& reading);
std::optional<Finding> Addresses(const View& view, const Reading& reading);
std::optional<Finding> EnoughStrings(const View& view, const Reading& reading);
std::optional<Finding> TableGoesOn(const View& view, const Reading& reading);
std::optional<Finding> TableStartsEarlier(const View& view, const Reading& reading);
std::optional<Finding> StrayEntries(const View& view, const Reading& reading);
// Where the text moved and the old one still stands, an entry at either end that begins none
// of its strings, while the others do, is another table's.
std::optional<Finding> EndsMissOldText(const View& view, const Reading& reading);
// The last entry and the ones after END step through the strings of another block, one each:
// the last is the next table's first.
std::optional<Finding> NextTableTakenIn(const View& view, const Reading& reading);
// A split table read from one entry late: its first run ends with the second run's first byte,
// so the last entry's low byte is one of the high bytes (the text's pages), and the text keeps
// one string more than the entries read.
// The last entry, the greatest value, gets an empty string before free space of the
// separator's byte, and the entries after END go on from it: a table whose last string was
// emptied, or END one entry long into the next table. The bytes are the same; both are given.
std::optional<Finding> EmptyLastBeforeNext(const View& view, const Reading& reading);
std::optional<Finding> SplitRunsShifted(const View& view, const Reading& reading);
// A split table whose entries ascend, but for a step back wherever the page changes: its runs are
// split a byte off, each page paired with the low byte of the entry beside. Read one entry
// either way, they ascend throughout.
std::optional<Finding> SplitOrderBroken(const View& view, const Reading& reading);

// The separator.
std::optional<Finding> Separator(const View& view, const Reading& reading);

// TEXT and FIRST.
std::optional<Finding> TextAndFirst(const View& view, const Reading& reading);
std::optional<Finding> TextEdges(const View& view, const Reading& reading);
// A text moved, without FIRST, to right after other bytes than free space: there a TEXT typed a
// string or a byte off reads as well as the right one, so FIRST must say where it begins.
std::optional<Finding> MovedRightAfter(const View& view, const Reading& reading);
// A text moved, without FIRST, whose first string is empty with another separator before it:
// a TEXT typed a byte early into the separators before a text reads the same, so FIRST must say
// that the first string was emptied.
std::optional<Finding> TextInSeparators(const View& view, const Reading& reading);
// A plain file whose pointers are its own positions (or, 4 bytes wide, those above 0x08000000,
// as a Game Boy Advance's): there the smallest value names where the text begins. Where it
// names a position beside TEXT (a byte or two off, or the string just before it), TEXT is off.
std::optional<Finding> FileOffsets(const View& view, const Reading& reading);

// The reading's old text, or what it would be without one of the values.
OldText OldTextOf(const Reading& reading, std::optional<std::uint32_t> without = std::nullopt);
// The same from positions already in ascending order.
OldText OldTextFrom(const std::vector<std::uint64_t>& positions);
// The strings read lie wholly apart from where the old values point: the text was moved.
bool MovedAway(const Reading& reading, const OldText& old);

// A value as the report and the messages show it: 0x8200.
std::string ValueText(const Reading& reading, std::uint32_t value);

} // namespace zeltor
