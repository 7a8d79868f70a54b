#include "FuzzCorpus.h"

#include <random>

namespace Fuzz
{

namespace
{

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A literal with the NUL bytes inside it.
template <std::size_t N> std::string Bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

struct Sample
{
    const char* name;
    std::string bytes;
};

// Settings files and logs as the product writes them, in each form it uses.
std::vector<Sample> Samples()
{
    return {
        {"ansi settings", "[Main]\r\nInstallPath=C:\\Program Files\\Velmora 6\r\nLanguage=de\r\n\r\n"
                          "[Gobo]\r\nCount=12\r\nName=Gr\xFC\xDF"
                          "e\r\n"},
        {"utf8 settings", "\xEF\xBB\xBF[Main]\nName=Gr\xC3\xBC\xC3\x9F"
                          "e \xE2\x82\xAC \xF0\x9F\x98\x80\n"},
        {"utf16 log", "\xFF\xFE" + Utf16(L"12:00:01 Start Velmora 6.1\r\n12:00:02 Box found \U0001F600\r\n"
                                         L"12:00:03 End\r\n")},
        {"utf16 without mark", Utf16(L"[Main]\r\nA=1\r\n")},
        {"ansi log", Bytes("12:00:01 start\n12:00:02 value\0hidden\n\r\r\nlast line without end")},
        {"control bytes", Bytes("A\x1A"
                                "B\r\n\0\0\xFF\xFE\xEF\xBB\xBF\n")},
    };
}

// Byte sequences that start, end or break lines, marks and characters.
const std::string kSpecials[] = {
    Bytes("\0"),
    "\n",
    "\r",
    "\r\r\n",
    "\x1A",
    "\xFF\xFE",
    "\xEF\xBB\xBF",
    Bytes("\x00\xD8"), // a high surrogate without its low half
    Bytes("\x00\xDC"), // a low surrogate alone
    "\xC3",            // a UTF-8 lead byte without its follower
    "\xF0\x9F\x98",    // a four-byte character cut short
    "\xED\xA0\x80",    // an encoded surrogate
    "\xC0\x80",        // an overlong NUL
    "\xFE\xFF",
};

const char* const kMarks[] = {"\xFF\xFE", "\xEF\xBB\xBF", "\xFF", "\xEF\xBB", "\xFE\xFF"};

} // namespace

// Cut at every byte of the marks and at every line end, bytes flipped, the special
// sequences put in, the marks swapped; and a few texts of extreme shape.
std::vector<Input> TextInputs(uint32_t seed)
{
    std::mt19937 random(seed);
    const auto next = [&random](std::size_t below) { return static_cast<std::size_t>(random() % below); };
    std::vector<Input> out;
    const auto add = [&out](const std::string& name, std::string bytes) {
        out.push_back({name, std::move(bytes)});
    };
    for (const Sample& sample : Samples())
    {
        const std::string& text = sample.bytes;
        const std::string name = sample.name;
        for (std::size_t cut = 0; cut < 8 && cut < text.size(); ++cut)
            add(name + " cut at " + std::to_string(cut), text.substr(0, cut));
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            for (std::size_t cut : {at, at + 1, at + 2})
                if (cut < text.size())
                    add(name + " cut at " + std::to_string(cut), text.substr(0, cut));
        for (int flip = 0; flip < 40; ++flip)
        {
            std::string damaged = text;
            const std::size_t at = next(damaged.size());
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << next(8)));
            add(name + " bit flipped at " + std::to_string(at), damaged);
        }
        for (std::size_t s = 0; s < std::size(kSpecials); ++s)
            for (int copy = 0; copy < 2; ++copy)
            {
                const std::size_t at = next(text.size() + 1);
                add(name + " special " + std::to_string(s) + " put at " + std::to_string(at),
                    text.substr(0, at) + kSpecials[s] + text.substr(at));
            }
        for (const char* mark : kMarks)
            add(name + " behind mark " + std::to_string(std::string(mark).size()), mark + text);
    }
    add("one line of 300 KiB", std::string(300 * 1024, 'x'));
    add("50000 empty lines", std::string(50000, '\n'));
    add("50000 carriage returns", std::string(50000, '\r'));
    add("utf16 mark and 50000 line ends", "\xFF\xFE" + Utf16(std::wstring(50000, L'\n')));
    add("64 KiB of NUL", std::string(64 * 1024, '\0'));
    add("utf8 mark and lead bytes only", "\xEF\xBB\xBF" + std::string(4096, '\xC3'));
    add("utf16 mark and odd length", "\xFF\xFE" + Utf16(L"A\r\nB") + "C");
    return out;
}

} // namespace Fuzz
