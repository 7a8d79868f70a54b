#include "report/ZipReader.h"

#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/ZipFields.h"
#include "report/ZipRecords.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace Misc
{

namespace
{

constexpr std::uint32_t kLocalHeaderSize = 30;
constexpr std::uint32_t kChunk = 64 * 1024;
// The end record may be followed by a comment of at most 65535 bytes.
constexpr std::uint32_t kEndSearch = Zip::Record::kEndRecordSize + 0xFFFF;
// A directory of 65535 entries with the longest names stays far below this.
constexpr std::uint32_t kMaxDirectorySize = 64u << 20;
constexpr std::size_t kShownNameChars = 60;

std::uint16_t Le16(const unsigned char* p) noexcept
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// An entry's name as a status line can show it: cut when long, control characters
// made visible.
std::wstring ShownName(const std::string& name)
{
    std::wstring shown = Widen(name);
    for (wchar_t& c : shown)
        if (c < L' ')
            c = L'?';
    if (shown.size() > kShownNameChars)
        shown = shown.substr(0, kShownNameChars) + L"...";
    return L"\"" + shown + L"\"";
}

std::wstring Damaged(const ZipReader::Entry& entry, const wchar_t* why)
{
    return Format(L"the entry %ls is damaged (%ls)", ShownName(entry.name).c_str(), why);
}

// Where the end record starts in the last bytes of the file, or npos: the last
// signature whose comment ends exactly with the file.
std::size_t FindEndRecord(const std::vector<unsigned char>& tail)
{
    const std::size_t size = Zip::Record::kEndRecordSize;
    if (tail.size() < size)
        return std::string::npos;
    for (std::size_t at = tail.size() - size + 1; at-- > 0;)
        if (Zip::Le32(&tail[at]) == Zip::Record::kEndRecordSignature &&
            at + size + Le16(&tail[at + 20]) == tail.size())
            return at;
    return std::string::npos;
}

} // namespace

std::wstring ZipEntryRefusal(const ZipReader::Entry& entry)
{
    if (entry.flags & 0x0001)
        return Format(L"the entry %ls is encrypted", ShownName(entry.name).c_str());
    if (entry.method != Zip::Record::kMethodStored && entry.method != Zip::Record::kMethodDeflated)
        return Format(L"the entry %ls uses an unknown compression method (%u)", ShownName(entry.name).c_str(),
                      static_cast<unsigned>(entry.method));
    if (entry.size > ZipReader::kMaxEntrySize)
        return Format(L"the entry %ls is larger than 1 GiB", ShownName(entry.name).c_str());
    if (entry.method == Zip::Record::kMethodStored && entry.size != entry.compressedSize)
        return Damaged(entry, L"its sizes differ");
    const std::uint64_t packed = std::max<std::uint64_t>(entry.compressedSize, 1);
    if (entry.size > packed * ZipReader::kMaxRatio)
        return Format(L"the entry %ls would expand more than 1000 to 1", ShownName(entry.name).c_str());
    return {};
}

bool ZipReader::Fail(const std::wstring& reason)
{
    m_error = reason;
    return false;
}

bool ZipReader::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t size)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ::ReadFile(m_file.Get(), buffer, size, &read, &at) && read == size;
}

bool ZipReader::Open(const std::wstring& path)
{
    m_entries.clear();
    m_error.clear();
    m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
    {
        std::wstring why;
        SystemErrorText(::GetLastError(), why);
        while (!why.empty() &&
               (why.back() == L'\n' || why.back() == L'\r' || why.back() == L' ' || why.back() == L'.'))
            why.pop_back();
        return Fail(L"the file cannot be read (" + why + L")");
    }
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(m_file.Get(), &size))
        return Fail(L"the file cannot be read");
    m_fileSize = static_cast<std::uint64_t>(size.QuadPart);
    if (m_fileSize == 0)
        return Fail(L"the file is empty");

    std::vector<unsigned char> tail(
        static_cast<std::size_t>(std::min<std::uint64_t>(m_fileSize, kEndSearch)));
    if (!ReadAt(m_fileSize - tail.size(), tail.data(), static_cast<std::uint32_t>(tail.size())))
        return Fail(L"the file cannot be read");
    const std::size_t end = FindEndRecord(tail);
    if (end == std::string::npos)
        return Fail(L"it is not a ZIP archive, or its end is missing");
    const unsigned char* record = &tail[end];
    const std::uint64_t endOffset = m_fileSize - tail.size() + end;
    const std::uint16_t count = Le16(record + 10);
    const std::uint32_t directorySize = Zip::Le32(record + 12);
    const std::uint32_t directoryOffset = Zip::Le32(record + 16);
    if (Le16(record + 4) != 0 || Le16(record + 6) != 0 || Le16(record + 8) != count)
        return Fail(L"the archive spans several disks");
    if (directorySize > kMaxDirectorySize || directoryOffset > endOffset ||
        directorySize != endOffset - directoryOffset)
        return Fail(L"the archive is damaged (its directory is not where its end says)");
    m_directoryOffset = directoryOffset;
    return ReadDirectory(directoryOffset, directorySize, count);
}

