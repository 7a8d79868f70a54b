// Odd registry data written into the test prefix, read by the product registry
// reader: values of every type and of odd sizes, names with quotes, backslashes and
// characters outside the BMP, and a key 100 levels deep.

#include "FuzzRun.h"
#include "inventory/ProductKey.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace
{

using OrvoTest::Narrow;

constexpr wchar_t kCompany[] = L"OrvoFuzz";

struct OddValue
{
    std::wstring name;
    DWORD type;
    std::string bytes;
};

std::string Wide(const std::wstring& text, bool terminated)
{
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
    if (terminated)
        bytes.append(2, '\0');
    return bytes;
}

std::vector<OddValue> OddValues(uint32_t seed)
{
    std::vector<OddValue> values = {
        {L"DwordOfThree", REG_DWORD, std::string("\x01\x02\x03", 3)},
        {L"OddString", REG_SZ, Wide(L"C:\\Velmora", true) + "x"},
        {L"Unterminated", REG_SZ, Wide(L"C:\\Velmora 6", false)},
        {L"MultiWithoutEnd", REG_MULTI_SZ, Wide(L"one", true) + Wide(L"two", false)},
        {L"EmptyString", REG_SZ, std::string()},
        {L"Big", REG_BINARY, std::string(1024 * 1024, 'A')},
        {L"say \"hi\"", REG_SZ, Wide(L"quoted", true)},
        {L"back\\slash\\\\name", REG_SZ, Wide(L"slashed", true)},
        {L"smile \U0001F600 \xD800 lone", REG_SZ, Wide(L"\U0001F600 outside the BMP", true)},
    };
    std::mt19937 random(seed);
    const DWORD types[] = {REG_NONE, REG_SZ,       REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
                           REG_LINK, REG_MULTI_SZ, REG_QWORD,     0x7FFFFFFF};
    for (DWORD type : types)
        for (std::size_t size : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 4097u})
        {
            std::string bytes(size, '\0');
            for (char& c : bytes)
                c = static_cast<char>(random() % 256);
            values.push_back({L"T" + std::to_wstring(type) + L"_" + std::to_wstring(size), type, bytes});
        }
    return values;
}

class RegistryFuzzTest : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(L"SoftWare\\") + kCompany).c_str());
        SetProductKey(L"Application", 0, L"Product", L"Company");
    }

    static bool Write(const std::wstring& key, const OddValue& value)
    {
        HKEY created = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &created, nullptr) != ERROR_SUCCESS)
            return false;
        const LONG status = ::RegSetValueExW(created, value.name.c_str(), 0, value.type,
                                             reinterpret_cast<const BYTE*>(value.bytes.data()),
                                             static_cast<DWORD>(value.bytes.size()));
        ::RegCloseKey(created);
        return status == ERROR_SUCCESS;
    }
};

TEST_F(RegistryFuzzTest, OddValuesAreReadAsTheirBytesSay)
{
    const uint32_t seed = Fuzz::Seed();
    std::printf("fuzz seed %u\n", seed);
    const std::wstring key = std::wstring(L"SoftWare\\") + kCompany + L"\\Orvo\\6.x";
    const std::vector<OddValue> values = OddValues(seed);
    for (const OddValue& value : values)
        ASSERT_TRUE(Write(key, value)) << Narrow(value.name);
    SetProductKey(L"", 0x600, L"Orvo", kCompany);
    ProductKeyReader reader(ProductKeyReader::kView64);
    Fuzz::Watch watch;
    for (const OddValue& value : values)
    {
        watch.Enter("product registry reader", Narrow(value.name));
        bool found = false;
        const std::wstring text = reader.ReadString(value.name, L"default", &found);
        EXPECT_TRUE(found) << Narrow(value.name);
        EXPECT_EQ(text, RegistryDataText(reinterpret_cast<const BYTE*>(value.bytes.data()),
                                         static_cast<DWORD>(value.bytes.size())))
            << Narrow(value.name);
    }
    bool found = true;
    EXPECT_EQ(reader.ReadString(L"missing \U0001F600", L"default", &found), L"default");
    EXPECT_FALSE(found);
    std::printf("fuzz: %zu odd registry values read\n", values.size());
}

TEST_F(RegistryFuzzTest, KeyHundredLevelsDeep)
{
    std::wstring company = kCompany;
    for (int level = 1; level < 100; ++level)
        company += L"\\" + std::to_wstring(level) + L" \"level\"";
    const std::wstring key = L"SoftWare\\" + company + L"\\Orvo\\6.x";
    ASSERT_TRUE(Write(key, {L"InstallPathPro", REG_SZ, Wide(L"C:\\Deep", true)}));
    SetProductKey(L"", 0x600, L"Orvo", company);
    ProductKeyReader reader(ProductKeyReader::kView64);
    bool found = false;
    EXPECT_EQ(reader.ReadString(L"InstallPathPro", L"", &found), L"C:\\Deep");
    EXPECT_TRUE(found);
}

} // namespace
