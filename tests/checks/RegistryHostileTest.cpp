#include "checks/RegistryExport.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "RegTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

using ChecksTest::KeyListing;
using ChecksTest::StdoutCapture;
using ChecksTest::TestKey;
using OrvoTest::Narrow;
using OrvoTest::ReadBytes;

// A value a crafted or merely unusual product key may hold. `text` is the data as
// UTF-16 code units, terminators included as given; `leftOut` is how the diagnostic
// names a value or sub-key that has no faithful form in the file, or null.
struct HostileValue
{
    const char* what;
    std::wstring subKey;
    std::wstring name;
    DWORD type;
    std::wstring text;
    const char* leftOut;
};

std::wstring Units(const wchar_t* text, std::size_t count)
{
    return std::wstring(text, count);
}

const std::wstring kInjection = L"\r\n[HKEY_CURRENT_USER]\r\n\"Evil\"=\"1\"\r\n";

std::vector<HostileValue> HostileValues()
{
    return {
        {"line feed in data", L"", L"Note", REG_SZ, Units(L"first\nsecond", 13), nullptr},
        {"carriage return in data", L"", L"Cr", REG_SZ, Units(L"a\rb", 4), nullptr},
        {"key and value lines in data", L"", L"Inject", REG_SZ, L"x\"" + kInjection + L'\0', nullptr},
        {"NUL inside data", L"", L"NulInside", REG_SZ, Units(L"a\0b", 4), nullptr},
        {"data padded with NULs", L"", L"Padded", REG_SZ, Units(L"abc\0\0", 6), nullptr},
        {"lone high surrogate in data", L"", L"High", REG_SZ, Units(L"a\xD800z", 4), nullptr},
        {"lone low surrogate in data", L"", L"Low", REG_SZ, Units(L"\xDC00", 2), nullptr},
        {"outside the BMP", L"", L"Smile \xD83D\xDE00", REG_SZ, Units(L"\xD83D\xDE00 [x] \"q\" \\ =", 18),
         nullptr},
        {"quote, backslash, equals and brackets in a name", L"", L"a\"b\\c=d[e]f", REG_SZ, Units(L"]", 2),
         nullptr},
        {"line feed in expandable data", L"", L"Expand", REG_EXPAND_SZ, Units(L"%TEMP%\n", 8), nullptr},
        {"key line in a string list", L"", L"Multi", REG_MULTI_SZ, L"one" + kInjection + Units(L"\0two\0", 6),
         nullptr},
        {"line feed in a value name", L"", L"evil\n[HKEY_CURRENT_USER]\n\"Evil\"", REG_SZ, Units(L"1", 2),
         "'evil\\n[HKEY_CURRENT_USER]\\n\"Evil\"'"},
        {"carriage return in a value name", L"", L"cr\rname", REG_SZ, Units(L"1", 2), "'cr\\rname'"},
        {"lone surrogate in a value name", L"", L"half \xD800", REG_SZ, Units(L"1", 2), "'half \\uD800'"},
        {"a key's line closed and a hive line in a key name", L"k]\n\n[HKEY_CURRENT_USER", L"v", REG_SZ,
         Units(L"1", 2), "'k]\\n\\n[HKEY_CURRENT_USER'"},
        {"carriage return in a key name", L"cr\rkey", L"v", REG_SZ, Units(L"1", 2), "'cr\\rkey'"},
        {"lone surrogate in a key name, with its tree", L"half\xDBFF\\deeper", L"v", REG_SZ, Units(L"1", 2),
         "'half\\uDBFF'"},
        {"closing bracket in a key name", L"a]b", L"v", REG_SZ, Units(L"1", 2), nullptr},
        {"brackets only", L"]", L"[", REG_SZ, Units(L"]", 2), nullptr},
        {"opening bracket in a key name", L"[x\\x[y]z", L"v", REG_SZ, Units(L"1", 2), nullptr},
        {"quote, equals and outside the BMP in a key name", L"q\"= \xD83D\xDE00", L"", REG_SZ, Units(L"d", 2),
         nullptr},
    };
}

// Names with a NUL inside, which only the native calls take: a value "nul\0name" and
// a key "nul\0key" holding a value, beside a key "nul" that the cut name would hit.
void AddNamesWithNul(TestKey& key)
{
    using SetValue = LONG(NTAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, void*, ULONG);
    using CreateKey =
        LONG(NTAPI*)(HANDLE*, ACCESS_MASK, OBJECT_ATTRIBUTES*, ULONG, UNICODE_STRING*, ULONG, ULONG*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto setValue =
        reinterpret_cast<SetValue>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtSetValueKey")));
    const auto createKey =
        reinterpret_cast<CreateKey>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtCreateKey")));
    ASSERT_TRUE(setValue && createKey);
    key.SetText(L"nul", L"v", L"the key of the cut name");
    Misc::RegKey parent;
    ASSERT_EQ(::RegOpenKeyExW(key.Hive(), key.Path().c_str(), 0, KEY_ALL_ACCESS, parent.Put()),
              ERROR_SUCCESS);
    auto name = [](const wchar_t* text, std::size_t chars)
    {
        const USHORT bytes = static_cast<USHORT>(chars * sizeof(wchar_t));
        return UNICODE_STRING{bytes, bytes, const_cast<wchar_t*>(text)};
    };
    UNICODE_STRING valueName = name(L"nul\0name", 8);
    wchar_t data[] = L"1";
    ASSERT_EQ(setValue(parent.Get(), &valueName, 0, REG_SZ, data, sizeof(data)), 0);
    UNICODE_STRING keyName = name(L"nul\0key", 7);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE, parent.Get(), nullptr);
    HANDLE raw = nullptr;
    ASSERT_EQ(createKey(&raw, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr), 0);
    Misc::RegKey child(static_cast<HKEY>(raw));
    ASSERT_EQ(::RegSetValueExW(child.Get(), L"v", 0, REG_SZ, reinterpret_cast<BYTE*>(data), sizeof(data)),
              ERROR_SUCCESS);
}

