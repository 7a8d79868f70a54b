#include "inventory/ProbeRunner.h"

#include "inventory/LoadServer.h"
#include "inventory/PeInfo.h"
#include "misc/ChildProcess.h"
#include "misc/Handles.h"
#include "misc/NativeArchitecture.h"
#include "misc/ProbeProtocol.h"
#include "misc/Text.h"
#include "report/TmpFileManager.h"
#include "resource.h"

namespace
{

WORD ImageMachine(const std::wstring& path)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    Misc::CpeInfo image;
    return file && image.Read(file) ? image.Machine() : 0;
}

int ProbeResourceId(WORD machine)
{
    return machine == Misc::CpeInfo::kMachineX64 ? IDR_PROBE_X64 : IDR_PROBE_X86;
}

// Writes the probe program carried in this program's resources to `path`.
bool UnpackProbe(WORD machine, const std::wstring& path)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(ProbeResourceId(machine)), RT_RCDATA);
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = found ? ::SizeofResource(nullptr, found) : 0;
    if (!bytes || size == 0)
        return false;
    Misc::FileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool ok = file && ::WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size;
    file.Reset();
    if (!ok)
        ::DeleteFileW(path.c_str());
    return ok;
}

// An image that has just ended may keep its file busy for a moment.
void DeleteProbeFile(const std::wstring& path)
{
    for (int attempt = 0; attempt < 20 && !::DeleteFileW(path.c_str()); ++attempt)
    {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        ::Sleep(25);
    }
}

ProbeSession* g_session = nullptr;

// The current session, or a session of its own (kept in `own`) that ends with the test.
ProbeSession* CurrentOrOwnSession(std::unique_ptr<ProbeSession>& own)
{
    if (ProbeSession::Current())
        return ProbeSession::Current();
    own = std::make_unique<ProbeSession>();
    return own.get();
}

// One probe of one machine type, in the current session or in a session of its own
// that ends with the test. False when that probe could not start; a probe that started
// gives its result, whatever it delivered.
bool RunProbeOf(WORD machine, const wchar_t* mode, const std::vector<std::wstring>& arguments, DWORD limitMs,
                ProbeResult& result)
{
    std::unique_ptr<ProbeSession> own;
    ProbeSession* session = CurrentOrOwnSession(own);
    const std::wstring program = session->Program(machine);
    const std::wstring resultPath = program.empty() ? std::wstring() : session->ResultPath();
    if (resultPath.empty())
        return false;
    std::vector<std::wstring> commandLine = {mode, resultPath};
    commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
    // The probe has ended (RunChild waits for that) before its result is read. One that
    // left no result and no exit code of its own never ran: the system could not run it.
    const Misc::ChildRun run = Misc::RunChild(program, commandLine, limitMs);
    const bool wrote = run.started && ReadProbeResult(resultPath, result.text);
    SetProbeEnd(result, run.timedOut, run.exitCode);
    const bool ran = wrote || (run.started && result.outcome == ProbeResult::Outcome::Undelivered);
    session->ReleaseResult(resultPath);
    return ran;
}

} // namespace

struct ProbeSession::Staging
{
    Misc::AFileManager files;
    std::wstring programs[2]; // x86, x64
    std::unique_ptr<LoadServer> servers[2];
    unsigned results = 0;
};

namespace
{

int MachineSlot(WORD machine)
{
    return machine == Misc::CpeInfo::kMachineX64 ? 1 : 0;
}

} // namespace

ProbeSession::ProbeSession() : m_staging(std::make_unique<Staging>()), m_outer(g_session)
{
    g_session = this;
}

// The probes have ended with their tests; their files may stay busy for a moment.
ProbeSession::~ProbeSession()
{
    g_session = m_outer;
    for (std::unique_ptr<LoadServer>& server : m_staging->servers)
        server.reset();
    for (const std::wstring& program : m_staging->programs)
        if (!program.empty())
            DeleteProbeFile(program);
}

ProbeSession* ProbeSession::Current()
{
    return g_session;
}

