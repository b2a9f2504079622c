#pragma once

#include <windows.h>

#include <utility>

// Owns one handle of the system's and gives it back once, the way its kind says. The kind is
// part of the type: a UniqueHandle closes, a GdiPen deletes, a LocalText frees, and none can
// be copied.
template <class Kind>
class Owned {
public:
    using Handle = typename Kind::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : m_Handle(handle) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : m_Handle(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle Get() const { return m_Handle; }
    operator Handle() const { return m_Handle; }
    bool Valid() const { return Kind::Valid(m_Handle); }
    Handle Release() { return std::exchange(m_Handle, Handle{}); }
    void Reset(Handle handle = Handle{}) {
        if (Valid()) {
            Kind::Give(m_Handle);
        }
        m_Handle = handle;
    }

private:
    Handle m_Handle{};
};

// Kernel objects: files, processes, threads. The API gives null or INVALID_HANDLE_VALUE for
// none, depending on the call.
struct KernelHandle {
    using Handle = HANDLE;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Give(HANDLE h) { CloseHandle(h); }
};

// A FindFirstFile search.
struct FindHandle {
    using Handle = HANDLE;
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Give(HANDLE h) { FindClose(h); }
};

// Pens, brushes, fonts and bitmaps. Declare one before any SelectScope that selects it, so
// that the old object is back in the DC before this one is deleted.
template <class H>
struct GdiHandle {
    using Handle = H;
    static bool Valid(H h) { return h != nullptr; }
    static void Give(H h) { DeleteObject(h); }
};

// A memory DC.
struct MemoryDcHandle {
    using Handle = HDC;
    static bool Valid(HDC h) { return h != nullptr; }
    static void Give(HDC h) { DeleteDC(h); }
};

// Memory the system allocated for the caller with LocalAlloc: FormatMessage's text,
// CommandLineToArgvW's list.
template <class T>
struct LocalMemory {
    using Handle = T*;
    static bool Valid(T* p) { return p != nullptr; }
    static void Give(T* p) { LocalFree(p); }
};

// A loaded DLL.
struct ModuleHandle {
    using Handle = HMODULE;
    static bool Valid(HMODULE h) { return h != nullptr; }
    static void Give(HMODULE h) { FreeLibrary(h); }
};

using UniqueHandle = Owned<KernelHandle>;
using UniqueFindHandle = Owned<FindHandle>;
using GdiPen = Owned<GdiHandle<HPEN>>;
using GdiBrush = Owned<GdiHandle<HBRUSH>>;
using GdiFont = Owned<GdiHandle<HFONT>>;
using GdiBitmap = Owned<GdiHandle<HBITMAP>>;
using MemoryDc = Owned<MemoryDcHandle>;
using LocalText = Owned<LocalMemory<wchar_t>>;
using LocalArgv = Owned<LocalMemory<wchar_t*>>;
using LoadedModule = Owned<ModuleHandle>;
