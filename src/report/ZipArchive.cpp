#include "report/ZipArchive.h"

#include "misc/Handles.h"
#include "report/ZipFields.h"
#include "report/ZipRecords.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace Misc
{

using namespace Zip::Record;
using Zip::Bytes;

namespace
{

constexpr std::size_t kMaxNameChars = 259;
constexpr std::size_t kMaxNameBytes = 259;
constexpr std::size_t kBlockSize = 16384;
constexpr int kCompressionLevel = 8;
constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::uint64_t kMaxFieldValue = 0xFFFFFFFF;

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

// The open archive: the file, its completed length and the entries written so far.
class ZipArchive::Writer
{
  public:
    explicit Writer(FileHandle file) noexcept : m_file(std::move(file)) {}

    bool Add(const std::wstring& entryName, const std::wstring& sourcePath);
    bool Finish();
    // The system's code of the first write to the archive that failed; 0 when none.
    DWORD Error() const noexcept { return m_error; }

  private:
    using Entry = Zip::EntryRecord;

    // Why an entry did not go in; only a failure of the archive itself ends the archive.
    enum class Outcome
    {
        Written,
        SourceFailed,
        ArchiveFailed,
    };

    // One entry's buffers, all taken before anything is written, so that a lack of
    // memory never leaves a part of an entry behind; and what copying its data found:
    // the CRC of the bytes read, and their count.
    struct Copied
    {
        Bytes header;
        std::vector<unsigned char> input = std::vector<unsigned char>(kBlockSize);
        std::vector<unsigned char> output = std::vector<unsigned char>(kBlockSize);
        std::uint32_t crc = 0;
        std::uint64_t bytesRead = 0;
        std::uint64_t limit = 0; // the source's size when it was opened: a growing file is cut there
    };

    static bool NameEntry(const std::wstring& entryName, Entry& entry);
    static bool DescribeSource(HANDLE source, Entry& entry, std::uint64_t& size);
    static bool IsExecutable(HANDLE source, std::uint64_t size, bool& executable);
    Outcome WriteEntry(Entry& entry, HANDLE source, std::uint64_t limit, std::uint64_t& position);
    bool WriteProvisionalHeader(const Entry& entry, Bytes& header, std::uint64_t& position);
    Outcome CopyStored(HANDLE source, Copied& copied, std::uint64_t& position);
    Outcome CopyDeflated(HANDLE source, Copied& copied, std::uint64_t& position);
    Outcome CompleteEntry(Entry& entry, Copied& copied, std::uint64_t headerOffset, std::uint64_t dataStart,
                          std::uint64_t position);
    bool Write(const void* data, std::size_t size, std::uint64_t& position) noexcept;
    void Discard(std::uint64_t from) noexcept;
    void NoteError(DWORD error = ::GetLastError()) noexcept
    {
        if (!m_error)
            m_error = error;
    }

    FileHandle m_file;
    std::uint64_t m_end = 0;
    std::uint64_t m_directorySize = 0;
    bool m_closed = false;
    bool m_failed = false;
    DWORD m_error = 0;
    std::vector<Entry> m_entries;
};

bool ZipArchive::Writer::Write(const void* data, std::size_t size, std::uint64_t& position) noexcept
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0)
    {
        const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(m_file.Get(), bytes, chunk, &written, nullptr))
        {
            NoteError(::GetLastError());
            return false;
        }
        // A file takes fewer bytes than it was given only when its disk is full.
        if (written != chunk)
        {
            NoteError(ERROR_DISK_FULL);
            return false;
        }
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
    {
        NoteError();
        m_failed = true;
    }
}

// Local header with provisional values, the data, then the header again with the
// final flags, CRC and sizes: the archive never needs a data descriptor.
ZipArchive::Writer::Outcome ZipArchive::Writer::WriteEntry(Entry& entry, HANDLE source, std::uint64_t limit,
                                                           std::uint64_t& position)
{
    Copied copied;
    copied.limit = limit;
    const std::uint64_t headerOffset = position;
    if (!WriteProvisionalHeader(entry, copied.header, position))
        return Outcome::ArchiveFailed;

    copied.crc = crc32(0, nullptr, 0);
    const std::uint64_t dataStart = position;

    if (!SeekTo(source, 0))
        return Outcome::SourceFailed;

    const Outcome copy = entry.method == kMethodStored ? CopyStored(source, copied, position)
                                                       : CopyDeflated(source, copied, position);
    if (copy != Outcome::Written)
        return copy;
    return CompleteEntry(entry, copied, headerOffset, dataStart, position);
}

