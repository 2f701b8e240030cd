#pragma once
// Owners for every kind of Win32 handle the plug-in touches: one generic owner over a traits
// type, one alias per kind. Owners move, never copy; nothing else calls a close function.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // For APIs that fill a handle through a pointer: closes the held one first.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }
    Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid()) Traits::Close(old);
    }

private:
    Handle handle_;
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { RegCloseKey(h); }
};
// Kernel handles that use NULL for "none". Events, threads and processes each have their own kind
// below, so one cannot be handed where another is meant.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
struct EventTraits : KernelHandleTraits {};
struct ThreadTraits : KernelHandleTraits {};
struct ProcessTraits : KernelHandleTraits {};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { FreeLibrary(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DestroyMenu(h); }
};
// A pop-up menu inserted into a menu someone else owns: destroying that menu destroys the pop-up
// with it, and its handle may then be reused for another menu. So it is destroyed only while
// `IsStillOurs` finds it is still the pop-up that was inserted.
template <bool (*IsStillOurs)(HMENU)>
struct InsertedMenuTraits {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept {
        if (IsStillOurs(h)) DestroyMenu(h);
    }
};
// Find handles use INVALID_HANDLE_VALUE for "none"; keeping them apart stops the mix-up.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { FindClose(h); }
};
// File handles from CreateFile also use INVALID_HANDLE_VALUE for "none".
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};
template <typename GdiHandle>
struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DeleteObject(h); }
};
// Device contexts made with CreateCompatibleDC (not those of GetDC: ScopedWindowDC below).
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { DeleteDC(h); }
};
// Blocks from the C runtime heap (malloc/calloc).
struct HeapBlockTraits {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { std::free(h); }
};
// Window hooks a thread sets on itself for a while.
struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { UnhookWindowsHookEx(h); }
};
// Activation contexts from CreateActCtx use INVALID_HANDLE_VALUE for "none".
struct ActCtxTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ReleaseActCtx(h); }
};
struct CFileTraits {
    using Handle = std::FILE*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { std::fclose(h); }
};

// An event one thread sets and another waits on.
class UniqueEvent : public UniqueHandle<EventTraits> {
public:
    using UniqueHandle<EventTraits>::UniqueHandle;

    // Auto-reset, not signalled, unnamed; none when the system gives none.
    static UniqueEvent NewAutoReset() noexcept { return UniqueEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)); }

    // False without an event.
    bool Set() const noexcept { return valid() && SetEvent(get()) != FALSE; }
    // WAIT_FAILED without an event.
    DWORD Wait(DWORD timeoutMs) const noexcept {
        return valid() ? WaitForSingleObject(get(), timeoutMs) : WAIT_FAILED;
    }
};

using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueThreadHandle = UniqueHandle<ThreadTraits>;
using UniqueProcessHandle = UniqueHandle<ProcessTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
template <bool (*IsStillOurs)(HMENU)>
using UniqueInsertedMenu = UniqueHandle<InsertedMenuTraits<IsStillOurs>>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueMemoryDC = UniqueHandle<MemoryDcTraits>;
using UniqueHeapBlock = UniqueHandle<HeapBlockTraits>;
using UniqueCFile = UniqueHandle<CFileTraits>;
using UniqueHook = UniqueHandle<HookTraits>;
using UniqueActCtx = UniqueHandle<ActCtxTraits>;

// An activation context made active on the calling thread, and deactivated on that thread when
// this goes; contexts stack, so scopes must end in the reverse order of their start, which their
// lifetimes give. Moves, never copies; an empty one (no context, or one the system would not
// activate) changes nothing.
class ScopedActivation {
public:
    ScopedActivation() noexcept = default;
    explicit ScopedActivation(HANDLE context) noexcept {
        if (context != INVALID_HANDLE_VALUE && context != nullptr && ActivateActCtx(context, &cookie_))
            active_ = true;
    }
    ScopedActivation(ScopedActivation&& other) noexcept
        : cookie_(other.cookie_), active_(std::exchange(other.active_, false)) {}
    ScopedActivation& operator=(ScopedActivation&&) = delete;
    ScopedActivation(const ScopedActivation&) = delete;
    ScopedActivation& operator=(const ScopedActivation&) = delete;
    ~ScopedActivation() {
        if (active_) DeactivateActCtx(0, cookie_);
    }

    explicit operator bool() const noexcept { return active_; }

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// Selects a GDI object into a device context and, when it goes, puts the previous one back into
// that same context, but only while the object it selected is still the current one there: a
// later selection is whoever made it to undo. Moves, never copies; an empty one restores nothing.
class ScopedSelectObject {
public:
    ScopedSelectObject() noexcept = default;
    ScopedSelectObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), selected_(object), previous_(SelectObject(dc, object)) {
        if (previous_ == HGDI_ERROR) previous_ = nullptr;
    }
    ScopedSelectObject(ScopedSelectObject&& other) noexcept
        : dc_(other.dc_), selected_(other.selected_), previous_(std::exchange(other.previous_, nullptr)) {}
    ScopedSelectObject& operator=(ScopedSelectObject&& other) noexcept {
        if (this != &other) {
            reset();
            dc_ = other.dc_;
            selected_ = other.selected_;
            previous_ = std::exchange(other.previous_, nullptr);
        }
        return *this;
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    ~ScopedSelectObject() { reset(); }

    explicit operator bool() const noexcept { return previous_ != nullptr; }
    // Puts the previous object back now; afterwards this one is empty.
    void reset() noexcept {
        HGDIOBJ previous = std::exchange(previous_, nullptr);
        if (previous != nullptr && GetCurrentObject(dc_, GetObjectType(selected_)) == selected_)
            SelectObject(dc_, previous);
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ selected_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// A window's device context from GetDC, released on scope exit.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};
