#include "UiTestSupport.h"

#include "resource.h"
#include "ui/CommonDraw.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <vector>

namespace
{

struct DrawCase
{
    const char* name;
    DWORD stage;
    bool hasRecord;
    COLORREF textColour;
    UINT state;
    COLORREF expectText;
    COLORREF expectBack;
};

TEST(CommonDrawCustomDraw, RowsTakeTheirRecordedColours)
{
    const COLORREF kText = RGB(1, 2, 3), kBack = RGB(4, 5, 6);
    const COLORREF kRed = 0x00007F, kPink = 0xDFDFFF;
    const DrawCase cases[] = {
        {"no record keeps the defaults", CDDS_ITEMPREPAINT, false, 0, CDIS_SELECTED, kText, kBack},
        {"colour 0 keeps the defaults", CDDS_ITEMPREPAINT, true, 0, 0, kText, kBack},
        {"colour 0 keeps the defaults when selected", CDDS_ITEMPREPAINT, true, 0, CDIS_SELECTED, kText,
         kBack},
        {"a coloured row not selected", CDDS_ITEMPREPAINT, true, kRed, 0, kRed, kBack},
        {"a coloured row selected shows its background", CDDS_ITEMPREPAINT, true, kRed, CDIS_SELECTED, kRed,
         kPink},
        {"the whole-control stage changes nothing", CDDS_PREPAINT, true, kRed, CDIS_SELECTED, kText, kBack},
    };
    for (const auto& c : cases)
    {
        UI::ItemInfo record;
        record.textColour = c.textColour;
        record.selectedBackground = kPink;
        NMTVCUSTOMDRAW draw = {};
        draw.nmcd.dwDrawStage = c.stage;
        draw.nmcd.uItemState = c.state;
        draw.nmcd.lItemlParam = c.hasRecord ? reinterpret_cast<LPARAM>(&record) : 0;
        draw.clrText = kText;
        draw.clrTextBk = kBack;
        EXPECT_EQ(UI::CommonDraw::OnCustomDraw(&draw), 0x22) << c.name;
        EXPECT_EQ(draw.clrText, c.expectText) << c.name;
        EXPECT_EQ(draw.clrTextBk, c.expectBack) << c.name;
    }
    EXPECT_EQ(UI::CommonDraw::OnCustomDraw(nullptr), 0);
}

TEST(CommonDrawCustomDraw, SelectsTheRecordsFont)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    UI::CommonDraw painter;
    UI::ItemInfo record;
    record.font = painter.Font();
    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.hdc = dc;
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(&record);
    UI::CommonDraw::OnCustomDraw(&draw);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), painter.Font());
    ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));
    ::DeleteDC(dc);
}

// A tree in a window whose procedure records the item data of every row deleted.
class TreeTest : public ::testing::Test
{
  protected:
    static LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NOTIFY)
        {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TVN_DELETEITEMW)
                s_deleted.push_back(reinterpret_cast<NMTREEVIEWW*>(lParam)->itemOld.lParam);
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void SetUp() override
    {
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_TREEVIEW_CLASSES};
        ::InitCommonControlsEx(&init);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &HostProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvoTreeTestHost";
        ::RegisterClassW(&wc);
        m_host = ::CreateWindowExW(0, L"OrvoTreeTestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300,
                                   nullptr, nullptr, nullptr, nullptr);
        m_tree = ::CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 0, 0, 300, 300,
                                   m_host, reinterpret_cast<HMENU>(IDC_TREE), nullptr, nullptr);
        ASSERT_NE(m_tree, nullptr);
        s_deleted.clear();
    }
    void TearDown() override { ::DestroyWindow(m_host); }

    LPARAM DataOf(HTREEITEM row) const
    {
        TVITEMW item = {};
        item.mask = TVIF_PARAM;
        item.hItem = row;
        ::SendMessageW(m_tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.lParam;
    }
    std::size_t RowCount() const
    {
        return static_cast<std::size_t>(::SendMessageW(m_tree, TVM_GETCOUNT, 0, 0));
    }

    static std::vector<LPARAM> s_deleted;
    HWND m_host = nullptr;
    HWND m_tree = nullptr;
};

