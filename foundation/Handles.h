#pragma once
// Owners of the system's handles. Each kind knows its empty value and its one close call, so a handle
// is closed exactly once, by the call that fits it, on every way out of a scope.
//
// Thread use: an owner is used by one thread at a time; the handle itself may be shared as the system
// allows (an event set from another thread, say).

#include <windows.h>

#include <wininet.h>

#include <utility>

namespace handle_kinds {

// Files, pipes and devices opened with CreateFileW: INVALID_HANDLE_VALUE when empty.
struct File {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Close(Type handle) { return CloseHandle(handle) != FALSE; }
};

// Events, threads, processes and other kernel objects: null when empty.
struct Kernel {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return CloseHandle(handle) != FALSE; }
};

// FindFirstFileW searches.
struct Find {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Close(Type handle) { return FindClose(handle) != FALSE; }
};

// WinInet sessions, connections, requests and URLs.
struct Internet {
    using Type = HINTERNET;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return InternetCloseHandle(handle) != FALSE; }
};

// Fonts, bitmaps, brushes, pens and regions.
template <typename T> struct GdiObject {
    using Type = T;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return DeleteObject(handle) != FALSE; }
};

// Device contexts made with CreateCompatibleDC or CreateDCW (not those of GetDC).
struct MemoryDc {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return DeleteDC(handle) != FALSE; }
};

// Libraries loaded with LoadLibraryW.
struct Module {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return FreeLibrary(handle) != FALSE; }
};

// Windows, destroyed on the thread that made them (a child goes with its parent).
struct Window {
    using Type = HWND;
    static Type Empty() { return nullptr; }
    static bool Close(Type window) { return DestroyWindow(window) != FALSE; }
};

// Menus not attached to a window (a window destroys its own menu).
struct Menu {
    using Type = HMENU;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return DestroyMenu(handle) != FALSE; }
};

struct AcceleratorTable {
    using Type = HACCEL;
    static Type Empty() { return nullptr; }
    static bool Close(Type handle) { return DestroyAcceleratorTable(handle) != FALSE; }
};

// Memory the system allocated with LocalAlloc for the caller (FormatMessageW, CommandLineToArgvW).
template <typename T> struct LocalMemory {
    using Type = T*;
    static Type Empty() { return nullptr; }
    static bool Close(Type memory) { return LocalFree(memory) == nullptr; }
};

// Memory from GlobalAlloc that no one took over (the clipboard owns what SetClipboardData accepted).
struct GlobalMemory {
    using Type = HGLOBAL;
    static Type Empty() { return nullptr; }
    static bool Close(Type memory) { return GlobalFree(memory) == nullptr; }
};

} // namespace handle_kinds

template <typename Kind> class CHandle {
public:
    using Type = typename Kind::Type;

    CHandle() = default;
    explicit CHandle(Type handle) : m_handle(handle) {}
    ~CHandle() { Close(); }
    CHandle(CHandle&& other) noexcept : m_handle(other.Release()) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    Type Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Kind::Empty(); }
    explicit operator bool() const { return IsValid(); }

    // Gives the handle up without closing it.
    Type Release() { return std::exchange(m_handle, Kind::Empty()); }
    // Closes the held handle and takes the new one.
    void Reset(Type handle = Kind::Empty()) {
        Close();
        m_handle = handle;
    }
    // Closes now; false when the close call failed (for a file, a write the system held back may fail here).
    bool Close() {
        const Type handle = Release();
        return handle == Kind::Empty() || Kind::Close(handle);
    }

private:
    Type m_handle = Kind::Empty();
};

using CFileHandle = CHandle<handle_kinds::File>;
using CKernelHandle = CHandle<handle_kinds::Kernel>;
using CEventHandle = CKernelHandle;
using CThreadHandle = CKernelHandle;
using CFindHandle = CHandle<handle_kinds::Find>;
using CInternetHandle = CHandle<handle_kinds::Internet>;
template <typename T> using CGdiObject = CHandle<handle_kinds::GdiObject<T>>;
using CMemoryDc = CHandle<handle_kinds::MemoryDc>;
using CModuleHandle = CHandle<handle_kinds::Module>;
using CWindowHandle = CHandle<handle_kinds::Window>;
using CMenuHandle = CHandle<handle_kinds::Menu>;
using CAcceleratorTable = CHandle<handle_kinds::AcceleratorTable>;
template <typename T> using CLocalMemory = CHandle<handle_kinds::LocalMemory<T>>;
using CGlobalMemory = CHandle<handle_kinds::GlobalMemory>;

// An unnamed event; throws utl::exception::CException ("CreateEventW" with the system's error) when
// the system gives none, so no caller waits on or sets a null handle.
CEventHandle CreateEventOrThrow(bool manualReset, bool initiallySet);
