#pragma once
// Checks that make a file's version resource safe to hand to the platform's version
// functions: they trust the image's resource directory and the resource's own
// lengths, and read (or crash) wherever those point.

#include <windows.h>

#include <cstddef>
#include <cstdint>

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

// The smallest size among the image's version data entries when the image's headers,
// section table, resource directory and every version entry lie inside the file;
// 0 when anything on the way is missing or points outside.
uint32_t CheckedVersionResourceSize(const ByteSource& image);

// Whether the version data (a VS_VERSIONINFO tree in its wide form) holds together:
// every block's length within its parent, every key terminated inside its block.
bool VersionBlockIsSound(const uint8_t* data, std::size_t size);

} // namespace Misc
