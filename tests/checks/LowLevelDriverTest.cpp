#include "checks/LowLevelDriver.h"

#include "FakeDriverSetup.h"
#include "report/FileSystem.h"
#include "report/TextLogWriter.h"

#include <gtest/gtest.h>

namespace
{

using OrvoTest::ReportLines;

TEST(DriverCallLine, NamesTheKnownResultsAndPrintsOthersInHex)
{
    struct Case
    {
        std::uint32_t result;
        const wchar_t* tail;
    };
    const Case cases[] = {
        {0xD0000000, L"NO_DEVICE"},
        {0xD0000001, L"OUT_OF_DEVICES"},
        {0xD0000002, L"D0000002"},
        {0xD0000003, L"FORCED_EXIT"},
        {0xD0000004, L"UNKNOWN_COMMAND"},
        {0xD0000005, L"ALLREADY_OPEN"},
        {0xD0000006, L"ALLREADY_CLOSED"},
        {0xD0000007, L"MAX_DEVCNT_REACHED"},
        {0xD0000008, L"DEVICE_NAME_NOT_FOUND"},
        {0xD0000009, L"CONNECTION_WATCH_BUSY"},
        {0xD000000A, L"DMX_READY"},
        {0xD000000B, L"D000000B"},
        {0x80000001, L"80000001"},
        {0xE0000001, L"E0000001"},
        {0x0000abcd, L"ABCD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriverCallLine(55, 0, 0, c.result),
                  std::wstring(L"\t - Call ( 55, 0, 0 ) returned ") + c.tail)
            << std::hex << c.result;
    EXPECT_EQ(DriverCallLine(46, 255, -7, 0xD0000000), L"\t - Call ( 46, 255, -7 ) returned NO_DEVICE");
}

class LowLevelDriverTest : public OrvoTest::FakeDriverTest
{
  protected:
    std::vector<std::wstring> Run(const std::wstring& library, const std::vector<std::wstring>& dependencies,
                                  bool expectInitialized)
    {
        const std::wstring report = PathOf(L"report.txt");
        {
            Misc::TextLogWriter writer;
            EXPECT_TRUE(writer.Open(report));
            driver.Construct(&writer, InstallDir(), library, dependencies);
            EXPECT_EQ(driver.Initialize(), expectInitialized);
            driver.Destroy();
            EXPECT_FALSE(driver.IsLoaded());
            EXPECT_FALSE(driver.IsInitialized());
        }
        return ReportLines(report);
    }

    LowLevelDriver driver;
};

TEST_F(LowLevelDriverTest, InitialisesWithTheDriversKeyAndShutsDownOnce)
{
    Configure(L"UsbDmx.dll", "version 0x12345\n");
    const auto lines = Run(L"UsbDmx.dll", {L"WDAPI921.DLL"}, true);
    const std::vector<std::wstring> expected = {
        L"Constructing the LowLevelDriver", L"Initializing the LowLevelDriver",
        L"Driver version : 9029", // the low 16 bits of 0x12345
        L"Uninitializing the LowLevelDriver", L"Destroying the LowLevelDriver"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(driver.DriverVersion(), 0x2345);
    const std::vector<std::string> calls = {"18 0 0", "51 20 " + std::to_string(kDriverInitParameter),
                                            "51 0 0"};
    EXPECT_EQ(Calls(L"UsbDmx.dll"), calls);
}

TEST_F(LowLevelDriverTest, FailedInitialisationIsReportedAndNeverShutDown)
{
    Configure(L"UsbDmx12.dll", "result 51 D0000004\n");
    const auto lines = Run(L"UsbDmx12.dll", {L"WDAPI1200.DLL"}, false);
    const std::vector<std::wstring> expected = {
        L"Constructing the LowLevelDriver",
        L"Initializing the LowLevelDriver",
        L"Driver version : 0",
        L"\t - Call ( 51, 20, " + std::to_wstring(kDriverInitParameter) + L" ) returned UNKNOWN_COMMAND",
        L"InitDriver call failed",
        L"Destroying the LowLevelDriver"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Calls(L"UsbDmx12.dll").size(), 2u) << "no shutdown call after a failed start";
}

TEST_F(LowLevelDriverTest, PositiveResultsOfTheInitialisationCountAsSuccess)
{
    Configure(L"UsbDmx.dll", "result 51 D000000A\n"); // negative: failure
    Run(L"UsbDmx.dll", {}, false);
    Configure(L"UsbDmx.dll", "result 51 7FFFFFFF\n");
    const auto lines = Run(L"UsbDmx.dll", {}, true);
    EXPECT_EQ(OrvoTest::CountOf(lines, L"Uninitializing the LowLevelDriver"), 1u);
}

TEST_F(LowLevelDriverTest, LoadFailuresNameTheStepAndTheSystemError)
{
    struct Case
    {
        const char* what;
        std::wstring library;
        std::vector<std::wstring> dependencies;
        std::wstring failure; // what follows "Constructing"
        DWORD error;
    };
    RemoveDependency(L"WDAPI1200.dll");
    Uninstall(L"UsbDmx12.dll");
    Install(L"TarvikUSB.dll", L"NoEntry.dll");
    ASSERT_TRUE(OrvoTest::WriteBytes(InstallPath(L"Text.dll"), "not a library"));
    const Case cases[] = {
        {"missing dependency",
         L"UsbDmx.dll",
         {L"WDAPI921.DLL", L"WDAPI1200.DLL"},
         L"Failed to load 'UsbDmx.dll' due to\n\tdependency 1 : 'WDAPI1200.DLL'\n",
         ERROR_MOD_NOT_FOUND},
        {"missing library", L"UsbDmx12.dll", {}, L"Failed to load 'UsbDmx12.dll'\n", ERROR_MOD_NOT_FOUND},
        {"no entry point",
         L"NoEntry.dll",
         {},
         L"Failed to get the entry point for Dmxbox()\n",
         ERROR_PROC_NOT_FOUND},
        {"not an image", L"Text.dll", {}, L"Failed to load 'Text.dll'\n", ERROR_BAD_EXE_FORMAT},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::wstring report = PathOf(L"failure.txt");
        ::DeleteFileW(report.c_str());
        {
            Misc::TextLogWriter writer;
            ASSERT_TRUE(writer.Open(report));
            driver.Construct(&writer, InstallDir(), c.library, c.dependencies);
            EXPECT_FALSE(driver.IsLoaded());
            EXPECT_FALSE(driver.Initialize()) << "nothing to initialise, and nothing logged";
            EXPECT_EQ(driver.Call(DriverGetVersion, 0, 0, nullptr), DriverNoEntryPoint);
            driver.Destroy();
        }
        std::wstring systemText;
        Misc::SystemErrorText(c.error, systemText);
        ASSERT_EQ(systemText.find(L"Could not Format"), std::wstring::npos);
        const std::wstring expected = L"Constructing the LowLevelDriver\n" + c.failure +
                                      Misc::Format(L"\tLastError : %08X = ", static_cast<unsigned>(c.error)) +
                                      systemText + L"\nDestroying the LowLevelDriver\n";
        EXPECT_EQ(OrvoTest::ReportText(report), expected);
    }
}

TEST_F(LowLevelDriverTest, LogCutsMessagesAndMarksUnknownErrorCodes)
{
    const std::wstring report = PathOf(L"log.txt");
    {
        driver.Log(L"dropped without a target", true);
        Misc::TextLogWriter writer;
        ASSERT_TRUE(writer.Open(report));
        driver.Construct(&writer, InstallDir(), L"UsbDmx.dll", {});
        ASSERT_TRUE(driver.IsLoaded());
        const std::wstring longText(1500, L'x');
        driver.Log(L"%ls", false, longText.c_str());
        ::SetLastError(0x2FFF1234);
        driver.Log(L"odd %d", true, 7);
        driver.Destroy();
        driver.Log(L"dropped after Destroy", false);
    }
    const std::vector<std::wstring> expected = {L"Constructing the LowLevelDriver", std::wstring(1023, L'x'),
                                                L"odd 7", L"\tLastError : 2FFF1234 (?)",
                                                L"Destroying the LowLevelDriver"};
    EXPECT_EQ(ReportLines(report), expected);
}

} // namespace
