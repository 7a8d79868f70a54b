#include "inventory/VersionResource.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Misc
{

namespace
{

constexpr uint16_t kDosMagic = 0x5A4D;        // "MZ"
constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMagic32 = 0x010B;
constexpr uint16_t kMagic64 = 0x020B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint16_t kVersionType = 16; // RT_VERSION
constexpr uint32_t kSubdirectoryBit = 0x80000000;
constexpr uint32_t kMaxSections = 96;
// Real images carry a handful of version entries; a directory that claims thousands
// is damaged, and walking it would take as long as the file is big.
constexpr uint32_t kMaxVersionEntries = 256;
// A version tree is at most 64 KiB (its lengths are 16-bit); room for padding.
constexpr uint32_t kMaxVersionDataSize = 1024 * 1024;
constexpr int kMaxBlockDepth = 8;

uint16_t Word(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Dword(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Section
{
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

struct ImageLayout
{
    uint32_t resourceRva = 0;
    uint32_t sizeOfHeaders = 0;
    std::vector<Section> sections;
};

// The headers as the platform's loader reads them for a data file: the optional
// header's magic number decides where the data directories are, the section table
// follows the optional header at its declared size.
bool ReadLayout(const ByteSource& image, ImageLayout& layout)
{
    uint8_t dos[64];
    if (!image.ReadAt(0, dos, sizeof dos) || Word(dos) != kDosMagic)
        return false;
    const uint64_t nt = Dword(dos + 60);
    uint8_t head[24 + 136];
    if (!image.ReadAt(nt, head, 24) || Dword(head) != kPeSignature)
        return false;
    const uint32_t sectionCount = Word(head + 6);
    const uint32_t optionalSize = Word(head + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections || optionalSize < 2 ||
        !image.ReadAt(nt + 24, head + 24, 2))
        return false;
    const uint16_t magic = Word(head + 24);
    const uint32_t countOffset = magic == kMagic32 ? 92 : magic == kMagic64 ? 108 : 0;
    const uint32_t directoryEnd = countOffset + 4 + 8 * (kResourceDirectoryIndex + 1);
    if (countOffset == 0 || optionalSize < directoryEnd || !image.ReadAt(nt + 24, head + 24, directoryEnd))
        return false;
    const uint8_t* optional = head + 24;
    if (Dword(optional + countOffset) <= kResourceDirectoryIndex)
        return false;
    layout.sizeOfHeaders = Dword(optional + 60);
    layout.resourceRva = Dword(optional + countOffset + 4 + 8 * kResourceDirectoryIndex);
    if (layout.resourceRva == 0)
        return false;

    std::vector<uint8_t> table(static_cast<std::size_t>(sectionCount) * 40);
    if (!image.ReadAt(nt + 24 + optionalSize, table.data(), static_cast<uint32_t>(table.size())))
        return false;
    // Sections follow the headers in ascending order without overlapping, as the
    // loader lays them out; images that break this send the platform's version
    // functions down paths that keep the file open.
    uint64_t previousEnd = layout.sizeOfHeaders;
    for (uint32_t i = 0; i < sectionCount; ++i)
    {
        const uint8_t* s = table.data() + i * 40;
        const Section section{Dword(s + 12), Dword(s + 16), Dword(s + 20)};
        const uint64_t end = static_cast<uint64_t>(section.virtualAddress) + section.rawSize;
        // The loader adds these in 32 bits; a sum that wraps would lead it elsewhere.
        if (end > 0xFFFFFFFFu || section.virtualAddress < previousEnd)
            return false;
        previousEnd = std::max<uint64_t>(end, section.virtualAddress + 1);
        layout.sections.push_back(section);
    }
    return true;
}

// The first section whose raw data covers the address, as the loader looks it up.
const Section* SectionOf(const ImageLayout& layout, uint32_t rva)
{
    for (const Section& s : layout.sections)
        if (s.virtualAddress <= rva && rva < s.virtualAddress + s.rawSize)
            return &s;
    return nullptr;
}

struct DirectoryEntries
{
    uint32_t namedCount = 0; // the entries named by a string come first, those named by a number after
    std::vector<uint32_t> names;
    std::vector<uint32_t> targets;

    // The number an entry is looked up by; entries named by a string are never found by one.
    uint16_t IdOf(std::size_t i) const
    {
        return i < namedCount ? 0 : static_cast<uint16_t>(names[i] & 0xFFFF);
    }
};

class ResourceWalk
{
  public:
    ResourceWalk(const ByteSource& image, const ImageLayout& layout) : m_image(image), m_layout(layout) {}
    bool Entries(VersionEntries& found);

  private:
    bool Directory(uint64_t offset, DirectoryEntries& directory);
    bool Subtree(uint32_t target, int level, uint16_t name);
    bool DataEntry(uint32_t offset, uint16_t name, uint16_t language);

    const ByteSource& m_image;
    const ImageLayout& m_layout;
    uint64_t m_root = 0;
    uint32_t m_visited = 0;
    bool m_numbered = true; // every name and language below the version type is a number
    std::vector<VersionEntry> m_entries;
};

// One directory: its header and the whole entry array inside the file.
bool ResourceWalk::Directory(uint64_t offset, DirectoryEntries& directory)
{
    uint8_t header[16];
    if (!m_image.ReadAt(offset, header, sizeof header))
        return false;
    directory.namedCount = Word(header + 12);
    const uint32_t count = directory.namedCount + Word(header + 14);
    std::vector<uint8_t> entries(static_cast<std::size_t>(count) * 8);
    if (count > 0 && !m_image.ReadAt(offset + 16, entries.data(), count * 8))
        return false;
    for (uint32_t i = 0; i < count; ++i)
    {
        directory.names.push_back(Dword(entries.data() + i * 8));
        directory.targets.push_back(Dword(entries.data() + i * 8 + 4));
    }
    return true;
}

// Below the type come the names, below the names the languages, and each language
// names one data entry: nothing else is accepted.
bool ResourceWalk::Subtree(uint32_t target, int level, uint16_t name)
{
    if (++m_visited > kMaxVersionEntries)
        return false;
    if ((target & kSubdirectoryBit) == 0)
        return false;
    DirectoryEntries directory;
    if (!Directory(m_root + (target & ~kSubdirectoryBit), directory) || directory.targets.empty())
        return false;
    m_numbered = m_numbered && directory.namedCount == 0;
    for (std::size_t i = 0; i < directory.targets.size(); ++i)
    {
        const uint32_t next = directory.targets[i];
        const bool sound = level == 0 ? Subtree(next, 1, directory.IdOf(i))
                                      : (next & kSubdirectoryBit) == 0 && ++m_visited <= kMaxVersionEntries &&
                                            DataEntry(next, name, directory.IdOf(i));
        if (!sound)
            return false;
    }
    return true;
}

// The data is looked up through the section table only, and must lie inside both its
// section's raw data and the file.
bool ResourceWalk::DataEntry(uint32_t offset, uint16_t name, uint16_t language)
{
    uint8_t entry[16];
    if (!m_image.ReadAt(m_root + offset, entry, sizeof entry))
        return false;
    const uint32_t rva = Dword(entry);
    const uint32_t size = Dword(entry + 4);
    const Section* section = SectionOf(m_layout, rva);
    if (!section || size == 0 || size > kMaxVersionDataSize)
        return false;
    const uint64_t inSection = static_cast<uint64_t>(rva - section->virtualAddress) + size;
    const uint64_t fileEnd = static_cast<uint64_t>(section->rawOffset) + inSection;
    if (inSection > section->rawSize || fileEnd > m_image.Size())
        return false;
    m_entries.push_back(VersionEntry{name, language, rva, fileEnd - size, size});
    return true;
}

bool ResourceWalk::Entries(VersionEntries& found)
{
    // The root may lie inside the headers, where a data file's address is its offset.
    const uint32_t rva = m_layout.resourceRva;
    if (rva < m_layout.sizeOfHeaders)
        m_root = rva;
    else if (const Section* section = SectionOf(m_layout, rva))
        m_root = static_cast<uint64_t>(section->rawOffset) + (rva - section->virtualAddress);
    else
        return false;
    DirectoryEntries root;
    if (!Directory(m_root, root))
        return false;
    uint32_t versionTypes = 0;
    bool ascending = true;
    for (std::size_t i = 0; i < root.names.size(); ++i)
    {
        if (i > root.namedCount && root.IdOf(i) <= root.IdOf(i - 1))
            ascending = false;
        // The lookup compares only the low 16 bits of an entry's name.
        if ((root.names[i] & 0xFFFF) != kVersionType)
            continue;
        if (!Subtree(root.targets[i], 0, 0))
            return false;
        ++versionTypes;
    }
    for (const VersionEntry& entry : m_entries)
        if (entry.name == 1)
            found.named.push_back(entry);
    found.single =
        ascending && versionTypes == 1 && m_numbered && m_entries.size() == 1 && found.named.size() == 1;
    return !found.named.empty();
}

struct Block
{
    std::size_t begin;
    std::size_t end;
};

bool BlockIsSound(const uint8_t* data, Block block, int depth)
{
    if (depth > kMaxBlockDepth || block.end - block.begin < 6)
        return false;
    const std::size_t length = Word(data + block.begin);
    if (length < 6 || length > block.end - block.begin)
        return false;
    const std::size_t end = block.begin + length;
    std::size_t key = block.begin + 6;
    while (key + 2 <= end && Word(data + key) != 0)
        key += 2;
    if (key + 2 > end)
        return false; // the key has no terminator inside its block
    const std::size_t valueBytes =
        static_cast<std::size_t>(Word(data + block.begin + 2)) * (Word(data + block.begin + 4) ? 2 : 1);
    const std::size_t valueStart = block.begin + ((key + 2 - block.begin + 3) & ~std::size_t(3));
    std::size_t child = valueStart + ((valueBytes + 3) & ~std::size_t(3));
    while (child < end)
    {
        if (!BlockIsSound(data, Block{child, end}, depth + 1))
            return false;
        child += (Word(data + child) + 3u) & ~3u;
    }
    return true;
}

} // namespace

bool MemoryBytes::ReadAt(uint64_t offset, void* buffer, uint32_t count) const
{
    if (offset > m_size || count > m_size - offset)
        return false;
    if (count > 0)
        std::memcpy(buffer, m_data + offset, count);
    return true;
}

FileBytes::FileBytes(HANDLE file) : m_file(file)
{
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0)
        m_size = static_cast<uint64_t>(size.QuadPart);
}

bool FileBytes::ReadAt(uint64_t offset, void* buffer, uint32_t count) const
{
    if (offset > m_size || count > m_size - offset)
        return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ::ReadFile(m_file, buffer, count, &read, &at) && read == count;
}

bool CheckVersionEntries(const ByteSource& image, VersionEntries& found)
{
    found = VersionEntries();
    ImageLayout layout;
    return ReadLayout(image, layout) && ResourceWalk(image, layout).Entries(found);
}

// The wide form only: its root carries the key "VS_VERSION_INFO" and a type of 0 or 1,
// while the platform would read anything else as the old 8-bit form.
bool VersionBlockIsSound(const uint8_t* data, std::size_t size)
{
    static const wchar_t kRootKey[] = L"VS_VERSION_INFO";
    constexpr std::size_t kRootKeyBytes = sizeof kRootKey;
    if (!data || size < 6 + kRootKeyBytes || Word(data + 4) > 1)
        return false;
    for (std::size_t i = 0; i < kRootKeyBytes / 2; ++i)
        if (Word(data + 6 + 2 * i) != static_cast<uint16_t>(kRootKey[i]))
            return false;
    return BlockIsSound(data, Block{0, size}, 0);
}

} // namespace Misc
