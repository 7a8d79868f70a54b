#include "inventory/LibraryLoadTest.h"
#include "inventory/LoadServer.h"
#include "inventory/PeInfo.h"
#include "inventory/ProbeRunner.h"
#include "misc/ChildProcess.h"
#include "misc/Handles.h"
#include "misc/ProbeProtocol.h"

#include "TestSupport.h"

namespace
{

using OrvoTest::Narrow;
using Outcome = ProbeResult::Outcome;

constexpr WORD kX86 = Misc::CpeInfo::kMachineX86;
constexpr WORD kX64 = Misc::CpeInfo::kMachineX64;

TEST(ProbeMachines, TheLibrarysOwnMachineWhereWindowsRunsItThenTheProgramsOwn)
{
    struct Case
    {
        WORD image, own, native;
        std::vector<WORD> expected;
    };
    const Case cases[] = {
        {kX86, kX64, PROCESSOR_ARCHITECTURE_AMD64, {kX86, kX64}},
        {kX64, kX64, PROCESSOR_ARCHITECTURE_AMD64, {kX64}},
        {kX64, kX86, PROCESSOR_ARCHITECTURE_AMD64, {kX64, kX86}},
        {kX64, kX86, PROCESSOR_ARCHITECTURE_ARM64, {kX64, kX86}},
        {kX64, kX86, PROCESSOR_ARCHITECTURE_INTEL, {kX86}}, // 32-bit Windows
        {kX86, kX86, PROCESSOR_ARCHITECTURE_INTEL, {kX86}},
        {Misc::CpeInfo::kMachineItanium, kX64, PROCESSOR_ARCHITECTURE_AMD64, {kX64}},
        {0, kX86, PROCESSOR_ARCHITECTURE_AMD64, {kX86}}, // no image at all
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProbeMachines(c.image, c.own, c.native), c.expected)
            << c.image << " " << c.own << " " << c.native;
}

TEST(ProbeOutcome, TheExitCodeTellsHowTheProbeEnded)
{
    EXPECT_EQ(ProbeOutcome(false, Misc::kProbeCompleted), Outcome::Completed);
    EXPECT_EQ(ProbeOutcome(false, 0xC0000005), Outcome::Crashed);
    EXPECT_EQ(ProbeOutcome(false, 0xC00000FD), Outcome::Crashed);
    EXPECT_EQ(ProbeOutcome(false, 0), Outcome::Ended);
    EXPECT_EQ(ProbeOutcome(false, 3), Outcome::Ended);
    EXPECT_EQ(ProbeOutcome(false, 0x80000003), Outcome::Ended);
    EXPECT_EQ(ProbeOutcome(true, Misc::kProbeCompleted), Outcome::TimedOut);
}

TEST(QuoteArgument, TheRuntimeReadsEveryArgumentBack)
{
    EXPECT_EQ(Misc::QuoteArgument(L"C:\\a b\\x.dll"), L"\"C:\\a b\\x.dll\"");
    EXPECT_EQ(Misc::QuoteArgument(L"C:\\"), L"\"C:\\\\\"");
    EXPECT_EQ(Misc::QuoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
    EXPECT_EQ(Misc::QuoteArgument(L""), L"\"\"");
}

// The line for a failure code: with the system's text where it has one.
std::wstring FailedLine(const std::wstring& code, DWORD value)
{
    const std::wstring text = OrvoTest::SystemText(value);
    return L"Load failed: " + code + (text.empty() ? L"" : L" " + text);
}

// A loader that catches the exception of an initialisation (Wine's does) fails the
// load with ERROR_NOACCESS; one that does not lets the exception end the probe.
bool IsCrashLine(const std::wstring& line)
{
    return line == FailedLine(L"000003E6", ERROR_NOACCESS) || line == FailedLine(L"C0000005", 0xC0000005);
}

// <build>\probe-<other machine>\fixtures\<name>: the test libraries of the other machine type.
std::wstring OtherMachineFixture(const std::wstring& name)
{
    const wchar_t* other = OwnMachine() == kX64 ? L"x86" : L"x64";
    return OrvoTest::ExeDir() + L"..\\probe-" + other + L"\\fixtures\\" + name;
}

// Whether a program of the other machine type starts here at all (a 64-bit Wine
// without its 32-bit half cannot start 32-bit programs).
bool OtherMachineRuns()
{
    const wchar_t* other = OwnMachine() == kX64 ? L"x86" : L"x64";
    const Misc::ChildRun run =
        Misc::RunChild(OrvoTest::ExeDir() + L"..\\probe-" + other + L"\\bin\\OrvoProbe.exe", {}, 10000);
    return run.started && run.exitCode == Misc::kProbeBadCommandLine;
}

class LoadProbeTest : public OrvoTest::TempDirTest
{
  protected:
    std::wstring Install(const std::wstring& source, const std::wstring& name)
    {
        const std::wstring target = PathOf(name);
        EXPECT_TRUE(::CopyFileW(source.c_str(), target.c_str(), FALSE)) << Narrow(source);
        return target;
    }

    // Nothing but the libraries themselves is left in the temporary directory.
    void ExpectNothingLeftBehind()
    {
        WIN32_FIND_DATAW found = {};
        HANDLE find = ::FindFirstFileW(PathOf(L"tmp_Orvo_*").c_str(), &found);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "staging folder left: " << Narrow(found.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
        EXPECT_EQ(OrvoTest::RunningProbes(), 0u);
    }
};

TEST_F(LoadProbeTest, EveryWayAnInitialisationEndsGivesItsLine)
{
    struct Case
    {
        const wchar_t* fixture;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"OrvoLoad_fine.dll", L"Loaded correctly."},
        {L"OrvoLoad_exit.dll", L"Load failed: 00000003"},
    };
    for (const Case& c : cases)
    {
        const std::wstring path =
            Install(OrvoTest::FixturePath(std::wstring(L"probes\\") + c.fixture), c.fixture);
        EXPECT_EQ(LibraryLoadDetail(path), c.expected) << Narrow(c.fixture);
    }
    const std::wstring crash = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_crash.dll"), L"crash.dll");
    const std::wstring line = LibraryLoadDetail(crash);
    EXPECT_TRUE(IsCrashLine(line)) << Narrow(line);
    ExpectNothingLeftBehind();
}

// One probe serves the tests of a scan; each library finds it as clean as a new one:
// a dependency an earlier library brought along is gone again, and a probe that an
// earlier library's crash or leftover thread ended is replaced.
TEST_F(LoadProbeTest, OneProbeServesTestAfterTestAsCleanAsANewOne)
{
    ::CreateDirectoryW(PathOf(L"A").c_str(), nullptr);
    ::CreateDirectoryW(PathOf(L"B").c_str(), nullptr);
    const std::wstring withDependency =
        Install(OrvoTest::FixturePath(L"missing_dependency.dll"), L"A\\needs.dll");
    Install(OrvoTest::ExeDir() + L"..\\fixture-hidden\\OrvoAbsentDependency.dll",
            L"A\\OrvoAbsentDependency.dll");
    const std::wstring without = Install(OrvoTest::FixturePath(L"missing_dependency.dll"), L"B\\needs.dll");
    const std::wstring crash = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_crash.dll"), L"crash.dll");
    const std::wstring fine = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_fine.dll"), L"fine.dll");
    {
        ProbeSession session;
        EXPECT_EQ(LibraryLoadDetail(withDependency), L"Loaded correctly.");
        const std::wstring missing = LibraryLoadDetail(without);
        EXPECT_EQ(missing.rfind(L"Load failed: 0000007E ", 0), 0u) << Narrow(missing);
        EXPECT_TRUE(IsCrashLine(LibraryLoadDetail(crash)));
        EXPECT_EQ(LibraryLoadDetail(fine), L"Loaded correctly.");
        EXPECT_EQ(LibraryLoadDetail(withDependency), L"Loaded correctly.");
    }
    ExpectNothingLeftBehind();
}

// Each fault goes to the library that caused it, and a library's answer cannot be
// forged: a thread left behind that ends the probe a moment later is its own library's
// fault, not that of the slow library loading next; a library that sets the answer
// event gets its real line; a fault in a probe that has served earlier libraries counts
// only when it repeats in a new probe. The probes started tell where a new one was
// needed.
TEST_F(LoadProbeTest, EachFaultIsTheLibrarysThatCausedIt)
{
    struct Case
    {
        const wchar_t* fixture;
        std::wstring expected;
        unsigned newProbes;
    };
    const Case cases[] = {
        {L"OrvoLoad_late_exit.dll", L"Load failed: 00000004", 1},
        {L"OrvoLoad_slow.dll", L"Loaded correctly.", 1}, // the killer's probe has ended
        {L"OrvoLoad_forge.dll", L"Loaded correctly.", 0},
        {L"OrvoLoad_fine.dll", L"Loaded correctly.", 0},
        {L"OrvoLoad_exit.dll", L"Load failed: 00000003", 1}, // tested again, alone, in a new one
        {L"OrvoLoad_fine.dll", L"Loaded correctly.", 1},
    };
    {
        ProbeSession session;
        unsigned starts = 0;
        for (const Case& c : cases)
        {
            const std::wstring path =
                Install(OrvoTest::FixturePath(std::wstring(L"probes\\") + c.fixture), c.fixture);
            EXPECT_EQ(LibraryLoadDetail(path), c.expected) << Narrow(c.fixture);
            const unsigned now = session.Loads(OwnMachine())->Starts();
            EXPECT_EQ(now - starts, c.newProbes) << Narrow(c.fixture);
            starts = now;
        }
    }
    ExpectNothingLeftBehind();
}

// The probe's own results know no path limit: a result file deep below a long folder
// still receives the library's real line, and the library never loads here.
TEST_F(LoadProbeTest, AResultPathLongerThan260CharactersStillGetsTheRealLine)
{
    std::wstring folder = Dir();
    while (folder.size() < 300)
    {
        folder += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(::CreateDirectoryW(Misc::ProbeFilePath(folder).c_str(), nullptr));
    }
    const std::wstring fine = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_fine.dll"), L"fine.dll");
    const std::wstring exits = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_exit.dll"), L"exit.dll");
    {
        ProbeSession session;
        LoadServer* server = session.Loads(OwnMachine());
        ASSERT_NE(server, nullptr);
        ProbeResult result;
        ASSERT_TRUE(server->Test(fine, folder + L"\\fine.txt", kLoadTestLimitMs, result));
        EXPECT_EQ(result.outcome, Outcome::Completed);
        EXPECT_EQ(result.text, L"Loaded correctly.");
        ASSERT_TRUE(server->Test(exits, folder + L"\\exit.txt", kLoadTestLimitMs, result));
        EXPECT_EQ(result.outcome, Outcome::Ended);
        EXPECT_EQ(result.code, 3u);
    }
    ExpectNothingLeftBehind();
}

// A probe started while this program's standard output is an inheritable pipe does
// not hold that pipe: whoever reads it sees its end when this program closes it.
TEST_F(LoadProbeTest, AProbeInheritsNoHandleItWasNotGiven)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    Misc::KernelHandle output(readEnd);
    Misc::KernelHandle ours(writeEnd);
    const HANDLE before = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    const std::wstring fine = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_fine.dll"), L"fine.dll");
    {
        ProbeSession session;
        const std::wstring line = LibraryLoadDetail(fine);
        ::SetStdHandle(STD_OUTPUT_HANDLE, before);
        ours.Reset();
        EXPECT_EQ(line, L"Loaded correctly.");
        EXPECT_EQ(OrvoTest::RunningProbes(), 1u) << "the probe serving load tests still runs";
        DWORD available = 0;
        EXPECT_FALSE(::PeekNamedPipe(output.Get(), nullptr, 0, nullptr, &available, nullptr));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    }
    ExpectNothingLeftBehind();
}

// A quit request waiting in the queue neither ends a wait on a probe early nor keeps
// it from ending at its limit; it is still there afterwards.
TEST_F(LoadProbeTest, AQuitRequestNeitherEndsNorProlongsAWait)
{
    ProbeSession session;
    const std::wstring program = session.Program(OwnMachine());
    ASSERT_FALSE(program.empty());
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    Misc::KernelHandle input(readEnd);
    Misc::KernelHandle requests(writeEnd); // never written: the probe waits for ever
    Misc::ChildProcess child;
    ASSERT_TRUE(child.Start(program, {Misc::kProbeLoads, L"1"}, input.Get()));
    ::PostQuitMessage(7);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(child.Wait(nullptr, 2000), Misc::ChildProcess::Wake::TimedOut);
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 3000u);
    child.End();
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

// A result is read up to its limit and cut there with a line that says so.
TEST_F(LoadProbeTest, AResultLongerThanItsLimitIsCutWithALineThatSaysSo)
{
    std::string bytes = "\xFF\xFE";
    bytes.append(kProbeResultLimitBytes + 64, 'a');
    ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"long.txt"), bytes));
    std::wstring text;
    ASSERT_TRUE(ReadProbeResult(PathOf(L"long.txt"), text));
    EXPECT_EQ(
        text.size(),
        kProbeResultLimitBytes / 2 + 1 +
            std::wcslen(L"\t[ the report of this test is longer than 4 MiB; the rest was left out ]\n"));
    EXPECT_EQ(text.substr(text.size() - 11), L"left out ]\n");
    EXPECT_EQ(text[kProbeResultLimitBytes / 2], L'\n');
}

