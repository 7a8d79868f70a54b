// A scan of an installation whose libraries crash, hang or end the process while they
// initialise, leave a thread behind that ends it a moment later, or set the probe's
// answer event: through the window and unattended, the scan ends, every library gets
// its own line, the window keeps answering, the archive is written and no staging
// folder is left.

#include "TestDialog.h"
#include "TestSupport.h"

#include "ZipReader.h"

#include "app/OrvoDiagDlg.h"
#include "app/SaveAsDialog.h"
#include "inventory/ProductKey.h"
#include "misc/Handles.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>

namespace
{

using AppTest::IsScanned;
using AppTest::kProductRegistryLock;
using AppTest::StatusText;
using OrvoTest::Narrow;

// The older brand's key: the other window tests of this prefix use the current brand's,
// whose tree they remove as they start.
void SetProductKeys(const std::wstring* installPath)
{
    for (DWORD view : {ProductKeyReader::kView32, ProductKeyReader::kView64})
    {
        Misc::RegKey software;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, view | KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        {
            software.Reset(key);
            ::RegDeleteTreeW(software.Get(), L"Tarvik");
        }
        if (!installPath)
            continue;
        const std::wstring product = ProductKeyPath(L"Tarvik", L"Orvo", 0x600);
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, product.c_str(), 0, nullptr, 0, view | KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        Misc::RegKey owner(key);
        ::RegSetValueExW(key, L"InstallPathPro", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(installPath->c_str()),
                         static_cast<DWORD>((installPath->size() + 1) * sizeof(wchar_t)));
    }
}

// Sends WM_NULL to the window from another thread every 50 ms and keeps the longest
// time the window took to answer while a probe was running. (The rest of the scan,
// hashing the program's own folder full of test programs, has stalls of its own.)
class Pinger
{
  public:
    explicit Pinger(HWND window) : m_thread([this, window] { Run(window); }) {}
    ~Pinger() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    ULONGLONG LongestDuringProbes() const { return m_longest; }
    ULONGLONG LongestOverall() const { return m_longestOverall; }
    int PingsDuringProbes() const { return m_pings; }
    int Unanswered() const { return m_unanswered; }

  private:
    void Run(HWND window)
    {
        while (!m_stop)
        {
            const bool probeBefore = OrvoTest::RunningProbes() > 0;
            const ULONGLONG start = ::GetTickCount64();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result))
                ++m_unanswered;
            const ULONGLONG took = ::GetTickCount64() - start;
            m_longestOverall = std::max<ULONGLONG>(m_longestOverall, took);
            if (probeBefore && OrvoTest::RunningProbes() > 0)
            {
                m_longest = std::max<ULONGLONG>(m_longest, took);
                ++m_pings;
            }
            ::Sleep(50);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<ULONGLONG> m_longest{0};
    std::atomic<ULONGLONG> m_longestOverall{0};
    std::atomic<int> m_pings{0};
    std::atomic<int> m_unanswered{0};
    std::thread m_thread;
};

class ProbeScanTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_registryLock = std::make_unique<OrvoTest::PrefixLock>(kProductRegistryLock);
        m_keep = ::GetEnvironmentVariableW(L"ORVO_PROBE_ARTIFACTS", nullptr, 0) > 0;
        m_install = PathOf(L"Install");
        m_archive = m_keep ? OrvoTest::ArtifactPath(L"probe_scan.zip") : PathOf(L"saved.zip");
        for (const wchar_t* sub : {L"", L"\\Hang", L"\\Exit", L"\\Fine", L"\\Late", L"\\Slow", L"\\Forge"})
            ASSERT_TRUE(::CreateDirectoryW((m_install + sub).c_str(), nullptr));
        Copy(L"OrvoLoad_crash.dll", L"SkarvelReader.dll");
        Copy(L"OrvoLoad_fine.dll", L"xerces-c_2_6.dll");
        Copy(L"OrvoLoad_hang.dll", L"Hang\\SkarvelReader.dll");
        Copy(L"OrvoLoad_exit.dll", L"Exit\\xerces-c_2_6.dll");
        Copy(L"OrvoLoad_fine.dll", L"Fine\\SkarvelReader.dll");
        Copy(L"OrvoLoad_late_exit.dll", L"Late\\SkarvelReader.dll");
        Copy(L"OrvoLoad_slow.dll", L"Slow\\SkarvelReader.dll");
        Copy(L"OrvoLoad_forge.dll", L"Forge\\xerces-c_2_6.dll");
        SetProductKeys(&m_install);
    }
    void TearDown() override
    {
        SetProductKeys(nullptr);
        TempDirTest::TearDown();
    }
    void Copy(const wchar_t* fixture, const wchar_t* relative)
    {
        const std::wstring source = OrvoTest::FixturePath(std::wstring(L"probes\\") + fixture);
        ASSERT_TRUE(::CopyFileW(source.c_str(), (m_install + L"\\" + relative).c_str(), FALSE));
    }

    // Each library's line is in the report, in its text form.
    static void ExpectEveryLine(const std::string& report)
    {
        const struct
        {
            const char* line;
            std::size_t count;
        } lines[] = {
            {"<Text>Loaded correctly.</Text>", 4}, // fine twice, slow, forge
            {"<Text>Load failed: 000005B4 ", 1},
            {"<Text>Load failed: 00000003</Text>", 1},
            {"<Text>Load failed: 00000004</Text>", 1},
        };
        for (const auto& expected : lines)
        {
            std::size_t count = 0;
            for (std::size_t at = report.find(expected.line); at != std::string::npos;
                 at = report.find(expected.line, at + 1))
                ++count;
            EXPECT_EQ(count, expected.count) << expected.line;
        }
        const bool crashLine = report.find("<Text>Load failed: 000003E6 ") != std::string::npos ||
                               report.find("<Text>Load failed: C0000005") != std::string::npos;
        EXPECT_TRUE(crashLine);
    }

    bool HasStagingFolder()
    {
        WIN32_FIND_DATAW found = {};
        Misc::FindHandle find(::FindFirstFileW(PathOf(L"tmp_Orvo*").c_str(), &found));
        return static_cast<bool>(find);
    }

    std::unique_ptr<OrvoTest::PrefixLock> m_registryLock;
    bool m_keep = false;
    std::wstring m_install;
    std::wstring m_archive;
};