bool ZipReader::ReadDirectory(std::uint64_t offset, std::uint32_t size, std::uint16_t count)
{
    std::vector<unsigned char> directory(size);
    if (size && !ReadAt(offset, directory.data(), size))
        return Fail(L"the file cannot be read");
    std::size_t at = 0;
    for (unsigned i = 0; i < count; ++i)
    {
        const std::size_t fixed = Zip::Record::kCentralHeaderSize;
        if (directory.size() - at < fixed ||
            Zip::Le32(&directory[at]) != Zip::Record::kCentralHeaderSignature)
            return Fail(L"the archive is damaged (its directory is cut short)");
        const unsigned char* h = &directory[at];
        const std::size_t variable = std::size_t{Le16(h + 28)} + Le16(h + 30) + Le16(h + 32);
        if (directory.size() - at - fixed < variable)
            return Fail(L"the archive is damaged (its directory is cut short)");
        Entry entry;
        entry.flags = Le16(h + 8);
        entry.method = Le16(h + 10);
        entry.crc = Zip::Le32(h + 16);
        entry.compressedSize = Zip::Le32(h + 20);
        entry.size = Zip::Le32(h + 24);
        entry.localHeaderOffset = Zip::Le32(h + 42);
        entry.name.assign(reinterpret_cast<const char*>(h + fixed), Le16(h + 28));
        m_entries.push_back(std::move(entry));
        at += fixed + variable;
    }
    if (at != directory.size())
        return Fail(L"the archive is damaged (its directory holds more than its entries)");
    return true;
}

const ZipReader::Entry* ZipReader::Find(const std::wstring& name, std::size_t occurrence) const
{
    const std::string stored = ToCodePage(name, CP_ACP);
    if (stored.empty())
        return nullptr;
    for (const Entry& entry : m_entries)
        if (entry.name == stored && occurrence-- == 0)
            return &entry;
    return nullptr;
}

// The entry's data must lie between its local header and the directory.
bool ZipReader::DataOffset(const Entry& entry, std::uint64_t& offset)
{
    unsigned char header[kLocalHeaderSize] = {};
    if (entry.localHeaderOffset > m_directoryOffset ||
        m_directoryOffset - entry.localHeaderOffset < kLocalHeaderSize ||
        !ReadAt(entry.localHeaderOffset, header, kLocalHeaderSize) ||
        Zip::Le32(header) != Zip::Record::kLocalHeaderSignature)
        return Fail(Damaged(entry, L"its header is missing"));
    if (Le16(header + 8) != entry.method)
        return Fail(Damaged(entry, L"its two headers differ"));
    offset =
        std::uint64_t{entry.localHeaderOffset} + kLocalHeaderSize + Le16(header + 26) + Le16(header + 28);
    if (offset > m_directoryOffset || m_directoryOffset - offset < entry.compressedSize)
        return Fail(Damaged(entry, L"its data goes beyond the archive"));
    return true;
}

bool ZipReader::Read(const Entry& entry, std::string& data, const Progress& progress)
{
    data.clear();
    m_error.clear();
    const std::wstring refusal = ZipEntryRefusal(entry);
    if (!refusal.empty())
        return Fail(refusal);
    std::uint64_t offset = 0;
    if (!DataOffset(entry, offset))
        return false;
    try
    {
        const bool read = entry.method == Zip::Record::kMethodStored ? Copy(entry, offset, data, progress)
                                                                     : Inflate(entry, offset, data, progress);
        if (!read)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        data.clear();
        return Fail(Format(L"there is not enough memory for the entry %ls", ShownName(entry.name).c_str()));
    }
    if (data.size() != entry.size)
        return Fail(Damaged(entry, L"its size differs from the directory's"));
    const uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size());
    if (crc != entry.crc)
    {
        data.clear();
        return Fail(Damaged(entry, L"CRC mismatch"));
    }
    return true;
}

bool ZipReader::Copy(const Entry& entry, std::uint64_t offset, std::string& data, const Progress& progress)
{
    data.reserve(entry.size);
    std::vector<char> buffer(kChunk);
    for (std::uint32_t done = 0; done < entry.compressedSize;)
    {
        const std::uint32_t part = std::min<std::uint32_t>(kChunk, entry.compressedSize - done);
        if (!ReadAt(offset + done, buffer.data(), part))
            return Fail(L"the file cannot be read");
        data.append(buffer.data(), part);
        done += part;
        if (progress)
            progress();
    }
    return true;
}

// The output never grows beyond the size the directory declares (itself bounded by the
// refusal rules), whatever the stream would produce.
bool ZipReader::Inflate(const Entry& entry, std::uint64_t offset, std::string& data, const Progress& progress)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return Fail(L"the entry cannot be inflated");
    struct End
    {
        z_stream& s;
        ~End() { inflateEnd(&s); }
    } end{stream};
    std::vector<unsigned char> input(kChunk), output(kChunk);
    std::uint32_t consumed = 0;
    int result = Z_OK;
    while (result != Z_STREAM_END)
    {
        if (stream.avail_in == 0)
        {
            if (consumed == entry.compressedSize)
                return Fail(Damaged(entry, L"its data ends too early"));
            const std::uint32_t part = std::min<std::uint32_t>(kChunk, entry.compressedSize - consumed);
            if (!ReadAt(offset + consumed, input.data(), part))
                return Fail(L"the file cannot be read");
            consumed += part;
            stream.next_in = input.data();
            stream.avail_in = part;
        }
        stream.next_out = output.data();
        stream.avail_out = kChunk;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            return Fail(Damaged(entry, L"its data cannot be inflated"));
        const std::size_t produced = kChunk - stream.avail_out;
        if (data.size() + produced > entry.size)
            return Fail(Damaged(entry, L"it expands beyond its declared size"));
        data.append(reinterpret_cast<const char*>(output.data()), produced);
        if (progress)
            progress();
    }
    return true;
}

} // namespace Misc
