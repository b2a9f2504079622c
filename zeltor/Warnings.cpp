#include "portable/Hex.h"
#include "zeltor/Plan.h"
#include "zeltor/Text.h"

#include <algorithm>

namespace zeltor {

namespace {

// A warning that lists entries names at most this many, in at most this many characters.
constexpr std::size_t kListedEntries = 20;
constexpr std::size_t kListBudget = 140;

int Digits(const Request& r) {
    return static_cast<int>(r.pointerSize.Digits());
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
        plan.warnings.push_back(
            "Aviso: la tabla anterior no estaba en orden ascendente (" +
            Count(descents, "descenso", "descensos") + "; el primero en la entrada " +
            std::to_string(firstDescent) + ": " + Hex(OldValue(r, plan, firstDescent), Digits(r)) +
            " tras " + Hex(OldValue(r, plan, firstDescent - 1), Digits(r)) +
            "); se ha recalculado en el orden de la tabla, así que revise que es el del texto.");
    }
}

using ValueIndex = std::pair<std::uint32_t, std::uint32_t>; // (old value, entry)
using Group = std::pair<std::size_t, std::size_t>;          // [begin, end) in the sorted list

// The entries that share an old value, in groups, and how many entries they hold.
std::vector<Group> SharedGroups(const std::vector<ValueIndex>& byValue, std::size_t& shared) {
    std::vector<Group> groups;
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
    std::sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
        return byValue[a.first].second < byValue[b.first].second;
    });
    return groups;
}

// "3, 7; 4, 9 (0x8010)": at most kListedEntries entries, in at most kListBudget characters.
std::string ListGroups(const Request& r, const std::vector<ValueIndex>& byValue,
                       const std::vector<Group>& groups, std::size_t& listed) {
    std::string list;
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
                (groups.size() == 1 ? "" : " (" + Hex(byValue[begin].first, Digits(r)) + ")");
    }
    return list;
}

// Entries that shared a target now point to successive strings: one line names the groups.
void WarnAboutSharing(const Request& r, Plan& plan) {
    std::vector<ValueIndex> byValue;
    byValue.reserve(plan.starts.size());
    for (std::size_t k = 0; k < plan.starts.size(); ++k) {
        byValue.emplace_back(OldValue(r, plan, k), static_cast<std::uint32_t>(k));
    }
    std::sort(byValue.begin(), byValue.end());
    std::size_t shared = 0;
    const std::vector<Group> groups = SharedGroups(byValue, shared);
    if (groups.empty()) {
        return;
    }
    std::size_t listed = 0;
    const std::string list = ListGroups(r, byValue, groups, listed);
    const std::string more =
        listed < shared ? " y " + std::to_string(shared - listed) + " más" : "";
    if (groups.size() == 1) {
        plan.warnings.push_back("Aviso: las entradas " + list + more +
                                " apuntaban al mismo sitio (" +
                                Hex(byValue[groups[0].first].first, Digits(r)) +
                                "); ahora apuntan a cadenas distintas.");
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
    const unsigned size = r.pointerSize.Bytes();
    std::string line =
        "Aviso: el primer valor indicado, " + Shown(r.firstPointerText, kFieldLimit) + " (" +
        Hex(*r.firstPointer, Digits(r)) + "), no es el que tiene ahora la entrada 0, " +
        AsTyped(current, size) + " (" + Hex(current, Digits(r)) + ")";
    if (Reversed(*r.firstPointer, size) == current) {
        line += "; parece escrito con los bytes al revés: tal como están en la ROM se escribe " +
                AsTyped(current, size) + ".";
    } else {
        line += "; todas las entradas se han calculado a partir del indicado.";
    }
    plan.warnings.push_back(line);
}

// A table end one entry short leaves the last entry stale: the bytes after TABLEEND, read as
// one more entry, would then look like a pointer of this table.
void WarnAboutTableEnd(const Request& r, Plan& plan, File& rom, std::uint64_t fileSize) {
    const unsigned size = r.pointerSize.Bytes();
    const std::uint64_t next = std::uint64_t{r.tableEnd} + 1;
    const std::uint64_t nextLast = next + size - 1;
    const std::uint64_t textStart = r.textStart;
    if (nextLast >= fileSize || (next <= plan.textEnd && nextLast >= textStart)) {
        return;
    }
    std::uint8_t bytes[4] = {};
    if (!rom.Read(next, bytes, size)) {
        return;
    }
    const std::uint32_t value = ReadLittleEndian(bytes, size);
    const std::uint32_t firstOld = OldValue(r, plan, 0);
    const std::uint32_t lastOld = OldValue(r, plan, plan.starts.size() - 1);
    std::string why;
    if (value >= std::min(firstOld, lastOld) && value <= std::max(firstOld, lastOld)) {
        why = "está entre el primer y el último valor anteriores de la tabla (" +
              Hex(firstOld, Digits(r)) + " y " + Hex(lastOld, Digits(r)) + ")";
    } else if (value >= plan.first && value - plan.first <= plan.textEnd + 1 - textStart) {
        // Just past the text too: that is where a next string would start, the value an
        // up-to-date table holds after its last entry.
        why = "apunta al texto leído o justo detrás (" + Hex(plan.first, Digits(r)) + " a " +
              Hex(plan.first + (plan.textEnd + 1 - textStart), Digits(r)) + ")";
    } else {
        return;
    }
    plan.warnings.push_back("Aviso: la tabla parece seguir después de TABLEEND: en " + Hex(next) +
                            " hay " + Hex(value, Digits(r)) + ", que " + why +
                            "; si es otra entrada, TABLEEND debería ser " + Hex(nextLast) +
                            " y esa entrada ha quedado sin recalcular.");
}

} // namespace

void AddWarnings(const Request& r, Plan& plan, File& rom, std::uint64_t fileSize) {
    WarnAboutFirst(r, plan);
    WarnAboutTableEnd(r, plan, rom, fileSize);
    WarnAboutOrder(r, plan);
    WarnAboutSharing(r, plan);
}

} // namespace zeltor