// The local header with the data descriptor flag and the full timestamp field.
bool ZipArchive::Writer::WriteProvisionalHeader(const Entry& entry, Bytes& header, std::uint64_t& position)
{
    Zip::LocalHeader(entry, kFlagDataDescriptor, header);
    header.Append(entry.name);
    header.U16(kTimestampId);
    header.U16(13);
    header.U8(kTimestampFlags);
    header.U32(entry.modified);
    header.U32(entry.accessed);
    header.U32(entry.created);
    return Write(header.Data(), header.Size(), position);
}

ZipArchive::Writer::Outcome ZipArchive::Writer::CopyStored(HANDLE source, Copied& copied,
                                                           std::uint64_t& position)
{
    std::vector<unsigned char>& input = copied.input;
    for (;;)
    {
        DWORD n = 0;
        if (!ReadSome(source, input.data(), kBlockSize, n))
            return Outcome::SourceFailed;
        n = WithinLimit(n, copied.limit, copied.bytesRead);
        if (n == 0)
            break;
        copied.bytesRead += n;
        if (copied.bytesRead > kMaxFieldValue)
            return Outcome::SourceFailed; // grew past what the format can describe
        copied.crc = crc32(copied.crc, input.data(), n);
        if (!Write(input.data(), n, position))
            return Outcome::ArchiveFailed;
    }
    return Outcome::Written;
}

ZipArchive::Writer::Outcome ZipArchive::Writer::CopyDeflated(HANDLE source, Copied& copied,
                                                             std::uint64_t& position)
{
    std::vector<unsigned char>& input = copied.input;
    std::vector<unsigned char>& output = copied.output;
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
        n = WithinLimit(n, copied.limit, copied.bytesRead);
        copied.bytesRead += n;
        if (copied.bytesRead > kMaxFieldValue)
            return Outcome::SourceFailed;
        copied.crc = crc32(copied.crc, input.data(), n);
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
    return Outcome::Written;
}

// The header rewritten in place with the final values, then back to the entry's end.
ZipArchive::Writer::Outcome ZipArchive::Writer::CompleteEntry(Entry& entry, Copied& copied,
                                                              std::uint64_t headerOffset,
                                                              std::uint64_t dataStart, std::uint64_t position)
{
    const std::uint64_t compressed = position - dataStart;
    const std::uint64_t directoryAfter =
        m_directorySize + kCentralHeaderSize + entry.name.size() + kCentralExtraSize;
    if (compressed > kMaxFieldValue || position + directoryAfter + kEndRecordSize > kMaxFieldValue)
        return Outcome::SourceFailed; // the archive would outgrow its 32-bit offsets

    entry.flags = entry.method == kMethodDeflated ? kFlagMaximumCompression : 0;
    entry.crc = copied.crc;
    entry.compressedSize = static_cast<std::uint32_t>(compressed);
    entry.size = static_cast<std::uint32_t>(copied.bytesRead);
    Bytes& header = copied.header;
    header.Clear();
    Zip::LocalHeader(entry, entry.flags, header);
    std::uint64_t rewrite = headerOffset;
    if (!SeekTo(m_file.Get(), headerOffset) || !Write(header.Data(), header.Size(), rewrite) ||
        !SeekTo(m_file.Get(), position))
        return Outcome::ArchiveFailed;
    return Outcome::Written;
}

