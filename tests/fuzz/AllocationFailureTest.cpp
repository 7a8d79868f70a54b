// Memory that runs out at each allocation in turn: the file facts, the adapter list,
// the product registry reader, the settings processor and the log reader end with
// their ordinary failure values, and no exception leaves them.

#include "inventory/ApplicationsInfo.h"
#include "inventory/FileProcessors.h"
#include "inventory/ProductKey.h"
#include "logs/LogFileReader.h"
#include "misc/Handles.h"
#include "system/Adapters.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

namespace
{

// 0: allocations succeed; n > 0: the n-th allocation from now fails, once.
std::atomic<long> g_failAt{0};

void FailAllocation(long n)
{
    g_failAt = n;
}

// Whether the failure was reached; allocations succeed again afterwards.
bool Disarm()
{
    const bool reached = g_failAt.load() < 0;
    g_failAt = 0;
    return reached;
}

} // namespace

// The replacements below pair malloc with free themselves; GCC cannot see that through
// the inlined library code and takes the pair for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    if (g_failAt.load() > 0 && --g_failAt == 0)
    {
        g_failAt = -1;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{

constexpr long kMaxAllocations = 5000;

TEST(AllocationFailure, FileFactsAreWhollyReadOrLeftEmpty)
{
    const std::wstring path = OrvoTest::FixturePath(L"version_plain.dll");
    ApplicationsInfo::FileInfo whole(path, L"version_plain.dll");
    whole.Fill();
    ASSERT_FALSE(whole.Version().empty());
    long n = 1;
    for (; n < kMaxAllocations; ++n)
    {
        ApplicationsInfo::FileInfo info(path, L"version_plain.dll");
        FailAllocation(n);
        info.Fill();
        if (!Disarm())
            break;
        // Each fact is either the real one or empty; the size "0" or the real one.
        for (const auto& [got, real] :
             {std::pair{info.Version(), whole.Version()}, std::pair{info.Date(), whole.Date()},
              std::pair{info.Platform(), whole.Platform()}, std::pair{info.Digest(), whole.Digest()}})
            EXPECT_TRUE(got.empty() || got == real) << "allocation " << n;
        EXPECT_TRUE(info.Size() == L"0" || info.Size() == whole.Size()) << "allocation " << n;
    }
    EXPECT_GT(n, 5) << "the facts allocate";
    EXPECT_LT(n, kMaxAllocations);
}

TEST(AllocationFailure, AdapterListIsWholeOrEmpty)
{
    AdapterList whole;
    const int count = whole.Collect(nullptr);
    long n = 1;
    for (; n < kMaxAllocations; ++n)
    {
        AdapterList list;
        FailAllocation(n);
        int got = -1;
        EXPECT_NO_THROW(got = list.Collect(nullptr)) << "allocation " << n;
        if (!Disarm())
            break;
        EXPECT_TRUE(got == 0 || got == count) << "allocation " << n;
    }
    EXPECT_LT(n, kMaxAllocations);
}

TEST(AllocationFailure, RegistryReaderGivesTheDefault)
{
    const wchar_t* const key = L"SoftWare\\OrvoAllocTest\\Orvo\\6.x";
    Misc::RegKey created;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                nullptr, created.Put(), nullptr),
              ERROR_SUCCESS);
    const std::wstring value = L"C:\\Program Files\\Velmora 6 with a path too long for any small buffer";
    ::RegSetValueExW(created.Get(), L"InstallPathPro", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    created.Reset();
    SetProductKey(L"", 0x600, L"Orvo", L"OrvoAllocTest");
    ProductKeyReader reader(KEY_WOW64_64KEY);
    const std::wstring name = L"InstallPathPro";
    const std::wstring fallback = L"-";
    long n = 1;
    for (; n < kMaxAllocations; ++n)
    {
        bool found = true;
        std::wstring text;
        FailAllocation(n);
        EXPECT_NO_THROW(text = reader.ReadString(name, fallback, &found)) << "allocation " << n;
        if (!Disarm())
        {
            EXPECT_EQ(text, value);
            break;
        }
        EXPECT_TRUE((found && text == value) || (!found && text == L"-")) << "allocation " << n;
    }
    EXPECT_LT(n, kMaxAllocations);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SoftWare\\OrvoAllocTest");
}

class AllocationFailureFiles : public OrvoTest::TempDirTest
{
};

// The walk goes on: a settings file keeps all its lines, the first of them, or says it
// could not be read; the log view has the whole text or none.
TEST_F(AllocationFailureFiles, SettingsAndLogTextsAreReadWhollyOrSaidUnreadable)
{
    const std::wstring path = PathOf(L"Velmora.ini");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "[Main]\r\nPath=C:\\Velmora\r\nLanguage=de\r\n"));
    const std::vector<std::wstring> whole = {L"[Main]", L"Path=C:\\Velmora", L"Language=de"};
    std::wstring wholeView;
    ASSERT_TRUE(ReadLogViewText(path, kWholeLog, wholeView));
    long n = 1;
    for (; n < kMaxAllocations; ++n)
    {
        ApplicationsInfo::FolderContent folder(Dir(), L"", L"Test", 0, false);
        folder.AddProcessor(std::make_unique<IniProcessor>());
        std::wstring view;
        bool viewRead = false;
        FailAllocation(n);
        EXPECT_NO_THROW(folder.Walk(nullptr, nullptr)) << "allocation " << n;
        EXPECT_NO_THROW(viewRead = ReadLogViewText(path, kWholeLog, view)) << "allocation " << n;
        if (!Disarm())
            break;
        EXPECT_TRUE(!viewRead || view == wholeView) << "allocation " << n;
        folder.Files().ForEach(
            [&](const ApplicationsInfo::FileInfo& file)
            {
                const std::vector<std::wstring>& lines = file.InfoLines();
                const bool prefix =
                    lines.size() <= whole.size() && std::equal(lines.begin(), lines.end(), whole.begin());
                EXPECT_TRUE(prefix || lines == std::vector<std::wstring>{L"File could not be opened."})
                    << "allocation " << n;
            });
    }
    EXPECT_LT(n, kMaxAllocations);
}

} // namespace
