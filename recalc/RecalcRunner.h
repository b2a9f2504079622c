#pragma once

#include "RecalcRequest.h"
#include "RuntimeError.h"

#include <functional>
#include <string>
#include <string_view>

// The text shown for a run-time error caught by the recalculation's error trap.
std::string FailureMessage(const RuntimeError& error, std::string_view contact);

// Runs one recalculation request under its error trap: gathers the request, checks it,
// starts the recalculator when every rule passes, and shows exactly one message.
//
// The file checks let waiting window messages through, so a second press of the button
// can arrive while a request runs. The runner refuses such a nested request instead of
// starting a second recalculation inside the first.
class RecalcRunner {
public:
    struct Actions {
        std::function<RecalcRequest()> gather;
        FileExistsFn fileExists;
        std::function<void(const std::string& program, const std::string& commandLine)> start;
        std::function<void(const std::string& message)> show;
    };

    explicit RecalcRunner(std::string contact) : m_Contact(std::move(contact)) {}

    // False when the request was refused because another one is still running.
    bool Run(const Actions& actions);
    bool Busy() const { return m_Busy; }

private:
    std::string m_Contact;
    bool m_Busy = false;
};
