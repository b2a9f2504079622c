#pragma once

#include "portable/RuntimeError.h"
#include "request/Launch.h"
#include "request/RecalcRequest.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// At most the last 10 lines and 1,000 characters of a program's error output, whole lines
// where possible: the end is what names the cause (and, after a failed restore, the backup).
std::string LastLines(std::string_view text);

// What the window says once the recalculator has ended: success, with any warnings it wrote,
// or that nothing was recalculated, with its exit code, its reason and where its log is.
std::string ExitMessage(const RecalculatorExit& exit, const std::string& logName);

// Runs one recalculation request under its error trap: gathers the request, checks it, runs
// the recalculator when every rule passes and waits for it, and shows exactly one message.
//
// The file checks and the wait let window messages through, so a second press of the button
// can arrive while a request runs. The runner refuses such a nested request instead of
// starting a second recalculation inside the first.
class RecalcRunner {
public:
    struct Actions {
        std::function<RecalcRequest()> gather;
        FileExistsFn fileExists;
        // Starts the recalculator and waits for it; nothing when the application is quitting.
        std::function<std::optional<RecalculatorExit>(const std::string& program,
                                                      const std::string& commandLine)>
            run;
        std::function<void(const std::string& message)> show;
        // Told of each request the recalculator carried out (exit code 0); may be empty.
        std::function<void(const RecalcRequest& request)> succeeded;
    };

    explicit RecalcRunner(std::string contact) : m_Contact(std::move(contact)) {}

    // False when the request was refused because another one is still running.
    bool Run(const Actions& actions);
    bool Busy() const { return m_Busy; }

private:
    std::string m_Contact;
    bool m_Busy = false;
};