TEST_F(ProbeScanTest, LibrariesThatCrashHangOrEndTheProcessCannotTakeTheScanDown)
{
    ::DeleteFileW(m_archive.c_str());
    COrvoDiagDlg window;
    ASSERT_TRUE(window.Create(nullptr));
    HWND dialog = window.GetHwnd();
    Pinger pinger(dialog);
    OrvoTest::Pump(120000, dialog, [&] { return IsScanned(dialog); });
    pinger.Stop();
    ASSERT_TRUE(IsScanned(dialog)) << Narrow(StatusText(dialog));
    EXPECT_GT(pinger.PingsDuringProbes(), 20) << "the hanging library alone holds its probe for 5 s";
    EXPECT_EQ(pinger.Unanswered(), 0);
    EXPECT_LT(pinger.LongestDuringProbes(), 1000u) << "the longest time the window took to answer";
    std::printf("window answered within %llu ms during probes, %llu ms overall\n",
                pinger.LongestDuringProbes(), pinger.LongestOverall());

    SetSaveAsHandler([&](HWND, const std::wstring&) { return m_archive; });
    ::SendMessageW(::GetDlgItem(dialog, IDC_SAVE), BM_CLICK, 0, 0);
    SetSaveAsHandler(nullptr);
    bool ok = false;
    const auto entries = OrvoTest::ReadZip(m_archive, &ok);
    ASSERT_TRUE(ok);
    ASSERT_FALSE(entries.empty());
    ExpectEveryLine(entries.back().data);
    EXPECT_EQ(OrvoTest::RunningProbes(), 0u);
}

// The same installation collected by the program itself with /save, its standard
// output an inheritable pipe as a deployment tool gives it: the program ends with 0,
// the pipe ends with it, and the archive holds every library's line.
TEST_F(ProbeScanTest, UnattendedSaveOfHostileLibrariesEndsWithItsArchive)
{
    const std::wstring archive =
        m_keep ? OrvoTest::ArtifactPath(L"probe_save.zip") : PathOf(L"unattended.zip");
    ::DeleteFileW(archive.c_str());
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    Misc::KernelHandle output(readEnd);
    Misc::KernelHandle ours(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = L"\"" + OrvoTest::ExeDir() + L"OrvoDiag.exe\" /save \"" + archive + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, Dir().c_str(),
                                 &startup, &process));
    Misc::KernelHandle thread(process.hThread);
    Misc::KernelHandle program(process.hProcess);
    ours.Reset();
    // Read until the pipe ends: only when no probe holds it.
    std::string lines;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(output.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        lines.append(chunk, read);
    ASSERT_EQ(::WaitForSingleObject(program.Get(), 120000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    ::GetExitCodeProcess(program.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u) << lines;
    EXPECT_NE(lines.find("Saved at "), std::string::npos) << lines;
    bool ok = false;
    const auto entries = OrvoTest::ReadZip(archive, &ok);
    ASSERT_TRUE(ok);
    ASSERT_FALSE(entries.empty());
    ExpectEveryLine(entries.back().data);
    EXPECT_FALSE(HasStagingFolder()) << "a staging folder is left";
}

} // namespace
