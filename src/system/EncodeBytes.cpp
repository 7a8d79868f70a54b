#include "system/EncodeBytes.h"

namespace
{
const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789*-";
constexpr wchar_t kFill = L'[';
} // namespace

int EncodeBytes(const unsigned char* bytes, std::size_t count, std::unique_ptr<wchar_t[]>* out)
{
    if (!bytes || !out)
        return 0;
    const std::size_t length = 4 * ((count + 2) / 3);
    auto text = std::make_unique<wchar_t[]>(length + 1); // cleared
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; i += 3)
    {
        const std::size_t left = count - i;
        const unsigned value = (static_cast<unsigned>(bytes[i]) << 16) |
                               (left > 1 ? static_cast<unsigned>(bytes[i + 1]) << 8 : 0u) |
                               (left > 2 ? static_cast<unsigned>(bytes[i + 2]) : 0u);
        text[at++] = kAlphabet[(value >> 18) & 0x3F];
        text[at++] = kAlphabet[(value >> 12) & 0x3F];
        text[at++] = left > 1 ? kAlphabet[(value >> 6) & 0x3F] : kFill;
        text[at++] = left > 2 ? kAlphabet[value & 0x3F] : kFill;
    }
    *out = std::move(text);
    return static_cast<int>(length);
}