// The entry name with "/" as separator, in the ANSI code page, and the method its
// suffix asks for.
bool ZipArchive::Writer::NameEntry(const std::wstring& entryName, Entry& entry)
{
    std::wstring name = entryName;
    if (name.empty() || name.size() > kMaxNameChars)
        return false;
    for (wchar_t& c : name)
        if (c == L'\\')
            c = L'/';

    char ansi[kMaxNameBytes];
    const int ansiSize = ::WideCharToMultiByte(CP_ACP, 0, name.data(), static_cast<int>(name.size()), ansi,
                                               static_cast<int>(kMaxNameBytes), nullptr, nullptr);
    if (ansiSize <= 0)
        return false; // does not fit the name field
    entry.name.assign(ansi, static_cast<std::size_t>(ansiSize));
    entry.method = Zip::IsStoredName(name) ? kMethodStored : kMethodDeflated;
    return true;
}

// Attributes, times and size through the two small queries: the full handle
// information also asks for the volume, which costs milliseconds per file under
// some file systems, and the archive may take thousands of files.
bool ZipArchive::Writer::DescribeSource(HANDLE source, Entry& entry, std::uint64_t& size)
{
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (!::GetFileInformationByHandleEx(source, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(source, FileStandardInfo, &standard, sizeof standard) ||
        standard.Directory || (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        standard.EndOfFile.QuadPart < 0)
        return false;
    size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    if (size > kMaxFieldValue)
        return false; // beyond the 32-bit size fields
    const FILETIME lastWrite = ToFileTime(basic.LastWriteTime);

    bool executable = false;
    if (!IsExecutable(source, size, executable))
        return false;
    entry.externalAttributes = Zip::ExternalAttributes(basic.FileAttributes, executable);
    entry.modified = Zip::UnixTime(lastWrite);
    entry.accessed = Zip::UnixTime(ToFileTime(basic.LastAccessTime));
    entry.created = Zip::UnixTime(ToFileTime(basic.CreationTime));
    SYSTEMTIME utc{};
    if (!::FileTimeToSystemTime(&lastWrite, &utc))
        utc = SYSTEMTIME{1980, 1, 0, 1, 0, 0, 0, 0};
    Zip::DosDateTime(utc, entry.date, entry.time);
    return true;
}

// The image test: the MZ header, then the signature at the offset it names. False only
// when the source cannot be read at all.
bool ZipArchive::Writer::IsExecutable(HANDLE source, std::uint64_t size, bool& executable)
{
    executable = false;
    if (size <= 40)
        return true;
    unsigned char head[64] = {};
    DWORD n = 0;
    if (!ReadSome(source, head, sizeof head, n))
        return false;
    if (const auto offset = Zip::ImageSignatureOffset(head, n, size))
    {
        unsigned char signature[4] = {};
        if (SeekTo(source, *offset) && ReadSome(source, signature, 4, n) && n == 4)
            executable = Zip::IsImageSignature(Zip::Le32(signature));
    }
    return true;
}

bool ZipArchive::Writer::Add(const std::wstring& entryName, const std::wstring& sourcePath)
{
    // After a failed write the file's state is unknown: nothing more goes in.
    if (m_closed || m_failed || m_entries.size() >= kMaxEntries)
        return false;

    Entry entry;
    if (!NameEntry(entryName, entry))
        return false;

    // Read and write sharing: a log file that its program still writes goes in with
    // the bytes it holds right now.
    FileHandle source(::CreateFileW(sourcePath.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!source)
        return false;
    std::uint64_t size = 0;
    if (!DescribeSource(source.Get(), entry, size))
        return false;
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
    {
        NoteError();
        ok = false;
    }
    else
    {
        Bytes block;
        bool written = true;
        for (const Entry& entry : m_entries)
        {
            Zip::CentralHeader(entry, block);
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
            Zip::EndRecord(static_cast<std::uint16_t>(m_entries.size()),
                           static_cast<std::uint32_t>(m_directorySize), static_cast<std::uint32_t>(m_end),
                           block);
            written = Write(block.Data(), block.Size(), position);
            if (written && !::SetEndOfFile(m_file.Get()))
            {
                NoteError();
                written = false;
            }
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
    m_error = 0;
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        m_error = ::GetLastError();
        return false;
    }
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
    if (!ok && !m_error)
        m_error = m_writer->Error() ? m_writer->Error() : static_cast<unsigned long>(ERROR_WRITE_FAULT);
    m_writer.reset();
    m_mode = kModeClosed;
    return ok;
}

} // namespace Misc