std::wstring ProbeSession::Program(WORD machine)
{
    std::wstring& program = m_staging->programs[MachineSlot(machine)];
    if (!program.empty())
        return program;
    const std::wstring path = m_staging->files.Register(
        machine == Misc::CpeInfo::kMachineX64 ? L"OrvoProbe64.exe" : L"OrvoProbe32.exe");
    if (path.empty() || !UnpackProbe(machine, path))
        return {};
    program = path;
    return program;
}

LoadServer* ProbeSession::Loads(WORD machine)
{
    std::unique_ptr<LoadServer>& server = m_staging->servers[MachineSlot(machine)];
    if (!server)
    {
        const std::wstring program = Program(machine);
        if (program.empty())
            return nullptr;
        server = std::make_unique<LoadServer>(program);
    }
    return server.get();
}

std::wstring ProbeSession::ResultPath()
{
    return m_staging->files.Register(Misc::Format(L"OrvoProbe_%u.txt", ++m_staging->results));
}

void ProbeSession::ReleaseResult(const std::wstring& path)
{
    m_staging->files.Release(path);
}

WORD OwnMachine()
{
#if defined(_WIN64)
    return Misc::CpeInfo::kMachineX64;
#else
    return Misc::CpeInfo::kMachineX86;
#endif
}

std::vector<WORD> ProbeMachines(WORD imageMachine, WORD ownMachine, WORD nativeArchitecture)
{
    const bool runsHere =
        imageMachine == Misc::CpeInfo::kMachineX86 ||
        (imageMachine == Misc::CpeInfo::kMachineX64 && (nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                                                        nativeArchitecture == PROCESSOR_ARCHITECTURE_ARM64));
    if (runsHere && imageMachine != ownMachine)
        return {imageMachine, ownMachine};
    return {ownMachine};
}

ProbeResult::Outcome ProbeOutcome(bool timedOut, DWORD exitCode)
{
    if (timedOut)
        return ProbeResult::Outcome::TimedOut;
    if (exitCode == Misc::kProbeCompleted)
        return ProbeResult::Outcome::Completed;
    if (exitCode == Misc::kProbeNoResultFile || exitCode == Misc::kProbeBadCommandLine)
        return ProbeResult::Outcome::Undelivered;
    // Exception codes carry the error severity in their top two bits.
    if ((exitCode & 0xC0000000) == 0xC0000000)
        return ProbeResult::Outcome::Crashed;
    return ProbeResult::Outcome::Ended;
}

void SetProbeEnd(ProbeResult& result, bool timedOut, DWORD exitCode)
{
    result.outcome = ProbeOutcome(timedOut, exitCode);
    result.code = timedOut ? ERROR_TIMEOUT : exitCode;
}

ProbeResult RunProbe(const std::wstring& imagePath, const wchar_t* mode,
                     const std::vector<std::wstring>& arguments, DWORD limitMs)
{
    ProbeResult result;
    for (const WORD machine :
         ProbeMachines(ImageMachine(imagePath), OwnMachine(), Misc::NativeProcessorArchitecture()))
    {
        result = ProbeResult{};
        if (RunProbeOf(machine, mode, arguments, limitMs, result))
            return result;
    }
    return ProbeResult{};
}

ProbeResult RunLoadProbe(const std::wstring& libraryPath, DWORD limitMs)
{
    std::unique_ptr<ProbeSession> own;
    ProbeSession* session = CurrentOrOwnSession(own);
    for (const WORD machine :
         ProbeMachines(ImageMachine(libraryPath), OwnMachine(), Misc::NativeProcessorArchitecture()))
    {
        LoadServer* server = session->Loads(machine);
        const std::wstring resultPath = server ? session->ResultPath() : std::wstring();
        ProbeResult result;
        const bool tested = !resultPath.empty() && server->Test(libraryPath, resultPath, limitMs, result);
        session->ReleaseResult(resultPath);
        if (tested)
            return result;
    }
    return ProbeResult{};
}
