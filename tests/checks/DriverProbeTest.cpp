#include "checks/DriverProbe.h"
#include "checks/DriverStep.h"
#include "inventory/ProbeRunner.h"
#include "misc/ChildProcess.h"
#include "misc/ProbeProtocol.h"
#include "report/TextLogWriter.h"

#include "FakeDriverSetup.h"

#include <algorithm>

namespace
{

using OrvoTest::CountOf;
using OrvoTest::Narrow;
using OrvoTest::ReportLines;
using Outcome = ProbeResult::Outcome;

const std::wstring kHyphens(40, L'-');

TEST(DriverProbeEndLine, SaysHowAnUnfinishedTestEnded)
{
    struct Case
    {
        Outcome outcome;
        DWORD code;
        DWORD limitMs;
        std::wstring expected;
    };
    const Case cases[] = {
        {Outcome::Crashed, 0xC0000005, 10000, L"\t[ the driver test ended with exception C0000005 ]\n"},
        {Outcome::TimedOut, ERROR_TIMEOUT, 10000,
         L"\t[ the driver did not answer within 10 s; the test was stopped ]\n"},
        {Outcome::TimedOut, ERROR_TIMEOUT, 2500,
         L"\t[ the driver did not answer within 3 s; the test was stopped ]\n"},
        {Outcome::Ended, 3, 10000, L"\t[ the driver ended the test with exit code 00000003 ]\n"},
        {Outcome::Completed, Misc::kProbeCompleted, 10000, L""},
    };
    for (const Case& c : cases)
    {
        ProbeResult result;
        result.outcome = c.outcome;
        result.code = c.code;
        EXPECT_EQ(DriverProbeEndLine(result, c.limitMs), c.expected);
    }
}

class DriverProbeTest : public OrvoTest::FakeDriverTest
{
  protected:
    void SetUp() override
    {
        OrvoTest::FakeDriverTest::SetUp();
        m_report = PathOf(L"report.txt");
        ASSERT_TRUE(m_writer.Open(m_report));
    }
    void TearDown() override
    {
        m_writer.Close();
        OrvoTest::FakeDriverTest::TearDown();
    }

    std::vector<std::wstring> Report()
    {
        m_writer.Close();
        return ReportLines(m_report);
    }

    static std::size_t IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line)
    {
        return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
    }

    Misc::TextLogWriter m_writer;
    std::wstring m_report;
};

TEST_F(DriverProbeTest, ACrashKeepsTheLinesBeforeItAndTheNextGenerationIsStillTested)
{
    Configure(L"UsbDmx.dll", "version 7\nbox 4 0x0102 - One\ncrash 55\n");
    Configure(L"UsbDmx12.dll", "version 12\nbox 9 0x0203 - Two\n");
    TestUsbDriverFile(m_writer, InstallPath(L"TarvikUSB.dll"));
    const auto lines = Report();

    const std::size_t scan = IndexOf(lines, L"Running a timed scan. Trying to open boxes for 2000 ms");
    ASSERT_LT(scan + 3, lines.size());
    EXPECT_EQ(lines[scan - 1], L"Driver version : 7");
    EXPECT_EQ(lines[scan + 1], L"\t[ the driver test ended with exception C0000005 ]");
    EXPECT_EQ(lines[scan + 2], kHyphens);
    EXPECT_EQ(lines[scan + 3], kHyphens) << "the next generation's heading";
    EXPECT_EQ(lines[scan + 4],
              L"Try accessing Tarvik USB Boxes using '" + InstallPath(L"UsbDmx12.dll") + L"'");
    EXPECT_EQ(CountOf(lines, L"  * Box 0, ID = 9"), 1u);
    EXPECT_EQ(CountOf(lines, L"  * Box firmware version : 2.3"), 1u);
    EXPECT_EQ(CountOf(lines, L"Destroying the LowLevelDriver"), 1u) << "only the finished generation";
    EXPECT_EQ(lines.back(), kHyphens);
}

