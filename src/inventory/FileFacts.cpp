#include "inventory/FileFacts.h"

#include "inventory/ApplicationsInfo.h"
#include "inventory/MD5.h"
#include "inventory/PeInfo.h"
#include "inventory/VersionResource.h"
#include "misc/Handles.h"
#include "misc/Text.h"
#include "report/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace
{

constexpr DWORD kBlock = 64 * 1024;
// How much is read while the file is held without sharing: as long as opening it for
// the date alone would take, not as long as a large file takes to digest.
constexpr std::uint64_t kExclusiveBytes = 1024 * 1024;

// The headers and the version resource come from the bytes already read for the
// digest; only what lies further in is read again, through the same handle.
class HeadSource : public Misc::PeSource, public Misc::ByteSource
{
  public:
    HeadSource(const std::uint8_t* head, std::size_t headSize, std::uint64_t length, HANDLE file)
        : m_head(head), m_headSize(headSize), m_length(length), m_file(file)
    {
    }

    bool Length(std::uint64_t& length) override
    {
        length = m_length;
        return true;
    }

    std::uint32_t Read(void* buffer, std::uint32_t count) override
    {
        const std::uint32_t done = Fetch(m_position, buffer, count);
        m_position += done;
        return done;
    }

    // The next read starts further in: from the bytes in memory or by seeking the handle.
    bool Skip(std::uint32_t count) override
    {
        if (count > m_length || m_position > m_length - count)
            return false;
        m_position += count;
        return true;
    }

    std::uint64_t Size() const override { return m_length; }

    bool ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) const override
    {
        return offset <= m_length && count <= m_length - offset && Fetch(offset, buffer, count) == count;
    }

  private:
    std::uint32_t Fetch(std::uint64_t offset, void* buffer, std::uint32_t count) const
    {
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::uint32_t done = 0;
        if (offset < m_headSize)
        {
            done = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, m_headSize - offset));
            std::memcpy(out, m_head + offset, done);
        }
        if (done < count && m_file)
        {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset + done);
            at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
            DWORD read = 0;
            if (::ReadFile(m_file, out + done, count - done, &read, &at))
                done += read;
        }
        return done;
    }

    const std::uint8_t* m_head;
    std::size_t m_headSize;
    std::uint64_t m_length;
    HANDLE m_file;
    std::uint64_t m_position = 0;
};

bool ReadBlock(HANDLE file, std::uint8_t* buffer, DWORD& read)
{
    read = 0;
    return ::ReadFile(file, buffer, kBlock, &read, nullptr) != FALSE;
}

HANDLE OpenForReading(const std::wstring& path, DWORD share)
{
    return ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Digests the rest of the file from `offset`, through a handle that only denies
// writers once the part read without sharing is done.
bool DigestRest(const std::wstring& path, Misc::FileHandle& file, std::uint64_t offset, bool exclusive,
                Misc::MD5& digest, std::uint8_t* buffer)
{
    for (;;)
    {
        if (exclusive && offset >= kExclusiveBytes)
        {
            file.Reset(); // let go first: the handle without sharing would keep the new one out
            file.Reset(OpenForReading(path, FILE_SHARE_READ));
            LARGE_INTEGER at{};
            at.QuadPart = static_cast<LONGLONG>(offset);
            if (!file || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN))
                return false;
            exclusive = false;
        }
        DWORD read = 0;
        if (!ReadBlock(file.Get(), buffer, read))
            return false;
        if (read == 0)
            return true;
        digest.Update(buffer, read);
        offset += read;
    }
}

} // namespace

bool MayHoldVersionResource(const std::uint8_t* head, std::size_t count)
{
    if (count >= 2 && head[0] == 'M' && head[1] == 'Z')
        return true;
    return count >= 4 && (std::memcmp(head, "SZDD", 4) == 0 || std::memcmp(head, "KWAJ", 4) == 0);
}

// One open serves every fact where the file allows it. The date needs the file
// opened for reading without sharing; while that handle is held the size, the first
// block (for the platform) and the digest come from it too. When no program holds
// the file, that open succeeds whenever the others would; when one does, the facts
// fall back to the opens they are defined by: reading with writers denied (size,
// platform, digest), and without any access rights (size).
FileFacts ReadFileFacts(const std::wstring& path, Misc::VersionInfo* version)
{
    FileFacts facts;
    bool exclusive = true;
    Misc::FileHandle file(OpenForReading(path, 0));
    if (file)
    {
        FILETIME created{}, accessed{}, written{};
        if (::GetFileTime(file.Get(), &created, &accessed, &written))
            facts.date = Misc::FileTimeText(written);
    }
    else
    {
        exclusive = false;
        file.Reset(OpenForReading(path, FILE_SHARE_READ));
    }
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
    {
        facts.size = FileSizeText(path);
        return facts;
    }
    facts.size = Misc::Format(L"%llu", static_cast<unsigned long long>(size.QuadPart));

    std::unique_ptr<std::uint8_t[]> head(new (std::nothrow) std::uint8_t[kBlock]);
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kBlock]);
    DWORD headSize = 0;
    if (!head || !buffer || !ReadBlock(file.Get(), head.get(), headSize))
        return facts;
    const bool mayHoldVersion = MayHoldVersionResource(head.get(), headSize);

    Misc::MD5 digest;
    digest.Update(head.get(), headSize);
    // A file read whole in the first block needs no further read to find its end.
    const bool complete = static_cast<std::uint64_t>(size.QuadPart) == headSize ||
                          DigestRest(path, file, headSize, exclusive, digest, buffer.get());
    if (complete)
    {
        std::uint8_t bytes[Misc::MD5::kDigestSize];
        digest.Final(bytes);
        facts.digest = Misc::MD5::HexText(bytes);
    }

    HeadSource source(head.get(), headSize, static_cast<std::uint64_t>(size.QuadPart), file.Get());
    Misc::CpeInfo image;
    if (image.Read(&source) && image.IsRecognised())
        facts.platform = Misc::CpeInfo::PlatformName(image.Machine());
    Misc::VersionInfo own;
    facts.version =
        mayHoldVersion ? (version ? version : &own)->LoadFromImage(path, source) : Misc::ImageVersion::None;
    return facts;
}
