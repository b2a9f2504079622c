#pragma once

#include <windows.h>

#include <utility>

// How each kind of kernel handle is given back.
struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct CloseFindHandle {
    void operator()(HANDLE handle) const { FindClose(handle); }
};

// Owns one kernel handle and gives it back once. Both null and INVALID_HANDLE_VALUE mean
// "none", since the API uses either for failure depending on the call.
template <class Close>
class BasicUniqueHandle {
public:
    BasicUniqueHandle() = default;
    explicit BasicUniqueHandle(HANDLE handle) : m_Handle(handle) {}
    ~BasicUniqueHandle() { Reset(); }
    BasicUniqueHandle(BasicUniqueHandle&& other) noexcept : m_Handle(other.Release()) {}
    BasicUniqueHandle& operator=(BasicUniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    BasicUniqueHandle(const BasicUniqueHandle&) = delete;
    BasicUniqueHandle& operator=(const BasicUniqueHandle&) = delete;

    HANDLE Get() const { return m_Handle; }
    bool Valid() const { return m_Handle != nullptr && m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(m_Handle, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            Close{}(m_Handle);
        }
        m_Handle = handle;
    }

private:
    HANDLE m_Handle = nullptr;
};

using UniqueHandle = BasicUniqueHandle<CloseKernelHandle>;   // files, processes, threads
using UniqueFindHandle = BasicUniqueHandle<CloseFindHandle>; // FindFirstFile searches
