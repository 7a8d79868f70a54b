#include "logs/LogFileReader.h"

#include "misc/Handles.h"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <new>

namespace
{

bool ReadAt(HANDLE file, std::uint64_t offset, std::size_t count, std::string& bytes)
{
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count)
    {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
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
bool ReadLogBytes(const std::wstring& path, std::uint64_t limit, LogBytes& log)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return false;
    const auto fileSize = static_cast<std::uint64_t>(size.QuadPart);
    try
    {
        std::string head;
        if (!ReadAt(file.Get(), 0, 3, head))
            return false;
        log.mark = DetectLogEncoding(head);
        log.offset = LogTailOffset(fileSize, log.mark, limit);
        const std::uint64_t rest = fileSize > log.offset ? fileSize - log.offset : 0;
        if (rest > std::numeric_limits<std::size_t>::max() / 4)
            return false; // more than the address space could ever hold as text
        return ReadAt(file.Get(), log.offset, static_cast<std::size_t>(rest), log.bytes);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool LogViewTextOfBytes(std::string_view bytes, std::uint64_t limit, std::wstring& text)
{
    const LogMark mark = DetectLogEncoding(bytes.substr(0, 3));
    const std::uint64_t offset = LogTailOffset(bytes.size(), mark, limit);
    try
    {
        text = ComposeLogView(bytes.substr(static_cast<std::size_t>(offset)), mark, offset, ::GetACP());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool ReadLogViewText(const std::wstring& path, std::uint64_t limit, std::wstring& text)
{
    LogBytes log;
    if (!ReadLogBytes(path, limit, log))
        return false;
    try
    {
        text = ComposeLogView(log.bytes, log.mark, log.offset, ::GetACP());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}
