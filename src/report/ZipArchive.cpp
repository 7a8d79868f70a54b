#include "report/ZipArchive.h"

#include "misc/Handles.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace Misc
{

namespace
{

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t kEndRecordSignature = 0x06054B50;
constexpr std::uint16_t kVersionMadeBy = 0x0B17;
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kFlagMaximumCompression = 0x0002;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kTimestampId = 0x5455;
constexpr std::uint8_t kTimestampFlags = 7; // modification, access and creation time
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kLocalExtraSize = 17;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kCentralExtraSize = 9;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxNameChars = 259;
constexpr std::size_t kMaxNameBytes = 259;
constexpr std::size_t kBlockSize = 16384;
constexpr int kCompressionLevel = 8;
constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::uint64_t kMaxFieldValue = 0xFFFFFFFF;
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

const wchar_t* const StoredSuffixes[] = {L".Z", L".zip", L".zoo", L".arc", L".lzh", L".arj", L".gz", L".tgz"};

// Little-endian record fields.
class Bytes
{
  public:
    void U8(std::uint8_t v) { m_data.push_back(v); }
    void U16(std::uint16_t v)
    {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Append(const std::string& s) { m_data.insert(m_data.end(), s.begin(), s.end()); }
    const unsigned char* Data() const noexcept { return m_data.data(); }
    std::size_t Size() const noexcept { return m_data.size(); }
    void Clear() noexcept { m_data.clear(); }

  private:
    std::vector<unsigned char> m_data;
};

std::uint32_t Le32(const unsigned char* p) noexcept
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int64_t FileTimeValue(const FILETIME& time) noexcept
{
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
}

FILETIME ToFileTime(const LARGE_INTEGER& time) noexcept
{
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(time.QuadPart);
    result.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(time.QuadPart) >> 32);
    return result;
}

// The deflate state of one entry, always ended.
class Deflater
{
  public:
    Deflater() noexcept
    {
        // Raw deflate (no zlib wrapper): negative window bits.
        m_ok =
            deflateInit2(&m_stream, kCompressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (m_ok)
            deflateEnd(&m_stream);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    bool Ok() const noexcept { return m_ok; }
    z_stream& Stream() noexcept { return m_stream; }

  private:
    z_stream m_stream{};
    bool m_ok = false;
};

bool ReadSome(HANDLE file, void* buffer, DWORD size, DWORD& read) noexcept
{
    read = 0;
    return ::ReadFile(file, buffer, size, &read, nullptr) != FALSE;
}

// A file that its program keeps writing while it is archived is taken no further than
// the size it had when it was opened: what a read brings beyond it is dropped, and the
// entry ends there.
DWORD WithinLimit(DWORD read, std::uint64_t limit, std::uint64_t done) noexcept
{
    return static_cast<DWORD>(done >= limit ? 0 : std::min<std::uint64_t>(read, limit - done));
}

bool SeekTo(HANDLE file, std::uint64_t position) noexcept
{
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(file, target, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

namespace Zip
{

// The test looks at the name only: packed data does not shrink, whatever it holds.
bool IsStoredName(const std::wstring& entryName)
{
    const std::size_t dot = entryName.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring suffix = entryName.substr(dot);
    for (const wchar_t* stored : StoredSuffixes)
        if (::CompareStringOrdinal(suffix.c_str(), static_cast<int>(suffix.size()), stored, -1, TRUE) ==
            CSTR_EQUAL)
            return true;
    return false;
}

// MS-DOS dates cover 1980 to 2107 only; a file dated outside gets the nearest end
// rather than a date that wraps into another century.
void DosDateTime(const SYSTEMTIME& utc, std::uint16_t& date, std::uint16_t& time)
{
    if (utc.wYear < 1980)
    {
        date = (1 << 5) | 1; // 1 January 1980
        time = 0;
        return;
    }
    if (utc.wYear > 2107)
    {
        date = static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31);
        time = static_cast<std::uint16_t>((23 << 11) | (59 << 5) | (58 / 2));
        return;
    }
    date = static_cast<std::uint16_t>(((utc.wYear - 1980) % 128) * 512 + utc.wMonth * 32 + utc.wDay);
    time = static_cast<std::uint16_t>(utc.wHour * 2048 + utc.wMinute * 32 + utc.wSecond / 2);
}

std::uint32_t UnixTime(const FILETIME& time)
{
    return static_cast<std::uint32_t>((FileTimeValue(time) - kUnixEpochAsFileTime) / 10000000);
}

// Low byte: the DOS attributes; high 16 bits: a Unix mode (regular file or
// directory, owner read, write unless read-only, execute for program images).
std::uint32_t ExternalAttributes(DWORD windowsAttributes, bool executable)
{
    std::uint32_t value = (windowsAttributes & 0x37) | 0x01000000;
    value |= (windowsAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0x40000000 : 0x80000000;
    if (!(windowsAttributes & FILE_ATTRIBUTE_READONLY))
        value |= 0x00800000;
    if (executable)
        value |= 0x00400000;
    return value;
}

std::optional<std::uint32_t> ImageSignatureOffset(const unsigned char* head, std::size_t headSize,
                                                  std::uint64_t fileSize)
{
    if (fileSize <= 40 || headSize < 64 || head[0] != 'M' || head[1] != 'Z')
        return std::nullopt;
    const std::uint32_t offset = Le32(head + 60);
    if (static_cast<std::uint64_t>(offset) + 52 >= fileSize)
        return std::nullopt;
    return offset;
}

bool IsImageSignature(std::uint32_t signature)
{
    return signature == 0x00004550 || signature == 0x0000454E || signature == 0x0000454C ||
           signature == 0x00005A4D;
}

} // namespace Zip

// The open archive: the file, its completed length and the entries written so far.
class ZipArchive::Writer
{
  public:
    explicit Writer(FileHandle file) noexcept : m_file(std::move(file)) {}

    bool Add(const std::wstring& entryName, const std::wstring& sourcePath);
    bool Finish();

  private:
    struct Entry
    {
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint16_t time = 0;
        std::uint16_t date = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::string name;
        std::uint32_t externalAttributes = 0;
        std::uint32_t localHeaderOffset = 0;
        std::uint32_t modified = 0;
        std::uint32_t accessed = 0;
        std::uint32_t created = 0;
    };

    // Why an entry did not go in; only a failure of the archive itself ends the archive.
    enum class Outcome
    {
        Written,
        SourceFailed,
        ArchiveFailed,
    };

    Outcome WriteEntry(Entry& entry, HANDLE source, std::uint64_t limit, std::uint64_t& position);
    bool Write(const void* data, std::size_t size, std::uint64_t& position) noexcept;
    void Discard(std::uint64_t from) noexcept;
    static void LocalHeader(const Entry& entry, std::uint16_t flags, Bytes& out);
    static void CentralHeader(const Entry& entry, Bytes& out);

    FileHandle m_file;
    std::uint64_t m_end = 0;
    std::uint64_t m_directorySize = 0;
    bool m_closed = false;
    bool m_failed = false;
    std::vector<Entry> m_entries;
};

bool ZipArchive::Writer::Write(const void* data, std::size_t size, std::uint64_t& position) noexcept
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0)
    {
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(m_file.Get(), bytes, chunk, &written, nullptr) || written != chunk)
            return false;
        bytes += chunk;
        size -= chunk;
        position += chunk;
    }
    return true;
}

// Cuts off a partly written entry so that the archive ends with its last complete
// record again.
void ZipArchive::Writer::Discard(std::uint64_t from) noexcept
{
    if (!SeekTo(m_file.Get(), from) || !::SetEndOfFile(m_file.Get()))
        m_failed = true;
}

void ZipArchive::Writer::LocalHeader(const Entry& entry, std::uint16_t flags, Bytes& out)
{
    out.U32(kLocalHeaderSignature);
    out.U16(kVersionNeeded);
    out.U16(flags);
    out.U16(entry.method);
    out.U16(entry.time);
    out.U16(entry.date);
    out.U32(entry.crc);
    out.U32(entry.compressedSize);
    out.U32(entry.size);
    out.U16(static_cast<std::uint16_t>(entry.name.size()));
    out.U16(kLocalExtraSize);
}

void ZipArchive::Writer::CentralHeader(const Entry& entry, Bytes& out)
{
    out.U32(kCentralHeaderSignature);
    out.U16(kVersionMadeBy);
    out.U16(kVersionNeeded);
    out.U16(entry.flags);
    out.U16(entry.method);
    out.U16(entry.time);
    out.U16(entry.date);
    out.U32(entry.crc);
    out.U32(entry.compressedSize);
    out.U32(entry.size);
    out.U16(static_cast<std::uint16_t>(entry.name.size()));
    out.U16(kCentralExtraSize);
    out.U16(0); // comment length
    out.U16(0); // disk number start
    out.U16(0); // internal attributes
    out.U32(entry.externalAttributes);
    out.U32(entry.localHeaderOffset);
    out.Append(entry.name);
    // The central form names all three times in its flags, but carries only the first.
    out.U16(kTimestampId);
    out.U16(5);
    out.U8(kTimestampFlags);
    out.U32(entry.modified);
}

// Local header with provisional values, the data, then the header again with the
// final flags, CRC and sizes: the archive never needs a data descriptor.
ZipArchive::Writer::Outcome ZipArchive::Writer::WriteEntry(Entry& entry, HANDLE source, std::uint64_t limit,
                                                           std::uint64_t& position)
{
    std::vector<unsigned char> input(kBlockSize);
    std::vector<unsigned char> output(kBlockSize);
    const std::uint64_t headerOffset = position;
    Bytes header;
    LocalHeader(entry, kFlagDataDescriptor, header);
    header.Append(entry.name);
    header.U16(kTimestampId);
    header.U16(13);
    header.U8(kTimestampFlags);
    header.U32(entry.modified);
    header.U32(entry.accessed);
    header.U32(entry.created);
    if (!Write(header.Data(), header.Size(), position))
        return Outcome::ArchiveFailed;

    std::uint64_t bytesRead = 0;
    std::uint32_t crc = crc32(0, nullptr, 0);
    const std::uint64_t dataStart = position;

    if (!SeekTo(source, 0))
        return Outcome::SourceFailed;

    if (entry.method == kMethodStored)
    {
        for (;;)
        {
            DWORD n = 0;
            if (!ReadSome(source, input.data(), kBlockSize, n))
                return Outcome::SourceFailed;
            n = WithinLimit(n, limit, bytesRead);
            if (n == 0)
                break;
            bytesRead += n;
            if (bytesRead > kMaxFieldValue)
                return Outcome::SourceFailed; // grew past what the format can describe
            crc = crc32(crc, input.data(), n);
            if (!Write(input.data(), n, position))
                return Outcome::ArchiveFailed;
        }
    }
    else
    {
        Deflater deflater;
        if (!deflater.Ok())
            return Outcome::SourceFailed;
        z_stream& zs = deflater.Stream();
        bool finished = false;
        while (!finished)
        {
            DWORD n = 0;
            if (!ReadSome(source, input.data(), kBlockSize, n))
                return Outcome::SourceFailed;
            n = WithinLimit(n, limit, bytesRead);
            bytesRead += n;
            if (bytesRead > kMaxFieldValue)
                return Outcome::SourceFailed;
            crc = crc32(crc, input.data(), n);
            const int flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
            zs.next_in = input.data();
            zs.avail_in = n;
            do
            {
                zs.next_out = output.data();
                zs.avail_out = static_cast<uInt>(output.size());
                const int rc = deflate(&zs, flush);
                if (rc == Z_STREAM_ERROR)
                    return Outcome::SourceFailed;
                const std::size_t produced = output.size() - zs.avail_out;
                if (produced && !Write(output.data(), produced, position))
                    return Outcome::ArchiveFailed;
                if (rc == Z_STREAM_END)
                    finished = true;
            } while (zs.avail_out == 0 || (flush == Z_FINISH && !finished));
        }
    }

    const std::uint64_t compressed = position - dataStart;
    const std::uint64_t directoryAfter =
        m_directorySize + kCentralHeaderSize + entry.name.size() + kCentralExtraSize;
    if (compressed > kMaxFieldValue || position + directoryAfter + kEndRecordSize > kMaxFieldValue)
        return Outcome::SourceFailed; // the archive would outgrow its 32-bit offsets

    entry.flags = entry.method == kMethodDeflated ? kFlagMaximumCompression : 0;
    entry.crc = crc;
    entry.compressedSize = static_cast<std::uint32_t>(compressed);
    entry.size = static_cast<std::uint32_t>(bytesRead);
    header.Clear();
    LocalHeader(entry, entry.flags, header);
    std::uint64_t rewrite = headerOffset;
    if (!SeekTo(m_file.Get(), headerOffset) || !Write(header.Data(), header.Size(), rewrite) ||
        !SeekTo(m_file.Get(), position))
        return Outcome::ArchiveFailed;
    return Outcome::Written;
}

bool ZipArchive::Writer::Add(const std::wstring& entryName, const std::wstring& sourcePath)
{
    // After a failed write the file's state is unknown: nothing more goes in.
    if (m_closed || m_failed || m_entries.size() >= kMaxEntries)
        return false;

    std::wstring name = entryName;
    if (name.empty() || name.size() > kMaxNameChars)
        return false;
    for (wchar_t& c : name)
        if (c == L'\\')
            c = L'/';

    Entry entry;
    char ansi[kMaxNameBytes];
    const int ansiSize = ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), ansi,
                                               static_cast<int>(kMaxNameBytes), nullptr, nullptr);
    if (ansiSize <= 0)
        return false; // does not fit the name field
    entry.name.assign(ansi, static_cast<std::size_t>(ansiSize));
    entry.method = Zip::IsStoredName(name) ? kMethodStored : kMethodDeflated;

    // Read and write sharing: a log file that its program still writes goes in with
    // the bytes it holds right now.
    FileHandle source(::CreateFileW(sourcePath.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!source)
        return false;
    // Attributes, times and size through the two small queries: the full handle
    // information also asks for the volume, which costs milliseconds per file under
    // some file systems, and the archive may take thousands of files.
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(source.Get(), FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(source.Get(), FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory || (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        standard.EndOfFile.QuadPart < 0)
        return false;
    const std::uint64_t size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    if (size > kMaxFieldValue)
        return false; // beyond the 32-bit size fields
    const FILETIME lastWrite = ToFileTime(basic.LastWriteTime);

    bool executable = false;
    if (size > 40)
    {
        unsigned char head[64] = {};
        DWORD n = 0;
        if (!ReadSome(source.Get(), head, sizeof head, n))
            return false;
        if (const auto offset = Zip::ImageSignatureOffset(head, n, size))
        {
            unsigned char signature[4] = {};
            if (SeekTo(source.Get(), *offset) && ReadSome(source.Get(), signature, 4, n) && n == 4)
                executable = Zip::IsImageSignature(Le32(signature));
        }
    }
    entry.externalAttributes = Zip::ExternalAttributes(basic.FileAttributes, executable);
    entry.modified = Zip::UnixTime(lastWrite);
    entry.accessed = Zip::UnixTime(ToFileTime(basic.LastAccessTime));
    entry.created = Zip::UnixTime(ToFileTime(basic.CreationTime));
    SYSTEMTIME utc{};
    if (!::FileTimeToSystemTime(&lastWrite, &utc))
        utc = SYSTEMTIME{1980, 1, 0, 1, 0, 0, 0, 0};
    Zip::DosDateTime(utc, entry.date, entry.time);
    entry.compressedSize = entry.method == kMethodStored ? static_cast<std::uint32_t>(size) : 0;
    entry.size = static_cast<std::uint32_t>(size);
    entry.localHeaderOffset = static_cast<std::uint32_t>(m_end);

    std::uint64_t position = m_end;
    const Outcome outcome = WriteEntry(entry, source.Get(), size, position);
    if (outcome != Outcome::Written)
    {
        if (outcome == Outcome::ArchiveFailed)
            m_failed = true;
        Discard(m_end);
        return false;
    }
    const std::size_t recordSize = kCentralHeaderSize + entry.name.size() + kCentralExtraSize;
    m_entries.push_back(std::move(entry));
    m_end = position;
    m_directorySize += recordSize;
    return true;
}

// The central directory goes at the end of the last complete entry, whatever a
// failed entry left behind it; the archive then lists what it really holds.
bool ZipArchive::Writer::Finish()
{
    if (m_closed)
        return !m_failed;
    m_closed = true;
    bool ok = !m_failed;
    std::uint64_t position = m_end;
    if (!SeekTo(m_file.Get(), m_end))
        ok = false;
    else
    {
        Bytes block;
        bool written = true;
        for (const Entry& entry : m_entries)
        {
            CentralHeader(entry, block);
            if (block.Size() >= 65536)
            {
                written = Write(block.Data(), block.Size(), position);
                block.Clear();
                if (!written)
                    break;
            }
        }
        if (written)
        {
            block.U32(kEndRecordSignature);
            block.U16(0);
            block.U16(0);
            block.U16(static_cast<std::uint16_t>(m_entries.size()));
            block.U16(static_cast<std::uint16_t>(m_entries.size()));
            block.U32(static_cast<std::uint32_t>(m_directorySize));
            block.U32(static_cast<std::uint32_t>(m_end));
            block.U16(0);
            written = Write(block.Data(), block.Size(), position) && ::SetEndOfFile(m_file.Get());
        }
        ok = ok && written;
    }
    m_file.Reset();
    return ok;
}

ZipArchive::ZipArchive() = default;

ZipArchive::~ZipArchive()
{
    if (IsOpen())
        Close();
}

// Replaces an existing file: the caller asked the user first.
bool ZipArchive::Open(const std::wstring& path)
{
    if (IsOpen() || path.empty())
        return false;
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    try
    {
        m_writer = std::make_unique<Writer>(std::move(file));
        m_path = path;
    }
    catch (...)
    {
        return false;
    }
    m_mode = kModeWrite;
    return true;
}

bool ZipArchive::AddFile(const std::wstring& entryName, const std::wstring& sourcePath)
{
    if (!IsOpen() || !m_writer)
        return false;
    try
    {
        return m_writer->Add(entryName, sourcePath);
    }
    catch (...)
    {
        return false;
    }
}

bool ZipArchive::Close()
{
    if (!m_writer)
        return false;
    bool ok = false;
    try
    {
        ok = m_writer->Finish();
    }
    catch (...)
    {
        ok = false;
    }
    m_writer.reset();
    m_mode = kModeClosed;
    return ok;
}

} // namespace Misc
