#include "inventory/ProductKey.h"

#include "misc/Handles.h"
#include "misc/Text.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace
{

using OrvoTest::Narrow;

TEST(ProductKeyPath, UsesOnlyTheMajorVersionBits)
{
    struct Case
    {
        std::uint16_t version;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0x600, L"SoftWare\\Varnholt Brevik\\Orvo\\6.x"},  {0x500, L"SoftWare\\Varnholt Brevik\\Orvo\\5.x"},
        {0x400, L"SoftWare\\Varnholt Brevik\\Orvo\\4.0"},  {0x1600, L"SoftWare\\Varnholt Brevik\\Orvo\\6.x"},
        {0x6FF, L"SoftWare\\Varnholt Brevik\\Orvo\\6.x"},  {0x0000, L"SoftWare\\Varnholt Brevik\\Orvo\\0.x"},
        {0xF00, L"SoftWare\\Varnholt Brevik\\Orvo\\15.x"}, {0x1400, L"SoftWare\\Varnholt Brevik\\Orvo\\4.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProductKeyPath(L"Varnholt Brevik", L"Orvo", c.version), c.expected) << c.version;
}

TEST(RegistryDataText, StopsAtTheFirstZeroOrTheEnd)
{
    struct Case
    {
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {std::string("C\0:\0\\\0\0\0", 8), L"C:\\"},
        {std::string("A\0B\0", 4), L"AB"},        // no terminating zero
        {std::string("A\0B\0C", 5), L"AB"},       // odd last byte dropped
        {std::string("A\0\0\0B\0\0\0", 8), L"A"}, // a REG_MULTI_SZ gives its first string
        {std::string(), L""},
        {std::string("\0\0", 2), L""},
        {std::string("\x2a\0\0\0", 4), L"*"}, // REG_DWORD 42: a short meaningless text
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(RegistryDataText(reinterpret_cast<const BYTE*>(c.bytes.data()),
                                   static_cast<DWORD>(c.bytes.size())),
                  c.expected)
            << Narrow(c.expected);
    }
    EXPECT_EQ(RegistryDataText(nullptr, 4), L"");
}

// Restores the process-wide key parts after each test.
class ProductKeyState : public ::testing::Test
{
  protected:
    void SetUp() override { m_saved = CurrentProductKey(); }
    void TearDown() override
    {
        SetProductKey(m_saved.subKey, m_saved.version, m_saved.product, m_saved.company);
    }
    ProductKeyParts m_saved;
};

TEST_F(ProductKeyState, EmptyTextsKeepTheirPartTheVersionIsAlwaysStored)
{
    SetProductKey(L"Sub", 0x500, L"Orvo", L"Varnholt Brevik");
    SetProductKey(L"", 0x600, L"", L"");
    EXPECT_EQ(CurrentProductKey().subKey, L"Sub");
    EXPECT_EQ(CurrentProductKey().product, L"Orvo");
    EXPECT_EQ(CurrentProductKey().company, L"Varnholt Brevik");
    EXPECT_EQ(CurrentProductKey().version, 0x600);

    SetProductKey(L"", 0, L"Scenira", L"");
    EXPECT_EQ(CurrentProductKey().product, L"Scenira");
    EXPECT_EQ(CurrentProductKey().company, L"Varnholt Brevik");
    EXPECT_EQ(CurrentProductKey().version, 0);
}

// Writes values under HKLM\SoftWare\<company>\Orvo\6.x in one registry view and
// deletes the company key of both views afterwards.
class ProductKeyRegistry : public ProductKeyState
{
  protected:
    void SetUp() override
    {
        ProductKeyState::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_company =
            L"OrvoTest " + OrvoTest::Widen(info->name()) + Misc::Format(L" %lu", ::GetCurrentProcessId());
        SetProductKey(L"", 0x600, L"Orvo", m_company);
    }
    void TearDown() override
    {
        for (DWORD view : {ProductKeyReader::kView32, ProductKeyReader::kView64})
        {
            Misc::RegKey software;
            if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, view | KEY_ALL_ACCESS, software.Put()) ==
                ERROR_SUCCESS)
                ::RegDeleteTreeW(software.Get(), m_company.c_str());
        }
        ProductKeyState::TearDown();
    }

    void Write(DWORD view, const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        const std::wstring path = ProductKeyPath(m_company, L"Orvo", 0x600);
        Misc::RegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, view | KEY_ALL_ACCESS,
                                    nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    void WriteText(DWORD view, const wchar_t* name, const std::wstring& text)
    {
        Write(view, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring m_company;
};

TEST_F(ProductKeyRegistry, ReadsEachViewOnlyFromThatView)
{
    WriteText(ProductKeyReader::kView32, L"InstallPathPro", L"C:\\Program Files (x86)\\Orvo");
    WriteText(ProductKeyReader::kView64, L"InstallPathPro", L"C:\\Program Files\\Orvo");
    WriteText(ProductKeyReader::kView64, L"OnlyIn64", L"sixty-four");

    ProductKeyReader reader32(ProductKeyReader::kView32);
    ProductKeyReader reader64(ProductKeyReader::kView64);
    bool found = false;
    EXPECT_EQ(reader32.ReadString(L"InstallPathPro", L"none", &found), L"C:\\Program Files (x86)\\Orvo");
    EXPECT_TRUE(found);
    EXPECT_EQ(reader64.ReadString(L"InstallPathPro", L"none", &found), L"C:\\Program Files\\Orvo");
    EXPECT_TRUE(found);
    EXPECT_EQ(reader64.ReadString(L"OnlyIn64", L"none", &found), L"sixty-four");
    EXPECT_TRUE(found);
    EXPECT_EQ(reader32.ReadString(L"OnlyIn64", L"none", &found), L"none");
    EXPECT_FALSE(found);
    EXPECT_EQ(reader32.KeyPath(), ProductKeyPath(m_company, L"Orvo", 0x600));
    EXPECT_EQ(reader32.View(), 0x200u);
    EXPECT_EQ(reader64.View(), 0x100u);
}

TEST_F(ProductKeyRegistry, AnyExistingValueIsFoundWhateverItsContent)
{
    const DWORD number = 0x00000031; // "1" followed by zero bytes
    Write(ProductKeyReader::kView64, L"Number", REG_DWORD, &number, sizeof number);
    WriteText(ProductKeyReader::kView64, L"Empty", L"");
    Write(ProductKeyReader::kView64, L"NoBytes", REG_SZ, L"", 0);
    const std::wstring unterminated = L"abc";
    Write(ProductKeyReader::kView64, L"Unterminated", REG_BINARY, unterminated.data(), 6);
    const std::wstring expandable = L"%SystemRoot%\\Orvo";
    Write(ProductKeyReader::kView64, L"Expandable", REG_EXPAND_SZ, expandable.c_str(),
          static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));

    ProductKeyReader reader(ProductKeyReader::kView64);
    struct Case
    {
        const wchar_t* name;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Number", L"1"},
        {L"Empty", L""},
        {L"NoBytes", L""},
        {L"Unterminated", L"abc"},
        {L"Expandable", L"%SystemRoot%\\Orvo"}, // not expanded
    };
    for (const Case& c : cases)
    {
        bool found = false;
        EXPECT_EQ(reader.ReadString(c.name, L"default", &found), c.expected) << Narrow(c.name);
        EXPECT_TRUE(found) << Narrow(c.name);
        EXPECT_EQ(reader.Status(), ERROR_SUCCESS);
    }
}

TEST_F(ProductKeyRegistry, MissingKeyValueOrNameGivesTheDefault)
{
    WriteText(ProductKeyReader::kView64, L"InstallPathPro", L"C:\\Orvo");
    ProductKeyReader reader(ProductKeyReader::kView64);

    bool found = true;
    EXPECT_EQ(reader.ReadString(L"", L"default", &found), L"default");
    EXPECT_FALSE(found);
    found = true;
    EXPECT_EQ(reader.ReadString(L"NoSuchValue", L"default", &found), L"default");
    EXPECT_FALSE(found);
    EXPECT_EQ(reader.Status(), ERROR_FILE_NOT_FOUND);

    SetProductKey(L"", 0x500, L"", L""); // 5.x does not exist
    found = true;
    EXPECT_EQ(reader.ReadString(L"InstallPathPro", L"default", &found), L"default");
    EXPECT_FALSE(found);
    EXPECT_NE(reader.Status(), ERROR_SUCCESS);

    SetProductKey(L"", 0x1600, L"", L""); // only bits 8 to 11 count: back at 6.x
    EXPECT_EQ(reader.ReadString(L"InstallPathPro", L"default"), L"C:\\Orvo");
}

} // namespace
