#pragma once
// What tests need of the Linux machine under Wine: its paths and its shell, for links
// and small file systems that Windows programs cannot make there themselves.

#include <windows.h>

#include <string>

namespace OrvoTest
{

// The Linux path of a Windows path; empty when not under Wine.
std::string UnixPath(const std::wstring& path);
// Runs a command with /bin/sh; its exit code, or -1 when it could not be started
// (as on Windows itself).
int RunUnixShell(const std::string& command);
// Makes `link` a link to the directory `target`: the platform's symbolic link, or under
// Wine a Linux one, which Wine reports as a directory reparse point. False when neither
// can be made; `RemoveDirectoryLink` takes it away again without touching the target.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target);
void RemoveDirectoryLink(const std::wstring& link);

} // namespace OrvoTest
