#include "system/OsFacts.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <vector>

namespace
{

using OrvoTest::Narrow;

class CountingSink : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t*) override { ++others; }
    void SetStatus(const wchar_t*) override { ++others; }
    void Tick(bool big) override { big ? ++bigTicks : ++others; }
    int bigTicks = 0, others = 0;
};

WindowsVersion Version(DWORD platform, DWORD major, DWORD minor, DWORD build, const wchar_t* sp = L"",
                       bool extended = true, BYTE productType = VER_NT_WORKSTATION, WORD suite = 0)
{
    WindowsVersion v;
    v.platformId = platform;
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.servicePack = sp;
    v.extended = extended;
    v.productType = productType;
    v.suiteMask = suite;
    return v;
}

TEST(WindowsName, EveryRowOfTheNameTable)
{
    constexpr BYTE ws = VER_NT_WORKSTATION, srv = VER_NT_SERVER;
    struct Case
    {
        WindowsVersion version;
        WORD nativeArch;
        bool serverR2;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {Version(0, 3, 10, 0), 0, false, L"Windows 3.1"},
        {Version(1, 3, 95, 0), 0, false, L"Windows 95"},
        {Version(1, 4, 0, 950, L" C"), 0, false, L"Windows 95 OSR2"},
        {Version(1, 4, 0, 950, L" B"), 0, false, L"Windows 95"},
        {Version(1, 4, 0, 950, L"C"), 0, false, L"Windows 95"}, // the letter must be the second character
        {Version(1, 4, 0, 950, L""), 0, false, L"Windows 95"},
        {Version(1, 4, 10, 2222, L" A "), 0, false, L"Windows 98 SE"},
        {Version(1, 4, 10, 1998, L""), 0, false, L"Windows 98"},
        {Version(1, 4, 90, 3000, L" "), 0, false, L"Windows Me or better"},
        {Version(1, 4, 3, 0), 0, false, L"Windows Me or better"},
        {Version(1, 5, 0, 0), 0, false, L"Windows Me or better"},
        {Version(2, 3, 51, 1057), 0, false, L"Windows NT"},
        {Version(2, 4, 0, 1381), 0, false, L"Windows NT"},
        {Version(2, 5, 0, 2195), 0, false, L"Windows 2000"},
        {Version(2, 5, 1, 2600), 0, false, L"Windows XP"},
        {Version(2, 5, 1, 2600, L"", true, srv), 9, true, L"Windows XP"},
        {Version(2, 5, 2, 3790, L"", false, srv), 9, true, L"Windows XP"}, // basic record only
        {Version(2, 5, 2, 3790, L"", true, ws), 9, false, L"Windows XP Professional x64 Edition"},
        {Version(2, 5, 2, 3790, L"", true, ws, 0x8000), 9, true, L"Windows XP Professional x64 Edition"},
        {Version(2, 5, 2, 3790, L"", true, srv, 0x8000), 9, true, L"Windows Home Server"},
        {Version(2, 5, 2, 3790, L"", true, ws), 0, false, L"Windows Server 2003"},
        {Version(2, 5, 2, 3790, L"", true, srv), 9, true, L"Windows Server 2003 R2"},
        {Version(2, 5, 7, 3790, L"", true, srv), 0, false, L"Windows Server 2003"},
        {Version(2, 6, 0, 6002, L"", true, srv), 0, false, L"Windows Server 2008"},
        {Version(2, 6, 0, 6002, L"", true, ws), 0, false, L"Windows Vista"},
        {Version(2, 6, 0, 6002, L"", false, srv), 0, false, L"Windows Vista"},
        {Version(2, 6, 1, 7601, L"", true, srv), 0, false, L"Windows Server 2008 R2"},
        {Version(2, 6, 1, 7601, L"", true, ws), 0, false, L"Windows 7"},
        {Version(2, 6, 1, 7601, L"", false, srv), 0, false, L"Windows 7"},
        {Version(2, 6, 2, 9200, L"", true, srv), 0, false, L"Windows Server 2012"},
        {Version(2, 6, 2, 9200, L"", true, ws), 0, false, L"Windows 8"},
        {Version(2, 6, 3, 9600, L"", true, srv), 0, false, L"Windows Server 2012 R2"},
        {Version(2, 6, 3, 9600, L"", true, ws), 0, false, L"Windows 8.1"},
        {Version(2, 6, 4, 9841, L"", true, srv), 0, false, L"Windows 8.1"},
        {Version(2, 10, 0, 19045), 0, false, L"Windows 10"},
        {Version(2, 10, 0, 21999), 0, false, L"Windows 10"},
        {Version(2, 10, 0, 22000), 0, false, L"Windows 11"},
        {Version(2, 10, 0, 17763, L"", true, srv), 0, false, L"Windows 10"},
        {Version(2, 10, 0, 0x10000 + 19045), 0, false, L"Windows 11"}, // decided on all 32 bits
        {Version(2, 10, 1, 0), 0, false, L"Windows 11 or later"},
        {Version(2, 7, 0, 0), 0, false, L"Windows 11 or later"},
        {Version(2, 11, 0, 0), 0, false, L"Windows 11 or later"},
        {Version(3, 10, 0, 0), 0, false, L"Unknown platform"},
        {Version(7, 6, 1, 0), 0, false, L"Unknown platform"},
    };
    for (const Case& c : cases)
    {
        const WindowsVersion& v = c.version;
        const bool serverBranch = v.platformId == 2 && v.major == 5 && v.minor >= 2 && v.extended;
        int probes = 0;
        auto arch = [&]
        {
            ++probes;
            return c.nativeArch;
        };
        auto r2 = [&]
        {
            ++probes;
            return c.serverR2;
        };
        EXPECT_EQ(Narrow(WindowsName(v, arch, r2)), Narrow(c.expected))
            << v.platformId << " " << v.major << "." << v.minor << " build " << v.build << " type "
            << int(v.productType) << " ext " << v.extended;
        if (!serverBranch)
        {
            EXPECT_EQ(probes, 0) << "the native system is only asked in the 5.x server branch: " << v.major
                                 << "." << v.minor;
        }
    }
}

