#pragma once
// "Open" of the Log Files page: the shell opens a log with the program associated
// with it. Tests replace the shell to record what it was asked.

#include <functional>
#include <string>

// Hands `path` to the shell (or to the handler that replaces it); nothing is reported.
void OpenWithShell(const std::wstring& path);

using ShellOpenHandler = std::function<void(const std::wstring& path)>;
// Replaces the shell (an empty handler restores it); gives the previous handler.
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);
