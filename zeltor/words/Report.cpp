#include "zeltor/words/Report.h"

#include "portable/Hex.h"
#include "portable/QuoteArgument.h"
#include "zeltor/words/Text.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace zeltor {

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 18;

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

char* PutHex(char* p, std::uint64_t value, int minDigits) {
    *p++ = '0';
    *p++ = 'x';
    return PutHexDigits(p, value, minDigits);
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
    if (e.padding) {
        p = std::copy_n("(relleno: no señala ninguna cadena)", 36, p);
    } else {
        p = PadUntil(line, PutHex(p, e.stringOffset, 6), 54);
        p = PutHex(p, e.stringLength, 1);
    }
    if (e.oldValue == e.newValue && !e.padding) {
        p = std::copy_n("  (igual)", 9, p);
    }
    *p++ = '\n';
    return std::string_view(line, static_cast<std::size_t>(p - line));
}

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    return text;
}

// Where the first string's value comes from.
std::string FirstValueSource(const Plan& plan) {
    if (plan.request.firstPointer) {
        return "indicado";
    }
    switch (plan.block->story) {
    case Story::InPlace:
        return "el menor de la tabla anterior, que señala el inicio del texto";
    case Story::Moved:
        return "la dirección del inicio del texto, que se ha movido";
    case Story::Declared:
    case Story::Assumed:
        break;
    }
    return "el menor de la tabla anterior";
}

// "Tabla de la línea 3", when the run has more than one table.
std::string Title(const TableJob& job, std::size_t tables) {
    return tables > 1 ? "== Tabla de la línea " + std::to_string(job.line) + " ==\n" : "";
}

// The report of one table: the request, one line per entry, the warnings and a summary.
void WriteReport(const Plan& plan, Pieces& to) {
    const Request& r = plan.request;
    const Block& block = *plan.block;
    const int digits = static_cast<int>(r.pointerSize.Digits());
    to << "ROM: " + Shown(r.romName, kNameLimit) + "\n";
    to << "Texto desde " + Hex(r.textStart) + ", tabla " + Hex(r.tableStart) + "-" +
              Hex(r.tableEnd) + ", punteros de " + r.pointerSize.Text() + " bytes (" +
              FormatName(plan.format) + "), separador " + Hex(r.separator, 2) + ", primer valor " +
              Hex(block.first, digits) + " (" + FirstValueSource(plan) + ")\n";
    to << "Mapa de direcciones: " + plan.mapName + " (" + plan.mapReason + "). El texto tiene " +
              Count(block.values.size(), "valor distinto", "valores distintos") +
              ": una cadena para cada uno.\n\n";
    to << PadLeft("entrada", 8) + "  " + PadRight("tabla", 11) + PadRight("anterior", 11) +
              PadRight("nuevo", 11) + PadRight("cadena", 11) + "longitud\n";
    char line[128];
    for (std::size_t k = 0; k < plan.entries; ++k) {
        to << EntryLine(line, k, EntryAt(plan, k), digits);
    }
    to << "\n";
    for (const std::string& note : plan.notes) {
        to << note + "\n";
    }
    for (const std::string& w : plan.warnings) {
        to << w + "\n";
    }
    const std::size_t n = plan.entries;
    const std::size_t changed = ChangedEntries(plan);
    to << "Resumen: " + Count(n, "entrada", "entradas") + ", " +
              Count(changed, "cambia", "cambian") + ", " +
              Count(n - changed, "queda igual", "quedan igual") + "; texto de " + Hex(r.textStart) +
              " a " + Hex(block.textEnd) + "; " + Count(plan.warnings.size(), "aviso", "avisos") +
              ".\n";
}

} // namespace

Pieces& Pieces::operator<<(std::string_view text) {
    if (m_Ok) {
        m_Text += text;
        if (m_Text.size() >= kPiece) {
            Flush();
        }
    }
    return *this;
}

bool Pieces::Flush() {
    if (m_Ok && !m_Text.empty()) {
        m_Ok = m_Put(m_Text);
        m_Text.clear();
    }
    return m_Ok;
}

void WriteReport(const RunPlan& run, const std::vector<TableJob>& jobs, Pieces& to) {
    for (std::size_t i = 0; i < run.tables.size(); ++i) {
        to << Title(jobs[i], run.tables.size());
        if (const auto* plan = std::get_if<Plan>(&run.tables[i])) {
            WriteReport(*plan, to);
        } else {
            to << ErrorLine(std::get<Refusal>(run.tables[i])) + "\n";
        }
        if (i + 1 < run.tables.size()) {
            to << "\n";
        }
    }
}

std::string LogHeader(const std::vector<std::string>& args, const std::string& romName) {
    std::string header = "=== " + Timestamp() + " · Zeltor";
    for (const std::string& arg : args) {
        header += " " + QuoteArgument(Shown(arg, arg == romName ? kNameLimit : kFieldLimit));
    }
    return header + "\n";
}

} // namespace zeltor
