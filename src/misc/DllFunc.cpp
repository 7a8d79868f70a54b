#include "misc/DllFunc.h"

namespace Misc
{

FARPROC ResolveDllFunction(const wchar_t* library, const char* function, ModuleHandle& module)
{
    if (!library || !function)
        return nullptr;
    module.Reset(::LoadLibraryW(library));
    if (!module)
        return nullptr;
    FARPROC address = ::GetProcAddress(module.Get(), function);
    if (!address)
        module.Reset();
    return address;
}

} // namespace Misc
