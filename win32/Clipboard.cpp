#include "win32/Clipboard.h"

namespace {

// The clipboard, open for one scope.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : m_Open(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (m_Open) {
            CloseClipboard();
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool Open() const { return m_Open; }

private:
    bool m_Open;
};

// A global memory block, locked for one scope.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL memory) : m_Memory(memory), m_Data(GlobalLock(memory)) {}
    ~GlobalLockScope() {
        if (m_Data != nullptr) {
            GlobalUnlock(m_Memory);
        }
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    const void* Data() const { return m_Data; }

private:
    HGLOBAL m_Memory;
    void* m_Data;
};

} // namespace

std::optional<std::wstring> ClipboardText(HWND owner) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        return std::nullopt;
    }
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.Open()) {
        return std::nullopt;
    }
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
        return std::nullopt;
    }
    const GlobalLockScope locked(data);
    if (locked.Data() == nullptr) {
        return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(locked.Data()));
}
