#pragma once
// The processor architecture of Windows itself, not of this process: a 32-bit build
// on 64-bit Windows still learns 9 (x64) or 12 (ARM64) here.

#include <windows.h>

namespace Misc
{

// PROCESSOR_ARCHITECTURE_* of the machine: 0 x86, 6 IA-64, 9 x64, 12 ARM64.
WORD NativeProcessorArchitecture();

// True where the registry has separate 32-bit and 64-bit views (64-bit Windows).
inline bool IsNative64BitArchitecture(WORD architecture)
{
    return architecture == PROCESSOR_ARCHITECTURE_AMD64 || architecture == PROCESSOR_ARCHITECTURE_IA64;
}

} // namespace Misc
