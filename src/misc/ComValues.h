#pragma once
// Owners of the OLE automation values that COM calls take and return: strings
// (BSTR) and variants.

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <utility>

namespace Misc
{

// An owned BSTR; empty when the allocation failed.
class Bstr
{
  public:
    Bstr() noexcept = default;
    explicit Bstr(const std::wstring& text) noexcept
        : m_value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : m_value(std::exchange(other.m_value, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_value = std::exchange(other.m_value, nullptr);
        }
        return *this;
    }
    ~Bstr() { Reset(); }

    BSTR Get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return m_value != nullptr; }
    // For out-parameters: frees the current string first.
    BSTR* Put() noexcept
    {
        Reset();
        return &m_value;
    }
    std::wstring Text() const
    {
        return m_value ? std::wstring(m_value, ::SysStringLen(m_value)) : std::wstring();
    }
    void Reset() noexcept
    {
        if (BSTR old = std::exchange(m_value, nullptr))
            ::SysFreeString(old);
    }

  private:
    BSTR m_value = nullptr;
};

// An owned VARIANT, cleared on destruction.
class Variant
{
  public:
    Variant() noexcept { ::VariantInit(&m_value); }
    // A string value; empty (VT_EMPTY) when the string could not be allocated.
    explicit Variant(const std::wstring& text) noexcept
    {
        ::VariantInit(&m_value);
        BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (copy)
        {
            m_value.vt = VT_BSTR;
            m_value.bstrVal = copy;
        }
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&m_value); }

    const VARIANT& Get() const noexcept { return m_value; }
    VARIANT* Put() noexcept
    {
        ::VariantClear(&m_value);
        return &m_value;
    }
    VARTYPE Type() const noexcept { return m_value.vt; }

  private:
    VARIANT m_value;
};

} // namespace Misc
