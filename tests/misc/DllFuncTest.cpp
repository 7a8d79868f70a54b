#include "misc/DllFunc.h"

#include <gtest/gtest.h>

namespace
{

TEST(DllFunc, ResolvesFromALibraryLoadedByName)
{
    Misc::DllFunc<DWORD WINAPI()> tick(L"kernel32.dll", "GetTickCount");
    ASSERT_TRUE(tick.IsAvailable());
    EXPECT_GT(tick(), 0u);

    Misc::DllFunc<int WINAPI(LPCWSTR, LPCWSTR)> compare(L"kernel32.dll", "lstrcmpiW");
    ASSERT_TRUE(compare);
    EXPECT_EQ(compare(L"ABC", L"abc"), 0);
}

TEST(DllFunc, MissingLibraryOrFunctionIsUnavailable)
{
    Misc::DllFunc<void WINAPI()> noLibrary(L"no_such_library_orvo.dll", "Anything");
    EXPECT_FALSE(noLibrary.IsAvailable());
    Misc::DllFunc<void WINAPI()> noFunction(L"kernel32.dll", "NoSuchFunctionOrvo");
    EXPECT_FALSE(noFunction.IsAvailable());
    EXPECT_EQ(noFunction.Get(), nullptr);
}

} // namespace