TEST_F(LoadProbeTest, AHangingInitialisationIsEndedAtTheLimit)
{
    const std::wstring path = Install(OrvoTest::FixturePath(L"probes\\OrvoLoad_hang.dll"), L"hang.dll");
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(LibraryLoadDetail(path), L"Load failed: 000005B4 " + OrvoTest::SystemText(ERROR_TIMEOUT));
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_GE(took, kLoadTestLimitMs);
    EXPECT_LT(took, kLoadTestLimitMs + Misc::kProbeSettleMs + 3000);
    ExpectNothingLeftBehind();
}

// A library of the other machine type loads in a probe of its type; where no such
// program can start, the line is the one this program's own load gives.
TEST_F(LoadProbeTest, ALibraryOfTheOtherMachineTypeIsTestedInItsOwnProbe)
{
    const std::wstring fine = Install(OtherMachineFixture(L"probes\\OrvoLoad_fine.dll"), L"other.dll");
    const std::wstring crash = Install(OtherMachineFixture(L"probes\\OrvoLoad_crash.dll"), L"othercrash.dll");
    if (OtherMachineRuns())
    {
        EXPECT_EQ(LibraryLoadDetail(fine), L"Loaded correctly.");
        const std::wstring line = LibraryLoadDetail(crash);
        EXPECT_TRUE(IsCrashLine(line)) << Narrow(line);
    }
    else
    {
        const std::wstring here = LibraryLoadDetailHere(fine);
        EXPECT_EQ(here.rfind(L"Load failed: 000000C1 ", 0), 0u) << Narrow(here);
        EXPECT_EQ(LibraryLoadDetail(fine), here);
        EXPECT_EQ(LibraryLoadDetail(crash), LibraryLoadDetailHere(crash));
    }
    ExpectNothingLeftBehind();
}

} // namespace