std::vector<LPARAM> TreeTest::s_deleted;

TEST_F(TreeTest, AddedRowsCarryTheirRecords)
{
    UI::CommonDraw painter;
    UI::ItemInfo info;
    info.kind = 14;
    info.textColour = 0x7F0000;
    info.selectedBackground = 0xFFDFDF;
    HTREEITEM top = painter.AddRow(m_tree, TVI_ROOT, L"folder", info);
    ASSERT_NE(top, nullptr);
    info.kind = 15;
    HTREEITEM child = painter.AddRow(m_tree, top, L"file", info);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(painter.ItemCount(), 2u);
    const auto* record = reinterpret_cast<const UI::ItemInfo*>(DataOf(child));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, 15);
    EXPECT_EQ(record->textColour, 0x7F0000u);
    EXPECT_EQ(record->selectedBackground, 0xFFDFDFu);
    EXPECT_EQ(reinterpret_cast<const UI::ItemInfo*>(DataOf(top))->kind, 14);
    // The last child: a second file goes after the first.
    HTREEITEM second = painter.AddRow(m_tree, top, L"second", info);
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(
                  ::SendMessageW(m_tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child))),
              second);
    // No tree, no row and no record.
    EXPECT_EQ(painter.AddRow(nullptr, TVI_ROOT, L"lost", info), nullptr);
    EXPECT_EQ(painter.ItemCount(), 3u);
}

TEST_F(TreeTest, EmptyingNeverLeavesARowWithAFreedRecord)
{
    UI::CommonDraw painter;
    painter.SetNeedsFill(false);
    UI::ItemInfo info;
    HTREEITEM parent = TVI_ROOT;
    for (int depth = 0; depth < 4; ++depth)
    {
        HTREEITEM row = painter.AddRow(m_tree, parent, L"row", info);
        painter.AddRow(m_tree, parent, L"sibling", info);
        painter.AddRow(m_tree, row, L"leaf", info);
        parent = row;
    }
    ASSERT_EQ(RowCount(), 12u);
    painter.EmptyTree(m_tree);
    EXPECT_EQ(RowCount(), 0u);
    EXPECT_EQ(painter.ItemCount(), 0u);
    EXPECT_TRUE(painter.NeedsFill());
    // Every row was already detached when the tree deleted it.
    ASSERT_EQ(s_deleted.size(), 12u);
    for (LPARAM data : s_deleted)
        EXPECT_EQ(data, 0);
}

TEST_F(TreeTest, DetachingASubtreeLeavesTheRestAttached)
{
    UI::CommonDraw painter;
    UI::ItemInfo info;
    HTREEITEM a = painter.AddRow(m_tree, TVI_ROOT, L"a", info);
    HTREEITEM a1 = painter.AddRow(m_tree, a, L"a1", info);
    HTREEITEM a11 = painter.AddRow(m_tree, a1, L"a11", info);
    HTREEITEM b = painter.AddRow(m_tree, TVI_ROOT, L"b", info);
    UI::CommonDraw::DetachItemData(m_tree, a);
    EXPECT_NE(DataOf(a), 0); // the row itself keeps its record; only its descendants lose theirs
    EXPECT_EQ(DataOf(a1), 0);
    EXPECT_EQ(DataOf(a11), 0);
    EXPECT_NE(DataOf(b), 0);
    UI::CommonDraw::DetachItemData(m_tree, TVI_ROOT);
    EXPECT_EQ(DataOf(a), 0);
    EXPECT_EQ(DataOf(b), 0);
}

TEST(CommonDrawFont, IsTheFixedPitchTreeFont)
{
    UI::CommonDraw painter;
    ASSERT_NE(painter.Font(), nullptr);
    LOGFONTW description = {};
    ASSERT_EQ(::GetObjectW(painter.Font(), sizeof description, &description),
              static_cast<int>(sizeof description));
    EXPECT_EQ(description.lfHeight, -11);
    EXPECT_EQ(description.lfWeight, 300);
    EXPECT_EQ(description.lfPitchAndFamily, 0x31);
    EXPECT_STREQ(description.lfFaceName, L"Consolas");
    EXPECT_TRUE(painter.NeedsFill());
}

} // namespace
