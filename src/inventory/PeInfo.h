#pragma once
// The headers of a Windows executable image (program, library, driver): whether a
// file is such an image and which machine it is built for.

#include "misc/Handles.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Misc
{

// Where the headers are read from: an open file or bytes in memory. Reading is
// sequential from the start.
class PeSource
{
  public:
    virtual ~PeSource() = default;
    // The number of bytes from the start to the end; false when it is unknown.
    virtual bool Length(uint64_t& length) = 0;
    // Reads up to count bytes; gives the number read (fewer only at the end or on an error).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    // Moves count bytes ahead without reading them; false when that fails.
    virtual bool Skip(uint32_t count) = 0;
};

class CpeInfo
{
  public:
    static constexpr uint32_t kDosHeaderSize = 64;
    static constexpr uint32_t kNtHeadersSize = 248; // signature 4, file header 20, optional header 224
    static constexpr uint32_t kOptionalHeader32Size = 224;
    static constexpr uint32_t kOptionalHeader64Size = 240;

    static constexpr uint16_t kMachineX86 = 0x014C;
    static constexpr uint16_t kMachineItanium = 0x0200;
    static constexpr uint16_t kMachineX64 = 0x8664;

    CpeInfo() = default;
    CpeInfo(const CpeInfo&) = delete;
    CpeInfo& operator=(const CpeInfo&) = delete;
    virtual ~CpeInfo() = default;

    // Reads from the file's current position, which must be its beginning.
    bool Read(HANDLE file);
    bool Read(const Misc::FileHandle& file) { return Read(file.Get()); }
    bool Read(PeSource* source);
    bool ReadBytes(const void* data, std::size_t size);

    bool IsRecognised() const noexcept { return m_recognised; }
    // 32 or 64 when the optional header's magic number matched its size, else 0.
    uint16_t Bitness() const noexcept { return m_bitness; }
    // The machine field of the file header (0 after a failed read).
    uint16_t Machine() const noexcept;
    const uint8_t* OptionalHeader32() const noexcept { return m_optionalHeader32.get(); }
    const uint8_t* OptionalHeader64() const noexcept { return m_optionalHeader64.get(); }

    // "x86", "x64", "Intel Itanium", or empty for any other machine.
    static std::wstring PlatformName(uint16_t machine);

  private:
    void Clear();
    bool Fail();
    static bool ReadOptionalHeader(PeSource* source, uint64_t remaining, uint32_t size, uint16_t magic,
                                   std::unique_ptr<uint8_t[]>& header);

    uint32_t m_dosHeaderSize = 0;
    uint32_t m_ntHeadersSize = 0;
    bool m_recognised = false;
    uint16_t m_bitness = 0;
    uint8_t m_dosHeader[kDosHeaderSize] = {};
    uint8_t m_ntHeaders[kNtHeadersSize] = {};
    std::unique_ptr<uint8_t[]> m_optionalHeader32;
    std::unique_ptr<uint8_t[]> m_optionalHeader64;
};

} // namespace Misc
