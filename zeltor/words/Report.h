#pragma once

#include "zeltor/judge/Plan.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeltor {

// Text handed on in pieces of about 256 KiB, so the report of a large table never adds its
// whole size to the plan's; after a piece is refused, the rest is dropped.
class Pieces {
public:
    explicit Pieces(std::function<bool(const std::string&)> put) : m_Put(std::move(put)) {}
    Pieces& operator<<(std::string_view text);
    // Hands on what is left; false when any piece was refused.
    bool Flush();

private:
    std::function<bool(const std::string&)> m_Put;
    std::string m_Text;
    bool m_Ok = true;
};

// The report of a run: each table's, or why it was refused, in the order given, each under
// its line's number when there are several.
void WriteReport(const RunPlan& run, const std::vector<TableJob>& jobs, Pieces& to);

// The line each log entry starts with: the time and every argument, quoted as a command line
// would quote it and shortened as any text from outside.
std::string LogHeader(const std::vector<std::string>& args, const std::string& romName);

} // namespace zeltor
