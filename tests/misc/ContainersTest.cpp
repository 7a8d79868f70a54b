#include "misc/Array.h"
#include "misc/List.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct Named
{
    explicit Named(std::wstring n, int* deaths = nullptr) : name(std::move(n)), deathCount(deaths) {}
    ~Named()
    {
        if (deathCount)
            ++*deathCount;
    }
    const std::wstring& Key() const { return name; }
    std::wstring name;
    int* deathCount;
};

template <typename L> std::vector<std::wstring> Names(L& list)
{
    std::vector<std::wstring> names;
    for (Named* n = list.First(); n; n = list.Next())
        names.push_back(n->name);
    return names;
}

std::vector<std::wstring> SortedInsert(std::initializer_list<const wchar_t*> names)
{
    Misc::SortedList<Named> list;
    for (const wchar_t* n : names)
        list.Add(std::make_unique<Named>(n));
    return Names(list);
}

using V = std::vector<std::wstring>;

TEST(SortedList, OrdersCaseInsensitivelyWithNewcomerBeforeEquals)
{
    struct Case
    {
        std::initializer_list<const wchar_t*> inserted;
        V expected;
    };
    const Case cases[] = {
        {{L"Zeta", L"alpha", L"Beta"}, {L"alpha", L"Beta", L"Zeta"}},
        {{L"b.txt", L"A.txt", L"a.txt"}, {L"a.txt", L"A.txt", L"b.txt"}},
        {{L"xa.dll", L"x_y.dll"}, {L"x_y.dll", L"xa.dll"}},
        {{L"x1.dll", L"x.dll"}, {L"x.dll", L"x1.dll"}},
        {{L"x.dll", L"x1.dll"}, {L"x.dll", L"x1.dll"}},
        {{L"c", L"a", L"b", L"d"}, {L"a", L"b", L"c", L"d"}},
        {{L"Same", L"SAME", L"same"}, {L"same", L"SAME", L"Same"}},
        {{L"", L"a", L""}, {L"", L"", L"a"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SortedInsert(c.inserted), c.expected);
}

TEST(CompareKeys, FoldsAsciiAndFromU0100ButNotLatin1)
{
    struct Case
    {
        std::wstring a, b;
        int sign;
    };
    const Case cases[] = {
        {L"ABC", L"abc", 0},
        {L"abc", L"abd", -1},
        {L"ab", L"abc", -1},
        {L"abc", L"ab", 1},
        {L"", L"", 0},
        {L"_", L"a", -1},          // 0x5F is below the folded 'a'
        {L"_", L"A", -1},          // and below 'A' folded to 'a' as well
        {L"\u00C4", L"\u00E4", -1}, // Latin-1 capitals are not folded
        {L"\u00E4", L"\u00C4", 1},
        {L"\u0100", L"\u0101", 0}, // from U+0100 the platform mapping folds
        {L"\u0391", L"\u03B1", 0}, // Greek capital alpha
        {L"\u0416", L"\u0436", 0}, // Cyrillic
    };
    for (const Case& c : cases)
    {
        const int r = Misc::CompareKeys(c.a, c.b);
        const int sign = (r > 0) - (r < 0);
        EXPECT_EQ(sign, c.sign) << testing::PrintToString(c.a) << " vs " << testing::PrintToString(c.b);
    }
    EXPECT_EQ(Misc::CompareKeys(L"a", L"c"), 'a' - 'c'); // the difference of the pair
}

TEST(List, AppendsAndCursorWalksBothWays)
{
    Misc::List<Named> list;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Next(), nullptr);
    list.Add(std::make_unique<Named>(L"z"));
    list.Add(std::make_unique<Named>(L"a"));
    list.Add(std::make_unique<Named>(L"m"));
    EXPECT_EQ(list.Add(nullptr), nullptr);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(Names(list), (V{L"z", L"a", L"m"}));
    EXPECT_EQ(list.Next(), nullptr) << "past the end stays at the end";
    ASSERT_NE(list.Last(), nullptr);
    EXPECT_EQ(list.Current()->name, L"m");
    EXPECT_EQ(list.Prev()->name, L"a");
    EXPECT_EQ(list.Prev()->name, L"z");
    EXPECT_EQ(list.Prev(), nullptr);
}

TEST(List, ClearAndDestructionDeleteEveryElement)
{
    int deaths = 0;
    {
        Misc::List<Named> list;
        for (int i = 0; i < 4; ++i)
            list.Add(std::make_unique<Named>(L"x", &deaths));
        list.First();
        list.Clear();
        EXPECT_EQ(deaths, 4);
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.Current(), nullptr);
        list.Add(std::make_unique<Named>(L"y", &deaths));
        Misc::SortedList<Named> sorted;
        sorted.Add(std::make_unique<Named>(L"s", &deaths));
    }
    EXPECT_EQ(deaths, 6);
}

TEST(Array, GrowsAndOwns)
{
    int deaths = 0;
    {
        Misc::Array<Named> array;
        for (int i = 0; i < 100; ++i)
            array.Add(std::make_unique<Named>(std::to_wstring(i), &deaths));
        EXPECT_EQ(array.Count(), 100u);
        EXPECT_EQ(array[42].name, L"42");
        EXPECT_EQ(array.At(100), nullptr);
    }
    EXPECT_EQ(deaths, 100);
}

} // namespace
