#include "misc/NativeArchitecture.h"

namespace Misc
{

// GetNativeSystemInfo, unlike GetSystemInfo, is not fooled by WOW64.
WORD NativeProcessorArchitecture()
{
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
}

} // namespace Misc
