#pragma once
// A function resolved at run time from a library loaded by name. The library stays
// loaded while the holder lives (a process-wide holder frees it at program end).

#include "misc/Handles.h"

#include <windows.h>

namespace Misc
{

FARPROC ResolveDllFunction(const wchar_t* library, const char* function, ModuleHandle& module);

template <typename Signature> class DllFunc
{
  public:
    DllFunc(const wchar_t* library, const char* function)
        : m_function(reinterpret_cast<Signature*>(
              reinterpret_cast<void*>(ResolveDllFunction(library, function, m_module))))
    {
    }

    bool IsAvailable() const noexcept { return m_function != nullptr; }
    explicit operator bool() const noexcept { return IsAvailable(); }
    Signature* Get() const noexcept { return m_function; }

    template <typename... Args> auto operator()(Args&&... args) const
    {
        return m_function(static_cast<Args&&>(args)...);
    }

  private:
    ModuleHandle m_module; // declared first: resolved before m_function is set
    Signature* m_function;
};

} // namespace Misc
