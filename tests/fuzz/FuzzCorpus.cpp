#include "FuzzCorpus.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace Fuzz
{

namespace
{

uint32_t Get(const std::string& b, std::size_t at, int width)
{
    if (at + width > b.size())
        return 0;
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(b[at + i]);
    return v;
}

void Put(std::string& b, std::size_t at, int width, uint32_t value)
{
    for (int i = 0; i < width && at + i < b.size(); ++i)
        b[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct Section
{
    uint32_t va, rawSize, rawOffset;
};

std::size_t FileOffset(const std::vector<Section>& sections, uint32_t rva)
{
    for (const Section& s : sections)
        if (s.va <= rva && rva < s.va + s.rawSize)
            return s.rawOffset + (rva - s.va);
    return 0;
}

class Describer
{
  public:
    explicit Describer(const std::string& image) : b(image) {}
    Layout Run();

  private:
    void Headers();
    void Directory(std::size_t root, std::size_t at, int level, bool version);
    void VersionBlock(std::size_t at, std::size_t end, int depth);
    void Mark(std::size_t at)
    {
        if (at <= b.size())
            layout.boundaries.push_back(at);
    }
    void AddField(const std::string& name, std::size_t at, int width)
    {
        if (at + width <= b.size())
            layout.fields.push_back({name, at, width});
    }

    const std::string& b;
    Layout layout;
    std::vector<Section> sections;
};

void Describer::Headers()
{
    for (std::size_t at : {0u, 2u, 60u, 64u})
        Mark(at);
    AddField("e_lfanew", 60, 4);
    const std::size_t nt = Get(b, 60, 4);
    if (nt + 24 > b.size() || Get(b, nt, 4) != 0x4550)
        return;
    const std::size_t optional = nt + 24;
    const uint32_t optionalSize = Get(b, nt + 20, 2);
    const uint32_t count = Get(b, nt + 6, 2);
    const bool is64 = Get(b, optional, 2) == 0x20B;
    const std::size_t dirs = optional + (is64 ? 112 : 96);
    for (std::size_t at : {nt, nt + 4, optional, optional + optionalSize / 2, dirs, optional + optionalSize})
        Mark(at);
    AddField("NumberOfSections", nt + 6, 2);
    AddField("SizeOfOptionalHeader", nt + 20, 2);
    AddField("OptionalMagic", optional, 2);
    AddField("SizeOfHeaders", optional + 60, 4);
    AddField("NumberOfRvaAndSizes", dirs - 4, 4);
    AddField("ResourceRva", dirs + 16, 4);
    AddField("ResourceSize", dirs + 20, 4);
    const std::size_t table = optional + optionalSize;
    for (uint32_t i = 0; i < count && table + 40 * (i + 1) <= b.size(); ++i)
    {
        const std::size_t s = table + 40 * i;
        if (i < 2)
            Mark(s);
        const Section section{Get(b, s + 12, 4), Get(b, s + 16, 4), Get(b, s + 20, 4)};
        sections.push_back(section);
        // The first sections, the last one and the resource section are damaged.
        const uint32_t resourceRva = Get(b, dirs + 16, 4);
        const bool holdsResources = section.va <= resourceRva && resourceRva < section.va + section.rawSize;
        if (holdsResources)
        {
            Mark(section.rawOffset);
            Mark(section.rawOffset + section.rawSize);
        }
        if (i >= 2 && i + 1 != count && !holdsResources)
            continue;
        const std::string tag = "Section" + std::to_string(i) + ".";
        AddField(tag + "VirtualAddress", s + 12, 4);
        AddField(tag + "SizeOfRawData", s + 16, 4);
        AddField(tag + "PointerToRawData", s + 20, 4);
    }
    Mark(table + 40 * count);
    const std::size_t root = FileOffset(sections, Get(b, dirs + 16, 4));
    if (root)
        Directory(root, root, 0, false);
}

void Describer::Directory(std::size_t root, std::size_t at, int level, bool version)
{
    if (at + 16 > b.size() || level > 2)
        return;
    Mark(at);
    const std::string tag = "ResourceDir" + std::to_string(level) + "@" + std::to_string(at) + ".";
    AddField(tag + "NamedCount", at + 12, 2);
    AddField(tag + "IdCount", at + 14, 2);
    const uint32_t count = Get(b, at + 12, 2) + Get(b, at + 14, 2);
    for (uint32_t i = 0; i < count && at + 16 + 8 * (i + 1) <= b.size(); ++i)
    {
        const std::size_t entry = at + 16 + 8 * i;
        const uint32_t name = Get(b, entry, 4);
        const uint32_t target = Get(b, entry + 4, 4);
        const bool isVersion = version || (level == 0 && name == 16);
        if (!isVersion)
            continue;
        AddField(tag + "EntryName", entry, 4);
        AddField(tag + "EntryTarget", entry + 4, 4);
        if (target & 0x80000000u)
        {
            Directory(root, root + (target & 0x7FFFFFFFu), level + 1, true);
            continue;
        }
        const std::size_t data = root + target;
        Mark(data);
        AddField("DataEntry.Rva", data, 4);
        AddField("DataEntry.Size", data + 4, 4);
        const std::size_t start = FileOffset(sections, Get(b, data, 4));
        const std::size_t size = Get(b, data + 4, 4);
        if (start && !layout.versionOffset && start + size <= b.size())
        {
            layout.versionOffset = start;
            layout.versionSize = size;
            for (std::size_t at2 : {start, start + 6, start + 40, start + 92, start + size})
                Mark(at2);
            VersionBlock(start, start + size, 0);
        }
    }
}

void Describer::VersionBlock(std::size_t at, std::size_t end, int depth)
{
    const std::size_t length = Get(b, at, 2);
    if (depth > 6 || length < 6 || at + length > end)
        return;
    Mark(at);
    const std::string tag = "Block@" + std::to_string(at - layout.versionOffset) + ".";
    layout.versionFields.push_back({tag + "wLength", at, 2});
    layout.versionFields.push_back({tag + "wValueLength", at + 2, 2});
    layout.versionFields.push_back({tag + "wType", at + 4, 2});
    std::size_t key = at + 6;
    std::u16string keyText;
    while (key + 2 <= at + length && Get(b, key, 2) != 0)
    {
        keyText.push_back(static_cast<char16_t>(Get(b, key, 2)));
        key += 2;
    }
    if (keyText == u"Translation")
        layout.translationBlock = at;
    const std::size_t value = at + ((key + 2 - at + 3) & ~std::size_t(3));
    const uint32_t valueLength = Get(b, at + 2, 2);
    const bool text = Get(b, at + 4, 2) == 1;
    if (text && valueLength > 0)
        layout.stringValueEnds.push_back(value + 2 * (valueLength - 1));
    std::size_t child = value + (((text ? 2 : 1) * valueLength + 3) & ~std::size_t(3));
    while (child + 6 <= at + length)
    {
        const std::size_t childLength = Get(b, child, 2);
        if (childLength < 6)
            break;
        VersionBlock(child, at + length, depth + 1);
        child += (childLength + 3) & ~std::size_t(3);
    }
}

Layout Describer::Run()
{
    Headers();
    Mark(b.size());
    std::set<std::size_t> unique(layout.boundaries.begin(), layout.boundaries.end());
    layout.boundaries.assign(unique.begin(), unique.end());
    return layout;
}

Input Make(const std::string& fixture, const std::string& damage, std::string bytes, const Layout& layout)
{
    Input input;
    input.name = fixture + " " + damage;
    input.bytes = std::move(bytes);
    input.versionOffset = layout.versionOffset;
    input.versionSize = layout.versionSize;
    return input;
}

std::string Hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

} // namespace

Layout Describe(const std::string& image)
{
    return Describer(image).Run();
}

void Generator::Truncations(const std::string& name, const std::string& image, const Layout& layout,
                            std::vector<Input>& out)
{
    std::set<std::size_t> cuts;
    for (std::size_t at : layout.boundaries)
        for (std::size_t c : {at, at > 0 ? at - 1 : 0})
            if (c < image.size())
                cuts.insert(c);
    for (std::size_t cut : cuts)
        out.push_back(Make(name, "cut at " + std::to_string(cut), image.substr(0, cut), layout));
}

// Each field once with each edge value and with values near its own; lengths and
// offsets that run past the file, wrap, or go negative.
void Generator::FieldValues(const std::string& name, const std::string& image, const Layout& layout,
                            const std::vector<Field>& fields, int perField, std::vector<Input>& out)
{
    const uint32_t size = static_cast<uint32_t>(image.size());
    for (const Field& field : fields)
    {
        const uint32_t own = Get(image, field.offset, field.width);
        std::vector<uint32_t> values =
            field.width == 2
                ? std::vector<uint32_t>{0,      1,       5,       6,       0x7FFF, 0x8000,
                                        0xFFFF, own + 1, own - 1, own * 2, own + 4}
                : std::vector<uint32_t>{0,          1,        0x7FFFFFFF,      0x80000000,    0xFFFFFFFF,
                                        0xFFFFFFF0, own + 1,  own - 1,         own + 0x10000, size,
                                        size - 4,   own * 16, own | 0x80000000};
        for (int i = 0; i < perField && !values.empty(); ++i)
        {
            const std::size_t pick = Next(static_cast<uint32_t>(values.size()));
            const uint32_t value = values[pick];
            values.erase(values.begin() + static_cast<std::ptrdiff_t>(pick));
            std::string bytes = image;
            Put(bytes, field.offset, field.width, value);
            Input input = Make(name, field.name + "=" + Hex(value), std::move(bytes), layout);
            out.push_back(std::move(input));
        }
    }
}

void Generator::VersionDamage(const std::string& name, const std::string& image, const Layout& layout,
                              std::vector<Input>& out)
{
    const std::size_t root = layout.versionOffset;
    if (!root)
        return;
    // Short fixed blocks.
    for (uint32_t length : {0u, 4u, 20u, 51u})
    {
        std::string bytes = image;
        Put(bytes, root + 2, 2, length);
        out.push_back(Make(name, "fixed block of " + std::to_string(length) + " bytes", bytes, layout));
    }
    // Missing, short and oversized translation tables.
    if (layout.translationBlock)
    {
        const std::size_t t = layout.translationBlock;
        for (uint32_t length : {0u, 2u, 3u, 0xFFFFu})
        {
            std::string bytes = image;
            Put(bytes, t + 2, 2, length);
            out.push_back(Make(name, "translation of " + std::to_string(length) + " bytes", bytes, layout));
        }
        std::string bytes = image;
        bytes[t + 6 + 2 * 10] = 'm'; // "Translatiom": no translation table
        out.push_back(Make(name, "translation missing", bytes, layout));
    }
    // Strings without terminators, with lengths past their block, the data's end.
    for (std::size_t end : layout.stringValueEnds)
    {
        std::string bytes = image;
        Put(bytes, end, 2, 'X');
        out.push_back(Make(name, "unterminated string @" + std::to_string(end - root), bytes, layout));
    }
    for (const Field& f : layout.versionFields)
    {
        if (f.name.find("wValueLength") == std::string::npos)
            continue;
        std::string bytes = image;
        Put(bytes, f.offset, 2, 0x7FFF);
        Put(bytes, f.offset + 2, 2, 1);
        out.push_back(Make(name, f.name + " long text", bytes, layout));
    }
    // Nested blocks that point outside their parent, and keys without terminators.
    for (const Field& f : layout.versionFields)
    {
        if (f.name.find("wLength") == std::string::npos)
            continue;
        const uint32_t own = Get(image, f.offset, 2);
        const uint32_t lengths[] = {own + 4, own + 0x100, 0xFFFFu, 2u};
        for (uint32_t length : {lengths[Next(2)], lengths[2 + Next(2)]})
        {
            std::string bytes = image;
            Put(bytes, f.offset, 2, length);
            out.push_back(Make(name, f.name + "=" + Hex(length), bytes, layout));
        }
        std::string bytes = image;
        for (std::size_t at = f.offset + 6; at + 1 < f.offset + own && at + 1 < bytes.size(); at += 2)
            if (Get(bytes, at, 2) == 0)
            {
                Put(bytes, at, 2, 'K');
                break;
            }
        out.push_back(Make(name, f.name.substr(0, f.name.find('.')) + " key unterminated", bytes, layout));
    }
}

void Generator::BitFlips(const std::string& name, const std::string& image, const Layout& layout, int count,
                         std::vector<Input>& out)
{
    if (image.empty())
        return;
    for (int i = 0; i < count; ++i)
    {
        std::string bytes = image;
        // A third in the headers, a third in the version data, a third anywhere.
        std::size_t from = 0;
        std::size_t span = bytes.size();
        if (i % 3 == 0)
            span = std::min<std::size_t>(bytes.size(), 1024);
        else if (i % 3 == 1 && layout.versionSize)
        {
            from = layout.versionOffset;
            span = layout.versionSize;
        }
        const int flips = 1 + static_cast<int>(Next(8));
        std::string what = "flip";
        for (int f = 0; f < flips; ++f)
        {
            const std::size_t at = from + Next(static_cast<uint32_t>(span));
            const int bit = static_cast<int>(Next(8));
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
            what.append(" ").append(std::to_string(at)).append(".").append(std::to_string(bit));
        }
        out.push_back(Make(name, what, std::move(bytes), layout));
    }
}

std::vector<Input> Generator::Damage(const std::string& fixtureName, const std::string& image)
{
    const Layout layout = Describe(image);
    std::vector<Input> out;
    Truncations(fixtureName, image, layout, out);
    FieldValues(fixtureName, image, layout, layout.fields, 2, out);
    FieldValues(fixtureName, image, layout, layout.versionFields, 1, out);
    VersionDamage(fixtureName, image, layout, out);
    BitFlips(fixtureName, image, layout, 36, out);
    return out;
}

std::string VersionBlockOf(const Input& input)
{
    if (!input.versionSize || input.versionOffset >= input.bytes.size())
        return {};
    return input.bytes.substr(input.versionOffset, input.versionSize);
}

} // namespace Fuzz
