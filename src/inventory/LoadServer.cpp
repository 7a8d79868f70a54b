#include "inventory/LoadServer.h"

#include "misc/ProbeProtocol.h"
#include "misc/Text.h"

#include <algorithm>

namespace
{

// Room for the longest request (a number and two paths of 32,767 characters), so that
// writing one never waits for the probe to read: a probe stuck before its first read
// must not hold up the scan beyond the test's limit.
constexpr DWORD kRequestPipeBytes = 2 * (3 * 32768 * sizeof(wchar_t));

// A start may fail for a moment (a virus scanner holding the unpacked program).
constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryMs = 100;

const wchar_t* const kResultCut =
    L"\t[ the report of this test is longer than 4 MiB; the rest was left out ]\n";

} // namespace

bool ReadProbeResult(const std::wstring& path, std::wstring& text)
{
    Misc::FileHandle file(::CreateFileW(Misc::ProbeFilePath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    unsigned char mark[2] = {};
    DWORD read = 0;
    if (!file || !::ReadFile(file.Get(), mark, sizeof mark, &read, nullptr) || read != 2 || mark[0] != 0xFF ||
        mark[1] != 0xFE)
        return false;
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file.Get(), &size);
    const ULONGLONG rest = size.QuadPart > 2 ? static_cast<ULONGLONG>(size.QuadPart) - 2 : 0;
    const DWORD wanted = static_cast<DWORD>(std::min<ULONGLONG>(rest, kProbeResultLimitBytes)) & ~1u;
    text.assign(wanted / 2, L'\0');
    DWORD total = 0;
    while (total < wanted &&
           ::ReadFile(file.Get(), reinterpret_cast<char*>(text.data()) + total, wanted - total, &read,
                      nullptr) &&
           read > 0)
        total += read;
    text.resize(total / 2);
    if (rest > kProbeResultLimitBytes)
    {
        if (!text.empty() && text.back() != L'\n')
            text += L'\n';
        text += kResultCut;
    }
    return true;
}

// The probe inherits the read end of its request pipe and the answer event, and
// nothing else; nothing of ours stays inheritable afterwards: a later probe must not
// hold this one's pipe open.
bool LoadServer::StartProbe()
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
    const bool started = m_child.Start(m_program, {Misc::kProbeLoads, event}, input.Get(), {answered.Get()});
    ::SetHandleInformation(answered.Get(), HANDLE_FLAG_INHERIT, 0);
    // A program that the system starts but cannot run (another machine type where that
    // is not supported) ends without saying it runs: that is a failed start.
    if (!started ||
        m_child.Wait(answered.Get(), Misc::kProbeStartLimitMs) != Misc::ChildProcess::Wake::Signalled)
    {
        m_child.End();
        return false;
    }
    m_requests = std::move(requests);
    m_answered = std::move(answered);
    m_served = 0;
    m_retire = false;
    ++m_starts;
    return true;
}

bool LoadServer::Start()
{
    for (int attempt = 0; attempt < kStartAttempts && !m_unusable; ++attempt)
    {
        if (attempt > 0)
            Misc::WaitPumping(nullptr, 0, kStartRetryMs);
        if (StartProbe())
            return true;
    }
    m_unusable = true;
    return false;
}

void LoadServer::Stop()
{
    m_requests.Reset();
    m_child.End();
    m_answered.Reset();
    m_served = 0;
}

bool LoadServer::SendRequest(const std::wstring& resultPath, const std::wstring& library)
{
    const std::wstring request = std::to_wstring(m_request) + Misc::kProbeRequestEnd + resultPath +
                                 Misc::kProbeRequestEnd + library + Misc::kProbeRequestEnd;
    const DWORD size = static_cast<DWORD>(request.size() * sizeof(wchar_t));
    DWORD written = 0;
    return ::WriteFile(m_requests.Get(), request.data(), size, &written, nullptr) && written == size;
}

// An answer counts only when the result ends with the answer line of the latest
// request: setting the event, which a library can, is not enough.
bool LoadServer::TakeAnswer(const std::wstring& resultPath, ProbeResult& result)
{
    std::wstring text;
    if (!ReadProbeResult(resultPath, text))
        return false;
    const std::size_t lineEnd = text.rfind(L'\n');
    if (lineEnd == std::wstring::npos)
        return false;
    const std::wstring marked = Misc::kProbeAnswerMark + std::to_wstring(m_request);
    const std::wstring answer = text.substr(lineEnd + 1);
    const bool clean = answer == marked + Misc::kProbeAnswerClean;
    if (!clean && answer != marked + Misc::kProbeAnswerStays)
        return false;
    m_retire = !clean;
    result = ProbeResult{};
    result.outcome = ProbeResult::Outcome::Completed;
    result.code = Misc::kProbeCompleted;
    result.text = text.substr(0, lineEnd);
    return true;
}

// One request to the running probe, or to a new one. The probe is ended before the
// result file of a test it did not answer is read.
bool LoadServer::TestInProbe(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
                             ProbeResult& result)
{
    if (!m_requests && !Start())
        return false;
    ++m_request;
    bool timedOut = false;
    if (SendRequest(resultPath, library))
    {
        const ULONGLONG deadline = ::GetTickCount64() + limitMs + Misc::kProbeSettleMs;
        for (;;)
        {
            const ULONGLONG now = ::GetTickCount64();
            const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            const Misc::ChildProcess::Wake wake = m_child.Wait(m_answered.Get(), remaining);
            timedOut = wake == Misc::ChildProcess::Wake::TimedOut;
            if (wake != Misc::ChildProcess::Wake::Signalled)
                break;
            if (TakeAnswer(resultPath, result))
            {
                ++m_served;
                if (m_retire)
                    Stop();
                return true;
            }
        }
    }
    Stop();
    // A probe that wrote the whole answer and was ended before it could say so.
    if (TakeAnswer(resultPath, result))
        return true;
    result = ProbeResult{};
    SetProbeEnd(result, timedOut, m_child.ExitCode());
    return true;
}

bool LoadServer::Test(const std::wstring& library, const std::wstring& resultPath, DWORD limitMs,
                      ProbeResult& result)
{
    const unsigned servedBefore = m_requests ? m_served : 0;
    if (!TestInProbe(library, resultPath, limitMs, result))
        return false;
    if (result.outcome == ProbeResult::Outcome::Completed || servedBefore == 0)
        return true;
    ProbeResult alone;
    if (TestInProbe(library, resultPath, limitMs, alone))
        result = alone;
    return true;
}
