#include "inventory/LoadServer.h"

#include "misc/ProbeProtocol.h"

#include <vector>

bool ReadProbeResult(const std::wstring& path, std::wstring& text)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string bytes;
    char chunk[16384];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0)
        return false;
    text.assign((bytes.size() - 2) / 2, L'\0');
    bytes.copy(reinterpret_cast<char*>(text.data()), text.size() * 2, 2);
    return true;
}

// Room for the longest request (two paths of 32,767 characters), so that writing one
// never waits for the probe to read: a probe stuck before its first read must not hold
// up the scan beyond the test's limit.
constexpr DWORD kRequestPipeBytes = 2 * (2 * 32768 * sizeof(wchar_t));

// The probe inherits the read end of its request pipe and the answer event, nothing of
// ours stays inheritable afterwards: a later probe must not hold this one's pipe open.
bool LoadServer::Start()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    Misc::KernelHandle answered(::CreateEventW(&inheritable, FALSE, FALSE, nullptr));
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!answered || !::CreatePipe(&readEnd, &writeEnd, &inheritable, kRequestPipeBytes))
        return false;
    Misc::KernelHandle input(readEnd);
    Misc::KernelHandle requests(writeEnd);
    ::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    const std::wstring event = std::to_wstring(reinterpret_cast<ULONG_PTR>(answered.Get()));
    const bool started = m_child.Start(m_program, {Misc::kProbeLoads, event}, input.Get());
    ::SetHandleInformation(answered.Get(), HANDLE_FLAG_INHERIT, 0);
    if (!started)
        return false;
    m_requests = std::move(requests);
    m_answered = std::move(answered);
    return true;
}

void LoadServer::Stop()
{
    m_requests.Reset();
    m_child.End();
    m_answered.Reset();
}

bool LoadServer::SendRequest(const std::wstring& resultPath, const std::wstring& library)
{
    const std::wstring request = resultPath + Misc::kProbeRequestEnd + library + Misc::kProbeRequestEnd;
    const DWORD size = static_cast<DWORD>(request.size() * sizeof(wchar_t));
    DWORD written = 0;
    return ::WriteFile(m_requests.Get(), request.data(), size, &written, nullptr) && written == size;
}

// A probe that has ended before it created the result file never took the request:
// something an earlier library left running ended it. The request goes to a new probe.
bool LoadServer::Test(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
                      ProbeResult& result)
{
    for (int attempt = 0; attempt < 2 && !m_unusable; ++attempt)
    {
        if (!m_requests && !Start())
        {
            m_unusable = true;
            break;
        }
        if (!SendRequest(resultPath, library))
        {
            Stop();
            continue;
        }
        const Misc::ChildProcess::Wake wake = m_child.Wait(m_answered.Get(), limitMs);
        result = ProbeResult{};
        const bool taken = ReadProbeResult(resultPath, result.text);
        if (wake == Misc::ChildProcess::Wake::Signalled)
        {
            result.outcome = ProbeResult::Outcome::Completed;
            return true;
        }
        const bool timedOut = wake == Misc::ChildProcess::Wake::TimedOut;
        Stop();
        if (!timedOut && !taken)
            continue;
        SetProbeEnd(result, timedOut, m_child.ExitCode());
        return true;
    }
    return false;
}
