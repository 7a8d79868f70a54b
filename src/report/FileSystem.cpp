#include "report/FileSystem.h"

#include "misc/Handles.h"
#include "misc/MessageBox.h"
#include "misc/Text.h"

namespace Misc
{

namespace
{

bool StartsWithBackslash(const std::wstring& s)
{
    return !s.empty() && s.front() == L'\\';
}

bool EndsWithBackslash(const std::wstring& s)
{
    return !s.empty() && s.back() == L'\\';
}

// "\.." segments fold onto the text before them; a "\.." with no backslash before
// it is kept as it stands and the search goes on behind it.
void CollapseParentSegments(std::wstring& path)
{
    std::wstring prefix;
    std::wstring rest = path;
    for (;;)
    {
        const std::size_t b = rest.find(L"\\..");
        if (b == std::wstring::npos || b == 0)
            break;
        const std::size_t before = rest.rfind(L'\\', b - 1);
        if (before != std::wstring::npos)
        {
            rest = rest.substr(0, before) + rest.substr(b + 3);
        }
        else
        {
            prefix += rest.substr(0, b + 3);
            rest = rest.substr(b + 3);
        }
    }
    path = prefix + rest;
}

void RemoveCurrentSegments(std::wstring& path)
{
    for (;;)
    {
        const std::size_t at = path.find(L"\\.\\");
        if (at == std::wstring::npos || at == 0)
            break;
        path.erase(at, 2);
    }
}

void CutTrailingCurrentSegment(std::wstring& path)
{
    if (path.size() < 2 || path.compare(path.size() - 2, 2, L"\\.") != 0)
        return;
    const std::size_t last = path.size() - 2;
    if (last == path.find(L'\\'))
        path.resize(last + 1); // the first backslash of the path stays: C:\. is C:\ .
    else
        path.resize(last);
}

int CreateOneDirectory(const std::wstring& path)
{
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return 0;
    const DWORD error = ::GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : static_cast<int>(error);
}

void ReportCreateDirFailure(const std::wstring& path, int result)
{
    std::wstring reason;
    if (result == -1)
        reason = L"Unknown error";
    else
        SystemErrorText(static_cast<unsigned long>(result), reason);
    const std::wstring text =
        Misc::Format(L"CreateDir( %ls ) failed due to error %d :\n%ls", path.c_str(), result, reason.c_str());
    Misc::ShowMessageBox(nullptr, text, L"Error", MB_OK);
}

} // namespace

void SplitPath(const std::wstring& path, std::wstring& drive, std::wstring& directory, std::wstring& name,
               std::wstring& extension)
{
    std::wstring rest = path;
    drive.clear();
    directory.clear();
    name.clear();
    extension.clear();

    const std::size_t colon = rest.find(L':');
    if (colon != std::wstring::npos)
    {
        drive = rest.substr(0, colon + 1);
        rest.erase(0, colon + 1);
    }
    const std::size_t separator = rest.find_last_of(L"\\/");
    if (separator != std::wstring::npos)
    {
        directory = rest.substr(0, separator + 1);
        rest.erase(0, separator + 1);
    }
    const std::size_t dot = rest.rfind(L'.');
    if (dot == std::wstring::npos)
    {
        name = rest;
    }
    else
    {
        name = rest.substr(0, dot);
        extension = rest.substr(dot + 1);
    }
}

std::wstring ComposePath(const std::wstring& path, unsigned parts)
{
    std::wstring drive, directory, name, extension;
    SplitPath(path, drive, directory, name, extension);
    std::wstring result;
    if (parts & PathDrive)
        result += drive;
    if (parts & PathDirectory)
        result += directory;
    if (parts & PathName)
        result += name;
    if ((parts & PathName) && (parts & PathExtension) && !extension.empty())
        result += L'.';
    if (parts & PathExtension)
        result += extension;
    return result;
}

std::wstring JoinPath(const std::wstring& first, const std::wstring& second)
{
    std::wstring joined;
    if (first.empty())
        joined = second;
    else if (second.empty())
        joined = first;
    else if (!EndsWithBackslash(first))
        joined = StartsWithBackslash(second) ? first + second : first + L"\\" + second;
    else
        joined = StartsWithBackslash(second) ? first.substr(0, first.size() - 1) + second : first + second;
    NormalisePath(joined);
    return joined;
}

void NormalisePath(std::wstring& path)
{
    CollapseParentSegments(path);
    RemoveCurrentSegments(path);
    CutTrailingCurrentSegment(path);
}

std::wstring FileTimeText(const FILETIME& time)
{
    SYSTEMTIME st{};
    if (!::FileTimeToSystemTime(&time, &st))
        return {};
    return Misc::Format(L"%02d-%02d-%d %02d:%02d", st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute);
}

bool FileDateText(const std::wstring& path, std::wstring& text)
{
    text.clear();
    Misc::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    FILETIME created{}, accessed{}, written{};
    if (!::GetFileTime(file.Get(), &created, &accessed, &written))
        return false;
    file.Reset();
    text = FileTimeText(written);
    return !text.empty();
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed)
        return {};
    full.resize(written);
    return full;
}

bool PathExists(const std::wstring& path)
{
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SystemErrorText(unsigned long code, std::wstring& text)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    Misc::LocalMemory owner(buffer);
    if (length > 0 && buffer)
        text.assign(buffer, length);
    else
        text = Misc::Format(L"%08X [Could not Format Message to readable error text.]", code);
}

std::wstring SystemErrorLine(unsigned long code)
{
    std::wstring text;
    SystemErrorText(code, text);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text.empty() ? Misc::Format(L"error %lu", code) : text;
}

int CreateDir(const std::wstring& path)
{
    const int result = CreateFolders(path);
    if (result != 0)
        ReportCreateDirFailure(path, result);
    return result;
}

int CreateFolders(const std::wstring& pathIn)
{
    if (pathIn.empty())
        return -1;
    std::wstring path = pathIn;
    int result = CreateOneDirectory(path);

    std::wstring tail;
    while (result == ERROR_PATH_NOT_FOUND)
    {
        const std::size_t last = path.rfind(L'\\');
        if (last == std::wstring::npos)
        {
            result = -1;
            break;
        }
        tail = path.substr(last) + tail;
        path.resize(last);
        result = CreateOneDirectory(path);
    }

    // Walk back down through every missing level, whatever the walk up ended with.
    while (!tail.empty())
    {
        if (tail.front() == L'\\')
        {
            tail.erase(0, 1);
            continue;
        }
        const std::size_t next = tail.find(L'\\');
        path += L"\\";
        if (next == std::wstring::npos)
        {
            path += tail;
            tail.clear();
        }
        else
        {
            path += tail.substr(0, next);
            tail.erase(0, next + 1);
        }
        result = CreateOneDirectory(path);
        if (result != 0)
            break;
    }

    return result;
}

bool DeleteDirectoryTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW entry{};
    Misc::FindHandle listing(::FindFirstFileW((dir + L"\\*.*").c_str(), &entry));
    if (!listing)
        return false;
    bool ok = true;
    do
    {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring child = dir + L"\\" + name;
        // A junction or directory link is removed as a link: what it points to is not
        // part of the tree, and its contents stay.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ok = ::RemoveDirectoryW(child.c_str()) != FALSE;
        else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = DeleteDirectoryTree(child);
        else
            ok = ::DeleteFileW(child.c_str()) != FALSE;
    } while (ok && ::FindNextFileW(listing.Get(), &entry));
    listing.Reset();
    return ok && ::RemoveDirectoryW(dir.c_str()) != FALSE;
}

} // namespace Misc
