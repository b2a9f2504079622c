#pragma once

#include <windows.h>

#include <utility>

// Owns one kernel handle and closes it once. Both null and INVALID_HANDLE_VALUE mean "none",
// since the API uses either for failure depending on the call.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_Handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_Handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_Handle; }
    bool Valid() const { return m_Handle != nullptr && m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(m_Handle, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            CloseHandle(m_Handle);
        }
        m_Handle = handle;
    }

private:
    HANDLE m_Handle = nullptr;
};
