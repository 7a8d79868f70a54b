#pragma once
// Move-only owners of Windows handles: one wrapper per close function, and the scopes
// and guards that undo what a function started (COM, Winsock, painting, selections).

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace Misc
{

template <typename Traits> class UniqueHandle
{
  public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : m_value(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Type Get() const noexcept { return m_value; }
    bool IsValid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    Type Release() noexcept { return std::exchange(m_value, Traits::Invalid()); }
    // For out-parameters (RegOpenKeyExW and the like): closes the current handle first,
    // so that what the call writes is owned from then on.
    Type* Put() noexcept
    {
        Reset();
        return &m_value;
    }
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(m_value, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

  private:
    Type m_value = Traits::Invalid();
};

struct FileHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Handles whose failure value is null (events, processes, mappings).
struct KernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

struct ModuleHandleTraits
{
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct LocalMemoryTraits
{
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

struct RegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

// Fonts, brushes, pens, bitmaps, regions.
struct GdiObjectTraits
{
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

struct MemoryDcTraits
{
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

struct IconTraits
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

// Memory the shell and COM hand out (display names, paths).
template <typename T> struct CoTaskMemoryTraits
{
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using ModuleHandle = UniqueHandle<ModuleHandleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
using Icon = UniqueHandle<IconTraits>;
template <typename T> using CoTaskMemory = UniqueHandle<CoTaskMemoryTraits<T>>;

// Selects a GDI object into a device context and puts the old one back.
class SelectedObject
{
  public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_old(::SelectObject(dc, object)) {}
    ~SelectedObject() { ::SelectObject(m_dc, m_old); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A window's device context from GetDC, released again.
class WindowDc
{
  public:
    explicit WindowDc(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDc()
    {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const noexcept { return m_dc; }

  private:
    HWND m_window;
    HDC m_dc;
};

// BeginPaint and EndPaint of one WM_PAINT.
class PaintDc
{
  public:
    explicit PaintDc(HWND window) noexcept : m_window(window), m_dc(::BeginPaint(window, &m_paint)) {}
    ~PaintDc()
    {
        if (m_dc)
            ::EndPaint(m_window, &m_paint);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const noexcept { return m_dc; }
    const RECT& Area() const noexcept { return m_paint.rcPaint; }

  private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};

// COM on the calling thread, released only when this scope started it: a thread whose
// COM was started by someone else keeps it.
class ComScope
{
  public:
    ComScope() noexcept : m_started(SUCCEEDED(::CoInitialize(nullptr))) {}
    explicit ComScope(DWORD model) noexcept : m_started(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
    ~ComScope()
    {
        if (m_started)
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Started() const noexcept { return m_started; }

  private:
    bool m_started;
};

// Winsock 2.2; any other version counts as not started and is released at once.
// Defined in Handles.cpp, so that the socket headers and their macros stay out of
// every file that owns a handle.
class WinsockScope
{
  public:
    WinsockScope() noexcept;
    ~WinsockScope();
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool Started() const noexcept { return m_started; }

  private:
    bool m_started = false;
};

// An owned COM interface pointer.
template <typename T> class ComPtr
{
  public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : m_p(p) {} // takes over one reference
    ComPtr(const ComPtr& other) noexcept : m_p(other.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    void Reset() noexcept
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    // For out-parameters: releases the current pointer first.
    T** Put() noexcept
    {
        Reset();
        return &m_p;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  private:
    T* m_p = nullptr;
};

} // namespace Misc
