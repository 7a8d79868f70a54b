#pragma once
// Checks that make a file's version resource safe to hand to the platform's version
// functions: they trust the image's resource directory and the resource's own
// lengths, and read (or crash) wherever those point.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Misc
{

// Random access to the bytes of a file or of a buffer.
class ByteSource
{
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly count bytes at offset; false when they are not all there.
    virtual bool ReadAt(uint64_t offset, void* buffer, uint32_t count) const = 0;
};

class MemoryBytes : public ByteSource
{
  public:
    MemoryBytes(const void* data, std::size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size)
    {
    }
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) const override;

  private:
    const uint8_t* m_data;
    std::size_t m_size;
};

class FileBytes : public ByteSource
{
  public:
    explicit FileBytes(HANDLE file);
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count) const override;

  private:
    HANDLE m_file;
    uint64_t m_size = 0;
};

// One version data entry of the image: its name and language in the resource
// directory, where its bytes lie (as an address of the image and in the file), and
// their count.
struct VersionEntry
{
    uint16_t name = 0;
    uint16_t language = 0;
    uint32_t rva = 0;
    uint64_t fileOffset = 0;
    uint32_t size = 0;
};

struct VersionEntries
{
    // The entries under the name the version functions ask for (1), in directory order.
    std::vector<VersionEntry> named;
    // Whether the platform's lookup can only come to named[0]: the types are in the
    // ascending order that its search relies on, one version type holding one name (1)
    // holding one language. Which language the platform prefers then makes no
    // difference.
    bool single = false;
};

// The version entries of the image when its headers, section table, resource directory
// and every version entry (of any name and language) lie inside the file; false when
// anything on the way is missing or points outside, or no entry has the name 1: then
// nothing of the image may reach the platform's version functions.
bool CheckVersionEntries(const ByteSource& image, VersionEntries& found);

// Whether the version data (a VS_VERSIONINFO tree in its wide form) holds together:
// every block's length within its parent, every key terminated inside its block.
bool VersionBlockIsSound(const uint8_t* data, std::size_t size);

} // namespace Misc
