// Owners of operating-system handles and states: each closes or undoes what
// it holds when it goes out of scope, so no path (normal return or
// exception) leaks one. ScopeExit at the end serves the one-off undo.
#pragma once

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <utility>

// A movable, non-copyable owner of one handle. Traits give the empty value
// and the close function.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept : h_(Traits::Empty()) {}
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Handle Get() const noexcept { return h_; }
    bool Valid() const noexcept { return h_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives up ownership without closing.
    Handle Release() noexcept { return std::exchange(h_, Traits::Empty()); }
    void Reset(Handle h = Traits::Empty()) noexcept {
        Handle old = std::exchange(h_, h);
        if (old != Traits::Empty()) Traits::Close(old);
    }
    // For APIs that return a handle through a pointer: closes what is held first.
    Handle* Receive() noexcept {
        Reset();
        return &h_;
    }

private:
    Handle h_;
};

// Traits of a handle closed by `CloseFn`, whose "no handle" is nullptr or,
// with `InvalidIsEmpty`, INVALID_HANDLE_VALUE.
template <class H, auto CloseFn, bool InvalidIsEmpty = false>
struct ClosedBy {
    using Handle = H;
    static Handle Empty() noexcept {
        if constexpr (InvalidIsEmpty)
            return INVALID_HANDLE_VALUE;
        else
            return nullptr;
    }
    static void Close(Handle h) noexcept { CloseFn(h); }
};

// A file opened with CreateFile (invalid value: INVALID_HANDLE_VALUE).
using FileHandle = UniqueHandle<ClosedBy<HANDLE, CloseHandle, true>>;
// A search started with FindFirstFile.
using FindHandle = UniqueHandle<ClosedBy<HANDLE, FindClose, true>>;
// An opened or created registry key.
using RegKey = UniqueHandle<ClosedBy<HKEY, RegCloseKey>>;
// Memory the system allocated for the caller with LocalAlloc.
using LocalMemory = UniqueHandle<ClosedBy<HLOCAL, LocalFree>>;
// A GDI object made by this program (font, brush, pen, bitmap).
template <class T>
using GdiObject = UniqueHandle<ClosedBy<T, DeleteObject>>;
using FontHandle = GdiObject<HFONT>;
using BrushHandle = GdiObject<HBRUSH>;
using BitmapHandle = GdiObject<HBITMAP>;
// A device context made with CreateCompatibleDC.
using MemoryDC = UniqueHandle<ClosedBy<HDC, DeleteDC>>;
// A window this program created and must destroy.
using WindowHandle = UniqueHandle<ClosedBy<HWND, DestroyWindow>>;
// An item-id list the shell allocated with the COM task allocator.
using Pidl = UniqueHandle<ClosedBy<LPITEMIDLIST, CoTaskMemFree>>;

// A device context borrowed from a window with GetDC.
class WindowDC {
public:
    explicit WindowDC(HWND wnd) noexcept : wnd_(wnd), dc_(GetDC(wnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(wnd_, dc_);
    }
    HDC Get() const noexcept { return dc_; }

private:
    HWND wnd_;
    HDC dc_;
};

// The device context of a window's WM_PAINT: BeginPaint on construction,
// EndPaint on destruction, so the update region is validated on every way
// out of the paint code.
class PaintDC {
public:
    explicit PaintDC(HWND wnd) noexcept : wnd_(wnd), dc_(BeginPaint(wnd, &ps_)) {}
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(wnd_, &ps_); }
    HDC Get() const noexcept { return dc_; }
    // The rectangle the system asked to be painted.
    const RECT& PaintRect() const noexcept { return ps_.rcPaint; }

private:
    HWND wnd_;
    PAINTSTRUCT ps_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(SelectObject(dc, obj)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A COM interface pointer: Release on destruction.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    void Reset() noexcept {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // For QueryInterface/CoCreateInstance: releases what is held first.
    void** ReceiveVoid() noexcept {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    T** Receive() noexcept {
        Reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

// COM on this thread (single-threaded apartment) for as long as the owner
// holds it: CoInitialize when started, CoUninitialize when reset or
// destroyed, and only when the start succeeded.
class ComInitialization {
public:
    ComInitialization() noexcept = default;
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    ~ComInitialization() { Reset(); }
    // True when COM is usable on this thread now.
    bool Start() noexcept {
        if (!started_) started_ = SUCCEEDED(CoInitialize(nullptr));
        return started_;
    }
    bool Started() const noexcept { return started_; }
    void Reset() noexcept {
        if (started_) CoUninitialize();
        started_ = false;
    }

private:
    bool started_ = false;
};

// Runs a function when it goes out of scope (normal return or exception)
// unless dismissed: the one-off undo of a scope, where no owner of a
// handle fits. The function must not throw.
//     LzssAllocateBuffers();
//     ScopeExit release([] { LzssReleaseBuffers(); });
template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F fn) noexcept : fn_(std::move(fn)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() {
        if (active_) fn_();
    }
    // The function will not run.
    void Dismiss() noexcept { active_ = false; }

private:
    F fn_;
    bool active_ = true;
};
