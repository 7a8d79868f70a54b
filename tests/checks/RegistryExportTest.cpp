#include "checks/RegistryExport.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "RegTestSupport.h"
#include "report/TmpFileManager.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

using ChecksTest::StdoutCapture;
using ChecksTest::TestKey;
using OrvoTest::Narrow;
using OrvoTest::ReadBytes;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

// A key path of this test alone, so that test executables sharing the prefix never
// meet.
std::wstring OwnKeyPath(const wchar_t* root)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return Misc::Format(L"%ls\\OrvoChecksTest\\%hs %lu", root, info->name(), ::GetCurrentProcessId());
}

std::string HiveText(HKEY hive)
{
    return hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Every value type, names with quotes and backslashes, non-ASCII text, nested keys.
void FillRichKey(TestKey& key)
{
    key.SetText(L"", L"", L"default text");
    key.SetText(L"", L"Plain", L"C:\\Program Files\\Orvo");
    key.SetText(L"", L"say \"hi\"", L"back\\slash \"quoted\"");
    key.SetText(L"", L"back\\slash", L"");
    key.SetText(L"", L"Gr\u00fc\u00dfe", L"\u65e5\u672c\u8a9e \u00e9\u00e8 \u20ac");
    key.SetText(L"", L"Expand", L"%TEMP%\\Orvo", REG_EXPAND_SZ);
    const wchar_t multi[] = L"one\0two\0";
    key.Set(L"", L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    key.SetDword(L"", L"Count", 42);
    key.SetDword(L"", L"Max", 0xFFFFFFFF);
    const ULONGLONG qword = 0x0102030405060708ULL;
    key.Set(L"", L"Big", REG_QWORD, &qword, sizeof(qword));
    BYTE blob[100];
    for (int i = 0; i < 100; ++i)
        blob[i] = static_cast<BYTE>(i * 7);
    key.Set(L"", L"Blob", REG_BINARY, blob, sizeof(blob));
    key.Set(L"", L"Empty", REG_BINARY, nullptr, 0);
    key.Set(L"", L"Nothing", REG_NONE, blob, 3);
    key.SetText(L"Settings", L"Mode", L"expert");
    key.SetDword(L"Settings\\Deeper", L"Level", 3);
    key.SetText(L"Settings\\Deeper", L"Caf\u00e9", L"cr\u00e8me");
    key.CreateSubKey(L"Settings\\Empty");
    key.SetText(L"\u00c4rger", L"x", L"y");
}

class RegistryExportTest : public OrvoTest::TempDirTest
{
  protected:
    std::string Export(const TestKey& key, const std::wstring& file)
    {
        EXPECT_EQ(ExportRegistryKey(key.Hive(), key.Path(), PathOf(file), key.View()), ERROR_SUCCESS);
        const std::string bytes = ReadBytes(PathOf(file));
        EXPECT_EQ(ChecksTest::FirstStrayRegLine(bytes, HiveText(key.Hive()) + "\\" + Narrow(key.Path())), "");
        return bytes;
    }
    std::string KeyLine(const TestKey& key, const std::wstring& sub = L"")
    {
        std::string line = "[" + HiveText(key.Hive());
        line += "\\";
        line += Narrow(key.Path());
        if (!sub.empty())
        {
            line += "\\";
            line += Narrow(sub);
        }
        line += "]\r\n";
        return line;
    }
};

TEST_F(RegistryExportTest, AKeyWithoutValuesOrSubKeysGivesFourLines)
{
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    key.CreateSubKey(L"");
    const std::string file = Export(key, L"empty.reg");
    EXPECT_EQ(file, kBom + kHeader + KeyLine(key) + "\r\n");
}

// Each export imports back into an emptied key and exports again byte for byte the
// same. Wine's tools import only UTF-16 with its mark, so they get a converted copy.
TEST_F(RegistryExportTest, RoundTripThroughTheRegistryInEveryView)
{
    struct Case
    {
        const char* what;
        HKEY hive;
        const wchar_t* root;
        REGSAM view;
    };
    const Case cases[] = {
        {"HKLM 64-bit view", HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_WOW64_64KEY},
        {"HKLM 32-bit view", HKEY_LOCAL_MACHINE, L"SOFTWARE", KEY_WOW64_32KEY},
        {"HKCU", HKEY_CURRENT_USER, L"Software", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TestKey key(c.hive, OwnKeyPath(c.root), c.view);
        FillRichKey(key);
        const std::string first = Export(key, L"first.reg");
        ASSERT_EQ(first.substr(0, 3 + kHeader.size()), kBom + kHeader);
        EXPECT_NE(first.find(KeyLine(key) + "@=\"default text\"\r\n"), std::string::npos);
        EXPECT_NE(first.find("\"say \\\"hi\\\"\"=\"back\\\\slash \\\"quoted\\\"\"\r\n"), std::string::npos);
        EXPECT_NE(first.find("\"Count\"=dword:0000002a\r\n"), std::string::npos);
        EXPECT_NE(first.find("\"Big\"=hex(b):08,07,06,05,04,03,02,01\r\n"), std::string::npos);
        EXPECT_NE(first.find(Narrow(L"\"Gr\u00fc\u00dfe\"=\"\u65e5\u672c\u8a9e")), std::string::npos);
        // Depth first: a sub-key's tree before its next sibling.
        const std::size_t settings = first.find(KeyLine(key, L"Settings"));
        const std::size_t deeper = first.find(KeyLine(key, L"Settings\\Deeper"));
        const std::size_t empty = first.find(KeyLine(key, L"Settings\\Empty"));
        EXPECT_LT(settings, deeper);
        EXPECT_LT(deeper, empty);
        EXPECT_NE(empty, std::string::npos);
        EXPECT_EQ(first.substr(first.size() - 4), "\r\n\r\n") << "every block ends with an empty line";

        ASSERT_TRUE(key.Delete());
        ASSERT_FALSE(key.Exists());
        ASSERT_TRUE(ChecksTest::WriteUtf16Copy(PathOf(L"first.reg"), PathOf(L"import.reg")));
        const std::wstring quoted = L"\"" + PathOf(L"import.reg") + L"\"";
        // The registry editor has no view switch and writes the view of its own machine
        // type, which a 32-bit test process starts: a view is imported by reg.
        const wchar_t* viewSwitch = c.view == KEY_WOW64_32KEY   ? L" /reg:32"
                                    : c.view == KEY_WOW64_64KEY ? L" /reg:64"
                                                                : nullptr;
        const int code = viewSwitch ? ChecksTest::RunProgram(L"reg.exe import " + quoted + viewSwitch)
                                    : ChecksTest::RunProgram(L"regedit.exe /s " + quoted);
        EXPECT_EQ(code, 0);
        ASSERT_TRUE(key.Exists()) << "nothing was imported";
        EXPECT_EQ(Export(key, L"second.reg"), first);
    }
}

// A line break in string data would end the line: the string keeps its exact bytes.
TEST_F(RegistryExportTest, LineFeedsInsideStringsKeepTheirBytes)
{
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    key.SetText(L"", L"Note", L"first\nsecond");
    const std::string file = Export(key, L"note.reg");
    EXPECT_NE(file.find("\"Note\"=hex(1):66,00,69,00,72,00,73,00,74,00,0a,00,73,00,"), std::string::npos);
    EXPECT_EQ(file.find("\n\n"), std::string::npos) << "no bare line feed";
}

TEST_F(RegistryExportTest, DiagnosticsGoToStandardOutputNotIntoTheFile)
{
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    const BYTE twoBytes[] = {1, 2};
    key.Set(L"", L"Short", REG_DWORD, twoBytes, sizeof(twoBytes));
    key.SetDword(L"", L"Next", 7);
    StdoutCapture capture(PathOf(L"stdout.txt"));
    const std::string file = Export(key, L"short.reg");
    const LONG missing = ExportRegistryKey(HKEY_CURRENT_USER, key.Path() + L"\\missing", PathOf(L"m.reg"), 0);
    const LONG unwritable = ExportRegistryKey(HKEY_CURRENT_USER, key.Path(), PathOf(L"no\\such\\x.reg"), 0);
    const std::string printed = capture.Finish();

    EXPECT_NE(file.find("\r\n\"Short\"=hex(4):01,02\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\n\"Next\"=dword:00000007\r\n"), std::string::npos);
    EXPECT_EQ(file.find("Wrong size"), std::string::npos);
    EXPECT_EQ(missing, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(OrvoTest::Exists(PathOf(L"m.reg")));
    EXPECT_EQ(unwritable, ERROR_PATH_NOT_FOUND);
    const std::string expected = "Wrong size DWORD:Short\n"
                                 "RegOpenKeyEx failed, dwR=2\n"
                                 "Wrong size DWORD:Short\n"
                                 "ERROR: 3, Failed to write to file: '" +
                                 Narrow(PathOf(L"no\\such\\x.reg")) + "'\n";
    EXPECT_EQ(printed, expected);
}

// A value that grows while the key is exported is read again at its new size: every
// line holds the whole value of one moment, never a cut-off buffer.
TEST_F(RegistryExportTest, AValueGrowingDuringTheExportIsNeverCutOff)
{
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    key.SetDword(L"", L"A", 1);
    key.SetDword(L"", L"Z", 2);
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key.Path().c_str(), 0, KEY_SET_VALUE, &raw), ERROR_SUCCESS);
    Misc::RegKey writable(raw);
    std::atomic<bool> stop{false};
    std::thread grower(
        [&]
        {
            const std::vector<BYTE> bytes(3000, 0xAB);
            for (unsigned i = 0; !stop; ++i)
                ::RegSetValueExW(writable.Get(), L"Grow", 0, REG_BINARY, bytes.data(), i % 2 ? 4 : 3000);
        });
    StdoutCapture capture(PathOf(L"stdout.txt"));
    for (int round = 0; round < 40; ++round)
    {
        const std::string file = Export(key, L"grow.reg");
        const std::size_t start = file.find("\"Grow\"=hex:");
        EXPECT_NE(file.find("\"A\"=dword:00000001\r\n"), std::string::npos);
        EXPECT_NE(file.find("\"Z\"=dword:00000002\r\n"), std::string::npos);
        if (start == std::string::npos)
            continue; // left out after too many reads, or not yet written
        const std::size_t end = file.find("\r\n\"", start);
        std::string list = file.substr(start + 11, end - start - 11);
        std::size_t bytes = 0;
        for (std::size_t at = 0; (at = list.find("ab", at)) != std::string::npos; at += 2)
            ++bytes;
        EXPECT_TRUE(bytes == 4 || bytes == 3000) << bytes << " bytes in round " << round;
    }
    stop = true;
    grower.join();
    const std::string printed = capture.Finish();
    EXPECT_EQ(printed.find("ERROR"), std::string::npos) << printed;
}

TEST_F(RegistryExportTest, ViewsAreExportedSeparately)
{
    TestKey only32(HKEY_LOCAL_MACHINE, OwnKeyPath(L"SOFTWARE"), KEY_WOW64_32KEY);
    only32.SetText(L"", L"Where", L"32");
    Misc::AFileManager manager;
    EXPECT_EQ(ExportRegistryRow(HKEY_LOCAL_MACHINE, only32.Path(), L"64.reg", &manager, KEY_WOW64_64KEY),
              L"");
    const std::wstring path =
        ExportRegistryRow(HKEY_LOCAL_MACHINE, only32.Path(), L"32.reg", &manager, KEY_WOW64_32KEY);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(ReadBytes(path).find("\"Where\"=\"32\""), std::string::npos);
    EXPECT_EQ(manager.RegisteredCount(), 1u) << "a missing key stages no name";
}

// The row stages its file through the manager it is given, counted while it runs; a
// leftover file of the same name is replaced, a name another entry holds is not.
TEST_F(RegistryExportTest, RowStagesItsFileThroughTheManager)
{
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    key.SetDword(L"", L"Value", 1);
    Misc::AFileManager manager;
    ASSERT_TRUE(manager.EnsureFolder());
    const std::wstring leftover = manager.FolderPath() + L"\\CU_Orvo.reg";
    ASSERT_TRUE(OrvoTest::WriteBytes(leftover, "old"));

    const std::wstring path = ExportRegistryRow(HKEY_CURRENT_USER, key.Path(), L"CU_Orvo.reg", &manager, 0);
    EXPECT_TRUE(Misc::EqualsNoCase(path, leftover));
    EXPECT_NE(manager.Find(path), nullptr);
    EXPECT_EQ(manager.HolderCount(), 1);
    EXPECT_EQ(ReadBytes(path).substr(0, 3), kBom);

    EXPECT_EQ(ExportRegistryRow(HKEY_CURRENT_USER, key.Path(), L"CU_Orvo.reg", &manager, 0), L"");
    EXPECT_EQ(ReadBytes(path).substr(0, 3), kBom) << "the registered file is kept";
    EXPECT_EQ(manager.HolderCount(), 1);
}

TEST_F(RegistryExportTest, WithoutAnyManagerNothingIsExported)
{
    ASSERT_EQ(Misc::TmpFileManager::Shared(), nullptr);
    TestKey key(HKEY_CURRENT_USER, OwnKeyPath(L"Software"), 0);
    key.SetDword(L"", L"Value", 1);
    EXPECT_EQ(ExportRegistryRow(HKEY_CURRENT_USER, key.Path(), L"x.reg", nullptr, 0), L"");

    Misc::TmpFileManager holder;
    const std::wstring path = ExportRegistryRow(HKEY_CURRENT_USER, key.Path(), L"x.reg", nullptr, 0);
    EXPECT_NE(Misc::TmpFileManager::Shared()->Find(path), nullptr) << "staged by the shared manager";
    EXPECT_EQ(Misc::TmpFileManager::Shared()->HolderCount(), 1);
}

TEST(RegistryExportRows, TheProductKeysInTableOrder)
{
    const std::vector<std::wstring> all = {
        L"LM_Orvo_64.reg",      L"LM_Orvo_32.reg",       L"CU_Orvo.reg",
        L"LM_Orvo_Demo_32.reg", L"CU_Orvo_Demo.reg",     L"LM_Tarvikon.reg",
        L"CU_Tarvikon.reg",     L"LM_Tarvikon_Demo.reg", L"CU_Tarvikon_Demo.reg",
    };
    const std::vector<std::wstring> without64(all.begin() + 1, all.end());
    struct Case
    {
        WORD architecture;
        const std::vector<std::wstring>* expected;
    };
    const Case cases[] = {
        {PROCESSOR_ARCHITECTURE_AMD64, &all},
        {PROCESSOR_ARCHITECTURE_IA64, &all},
        {PROCESSOR_ARCHITECTURE_INTEL, &without64},
        {12 /* ARM64 */, &without64},
    };
    for (const Case& c : cases)
    {
        std::vector<std::wstring> names;
        for (const RegistryExportRow& row : RegistryExportRows(c.architecture))
            names.push_back(row.fileName);
        EXPECT_EQ(names, *c.expected) << c.architecture;
    }
    const std::vector<RegistryExportRow> rows = RegistryExportRows(PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(rows[0].view, static_cast<REGSAM>(KEY_WOW64_64KEY));
    for (std::size_t i = 1; i < rows.size(); ++i)
    {
        const bool machine = rows[i].hive == HKEY_LOCAL_MACHINE;
        EXPECT_EQ(rows[i].view, machine ? static_cast<REGSAM>(KEY_WOW64_32KEY) : 0)
            << Narrow(rows[i].fileName);
        EXPECT_EQ(std::wstring(rows[i].fileName).substr(0, 3), machine ? L"LM_" : L"CU_");
    }
    EXPECT_STREQ(rows[0].keyPath, L"SOFTWARE\\Varnholt Brevik\\Orvo");
    EXPECT_STREQ(rows[8].keyPath, L"SOFTWARE\\Tarvik\\Orvo_Demo");
}

} // namespace
