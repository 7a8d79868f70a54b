#pragma once
// A helper program run with a time limit: started in a job that ends it, and whatever
// it starts, when its test is over or when this program ends, even by being killed.
// The caller's window stays answering while it waits.

#include <windows.h>

#include <string>
#include <vector>

namespace Misc
{

struct ChildRun
{
    bool started = false;  // the process was created
    DWORD startError = 0;  // why it was not
    bool timedOut = false; // still running at the limit, and ended then
    DWORD exitCode = 0;    // the code it ended with
};

// Runs `program` with `arguments` (quoted here) and waits at most `limitMs`.
ChildRun RunChild(const std::wstring& program, const std::vector<std::wstring>& arguments, DWORD limitMs);

// One argument as the C runtime's parser reads it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

// Dispatches every waiting message of this thread (dialog keys through the dialog
// manager); a quit request is posted again for the modal loop to see.
void PumpWaitingMessages();

} // namespace Misc