void FillHostileKey(TestKey& key)
{
    for (const HostileValue& v : HostileValues())
        key.Set(v.subKey, v.name, v.type, v.text.data(), static_cast<DWORD>(v.text.size() * sizeof(wchar_t)));
    // 1 MiB of bytes, and of text broken into lines.
    std::vector<BYTE> big(1 << 20);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<BYTE>(i * 31);
    key.Set(L"", L"Big", REG_BINARY, big.data(), static_cast<DWORD>(big.size()));
    std::wstring lines(1 << 19, L'x');
    for (std::size_t i = 0; i < lines.size(); i += 64)
        lines[i] = L'\n';
    key.Set(L"", L"BigText", REG_SZ, lines.data(), static_cast<DWORD>(lines.size() * sizeof(wchar_t)));
    // 512 levels.
    std::wstring deep = L"deep";
    for (int level = 1; level < 512; ++level)
        deep += L"\\d";
    key.SetDword(deep, L"Level", 512);
    AddNamesWithNul(key);
}

bool Import(const std::wstring& utf8File, const std::wstring& utf16File, bool withReg)
{
    if (!ChecksTest::WriteUtf16Copy(utf8File, utf16File))
        return false;
    const std::wstring quoted = L"\"" + utf16File + L"\"";
    return ChecksTest::RunProgram(withReg ? L"reg.exe import " + quoted : L"regedit.exe /s " + quoted) == 0;
}

// Whatever a broken file imported into the hive's root is taken out again, so that the
// prefix stays usable for the other tests.
void RemoveAdded(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after)
{
    for (const std::wstring& entry : after)
    {
        if (std::find(before.begin(), before.end(), entry) != before.end())
            continue;
        if (entry.rfind(L"value ", 0) == 0)
            ::RegDeleteValueW(HKEY_CURRENT_USER, entry.substr(6).c_str());
        else
            ::RegDeleteTreeW(HKEY_CURRENT_USER, entry.substr(4).c_str());
    }
}

class RegistryHostileTest : public OrvoTest::TempDirTest
{
};

// A file that no key or value can break: every line one of the five kinds, nothing
// imported outside the exported key, every value written imported back exactly, and
// every value left out named on standard output.
TEST_F(RegistryHostileTest, NoKeyOrValueBreaksTheFileAndEverythingWrittenImportsBack)
{
    const std::wstring parent =
        Misc::Format(L"Software\\OrvoChecksTest\\Hostile %lu", ::GetCurrentProcessId());
    for (const bool withReg : {false, true})
    {
        SCOPED_TRACE(withReg ? "reg import" : "regedit");
        TestKey key(HKEY_CURRENT_USER, parent + L"\\Orvo", 0);
        FillHostileKey(key);
        StdoutCapture capture(PathOf(L"stdout.txt"));
        ASSERT_EQ(ExportRegistryKey(key.Hive(), key.Path(), PathOf(L"first.reg"), 0), ERROR_SUCCESS);
        const std::string printed = capture.Finish();
        const std::string first = ReadBytes(PathOf(L"first.reg"));
        EXPECT_EQ(ChecksTest::FirstStrayRegLine(first, "HKEY_CURRENT_USER\\" + Narrow(key.Path())), "");
        for (const HostileValue& v : HostileValues())
        {
            if (v.leftOut)
            {
                EXPECT_NE(printed.find(v.leftOut), std::string::npos) << v.what << "\n" << printed;
            }
        }
        EXPECT_NE(printed.find("value name 'nul\\0name'"), std::string::npos) << printed;
        EXPECT_NE(printed.find("sub-key name 'nul\\0key'"), std::string::npos) << printed;
        EXPECT_EQ(printed.find("ERROR"), std::string::npos) << printed;
        EXPECT_NE(first.find("\"Padded\"=\"abc\"\r\n"), std::string::npos);
        EXPECT_NE(first.find("\"Note\"=hex(1):66,00,69,00"), std::string::npos);
        std::string deepest = "\\deep";
        for (int level = 1; level < 512; ++level)
            deepest += "\\d";
        EXPECT_NE(first.find(deepest + "]\r\n\"Level\"=dword:00000200\r\n"), std::string::npos)
            << "512 levels";
        EXPECT_GT(first.size(), std::size_t(6) << 20) << "1 MiB of bytes and of text, 3 characters a byte";

        const std::vector<std::wstring> rootBefore = KeyListing(HKEY_CURRENT_USER, L"");
        ASSERT_TRUE(key.Delete());
        ASSERT_TRUE(Import(PathOf(L"first.reg"), PathOf(L"import.reg"), withReg));
        const std::vector<std::wstring> rootAfter = KeyListing(HKEY_CURRENT_USER, L"");
        EXPECT_EQ(rootAfter, rootBefore);
        RemoveAdded(rootBefore, rootAfter);
        EXPECT_EQ(KeyListing(HKEY_CURRENT_USER, parent), std::vector<std::wstring>{L"key Orvo"});
        ASSERT_EQ(ExportRegistryKey(key.Hive(), key.Path(), PathOf(L"second.reg"), 0), ERROR_SUCCESS);
        EXPECT_TRUE(ReadBytes(PathOf(L"second.reg")) == first) << "not imported back byte for byte";
    }
}

} // namespace