TEST(WindowsVersionText, NameVersionServicePackAndLowBuild)
{
    struct Case
    {
        const wchar_t* name;
        WindowsVersion version;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"Windows 10", Version(2, 10, 0, 19045), L"Windows 10 (10.0  build 19045)"},
        {L"Windows 7", Version(2, 6, 1, 7601, L"Service Pack 1"),
         L"Windows 7 (6.1 Service Pack 1 build 7601)"},
        {L"Windows 11", Version(2, 10, 0, 0x10000 + 19045), L"Windows 11 (10.0  build 19045)"},
        {L"Windows 98 SE", Version(1, 4, 10, 0x040A08AE, L" A "), L"Windows 98 SE (4.10  A  build 2222)"},
        {L"Unknown platform", Version(9, 0, 0, 0), L"Unknown platform (0.0  build 0)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Narrow(WindowsVersionText(c.name, c.version)), Narrow(c.expected));
}

TEST(WindowsVersionCache, FirstSuccessfulQueryHoldsForTheWholeRun)
{
    WindowsVersionCache cache;
    int queries = 0;
    bool fail = true;
    WindowsVersion reported = Version(2, 10, 0, 19045);
    VersionPlatform platform;
    platform.queryVersion = [&](WindowsVersion& v)
    {
        ++queries;
        if (fail)
            return false;
        v = reported;
        return true;
    };

    std::wstring text = L"junk";
    cache.QueryName(&text, platform); // both version queries failed
    EXPECT_EQ(Narrow(text), "Unknown platform");
    EXPECT_FALSE(cache.IsInitialised());

    fail = false;
    cache.QueryName(&text, platform); // tried again
    EXPECT_EQ(Narrow(text), "Windows 10 (10.0  build 19045)");
    EXPECT_TRUE(cache.IsInitialised());

    reported = Version(2, 10, 0, 22631); // would now be Windows 11
    std::wstring second;
    cache.QueryName(&second, platform);
    EXPECT_EQ(Narrow(second), "Windows 10 (10.0  build 19045)");
    EXPECT_EQ(queries, 2);
    cache.QueryName(nullptr, platform); // no target: nothing to copy, no crash
}

TEST(ArchitectureText, CodesOfTheNativeProcessor)
{
    const std::pair<WORD, const char*> cases[] = {{0, "x86"},         {5, "ARM"},      {6, "IA64"},
                                                  {9, "x64"},         {12, "Unknown"}, {1, "Unknown"},
                                                  {0xFFFF, "Unknown"}};
    for (const auto& [code, text] : cases)
        EXPECT_EQ(Narrow(ArchitectureText(code)), text) << code;
}

// The install date is the raw value as seconds since 1970 UTC, in the local time
// zone the test runs in (the Linux TZ, which Wine maps to a Windows zone).
TEST(InstallDateText, RawSecondsInLocalTime)
{
    wchar_t zone[64] = {};
    ::GetEnvironmentVariableW(L"TZ", zone, 64);
    const std::wstring tz = zone;
    struct Case
    {
        std::uint32_t raw;
        const wchar_t* utc;
        const wchar_t* kolkata;
        const wchar_t* newYork;
    };
    const Case cases[] = {
        {1700000000u, L"14-11-2023 22:13:20", L"15-11-2023 03:43:20", L"14-11-2023 17:13:20"},
        {1688169600u, L"01-07-2023 00:00:00", L"01-07-2023 05:30:00", L"30-06-2023 20:00:00"},
        {4000000000u, L"02-10-2096 07:06:40", L"02-10-2096 12:36:40", L"02-10-2096 03:06:40"}, // past 2038
        {4294967295u, L"07-02-2106 06:28:15", L"07-02-2106 11:58:15", L"07-02-2106 01:28:15"},
    };
    EXPECT_EQ(Narrow(InstallDateText(0)), "Unknown");
    int column = -1;
    if (tz == L"UTC" || tz == L"Etc/UTC")
        column = 0;
    else if (tz == L"Asia/Kolkata")
        column = 1;
    else if (tz == L"America/New_York")
        column = 2;
    if (column < 0)
        GTEST_SKIP() << "no expected texts for TZ=" << Narrow(tz);
    for (const Case& c : cases)
    {
        const wchar_t* expected = column == 0 ? c.utc : column == 1 ? c.kolkata : c.newYork;
        EXPECT_EQ(Narrow(InstallDateText(static_cast<std::int32_t>(c.raw))), Narrow(expected)) << c.raw;
    }
}

TEST(ReadInstallDateRaw, TriesTheViewsUntilAValueIsFound)
{
    struct Answer
    {
        bool present;
        std::int32_t value;
    };
    struct Case
    {
        DWORD platform;
        Answer byDefault, view32, view64;
        std::int32_t expected;
        std::vector<REGSAM> asked;
    };
    const Answer none{false, 0}, zero{true, 0};
    const Case cases[] = {
        {2, {true, 111}, {true, 222}, {true, 333}, 111, {0}},
        {2, none, {true, 222}, {true, 333}, 222, {0, KEY_WOW64_32KEY}},
        {2, none, none, {true, 333}, 333, {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY}},
        {2, zero, zero, {true, 333}, 333, {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY}},
        {2, none, none, none, 0, {0, KEY_WOW64_32KEY, KEY_WOW64_64KEY}},
        {2, {true, -294967296}, none, none, -294967296, {0}},
        {1, {true, 444}, {true, 555}, {true, 666}, 444, {0}},
        {1, none, {true, 555}, {true, 666}, 0, {0}},
        {0, {true, 777}, none, none, 777, {0}},
    };
    for (const Case& c : cases)
    {
        std::vector<REGSAM> asked;
        auto reader = [&](const wchar_t* key, const wchar_t* value, REGSAM view, std::int32_t& raw)
        {
            asked.push_back(view);
            if (c.platform == 2)
            {
                EXPECT_STREQ(key, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
                EXPECT_STREQ(value, L"InstallDate");
            }
            else
            {
                EXPECT_STREQ(key, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
                EXPECT_STREQ(value, L"FirstInstallDateTime");
            }
            const Answer& a = view == 0 ? c.byDefault : view == KEY_WOW64_32KEY ? c.view32 : c.view64;
            if (a.present)
                raw = a.value;
            return a.present;
        };
        EXPECT_EQ(ReadInstallDateRaw(c.platform, reader), c.expected) << c.platform;
        EXPECT_EQ(asked, c.asked) << c.platform << " expected " << c.expected;
    }
}

// A value written through the 32-bit registry view only: the default view of a
// 64-bit program misses it, the explicit 32-bit view finds it.
class MachineValue : public ::testing::Test
{
  protected:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\OrvoDiagTest\\InstallDate";

    void TearDown() override
    {
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY, 0);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvoDiagTest", KEY_WOW64_32KEY, 0);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\OrvoDiagTest", KEY_WOW64_64KEY, 0);
    }

    void Write(REGSAM view, const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        Misc::RegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                    key.Put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
};

TEST_F(MachineValue, ReadsFourBytesThroughTheChosenView)
{
    const DWORD date = 1700000000;
    Write(KEY_WOW64_32KEY, L"InstallDate", REG_DWORD, &date, sizeof(date));
    const BYTE binary[4] = {0x00, 0x28, 0x6B, 0xEE}; // 4000000000, little-endian
    Write(KEY_WOW64_32KEY, L"Binary", REG_BINARY, binary, sizeof(binary));
    const ULONGLONG wide = 5;
    Write(KEY_WOW64_32KEY, L"Wide", REG_QWORD, &wide, sizeof(wide));

    std::int32_t raw = 0;
    EXPECT_TRUE(ReadMachineInt32(kKey, L"InstallDate", KEY_WOW64_32KEY, raw));
    EXPECT_EQ(raw, 1700000000);
#ifdef _WIN64
    raw = 0;
    EXPECT_FALSE(ReadMachineInt32(kKey, L"InstallDate", 0, raw));
    EXPECT_FALSE(ReadMachineInt32(kKey, L"InstallDate", KEY_WOW64_64KEY, raw));
    EXPECT_EQ(raw, 0);
#endif
    EXPECT_TRUE(ReadMachineInt32(kKey, L"Binary", KEY_WOW64_32KEY, raw)); // the type is not checked
    EXPECT_EQ(static_cast<std::uint32_t>(raw), 4000000000u);
    raw = 7;
    EXPECT_FALSE(ReadMachineInt32(kKey, L"Wide", KEY_WOW64_32KEY, raw)); // does not fit four bytes
    EXPECT_FALSE(ReadMachineInt32(kKey, L"Missing", KEY_WOW64_32KEY, raw));
    EXPECT_FALSE(ReadMachineInt32(L"SOFTWARE\\OrvoDiagTest\\NoSuchKey", L"InstallDate", 0, raw));
    EXPECT_EQ(raw, 7);
}

// Sets the system's own install date for the test and puts the old value back.
class RealOsFacts : public ::testing::Test
{
  protected:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

    void SetUp() override
    {
        ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, m_key.Put()),
                  ERROR_SUCCESS);
        DWORD size = sizeof(m_old);
        m_hadOld = ::RegQueryValueExW(m_key.Get(), L"InstallDate", nullptr, &m_oldType,
                                      reinterpret_cast<BYTE*>(&m_old), &size) == ERROR_SUCCESS;
    }
    void TearDown() override
    {
        if (!m_key)
            return;
        if (m_hadOld)
            ::RegSetValueExW(m_key.Get(), L"InstallDate", 0, m_oldType, reinterpret_cast<const BYTE*>(&m_old),
                             sizeof(m_old));
        else
            ::RegDeleteValueW(m_key.Get(), L"InstallDate");
    }
    void SetInstallDate(DWORD value)
    {
        ASSERT_EQ(::RegSetValueExW(m_key.Get(), L"InstallDate", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), sizeof(value)),
                  ERROR_SUCCESS);
    }

    Misc::RegKey m_key;
    DWORD m_old = 0, m_oldType = REG_DWORD;
    bool m_hadOld = false;
};

