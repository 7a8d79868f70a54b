#include "inventory/MD5.h"

#include "misc/Handles.h"

#include <windows.h>

#include <io.h>

#include <cstring>
#include <memory>
#include <new>

namespace Misc
{
namespace
{

constexpr uint32_t RotateLeft(uint32_t x, unsigned n)
{
    return (x << n) | (x >> (32 - n));
}

constexpr uint32_t F(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & y) | (~x & z);
}
constexpr uint32_t G(uint32_t x, uint32_t y, uint32_t z)
{
    return (x & z) | (y & ~z);
}
constexpr uint32_t H(uint32_t x, uint32_t y, uint32_t z)
{
    return x ^ y ^ z;
}
constexpr uint32_t I(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (x | ~z);
}

// Per-step shift amounts and sine-derived constants of the four rounds.
constexpr unsigned kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

} // namespace

void MD5::Reset()
{
    m_state[0] = 0x67452301;
    m_state[1] = 0xEFCDAB89;
    m_state[2] = 0x98BADCFE;
    m_state[3] = 0x10325476;
    m_count[0] = 0;
    m_count[1] = 0;
    std::memset(m_buffer, 0, sizeof(m_buffer));
}

void MD5::Transform(const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = static_cast<uint32_t>(block[i * 4]) | (static_cast<uint32_t>(block[i * 4 + 1]) << 8) |
               (static_cast<uint32_t>(block[i * 4 + 2]) << 16) |
               (static_cast<uint32_t>(block[i * 4 + 3]) << 24);

    uint32_t a = m_state[0];
    uint32_t b = m_state[1];
    uint32_t c = m_state[2];
    uint32_t d = m_state[3];
    for (int i = 0; i < 64; ++i)
    {
        uint32_t f = 0;
        int k = 0;
        switch (i / 16)
        {
        case 0:
            f = F(b, c, d);
            k = i;
            break;
        case 1:
            f = G(b, c, d);
            k = (5 * i + 1) % 16;
            break;
        case 2:
            f = H(b, c, d);
            k = (3 * i + 5) % 16;
            break;
        default:
            f = I(b, c, d);
            k = (7 * i) % 16;
            break;
        }
        const uint32_t rotated = b + RotateLeft(a + f + kSine[i] + x[k], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = rotated;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void MD5::Update(const void* bytes, std::size_t count)
{
    if (count == 0)
        return;
    const auto* input = static_cast<const uint8_t*>(bytes);
    std::size_t index = (m_count[0] >> 3) & 0x3F;

    // The bit count is kept modulo 2^64, as the padding records it.
    const uint64_t bits =
        (static_cast<uint64_t>(m_count[1]) << 32 | m_count[0]) + (static_cast<uint64_t>(count) << 3);
    m_count[0] = static_cast<uint32_t>(bits);
    m_count[1] = static_cast<uint32_t>(bits >> 32);

    const std::size_t space = 64 - index;
    std::size_t i = 0;
    if (count >= space)
    {
        std::memcpy(m_buffer + index, input, space);
        Transform(m_buffer);
        for (i = space; i + 63 < count; i += 64)
            Transform(input + i);
        index = 0;
    }
    std::memcpy(m_buffer + index, input + i, count - i);
}

void MD5::Final(uint8_t digest[kDigestSize])
{
    uint8_t length[8];
    for (int i = 0; i < 4; ++i)
    {
        length[i] = static_cast<uint8_t>(m_count[0] >> (8 * i));
        length[i + 4] = static_cast<uint8_t>(m_count[1] >> (8 * i));
    }
    static const uint8_t padding[64] = {0x80};
    const std::size_t index = (m_count[0] >> 3) & 0x3F;
    Update(padding, index < 56 ? 56 - index : 120 - index);
    Update(length, sizeof(length));

    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            digest[i * 4 + j] = static_cast<uint8_t>(m_state[i] >> (8 * j));
    Reset();
}

std::wstring MD5::HexText(const uint8_t digest[kDigestSize])
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(kDigestSize * 2, L'0');
    for (std::size_t i = 0; i < kDigestSize; ++i)
    {
        text[i * 2] = kDigits[digest[i] >> 4];
        text[i * 2 + 1] = kDigits[digest[i] & 0x0F];
    }
    return text;
}

} // namespace Misc

// Streams the whole file through the digest in blocks, so memory stays constant
// whatever the size. Writers are denied while it reads: a file that is being
// written has no digest worth reporting. A read error part way gives false rather
// than the digest of a part of the file.
bool FileDigestText(const std::wstring& path, std::wstring& text)
{
    text.clear();
    if (path.empty() || ::_waccess(path.c_str(), 4) != 0)
        return false;
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;

    constexpr DWORD kBlock = 64 * 1024;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kBlock]);
    if (!buffer)
        return false;

    Misc::MD5 digest;
    for (;;)
    {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.get(), kBlock, &read, nullptr))
            return false;
        if (read == 0)
            break;
        digest.Update(buffer.get(), read);
    }
    uint8_t bytes[Misc::MD5::kDigestSize];
    digest.Final(bytes);
    text = Misc::MD5::HexText(bytes);
    return true;
}
