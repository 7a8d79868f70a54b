#include "inventory/MD5.h"

#include <cstring>

namespace Misc
{
namespace
{

constexpr uint32_t RotateLeft(uint32_t x, unsigned n)
{
    return (x << n) | (x >> (32 - n));
}

// The four round functions in the forms that need the fewest operations; each gives
// the same value as RFC 1321's definition.
constexpr uint32_t F(uint32_t x, uint32_t y, uint32_t z)
{
    return z ^ (x & (y ^ z));
}
constexpr uint32_t G(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (z & (x ^ y));
}
constexpr uint32_t H(uint32_t x, uint32_t y, uint32_t z)
{
    return x ^ y ^ z;
}
constexpr uint32_t I(uint32_t x, uint32_t y, uint32_t z)
{
    return y ^ (x | ~z);
}

// One step: a = b + ((a + f(b, c, d) + word + constant) <<< shift).
template <uint32_t (*Round)(uint32_t, uint32_t, uint32_t)>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t word, uint32_t constant,
                 unsigned shift)
{
    a = b + RotateLeft(a + Round(b, c, d) + word + constant, shift);
}

inline uint32_t LittleEndianWord(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

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

// Fully unrolled: every step has its word index, constant and shift fixed, so the
// compiler keeps the four state words in registers.
void MD5::Transform(const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LittleEndianWord(block + i * 4);

    uint32_t a = m_state[0];
    uint32_t b = m_state[1];
    uint32_t c = m_state[2];
    uint32_t d = m_state[3];
    Step<F>(a, b, c, d, x[0], 0xd76aa478, 7);
    Step<F>(d, a, b, c, x[1], 0xe8c7b756, 12);
    Step<F>(c, d, a, b, x[2], 0x242070db, 17);
    Step<F>(b, c, d, a, x[3], 0xc1bdceee, 22);
    Step<F>(a, b, c, d, x[4], 0xf57c0faf, 7);
    Step<F>(d, a, b, c, x[5], 0x4787c62a, 12);
    Step<F>(c, d, a, b, x[6], 0xa8304613, 17);
    Step<F>(b, c, d, a, x[7], 0xfd469501, 22);
    Step<F>(a, b, c, d, x[8], 0x698098d8, 7);
    Step<F>(d, a, b, c, x[9], 0x8b44f7af, 12);
    Step<F>(c, d, a, b, x[10], 0xffff5bb1, 17);
    Step<F>(b, c, d, a, x[11], 0x895cd7be, 22);
    Step<F>(a, b, c, d, x[12], 0x6b901122, 7);
    Step<F>(d, a, b, c, x[13], 0xfd987193, 12);
    Step<F>(c, d, a, b, x[14], 0xa679438e, 17);
    Step<F>(b, c, d, a, x[15], 0x49b40821, 22);
    Step<G>(a, b, c, d, x[1], 0xf61e2562, 5);
    Step<G>(d, a, b, c, x[6], 0xc040b340, 9);
    Step<G>(c, d, a, b, x[11], 0x265e5a51, 14);
    Step<G>(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    Step<G>(a, b, c, d, x[5], 0xd62f105d, 5);
    Step<G>(d, a, b, c, x[10], 0x02441453, 9);
    Step<G>(c, d, a, b, x[15], 0xd8a1e681, 14);
    Step<G>(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    Step<G>(a, b, c, d, x[9], 0x21e1cde6, 5);
    Step<G>(d, a, b, c, x[14], 0xc33707d6, 9);
    Step<G>(c, d, a, b, x[3], 0xf4d50d87, 14);
    Step<G>(b, c, d, a, x[8], 0x455a14ed, 20);
    Step<G>(a, b, c, d, x[13], 0xa9e3e905, 5);
    Step<G>(d, a, b, c, x[2], 0xfcefa3f8, 9);
    Step<G>(c, d, a, b, x[7], 0x676f02d9, 14);
    Step<G>(b, c, d, a, x[12], 0x8d2a4c8a, 20);
    Step<H>(a, b, c, d, x[5], 0xfffa3942, 4);
    Step<H>(d, a, b, c, x[8], 0x8771f681, 11);
    Step<H>(c, d, a, b, x[11], 0x6d9d6122, 16);
    Step<H>(b, c, d, a, x[14], 0xfde5380c, 23);
    Step<H>(a, b, c, d, x[1], 0xa4beea44, 4);
    Step<H>(d, a, b, c, x[4], 0x4bdecfa9, 11);
    Step<H>(c, d, a, b, x[7], 0xf6bb4b60, 16);
    Step<H>(b, c, d, a, x[10], 0xbebfbc70, 23);
    Step<H>(a, b, c, d, x[13], 0x289b7ec6, 4);
    Step<H>(d, a, b, c, x[0], 0xeaa127fa, 11);
    Step<H>(c, d, a, b, x[3], 0xd4ef3085, 16);
    Step<H>(b, c, d, a, x[6], 0x04881d05, 23);
    Step<H>(a, b, c, d, x[9], 0xd9d4d039, 4);
    Step<H>(d, a, b, c, x[12], 0xe6db99e5, 11);
    Step<H>(c, d, a, b, x[15], 0x1fa27cf8, 16);
    Step<H>(b, c, d, a, x[2], 0xc4ac5665, 23);
    Step<I>(a, b, c, d, x[0], 0xf4292244, 6);
    Step<I>(d, a, b, c, x[7], 0x432aff97, 10);
    Step<I>(c, d, a, b, x[14], 0xab9423a7, 15);
    Step<I>(b, c, d, a, x[5], 0xfc93a039, 21);
    Step<I>(a, b, c, d, x[12], 0x655b59c3, 6);
    Step<I>(d, a, b, c, x[3], 0x8f0ccc92, 10);
    Step<I>(c, d, a, b, x[10], 0xffeff47d, 15);
    Step<I>(b, c, d, a, x[1], 0x85845dd1, 21);
    Step<I>(a, b, c, d, x[8], 0x6fa87e4f, 6);
    Step<I>(d, a, b, c, x[15], 0xfe2ce6e0, 10);
    Step<I>(c, d, a, b, x[6], 0xa3014314, 15);
    Step<I>(b, c, d, a, x[13], 0x4e0811a1, 21);
    Step<I>(a, b, c, d, x[4], 0xf7537e82, 6);
    Step<I>(d, a, b, c, x[11], 0xbd3af235, 10);
    Step<I>(c, d, a, b, x[2], 0x2ad7d2bb, 15);
    Step<I>(b, c, d, a, x[9], 0xeb86d391, 21);
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