TEST_F(RealOsFacts, CollectGathersEveryFactWithThreeBigTicks)
{
    SetInstallDate(1700000000);
    OsFacts facts;
    EXPECT_FALSE(facts.scanned);
    CountingSink sink;
    facts.Collect(&sink);
    EXPECT_EQ(sink.bigTicks, 3);
    EXPECT_EQ(sink.others, 0);
    EXPECT_TRUE(facts.scanned);
    EXPECT_EQ(facts.installDateRaw, 1700000000);
    EXPECT_EQ(facts.installDateText, InstallDateText(1700000000));
#ifdef _WIN64
    EXPECT_EQ(Narrow(facts.architecture), "x64");
    EXPECT_FALSE(facts.wow64);
#else
    EXPECT_TRUE(facts.architecture == L"x86" || facts.architecture == L"x64") << Narrow(facts.architecture);
    EXPECT_EQ(facts.wow64, facts.architecture == L"x64");
    // Windows names the real processor to a WOW64 process in its environment: an
    // independent witness that this 32-bit run is on 64-bit Windows.
    wchar_t native[16] = {};
    if (::GetEnvironmentVariableW(L"PROCESSOR_ARCHITEW6432", native, 16) && std::wstring(native) == L"AMD64")
    {
        EXPECT_TRUE(facts.wow64);
        EXPECT_EQ(Narrow(facts.architecture), "x64");
    }
#endif
    wchar_t expectedName[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(expectedName, &size));
    EXPECT_EQ(facts.computerName, expectedName);
    EXPECT_FALSE(facts.computerName.empty());
    EXPECT_LE(facts.computerName.size(), 15u);
    std::wstring version;
    QueryWindowsName(&version);
    EXPECT_EQ(facts.versionText, version);
}

} // namespace

