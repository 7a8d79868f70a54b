#include "logs/LogFileReader.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <new>

namespace
{

// Pieces small enough that a cancelled read of a large log ends at once.
constexpr DWORD kReadPiece = 16u << 20;

bool ReadAt(HANDLE file, std::uint64_t offset, std::size_t count, std::string& bytes,
            const std::atomic<bool>* cancel)
{
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count)
    {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, kReadPiece));
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + done, want, &got, nullptr))
            return false;
        if (got == 0)
            break; // the file became shorter since its size was taken
        done += got;
    }
    bytes.resize(done);
    return true;
}

} // namespace

// Read, write and delete sharing: the product may go on writing its log, and even
// rename or delete it, while the view reads it.
Misc::FileHandle OpenLogFile(const std::wstring& path)
{
    return Misc::FileHandle(::CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool ReadLogBytes(HANDLE file, std::uint64_t limit, LogBytes& log, const std::atomic<bool>* cancel)
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0)
        return false;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    try
    {
        std::string head;
        if (!ReadAt(file, 0, 3, head, cancel))
            return false;
        log.mark = DetectLogEncoding(head);
        log.offset = LogTailOffset(fileSize, log.mark, limit);
        const std::uint64_t rest = fileSize > log.offset ? fileSize - log.offset : 0;
        if (rest > std::numeric_limits<std::size_t>::max() / 4)
        {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY); // more than the address space could ever hold
            return false;
        }
        return ReadAt(file, log.offset, static_cast<std::size_t>(rest), log.bytes, cancel);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool ReadLogBytes(const std::wstring& path, std::uint64_t limit, LogBytes& log)
{
    const Misc::FileHandle file = OpenLogFile(path);
    return file && ReadLogBytes(file.Get(), limit, log);
}

std::uint64_t ViewableBytes(std::uint64_t limit)
{
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (!::GlobalMemoryStatusEx(&memory))
        return limit;
    return std::min({limit, memory.ullAvailPhys / 2, memory.ullAvailVirtual / 2});
}

bool IndexLogBytes(LogBytes log, unsigned ansiCodePage, LogLines& lines, const std::atomic<bool>* cancel)
{
    std::size_t start = 0;
    if (log.offset > log.mark.length)
    {
        start = PartialFirstLineLength(log.bytes, log.mark.encoding);
        lines.AddHead(LeftOutNote(log.offset + start));
    }
    else
        start = static_cast<std::size_t>(log.mark.length - log.offset); // bytes held with their mark
    return lines.Index(std::move(log.bytes), log.mark.encoding, ansiCodePage, start, cancel);
}

// A log larger than memory allows, or with more rows than the view counts, is shown by
// as much of its end as fits: each failed try halves the part read.
bool ReadLogLines(HANDLE file, std::uint64_t limit, LogLines& lines, const std::atomic<bool>* cancel)
{
    std::uint64_t part = ViewableBytes(limit);
    for (;;)
    {
        LogBytes log;
        if (!ReadLogBytes(file, part, log, cancel))
        {
            // Only a read that failed for want of memory is tried again, smaller.
            if ((cancel && cancel->load()) || part < 2 || ::GetLastError() != ERROR_NOT_ENOUGH_MEMORY)
                return false;
        }
        else
        {
            try
            {
                LogLines indexed;
                const std::uint64_t read = log.bytes.size();
                if (IndexLogBytes(std::move(log), ::GetACP(), indexed, cancel))
                {
                    lines = std::move(indexed);
                    return true;
                }
                if ((cancel && cancel->load()) || part < 2)
                    return false;
                part = std::min(part, read);
            }
            catch (const std::bad_alloc&)
            {
                if (part < 2)
                    return false;
            }
        }
        part /= 2;
    }
}

bool LogLinesOfBytes(std::string bytes, LogLines& lines)
{
    try
    {
        LogBytes log;
        log.mark = DetectLogEncoding(std::string_view(bytes).substr(0, 3));
        log.bytes = std::move(bytes);
        return IndexLogBytes(std::move(log), ::GetACP(), lines);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool ReadLogViewText(const std::wstring& path, std::uint64_t limit, std::wstring& text)
{
    const Misc::FileHandle file = OpenLogFile(path);
    LogLines lines;
    if (!file || !ReadLogLines(file.Get(), limit, lines))
        return false;
    try
    {
        text = lines.Count() == 0 ? std::wstring() : lines.Text(0, lines.Count() - 1) + L"\r\n";
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}
