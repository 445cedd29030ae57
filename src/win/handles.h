// Small owners for Win32 handles, GDI objects and COM references: each
// resource the program makes is given back by exactly one destructor.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace velvane {

// The value a handle type holds when it owns nothing: null for most handles.
template <typename Handle>
struct NullHandle {
    static Handle value() { return Handle{}; }
};
// CreateFile's failure value: file handles own nothing when they hold this.
struct InvalidFileHandle {
    static HANDLE value() { return INVALID_HANDLE_VALUE; }
};

template <typename Handle, typename Deleter, typename Empty = NullHandle<Handle>>
class Unique {
public:
    Unique() = default;
    explicit Unique(Handle h) : handle_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Empty::value())) {}
    Unique& operator=(Unique&& other) noexcept {
        reset(std::exchange(other.handle_, Empty::value()));
        return *this;
    }
    ~Unique() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty::value(); }
    void reset(Handle h = Empty::value()) {
        if (handle_ != Empty::value()) Deleter{}(handle_);
        handle_ = h;
    }
    Handle release() { return std::exchange(handle_, Empty::value()); }

private:
    Handle handle_ = Empty::value();
};

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct MenuDeleter {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
struct IconDeleter {
    void operator()(HICON h) const { DestroyIcon(h); }
};
struct HandleDeleter {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct ModuleDeleter {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct KeyDeleter {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
struct ImageListDeleter {
    void operator()(HIMAGELIST h) const { ImageList_Destroy(h); }
};
struct MemoryDcDeleter {
    void operator()(HDC h) const { DeleteDC(h); }
};

using UniqueFont = Unique<HFONT, GdiObjectDeleter>;
using UniqueBrush = Unique<HBRUSH, GdiObjectDeleter>;
using UniqueBitmap = Unique<HBITMAP, GdiObjectDeleter>;
using UniqueMenu = Unique<HMENU, MenuDeleter>;
using UniqueIcon = Unique<HICON, IconDeleter>;
// Kernel objects whose failure value is null (mutexes, threads, processes).
using UniqueHandle = Unique<HANDLE, HandleDeleter>;
// Files, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFile = Unique<HANDLE, HandleDeleter, InvalidFileHandle>;
using UniqueModule = Unique<HMODULE, ModuleDeleter>;
using UniqueKey = Unique<HKEY, KeyDeleter>;
using UniqueImageList = Unique<HIMAGELIST, ImageListDeleter>;
// A DC made with CreateCompatibleDC.
using UniqueMemoryDc = Unique<HDC, MemoryDcDeleter>;

// A window's (or, for null, the screen's) DC from GetDC, released with it.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// A GDI object selected into a DC for as long as this lives; the DC gets its
// previous object back afterwards, before either is deleted.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Owns one reference to a COM object.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        reset();
        object_ = std::exchange(other.object_, nullptr);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // For the functions that hand out a new reference; whatever was held is released first.
    T** out() {
        reset();
        return &object_;
    }
    void** out_void() { return reinterpret_cast<void**>(out()); }
    void reset() {
        if (object_) std::exchange(object_, nullptr)->Release();
    }

private:
    T* object_ = nullptr;
};

// An SRW lock held exclusively for as long as this lives.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    // For SleepConditionVariableSRW, which gives the lock up while it waits.
    SRWLOCK& lock() const { return lock_; }

private:
    SRWLOCK& lock_;
};

// The memory of a global memory object (a clipboard format's, say), locked
// for as long as this lives; null when the object could not be locked.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL memory) : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    ~LockedGlobal() {
        if (data_) GlobalUnlock(memory_);
    }
    void* get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL memory_;
    void* data_;
};

// COM on this thread for as long as this lives: a single-threaded apartment
// unless told otherwise (COINIT_MULTITHREADED for a thread without a window).
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
        : result_(CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    // Whether COM could be started here.
    explicit operator bool() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace velvane
