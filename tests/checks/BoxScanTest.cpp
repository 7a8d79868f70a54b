#include "checks/BoxScan.h"

#include "checks/DriverStep.h"
#include "checks/LowLevelDriver.h"
#include "FakeDriverSetup.h"
#include "report/TextLogWriter.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::CountOf;
using OrvoTest::FakeScanClock;

const std::wstring kNoDeviceLine = L"\t - Call ( 55, 0, 0 ) returned NO_DEVICE";
const std::wstring kSleepLine = L"\t - No box found, sleeping a short while";
const std::wstring kFoundLine = L"\t - A box was found, trying to find another";

TEST(BoxNameText, TakesEachByteAsItsCodeUpTo255Bytes)
{
    EXPECT_EQ(BoxNameText(nullptr), L"");
    EXPECT_EQ(BoxNameText(""), L"");
    EXPECT_EQ(BoxNameText("Stage \xE9\xFF\x80!"), L"Stage \u00E9\u00FF\u0080!");
    const std::string longName(300, 'n');
    EXPECT_EQ(BoxNameText(longName.c_str()), std::wstring(255, L'n'));
}

TEST(UserDataText, OnlyTheMarkedFormatGivesUniverses)
{
    std::uint8_t data[kUserDataBytes] = {0, 0, 0xA4, 0x5B, 1, 2};
    EXPECT_EQ(UserDataText(data), L"  * Box suggested universes : A = 1, B = 2");
    data[4] = 255;
    data[5] = 0;
    EXPECT_EQ(UserDataText(data), L"  * Box suggested universes : A = 255, B = 0");
    data[3] = 0xA4;
    EXPECT_EQ(UserDataText(data), L"  * Unknown User Data Format");
}

// One run of TestUsbBoxes for UsbDmx.dll against a scripted clock.
class BoxScanTest : public OrvoTest::FakeDriverTest
{
  protected:
    std::vector<std::wstring> Run(DWORD start = 5000)
    {
        clock = FakeScanClock(start);
        const std::wstring report = PathOf(L"boxes.txt");
        ::DeleteFileW(report.c_str());
        {
            Misc::TextLogWriter writer;
            EXPECT_TRUE(writer.Open(report));
            TestUsbBoxes(writer, InstallDir(), L"UsbDmx.dll", {L"WDAPI921.DLL"}, clock, &driver);
        }
        return OrvoTest::ReportLines(report);
    }

    // The lines between "Running a timed scan" and "Found".
    static std::vector<std::wstring> ScanLines(const std::vector<std::wstring>& lines)
    {
        auto begin =
            std::find(lines.begin(), lines.end(), L"Running a timed scan. Trying to open boxes for 2000 ms");
        auto end = std::find_if(lines.begin(), lines.end(),
                                [](const std::wstring& l) { return l.rfind(L"Found ", 0) == 0; });
        if (begin == lines.end() || end < begin)
            return {};
        return std::vector<std::wstring>(begin + 1, end);
    }

    FakeScanClock clock;
    LowLevelDriver driver;
};

TEST_F(BoxScanTest, WithoutBoxesSearchesTwentyTimesThenReportsNone)
{
    const auto lines = Run();
    const std::vector<std::wstring> head = {L"----------------------------------------",
                                            L"Try accessing Tarvik USB Boxes using '" +
                                                InstallPath(L"UsbDmx.dll") + L"'",
                                            L"----------------------------------------",
                                            L"Constructing the LowLevelDriver",
                                            L"Initializing the LowLevelDriver",
                                            L"Driver version : 0",
                                            L"Running a timed scan. Trying to open boxes for 2000 ms"};
    ASSERT_EQ(lines.size(), head.size() + 40 + 6);
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + head.size()), head);
    for (std::size_t i = head.size(); i < head.size() + 40; i += 2)
    {
        EXPECT_EQ(lines[i], kNoDeviceLine);
        EXPECT_EQ(lines[i + 1], kSleepLine);
    }
    const std::vector<std::wstring> tail = {L"Found 0 boxes",
                                            L"Getting information from all found boxes",
                                            L"Closing all found boxes",
                                            L"Uninitializing the LowLevelDriver",
                                            L"Destroying the LowLevelDriver",
                                            L"----------------------------------------"};
    EXPECT_EQ(std::vector<std::wstring>(lines.end() - 6, lines.end()), tail);
    EXPECT_EQ(clock.Pauses(), 20);
}

