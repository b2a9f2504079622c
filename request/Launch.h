#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// How a recalculator that was started came to an end.
struct RecalculatorExit {
    std::uint32_t code = 0;
    std::string errorOutput; // the end of what it wrote to standard error, in UTF-8
};

// A recalculator that was started and may still be running.
class StartedRecalculator {
public:
    StartedRecalculator() = default;
    virtual ~StartedRecalculator() = default;
    StartedRecalculator(const StartedRecalculator&) = delete;
    StartedRecalculator& operator=(const StartedRecalculator&) = delete;

    // Waits for it to end while the thread's window messages go on being dispatched, so the
    // window keeps painting and answering. Gives nothing when the application is quitting (its
    // window was closed meanwhile); the recalculator is then left to finish on its own.
    virtual std::optional<RecalculatorExit> Wait() = 0;
};

// Starts the recalculator minimised and activated, in its own folder. Its own folder is where
// the ROM was found: the command line names the ROM without a folder, and the front-end's
// current folder may be anywhere. Raises the run-time error with the system's error number
// and description when it cannot be started.
std::unique_ptr<StartedRecalculator> StartRecalculator(const std::string& program,
                                                       const std::string& commandLine);

// Starts the recalculator and waits for it.
std::optional<RecalculatorExit> RunRecalculator(const std::string& program,
                                                const std::string& commandLine);
