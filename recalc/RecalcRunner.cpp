#include "RecalcRunner.h"

std::string FailureMessage(const RuntimeError& error, std::string_view contact) {
    if (error.Number() == ErrorNumber::Overflow) {
        return "Por favor verifique las direcciones";
    }
    return "Error:" + std::to_string(error.Number()) + " - " + error.Description() +
           "\r\npor favor reportarlo a " + std::string(contact) + ". ¡Gracias!";
}

bool RecalcRunner::Run(const Actions& actions) {
    if (m_Busy) {
        return false;
    }
    struct BusyScope {
        bool& busy;
        explicit BusyScope(bool& b) : busy(b) { busy = true; }
        ~BusyScope() { busy = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;
    } scope(m_Busy);

    std::string message;
    try {
        const RecalcOutcome outcome = CheckRequest(actions.gather(), actions.fileExists);
        if (outcome.IsMessage()) {
            message = *outcome.message;
        } else {
            actions.start(outcome.program, outcome.commandLine);
            message = "¡Punteros recalculados!";
        }
    } catch (const RuntimeError& error) {
        message = FailureMessage(error, m_Contact);
    }
    // The box is shown while the request still counts as running, so that nothing the
    // box lets through can start another one underneath it.
    actions.show(message);
    return true;
}
