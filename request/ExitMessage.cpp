#include "request/ExitMessage.h"

#include "portable/Hex.h"
#include "portable/JoinPath.h"
#include "portable/RecalcArguments.h"
#include "portable/RuntimeError.h"
#include "portable/Utf8.h"

#include <vector>

namespace {

constexpr std::size_t kMaxLines = 10;
constexpr std::size_t kMaxChars = 1000;

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::string CodeText(std::uint32_t code) {
    std::string text = std::to_string(code);
    if (code > 0xFFFF) {
        // A status such as 0xC000013A (the console closed) reads better in hexadecimal.
        text += " (" + Hex(code, 8) + ")";
    }
    return text;
}

// What the window adds for the endings that ask the translator to do something first. The codes
// are Zeltor.exe's (zeltor/Outcome.h).
std::string Advice(std::uint32_t code) {
    switch (code) {
    case 10:
        return "No se ha escrito nada en la ROM: Zeltor.exe se ha detenido por la nota de un "
               "recálculo interrumpido (zeltor-….pendiente, junto a la ROM). El motivo dice qué "
               "ha encontrado y qué hacer.";
    case 11:
        return "Otro programa sustituyó la ROM mientras se recalculaba: el archivo que lleva ahora "
               "su nombre no se ha tocado. Vuelva a pulsar «Recalcular punteros».";
    default:
        return "";
    }
}

} // namespace

std::string LastLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!IsBlank(line)) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    std::vector<std::string> kept;
    std::size_t chars = 0;
    for (auto it = lines.rbegin(); it != lines.rend() && kept.size() < kMaxLines; ++it) {
        const std::size_t length = CharCount(*it) + (kept.empty() ? 0 : 2);
        if (chars + length > kMaxChars) {
            if (kept.empty()) {
                // One line longer than the whole allowance: its end is what matters.
                kept.push_back("…" + std::string(LastChars(*it, kMaxChars - 1)));
            }
            break;
        }
        chars += length;
        kept.emplace_back(*it);
    }
    std::string out;
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        out += (out.empty() ? "" : "\r\n") + *it;
    }
    return out;
}

std::string LogBesideRom(const RecalcRequest& request, const FileExistsFn& fileExists) {
    std::string logName = LogName(request.romName);
    try {
        if (fileExists(JoinPath(request.romFolder, logName))) {
            return logName;
        }
    } catch (const RuntimeError&) {
        // An unreadable folder: the message leaves the log out.
    }
    return {};
}

std::string ExitMessage(const RecalculatorExit& exit, const std::string& logName) {
    const std::string said = LastLines(exit.errorOutput);
    if (exit.code == 0) {
        return said.empty() ? "¡Punteros recalculados!" : "¡Punteros recalculados!\r\n\r\n" + said;
    }
    std::string message = "No se han recalculado los punteros: Zeltor.exe terminó con el código " +
                          CodeText(exit.code) + ".";
    if (const std::string advice = Advice(exit.code); !advice.empty()) {
        message += "\r\n\r\n" + advice;
    }
    if (!said.empty()) {
        message += "\r\n\r\n" + said;
    }
    if (!logName.empty()) {
        message += "\r\n\r\nMás detalles en el registro " + logName + ", junto a la ROM.";
    }
    return message;
}
