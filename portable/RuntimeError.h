#pragma once

#include <stdexcept>
#include <string>

// A run-time error as the error traps see it: a number and a description.
// Traps decide by the number; descriptions are for people and differ between platforms.
class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), m_Number(number) {}

    int Number() const noexcept { return m_Number; }
    std::string Description() const { return what(); }

private:
    int m_Number;
};

namespace ErrorNumber {
inline constexpr int FileNotFound = 2; // also what Windows reports for a missing program
inline constexpr int Overflow = 6;
inline constexpr int TypeMismatch = 13;
inline constexpr int InvalidUse = 91; // an object was needed and none was given
} // namespace ErrorNumber

[[noreturn]] inline void RaiseOverflow() {
    throw RuntimeError(ErrorNumber::Overflow, "Desbordamiento");
}
