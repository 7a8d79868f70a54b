#pragma once
// Paths, file dates, error texts and directories, in Windows form.

#include <windows.h>

#include <string>

namespace Misc
{

// Path part selector bits of ComposePath.
enum PathPart : unsigned
{
    PathDrive = 1,
    PathDirectory = 2,
    PathName = 4,
    PathExtension = 8,
    PathFileName = PathName | PathExtension,
    PathFolder = PathDrive | PathDirectory,
};

void SplitPath(const std::wstring& path, std::wstring& drive, std::wstring& directory, std::wstring& name,
               std::wstring& extension);
std::wstring ComposePath(const std::wstring& path, unsigned parts);
std::wstring JoinPath(const std::wstring& first, const std::wstring& second);
void NormalisePath(std::wstring& path);
// The full form of a path as the platform resolves it (relative to the current folder,
// "." and "..", forward slashes); empty when it cannot be resolved.
std::wstring FullPath(const std::wstring& path);
// Whether anything, a file or a folder, is at the path (false for an empty path).
bool PathExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

bool FileDateText(const std::wstring& path, std::wstring& text);
// The calendar text of a UTC file time, "%02d-%02d-%d %02d:%02d".
std::wstring FileTimeText(const FILETIME& time);

void SystemErrorText(unsigned long code, std::wstring& text);
// The system's text for `code` as one line, without its line end ("error N" when the
// system has none).
std::wstring SystemErrorLine(unsigned long code);

// Creates the folder and every missing folder above it, and shows nothing: 0 on
// success (a folder that exists already is no failure), -1 for an empty path or one
// with no folder above it to walk up to, otherwise the Windows error code.
int CreateFolders(const std::wstring& path);
// CreateFolders, with a message box that names the folder and the error on failure.
int CreateDir(const std::wstring& path);
bool DeleteDirectoryTree(const std::wstring& dir);

} // namespace Misc
