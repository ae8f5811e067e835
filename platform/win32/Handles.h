// Move-only owners for kernel handles, GDI objects and COM interfaces, each released in one place.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace pruvolt::win32 {

template <typename T, typename Traits>
class Unique {
public:
    Unique() = default;
    explicit Unique(T value) : value_(value) {}
    Unique(Unique&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.value_, Traits::Invalid()));
        }
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { Reset(); }

    T Get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Invalid(); }
    // Hands the value to a new owner.
    T Release() { return std::exchange(value_, Traits::Invalid()); }
    void Reset(T value = Traits::Invalid()) {
        if (value_ != Traits::Invalid()) {
            Traits::Close(value_);
        }
        value_ = value;
    }

private:
    T value_ = Traits::Invalid();
};

struct HandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = Unique<HANDLE, HandleTraits>;

// CreateFileW's handles, whose "none" is INVALID_HANDLE_VALUE.
struct FileTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueFile = Unique<HANDLE, FileTraits>;

// Memory the system allocated with LocalAlloc for us (security descriptors, SID strings).
struct LocalTraits {
    static void* Invalid() { return nullptr; }
    static void Close(void* memory) { ::LocalFree(memory); }
};
using UniqueLocal = Unique<void*, LocalTraits>;

template <typename G>
struct GdiTraits {
    static G Invalid() { return nullptr; }
    static void Close(G g) { ::DeleteObject(g); }
};
using UniqueFont = Unique<HFONT, GdiTraits<HFONT>>;
using UniqueBitmap = Unique<HBITMAP, GdiTraits<HBITMAP>>;

// An icon that LoadImageW made for us (not shared).
struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static void Close(HICON icon) { ::DestroyIcon(icon); }
};
using UniqueIcon = Unique<HICON, IconTraits>;

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC dc) { ::DeleteDC(dc); }
};
using UniqueMemoryDc = Unique<HDC, MemoryDcTraits>;

// BeginPaint to EndPaint, on every way out of a WM_PAINT handler.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context for a scope; the previous one is selected back.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    ~ScopedSelectObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            ::SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An owned reference to a COM interface.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
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

    I* Get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters: releases what it held and hands out the slot.
    I** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_ != nullptr) {
            std::exchange(p_, nullptr)->Release();
        }
    }

private:
    I* p_ = nullptr;
};

// A BSTR owned for the length of a call.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : value_(::SysAllocString(text)) {}
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(value_); }
    BSTR Get() const { return value_; }
    BSTR* Put() {
        ::SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

}  // namespace pruvolt::win32
