#include "portable/ErrorText.h"

std::string UntrappedErrorText(const RuntimeError& error) {
    return "Error:" + std::to_string(error.Number()) + " - " + error.Description();
}

std::string RecalculationErrorText(const RuntimeError& error, std::string_view contact) {
    if (error.Number() == ErrorNumber::Overflow) {
        return "Por favor verifique las direcciones";
    }
    return UntrappedErrorText(error) + "\r\npor favor reportarlo a " + std::string(contact) +
           ". ¡Gracias!";
}

std::string RomSelectionErrorText(const RuntimeError& error) {
    return std::to_string(error.Number()) + error.Description();
}

std::string FillInserts(std::string_view message, std::string_view subject) {
    const auto digit = [&](std::size_t at) {
        return at < message.size() && message[at] >= '0' && message[at] <= '9';
    };
    std::string out;
    for (std::size_t at = 0; at < message.size();) {
        if (message[at] != '%' || !digit(at + 1) || message[at + 1] == '0') {
            out += message[at++];
            continue;
        }
        std::size_t end = at + 2;
        if (digit(end)) {
            ++end;
        }
        if (end < message.size() && message[end] == '!') {
            const std::size_t close = message.find('!', end + 1);
            end = close == std::string_view::npos ? message.size() : close + 1;
        }
        if (subject.empty()) {
            if (!out.empty() && out.back() == ' ') {
                out.pop_back();
            } else if (end < message.size() && message[end] == ' ') {
                ++end; // at the start: the space after it goes instead
            }
        } else {
            out += subject;
        }
        at = end;
    }
    return out;
}