TEST_F(BoxScanTest, TheSearchBoundHoldsAcrossTheTickCountWrap)
{
    for (DWORD start : {0xFFFFFFFFu - 150, 0xFFFFFFFFu, 0xFFFFFFFFu - 1999, 0u})
    {
        Run(start);
        EXPECT_EQ(clock.Pauses(), 20) << std::hex << start;
    }
}

TEST_F(BoxScanTest, AnyFailedOpenPausesBeforeTheNextAttempt)
{
    Configure(L"UsbDmx.dll", "result 55 80000001\n");
    const auto scan = ScanLines(Run());
    EXPECT_EQ(scan, std::vector<std::wstring>(20, L"\t - Call ( 55, 0, 0 ) returned 80000001"));
    EXPECT_EQ(clock.Pauses(), 20);
}

TEST_F(BoxScanTest, TwoBoxesAreReportedAndClosedInTheOrderTheyOpened)
{
    Configure(L"UsbDmx.dll", "box 7 0x0203 0000A45B010200000000000000000000 Stage Left\n"
                             "box 3 0x0A00 00000000000000000000000000000000 Booth \xE9\n");
    const auto lines = Run();
    const auto scan = ScanLines(lines);
    ASSERT_EQ(scan.size(), 2u + 40u);
    EXPECT_EQ(scan[0], kFoundLine);
    EXPECT_EQ(scan[1], kFoundLine);
    const std::vector<std::wstring> boxes = {L"Found 2 boxes",
                                             L"Getting information from all found boxes",
                                             L"  * Box 0, ID = 7",
                                             L"  * Box name : 'Stage Left'",
                                             L"  * Box firmware version : 2.3",
                                             L"",
                                             L"  * Box suggested universes : A = 1, B = 2",
                                             L"  * Box 1, ID = 3",
                                             L"  * Box name : 'Booth \u00E9'",
                                             L"  * Box firmware version : 10.0",
                                             L"",
                                             L"  * Unknown User Data Format",
                                             L"Closing all found boxes",
                                             L"Uninitializing the LowLevelDriver"};
    auto found = std::find(lines.begin(), lines.end(), L"Found 2 boxes");
    ASSERT_LE(found + boxes.size(), lines.end());
    EXPECT_EQ(std::vector<std::wstring>(found, found + boxes.size()), boxes);

    std::vector<std::string> closes;
    for (const std::string& call : Calls(L"UsbDmx.dll"))
        if (call.rfind("1 ", 0) == 0)
            closes.push_back(call);
    EXPECT_EQ(closes, (std::vector<std::string>{"1 7 0", "1 3 0"}));
}

TEST_F(BoxScanTest, FailedQueriesPrintNothingOfWhatTheDriverLeftBehind)
{
    Configure(L"UsbDmx.dll", "box 9 0x0203 0000A45B010200000000000000000000 Hidden\n"
                             "result 46 80000001\nresult 58 D0000000\nresult 60 D0000004\n");
    const auto lines = Run();
    auto box = std::find(lines.begin(), lines.end(), L"  * Box 0, ID = 9");
    ASSERT_LE(box + 8, lines.end());
    const std::vector<std::wstring> expected = {L"  * Box 0, ID = 9",
                                                L"\t - Call ( 46, 9, 0 ) returned 80000001",
                                                L"  * Box name : ''",
                                                L"\t - Call ( 58, 9, 0 ) returned NO_DEVICE",
                                                L"  * Box firmware version : 0.0",
                                                L"",
                                                L"\t - Call ( 60, 9, 0 ) returned UNKNOWN_COMMAND",
                                                L"Closing all found boxes"};
    EXPECT_EQ(std::vector<std::wstring>(box, box + 8), expected);
}

TEST_F(BoxScanTest, TheSearchStopsAt256Boxes)
{
    // Without a log target: only the bound matters here, not hundreds of report lines.
    Configure(L"UsbDmx.dll", "endless\n");
    driver.Construct(nullptr, InstallDir(), L"UsbDmx.dll", {});
    ASSERT_TRUE(driver.Initialize());
    const std::vector<std::uint8_t> boxes = ScanForBoxes(driver, clock);
    driver.Destroy();
    ASSERT_EQ(boxes.size(), kMaxBoxes);
    for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i], i) << "in the order they were opened";
    EXPECT_EQ(clock.Pauses(), 0);
}

} // namespace
