#include "checks/DriverStep.h"

#include "FakeDriverSetup.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace
{

using OrvoTest::CountOf;
using OrvoTest::ReportLines;

const std::wstring kEquals(40, L'=');
const std::wstring kHyphens(40, L'-');

class CountingStatus final : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t*) override { ++activities; }
    void SetStatus(const wchar_t*) override { ++statuses; }
    void Tick(bool) override { ++ticks; }
    int activities = 0;
    int statuses = 0;
    int ticks = 0;
};

class DriverStepTest : public OrvoTest::FakeDriverTest
{
  protected:
    // The driver libraries that the inventory handed over, in its order.
    void AddDriverFile(const std::wstring& path) { driverFiles.push_back(path); }

    std::vector<std::wstring> driverFiles;

    static std::size_t IndexOf(const std::vector<std::wstring>& lines, const std::wstring& line,
                               std::size_t from = 0)
    {
        return static_cast<std::size_t>(std::find(lines.begin() + from, lines.end(), line) - lines.begin());
    }

    OrvoTest::FakeScanClock clock;
};

TEST_F(DriverStepTest, NothingIsStagedWithoutAManagerOrAUsbSupportLibrary)
{
    Misc::AFileManager manager;
    EXPECT_EQ(RunDriverStep(driverFiles, &manager, nullptr, clock), L"");
    EXPECT_EQ(manager.RegisteredCount(), 0u);
    EXPECT_EQ(manager.FolderPath(), L"") << "no staging folder for nothing";

    AddDriverFile(InstallPath(L"TarvikUSB.dll"));
    EXPECT_EQ(RunDriverStep(driverFiles, nullptr, nullptr, clock), L"");
}

TEST_F(DriverStepTest, EachUsbSupportLibraryIsTestedInListOrder)
{
    // The list may hold other handed-over libraries; only the USB support library counts,
    // whatever the letter case of its name, and also when its file has gone.
    AddDriverFile(InstallPath(L"TarvikUSB.dll"));
    AddDriverFile(InstallPath(L"UsbDmx.dll"));
    const std::wstring gone = PathOf(L"Gone\\tarvikusb.DLL");
    AddDriverFile(gone);
    RemoveDependency(L"WDAPI1200.dll");
    Configure(L"UsbDmx.dll", "box 4 0x0102 - One\n");

    Misc::AFileManager manager;
    CountingStatus status;
    const std::wstring path = RunDriverStep(driverFiles, &manager, &status, clock);
    ASSERT_EQ(path, Misc::JoinPath(manager.FolderPath(), L"Tarvik_UsbBox.txt"));
    EXPECT_NE(manager.Find(path), nullptr);
    EXPECT_EQ(status.ticks, 2);
    EXPECT_EQ(status.activities + status.statuses, 0);

    const auto lines = ReportLines(path);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(
        std::vector<std::wstring>(lines.begin(), lines.begin() + 3),
        (std::vector<std::wstring>{kEquals, L"TESTING '" + InstallPath(L"TarvikUSB.dll") + L"'", kEquals}));
    EXPECT_EQ(CountOf(lines, L"TESTING '" + InstallPath(L"UsbDmx.dll") + L"'"), 0u);

    // First installation: one box through the first generation; the second generation
    // misses its dependency and is never initialised.
    EXPECT_EQ(CountOf(lines, L"  * Box 0, ID = 4"), 1u);
    const std::size_t second =
        IndexOf(lines, L"Try accessing Tarvik USB Boxes using '" + InstallPath(L"UsbDmx12.dll") + L"'");
    ASSERT_LT(second + 6, lines.size());
    EXPECT_EQ(lines[second + 1], kHyphens);
    EXPECT_EQ(lines[second + 2], L"Constructing the LowLevelDriver");
    EXPECT_EQ(lines[second + 3], L"Failed to load 'UsbDmx12.dll' due to");
    EXPECT_EQ(lines[second + 4], L"\tdependency 0 : 'WDAPI1200.DLL'");
    EXPECT_EQ(lines[second + 5].rfind(L"\tLastError : 0000007E ", 0), 0u);

    // The missing installation: marked, and both generations still tried.
    const std::size_t third = IndexOf(lines, L"TESTING '" + gone + L"'");
    ASSERT_LT(third + 2, lines.size());
    EXPECT_EQ(lines[third + 1], L"\t[ file does not exist ]");
    EXPECT_EQ(lines[third + 2], kEquals);
    for (const wchar_t* library : {L"UsbDmx.dll", L"UsbDmx12.dll"})
    {
        const std::wstring libraryPath = PathOf(L"Gone\\") + library;
        const std::size_t at =
            IndexOf(lines, L"Try accessing Tarvik USB Boxes using '" + libraryPath + L"'", third);
        ASSERT_LT(at + 4, lines.size());
        EXPECT_EQ(lines[at + 1], L"\t[ file does not exist ]");
        EXPECT_EQ(lines[at + 4].rfind(L"Failed to load '" + std::wstring(library) + L"'", 0), 0u);
    }
    EXPECT_EQ(CountOf(lines, L"Initializing the LowLevelDriver"), 1u);
    EXPECT_EQ(CountOf(lines, L"Destroying the LowLevelDriver"), 4u);
    EXPECT_EQ(lines.back(), kHyphens);
}

