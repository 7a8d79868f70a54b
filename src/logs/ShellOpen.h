#pragma once
// "Open" of the Log Files page: the shell opens a log with the program associated
// with it, and Notepad opens it when no program is. Tests replace the shell to record
// what it was asked, and Notepad with a stand-in.

#include <functional>
#include <string>

// Hands `path` to the shell (or to the handler that replaces it); when the shell has no
// program for it, to Notepad. Gives what to tell the user when neither could open it,
// otherwise an empty text.
std::wstring OpenWithShell(const std::wstring& path);

using ShellOpenHandler = std::function<void(const std::wstring& path)>;
// Replaces the shell (an empty handler restores it); gives the previous handler.
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);

// The program that opens logs without an associated program (empty: the system's
// Notepad); gives the previous one.
std::wstring SetNotepadProgram(const std::wstring& program);
