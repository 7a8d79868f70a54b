#include "problems/DriverReportRules.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using OrvoTest::Narrow;

// Report text in the driver test's own lines.
const std::wstring kHead = L"========================================\n"
                           L"TESTING 'C:\\P\\TarvikUSB.dll'\n"
                           L"========================================\n";

std::wstring Generation(const wchar_t* library, const std::wstring& body, bool missing = false)
{
    return std::wstring(L"----------------------------------------\n") +
           L"Try accessing Tarvik USB Boxes using 'C:\\P\\" + library + L"'\n" +
           (missing ? L"\t[ file does not exist ]\n" : L"") +
           L"----------------------------------------\nConstructing the LowLevelDriver\n" + body +
           L"Destroying the LowLevelDriver\n----------------------------------------\n";
}

std::wstring Boxes(int count)
{
    return L"Initializing the LowLevelDriver\nDriver version : 412\nRunning a timed scan. Trying to open "
           L"boxes for "
           L"2000 ms\nFound " +
           std::to_wstring(count) +
           L" boxes\nGetting information from all found boxes\nClosing all found boxes\n"
           L"Uninitializing the LowLevelDriver\n";
}

const std::wstring kDependency = L"Failed to load 'UsbDmx12.dll' due to\n\tdependency 0 : 'WDAPI1200.DLL'\n"
                                 L"\tLastError : 0000007E = The specified module could not be found.\r\n\n";
const std::wstring kLoad = L"Failed to load 'UsbDmx.dll'\n\tLastError : 000000C1 = Bad image.\r\n\n";

TEST(DriverReportRules, EachOutcomeOfTheDriverTest)
{
    const struct
    {
        const char* name;
        std::wstring report;
        std::vector<std::string> expected;
    } cases[] = {
        {"no report", L"", {}},
        {"boxes found by one, the other loads but finds none",
         kHead + Generation(L"UsbDmx.dll", Boxes(2)) + Generation(L"UsbDmx12.dll", Boxes(0)),
         {}},
        {"a dependency missing",
         kHead + Generation(L"UsbDmx.dll", Boxes(2)) + Generation(L"UsbDmx12.dll", kDependency),
         {"Problem (USB DMX test): C:\\P\\UsbDmx12.dll could not be loaded: its dependency WDAPI1200.DLL "
          "cannot "
          "be loaded: 0000007E = The specified module could not be found."}},
        {"the library itself does not load; no box through the other",
         kHead + Generation(L"UsbDmx.dll", kLoad) + Generation(L"UsbDmx12.dll", Boxes(0)),
         {"Problem (USB DMX test): C:\\P\\UsbDmx.dll could not be loaded: 000000C1 = Bad image.",
          "Warning (USB DMX test): No USB DMX box was found through the drivers beside C:\\P\\TarvikUSB.dll "
          "(Found 0 boxes)."}},
        {"no entry point, no start",
         kHead +
             Generation(L"UsbDmx.dll",
                        L"Failed to get the entry point for Dmxbox()\n\tLastError : 0000007F = x\n") +
             Generation(L"UsbDmx12.dll", L"Initializing the LowLevelDriver\nInitDriver call failed\n"),
         {"Problem (USB DMX test): C:\\P\\UsbDmx.dll has no Dmxbox entry point: it is no USB DMX driver.",
          "Problem (USB DMX test): C:\\P\\UsbDmx12.dll loaded, but the driver could not be initialised."}},
        {"a driver that hung",
         kHead +
             Generation(L"UsbDmx.dll",
                        L"Initializing the LowLevelDriver\n\t[ the driver did not answer within "
                        L"10 s; the test was stopped ]\n") +
             Generation(L"UsbDmx12.dll", Boxes(1)),
         {"Problem (USB DMX test): C:\\P\\UsbDmx.dll test stopped: the driver did not answer within 10 s; "
          "the test "
          "was stopped."}},
        {"one generation missing",
         kHead + Generation(L"UsbDmx.dll", Boxes(2)) + Generation(L"UsbDmx12.dll", kDependency, true),
         {"Warning (USB DMX test): The driver library UsbDmx12.dll is missing beside C:\\P\\TarvikUSB.dll."}},
        {"both missing",
         kHead + Generation(L"UsbDmx.dll", kLoad, true) + Generation(L"UsbDmx12.dll", kDependency, true),
         {"Problem (USB DMX test): No USB DMX driver library is beside C:\\P\\TarvikUSB.dll."}},
        {"lines before any heading are not judged", L"Found 0 boxes\nInitDriver call failed\n", {}},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> lines;
        for (const Finding& finding : DriverReportFindings(c.report))
            lines.push_back(Narrow(FindingLine(finding)));
        EXPECT_EQ(lines, c.expected) << c.name;
    }
}

TEST(DriverReportRules, OneVerdictPerUsbSupportLibrary)
{
    const std::wstring second = L"========================================\nTESTING 'D:\\Q\\TarvikUSB.dll'\n"
                                L"========================================\n";
    const std::wstring report = kHead + Generation(L"UsbDmx.dll", Boxes(0)) +
                                Generation(L"UsbDmx12.dll", Boxes(0)) + second +
                                Generation(L"UsbDmx.dll", Boxes(1)) + Generation(L"UsbDmx12.dll", Boxes(0));
    const FindingList findings = DriverReportFindings(report);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].text.find(L"C:\\P\\TarvikUSB.dll"), std::wstring::npos);
}

class DriverReportFile : public OrvoTest::TempDirTest
{
};

TEST_F(DriverReportFile, ReadsTheUtf16ReportAndNothingElse)
{
    const std::wstring text = kHead + Generation(L"UsbDmx.dll", Boxes(0));
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    OrvoTest::WriteBytes(PathOf(L"report.txt"), bytes);
    EXPECT_EQ(ReadDriverReport(PathOf(L"report.txt")), text);
    EXPECT_EQ(ReadDriverReport(PathOf(L"missing.txt")), L"");
}

} // namespace