namespace
{

// Runs the version probe as a program of its own under each Windows version Wine
// can report (set per program name in the prefix's registry). Each run uses a
// private copy of the probe, so parallel runs of this test do not share the setting.
class VersionUnderWine : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (!::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
            GTEST_SKIP() << "only Wine lets a test choose the reported Windows version";
        m_exeName = Misc::Format(L"orvo_version_probe_%lu.exe", ::GetCurrentProcessId());
        m_exe = PathOf(m_exeName);
        ASSERT_TRUE(
            ::CopyFileW(OrvoTest::FixturePath(L"orvo_version_probe.exe").c_str(), m_exe.c_str(), FALSE));
        m_appKey = L"Software\\Wine\\AppDefaults\\" + m_exeName;
    }
    void TearDown() override
    {
        if (!m_appKey.empty())
            ::RegDeleteKeyW(HKEY_CURRENT_USER, m_appKey.c_str());
        TempDirTest::TearDown();
    }

    std::wstring NameUnder(const wchar_t* wineVersion)
    {
        Misc::RegKey key;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, m_appKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              key.Put(), nullptr) != ERROR_SUCCESS)
            return L"<no registry>";
        const DWORD bytes = static_cast<DWORD>((std::wcslen(wineVersion) + 1) * sizeof(wchar_t));
        ::RegSetValueExW(key.Get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(wineVersion), bytes);

        const std::wstring out = PathOf(L"name.txt");
        ::DeleteFileW(out.c_str());
        std::wstring commandLine = L"\"" + m_exe + L"\" \"" + out + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(m_exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process))
            return L"<not started>";
        Misc::KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
        if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        {
            ::TerminateProcess(process.hProcess, 1);
            return L"<hung>";
        }
        const std::string raw = OrvoTest::ReadBytes(out);
        return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
    }

    std::wstring m_exeName, m_exe, m_appKey;
};