TEST_F(DriverProbeTest, ADriverThatNeverAnswersIsStoppedAtTheLimit)
{
    Configure(L"UsbDmx.dll", "version 7\nhang 51\n");
    const ULONGLONG start = ::GetTickCount64();
    ProbeUsbBoxes(m_writer, InstallDir(), L"UsbDmx.dll", {L"WDAPI921.DLL"}, 2000);
    EXPECT_LT(::GetTickCount64() - start, 6000u);
    const auto lines = Report();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[lines.size() - 3], L"Driver version : 7");
    EXPECT_EQ(lines[lines.size() - 2], L"\t[ the driver did not answer within 2 s; the test was stopped ]");
    EXPECT_EQ(lines.back(), kHyphens);
    EXPECT_EQ(Calls(L"UsbDmx.dll").back(), "51 20 1145196376") << "the call it hung in";
}

TEST_F(DriverProbeTest, AFinishedProbeGivesTheWholeBoxTest)
{
    Configure(L"UsbDmx.dll", "version 5\nbox 4 0x0102 00000000000000000000000000000000 One\n"
                             "box 7 0x0203 0000A45B010200000000000000000000 Two\n");
    ProbeUsbBoxes(m_writer, InstallDir(), L"UsbDmx.dll", {L"WDAPI921.DLL"});
    const auto lines = Report();
    for (const wchar_t* line :
         {L"Found 2 boxes", L"  * Box 0, ID = 4", L"  * Box name : 'One'", L"  * Box firmware version : 1.2",
          L"  * Unknown User Data Format", L"  * Box 1, ID = 7", L"  * Box name : 'Two'",
          L"  * Box firmware version : 2.3", L"  * Box suggested universes : A = 1, B = 2",
          L"Closing all found boxes", L"Destroying the LowLevelDriver"})
        EXPECT_EQ(CountOf(lines, line), 1u) << Narrow(line);
    EXPECT_EQ(lines.back(), kHyphens);
    EXPECT_EQ(CountOf(lines, kHyphens), 3u);
}

// A driver of the other machine type runs in a probe of its type; where no such
// program can start, this program's own probe fails to load it, as the program would.
TEST_F(DriverProbeTest, ADriverOfTheOtherMachineTypeIsTestedInItsOwnProbe)
{
    const wchar_t* other = OwnMachine() == 0x8664 ? L"x86" : L"x64";
    const std::wstring fixtures = OrvoTest::ExeDir() + L"..\\probe-" + other + L"\\fixtures\\usbdmx\\";
    ASSERT_TRUE(::CopyFileW((fixtures + L"UsbDmx.dll").c_str(), InstallPath(L"UsbDmx.dll").c_str(), FALSE));
    Configure(L"UsbDmx.dll", "box 4 0x0102 0000A45B010200000000000000000000 One\n"
                             "box 7 0x0203 0000A45B030400000000000000000000 Two\n");
    const Misc::ChildRun run =
        Misc::RunChild(OrvoTest::ExeDir() + L"..\\probe-" + other + L"\\bin\\OrvoProbe.exe", {}, 10000);
    const bool otherRuns = run.started && run.exitCode == Misc::kProbeBadCommandLine;
    if (otherRuns)
    {
        ASSERT_TRUE(::CopyFileW((fixtures + L"WDAPI921.dll").c_str(), PathOf(L"System\\WDAPI921.dll").c_str(),
                                FALSE));
    }

    ProbeUsbBoxes(m_writer, InstallDir(), L"UsbDmx.dll", {L"WDAPI921.DLL"});
    const auto lines = Report();
    if (otherRuns)
    {
        EXPECT_EQ(CountOf(lines, L"Found 2 boxes"), 1u);
        EXPECT_EQ(CountOf(lines, L"  * Box name : 'Two'"), 1u);
        EXPECT_EQ(CountOf(lines, L"  * Box suggested universes : A = 3, B = 4"), 1u);
        return;
    }
    const std::size_t failed = IndexOf(lines, L"Failed to load 'UsbDmx.dll'");
    ASSERT_LT(failed + 1, lines.size());
    EXPECT_EQ(lines[failed + 1].rfind(L"\tLastError : 000000C1 = ", 0), 0u) << Narrow(lines[failed + 1]);
    EXPECT_EQ(lines.back(), kHyphens);
}

} // namespace
