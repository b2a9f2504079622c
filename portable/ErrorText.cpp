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
