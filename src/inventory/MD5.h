#pragma once
// The MD5 message digest (RFC 1321). A file's digest is one of its one-pass facts
// (inventory/FileFacts.h).

#include <cstddef>
#include <cstdint>
#include <string>

namespace Misc
{

class MD5
{
  public:
    static constexpr std::size_t kDigestSize = 16;

    MD5() { Reset(); }
    virtual ~MD5() = default;

    // Feeds bytes; every complete 64-byte block is transformed as it fills.
    void Update(const void* bytes, std::size_t count);
    // Pads the message, writes the digest and starts over with an empty message.
    void Final(uint8_t digest[kDigestSize]);

    // The digest as 32 upper-case hexadecimal digits.
    static std::wstring HexText(const uint8_t digest[kDigestSize]);

  private:
    void Reset();
    void Transform(const uint8_t block[64]);

    uint32_t m_state[4];
    uint32_t m_count[2]; // message bits fed so far, low word first
    uint8_t m_buffer[64];
};

} // namespace Misc