TEST_F(VersionUnderWine, NameAndVersionTextOfEachReportedWindows)
{
    // Wine 8 reports win7 as a server and win2008r2 as a workstation; the table rows
    // for 6.1 are covered by the pure name table instead.
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"win10", "Windows 10 (10.0  build "},
        {L"win81", "Windows 8.1 (6.3  build 9600)"},
        {L"win8", "Windows 8 (6.2  build 9200)"},
        {L"win2008", "Windows Server 2008 (6.0 Service Pack 2 build 6002)"},
        {L"winvista", "Windows Vista (6.0 Service Pack 2 build 6002)"},
        {L"win2003", "Windows Server 2003 (5.2 Service Pack 2 build 3790)"},
        {L"winxp64", "Windows XP Professional x64 Edition (5.2 Service Pack 2 build 3790)"},
        {L"winxp", "Windows XP (5.1 Service Pack 3 build 2600)"},
        {L"win2k", "Windows 2000 (5.0 Service Pack 4 build 2195)"},
        {L"nt40", "Windows NT (4.0 Service Pack 6a build 1381)"},
        {L"winme", "Windows Me or better (4.90   build 3000)"},
        {L"win98", "Windows 98 SE (4.10  A  build 2222)"},
        {L"win95", "Windows 95 (4.0  build 950)"}, // the 9x build number fills the high word too
    };
    for (const auto& [wineVersion, expected] : cases)
    {
        const std::string name = Narrow(NameUnder(wineVersion));
        if (std::string(expected).back() == ' ')
            EXPECT_EQ(name.rfind(expected, 0), 0u) << Narrow(wineVersion) << ": " << name;
        else
            EXPECT_EQ(name, expected) << Narrow(wineVersion);
    }
}

} // namespace
