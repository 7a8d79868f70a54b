#include "inventory/PeInfo.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Misc
{

namespace
{

uint16_t Word(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Dword(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint16_t kDosMagic = 0x5A4D;        // "MZ"
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMagic32 = 0x010B;
constexpr uint16_t kMagic64 = 0x020B;
constexpr std::size_t kLfanewOffset = 60;
constexpr std::size_t kSignatureAndFileHeader = 24;
constexpr std::size_t kOptionalSizeOffset = 20; // in the NT headers: signature 4 + 16 into the file header

class FileSource : public PeSource
{
  public:
    explicit FileSource(HANDLE file) : m_file(file) {}

    // Counted from the current position, where the image starts.
    bool Length(uint64_t& length) override
    {
        LARGE_INTEGER size{};
        LARGE_INTEGER position{};
        if (!::GetFileSizeEx(m_file, &size) ||
            !::SetFilePointerEx(m_file, LARGE_INTEGER{}, &position, FILE_CURRENT))
            return false;
        length =
            size.QuadPart > position.QuadPart ? static_cast<uint64_t>(size.QuadPart - position.QuadPart) : 0;
        return true;
    }

    uint32_t Read(void* buffer, uint32_t count) override
    {
        DWORD read = 0;
        if (!::ReadFile(m_file, buffer, count, &read, nullptr))
            return 0;
        return read;
    }

    bool Skip(uint32_t count) override
    {
        LARGE_INTEGER distance{};
        distance.QuadPart = count;
        return ::SetFilePointerEx(m_file, distance, nullptr, FILE_CURRENT) != FALSE;
    }

  private:
    HANDLE m_file;
};

class MemorySource : public PeSource
{
  public:
    MemorySource(const void* data, std::size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size)
    {
    }

    bool Length(uint64_t& length) override
    {
        length = m_size;
        return true;
    }

    uint32_t Read(void* buffer, uint32_t count) override
    {
        const std::size_t n = std::min<std::size_t>(count, m_size - m_position);
        if (n)
            std::memcpy(buffer, m_data + m_position, n);
        m_position += n;
        return static_cast<uint32_t>(n);
    }

    bool Skip(uint32_t count) override
    {
        if (count > m_size - m_position)
            return false;
        m_position += count;
        return true;
    }

  private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace

uint16_t CpeInfo::Machine() const noexcept
{
    return Word(m_ntHeaders + 4);
}

std::wstring CpeInfo::PlatformName(uint16_t machine)
{
    switch (machine)
    {
    case kMachineX86:
        return L"x86";
    case kMachineItanium:
        return L"Intel Itanium";
    case kMachineX64:
        return L"x64";
    default:
        return L"";
    }
}

void CpeInfo::Clear()
{
    m_dosHeaderSize = kDosHeaderSize;
    m_ntHeadersSize = kNtHeadersSize;
    m_recognised = false;
    m_bitness = 0;
    std::memset(m_dosHeader, 0, sizeof(m_dosHeader));
    std::memset(m_ntHeaders, 0, sizeof(m_ntHeaders));
    m_optionalHeader32.reset();
    m_optionalHeader64.reset();
}

// A failed read leaves nothing behind that could be taken for a fact of the file.
bool CpeInfo::Fail()
{
    Clear();
    return false;
}

bool CpeInfo::Read(HANDLE file)
{
    if (file == nullptr || file == INVALID_HANDLE_VALUE)
        return Fail();
    FileSource source(file);
    return Read(&source);
}

bool CpeInfo::ReadBytes(const void* data, std::size_t size)
{
    if (data == nullptr && size != 0)
        return Fail();
    MemorySource source(data, size);
    return Read(&source);
}

bool CpeInfo::Read(PeSource* source)
{
    Clear();
    if (!source)
        return Fail();

    uint64_t length = 0;
    if (!source->Length(length) || length < kDosHeaderSize)
        return Fail();
    uint64_t remaining = length;

    if (source->Read(m_dosHeader, kDosHeaderSize) != kDosHeaderSize)
        return Fail();
    remaining -= kDosHeaderSize;
    if (Word(m_dosHeader) != kDosMagic)
        return Fail();

    // The NT headers may follow the DOS header directly (a gap of 0). An offset
    // inside the DOS header wraps to a huge gap and fails the size test.
    const uint32_t gap = Dword(m_dosHeader + kLfanewOffset) - kDosHeaderSize;
    // The gap is skipped, not read: a damaged offset in a file of several GiB must not
    // cost reading (and discarding) all of it.
    if (gap > remaining || !source->Skip(gap))
        return Fail();
    remaining -= gap;

    if (remaining < kNtHeadersSize)
        return Fail();
    if (source->Read(m_ntHeaders, kSignatureAndFileHeader) != kSignatureAndFileHeader)
        return Fail();
    remaining -= kSignatureAndFileHeader;
    if (Dword(m_ntHeaders) != kPeSignature)
        return Fail();

    const uint16_t optionalSize = Word(m_ntHeaders + kOptionalSizeOffset);
    if (optionalSize < kOptionalHeader32Size)
        return Fail();

    uint8_t* const optionalPart = m_ntHeaders + kSignatureAndFileHeader;
    if (optionalSize == kOptionalHeader32Size &&
        ReadOptionalHeader(source, remaining, kOptionalHeader32Size, kMagic32, m_optionalHeader32))
    {
        m_bitness = 32;
        std::memcpy(optionalPart, m_optionalHeader32.get(), kOptionalHeader32Size);
    }
    else if (optionalSize == kOptionalHeader64Size &&
             ReadOptionalHeader(source, remaining, kOptionalHeader64Size, kMagic64, m_optionalHeader64))
    {
        m_bitness = 64;
        // The NT headers' own copy holds only the first 224 bytes.
        std::memcpy(optionalPart, m_optionalHeader64.get(), kOptionalHeader32Size);
    }
    // Any other size above 224 is an image all the same; its optional header is not read.
    m_recognised = true;
    return true;
}

// Reads the optional header of `size` bytes that follows the file header and keeps it
// in `header` when its magic number is `magic`; gives whether it was kept.
bool CpeInfo::ReadOptionalHeader(PeSource* source, uint64_t remaining, uint32_t size, uint16_t magic,
                                 std::unique_ptr<uint8_t[]>& header)
{
    if (remaining < size)
        return false;
    header.reset(new (std::nothrow) uint8_t[size]);
    if (header && source->Read(header.get(), size) == size && Word(header.get()) == magic)
        return true;
    header.reset();
    return false;
}

} // namespace Misc
