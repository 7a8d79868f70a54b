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

namespace
{
int SixBits(wchar_t c)
{
    for (int value = 0; value < 64; ++value)
        if (kAlphabet[value] == c)
            return value;
    return -1;
}
} // namespace

bool DecodeBytes(const std::wstring& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    for (std::size_t at = 0; at < text.size(); at += 4)
    {
        const bool last = at + 4 == text.size();
        const int fills = (text[at + 3] == kFill) + (text[at + 2] == kFill && text[at + 3] == kFill);
        if (fills && !last)
            return false;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i)
        {
            const int bits = i >= 4 - fills ? 0 : SixBits(text[at + i]);
            if (bits < 0)
                return false;
            value = value << 6 | static_cast<unsigned>(bits);
        }
        bytes.push_back(static_cast<unsigned char>(value >> 16));
        if (fills < 2)
            bytes.push_back(static_cast<unsigned char>(value >> 8));
        if (fills < 1)
            bytes.push_back(static_cast<unsigned char>(value));
    }
    return true;
}