TEST_F(DriverStepTest, AReportThatCannotBeStagedIsNotListed)
{
    AddDriverFile(InstallPath(L"TarvikUSB.dll"));
    {
        // The name is taken already.
        Misc::AFileManager manager;
        const std::wstring taken = manager.Register(L"Tarvik_UsbBox.txt");
        ASSERT_FALSE(taken.empty());
        EXPECT_EQ(RunDriverStep(driverFiles, &manager, nullptr, clock), L"");
        EXPECT_EQ(manager.RegisteredCount(), 1u);
    }
    {
        // The staged path does not fit the report writer: the name is given back and
        // nothing is left in the staging folder.
        std::wstring deep = PathOf(L"d");
        while (deep.size() < 233)
            deep += L"\\d";
        ASSERT_EQ(Misc::CreateDir(deep), 0);
        OrvoTest::ScopedEnv tmp(L"TMP", deep + L"\\");
        OrvoTest::ScopedEnv temp(L"TEMP", deep + L"\\");
        OrvoTest::MessageBoxCapture boxes; // a system that refuses the long path says so
        Misc::AFileManager manager;
        ASSERT_TRUE(manager.EnsureFolder());
        ASSERT_GE(Misc::JoinPath(manager.FolderPath(), L"Tarvik_UsbBox.txt").size(), 260u);
        EXPECT_EQ(RunDriverStep(driverFiles, &manager, nullptr, clock), L"");
        EXPECT_EQ(manager.RegisteredCount(), 0u);
        EXPECT_FALSE(
            OrvoTest::Exists(L"\\\\?\\" + Misc::JoinPath(manager.FolderPath(), L"Tarvik_UsbBox.txt")));
    }
}

// The one test on the real clock: the box search really lasts two seconds per
// initialised driver and pauses a tenth of a second after each empty answer.
TEST_F(DriverStepTest, RealTimeRunWithTwoBoxesAndAnEmptySecondGeneration)
{
    Configure(L"UsbDmx.dll", "version 0x0105\n"
                             "box 7 0x0203 0000A45B010200000000000000000000 Stage Left\n"
                             "box 3 0x0A00 00000000000000000000000000000000 Booth\n");
    AddDriverFile(InstallPath(L"TarvikUSB.dll"));
    Misc::AFileManager manager;
    const ULONGLONG start = ::GetTickCount64();
    const std::wstring path = RunDriverStep(driverFiles, &manager, nullptr);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    ASSERT_FALSE(path.empty());
    EXPECT_GE(elapsed, 2 * 2000u);
    EXPECT_LT(elapsed, 2 * 2000u + 5000u) << "the search stops at its bound";

    // The lines themselves are checked by Python from the artifact below.
    const auto lines = ReportLines(path);
    const std::size_t pairs = CountOf(lines, L"\t - No box found, sleeping a short while");
    EXPECT_EQ(CountOf(lines, L"\t - Call ( 55, 0, 0 ) returned NO_DEVICE"), pairs);
    // About twenty per driver; fewer when the machine is busy and pauses run long.
    EXPECT_GE(pairs, 2 * 8u);
    EXPECT_LE(pairs, 2 * 22u);

    // The artifact for the independent check by Python's UTF-16 decoder.
    if (std::getenv("ORVO_USBDMX_ARTIFACTS"))
    {
        ASSERT_TRUE(::CopyFileW(path.c_str(), OrvoTest::ArtifactPath(L"Tarvik_UsbBox.txt").c_str(), FALSE));
        ASSERT_TRUE(OrvoTest::WriteBytes(OrvoTest::ArtifactPath(L"Tarvik_UsbBox.install.txt"),
                                         OrvoTest::Narrow(InstallDir())));
    }
}

} // namespace
