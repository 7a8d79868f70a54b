#include "system/SystemDialog.h"

#include "misc/Handles.h"
#include "resource.h"
#include "SampleModel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using OrvoTest::Narrow;

class RecordingSink : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t* text) override { activities.push_back(Narrow(text)); }
    void SetStatus(const wchar_t* text) override { statuses.push_back(Narrow(text)); }
    void Tick(bool big) override { big ? ++bigTicks : ++smallTicks; }
    std::vector<std::string> activities, statuses;
    int bigTicks = 0, smallTicks = 0;
};

// One line per tree row, depth-first: indentation by depth, "+" for an expanded row,
// the text, and the record's kind ("-" for a row without record).
void Snapshot(HWND tree, HTREEITEM first, int depth, std::vector<std::string>& lines)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item))
    {
        wchar_t text[512] = {};
        TVITEMW data = {};
        data.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
        data.stateMask = TVIS_EXPANDED;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = 512;
        TreeView_GetItem(tree, &data);
        const auto* record = reinterpret_cast<const UI::ItemInfo*>(data.lParam);
        lines.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') +
                        ((data.state & TVIS_EXPANDED) ? "+ " : "  ") + Narrow(text) + " #" +
                        (record ? std::to_string(record->kind) : std::string("-")));
        Snapshot(tree, TreeView_GetChild(tree, item), depth + 1, lines);
    }
}

std::vector<std::string> Snapshot(HWND tree)
{
    std::vector<std::string> lines;
    Snapshot(tree, TreeView_GetRoot(tree), 0, lines);
    return lines;
}

const std::vector<std::string> kEmptyTree = {
    "  Windows OS #11",
    "    < No info > #0",
    "  Network adapters #12",
    "    < No adapters found > #0",
};

const std::vector<std::string> kSampleTree = {
    "+ Windows OS #11",
    "    Version: Windows 10 (10.0  build 19045) #0",
    "    Install date: 02-10-2096 07:06:40 #0",
    "    Architecture: x64 (Running under WOW64) #0",
    "    Computer Name: DESK-07 #0",
    "+ Network adapters #12",
    "    Name: Ethernet #13",
    "      Description: Intel(R) Ethernet <I219-V> & Co #0",
    "      Address: 00-1A-2B-3C-4D-5E #0",
    "      Type: ETHERNET_CSMACD #0",
    "    + IP Addresses #13",
    "      + IPv4 #13",
    "        + Unicast #13",
    "            192.168.1.10  [ desk-07.example ] #0",
    "          Anycast #13",
    "            192.168.1.255 #0",
    "          Multicast #13",
    "            224.0.0.1 #0",
    "        IPv6 #13",
    "        + Unicast #13",
    "            fe80::1 #0",
    "          Multicast #13",
    "            ff02::1 #0",
    "    Name: Wi-Fi #13",
    "      Description: Wireless 'N' adapter #0",
    "      Address: FF #0",
    "      Type: IEEE80211 #0",
    "    Name: Lab #13",
    "      Description: USB NIC #0",
    "      Address: FB-FF #0",
    "      Type: ETHERNET_CSMACD #0",
    "    + IP Addresses #13",
    "      + IPv4 #13",
    "          Anycast #13",
    "            10.0.0.1 #0",
    "        IPv6 #13",
    "        + Unicast #13",
    "            fd00::2 #0",
};

std::string Join(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The page on a hidden top-level host, as the main window's tab strip holds it.
class SystemPage : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_winsock = std::make_unique<Misc::WinsockScope>();
        s_hostWindow = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 500, nullptr,
                                         nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite()
    {
        if (s_hostWindow)
            ::DestroyWindow(s_hostWindow);
        s_hostWindow = nullptr;
        s_winsock.reset();
    }
    void SetUp() override
    {
        ASSERT_NE(s_hostWindow, nullptr);
        m_page = std::make_unique<CSystemDialog>(s_hostWindow);
        ASSERT_TRUE(m_page->Create(s_hostWindow, IDD_SYSTEM_PAGE));
        ASSERT_NE(m_page->Tree(), nullptr);
    }
    void TearDown() override { m_page.reset(); }

    static HWND s_hostWindow;
    static std::unique_ptr<Misc::WinsockScope> s_winsock;
    SystemInfo m_model;
    std::unique_ptr<CSystemDialog> m_page;
};
HWND SystemPage::s_hostWindow = nullptr;
std::unique_ptr<Misc::WinsockScope> SystemPage::s_winsock;

TEST_F(SystemPage, BeforeAnyScanTwoHeadingsWithPlaceholders)
{
    EXPECT_EQ(Join(Snapshot(m_page->Tree())), Join(kEmptyTree));
    EXPECT_FALSE(::IsWindowVisible(m_page->GetDlgItem(IDC_SYSTEM_EDIT)));
    EXPECT_FALSE(::IsWindowVisible(m_page->GetDlgItem(IDC_SYSTEM_CALC)));
    EXPECT_NE(m_page->GetDlgItem(IDC_SYSTEM_EDIT), nullptr);
    EXPECT_EQ(m_page->Painter().ItemCount(), 4u);
}

TEST_F(SystemPage, TreeFontIsLightConsolas)
{
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_page->Tree(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font, m_page->TreeFont());
    LOGFONTW description = {};
    ASSERT_TRUE(::GetObjectW(font, sizeof(description), &description));
    EXPECT_EQ(description.lfHeight, -12);
    EXPECT_EQ(description.lfWeight, 300);
    EXPECT_EQ(description.lfPitchAndFamily, 0x31);
    EXPECT_EQ(description.lfOutPrecision, OUT_DEVICE_PRECIS);
    EXPECT_EQ(description.lfClipPrecision, CLIP_LH_ANGLES);
    EXPECT_EQ(Narrow(description.lfFaceName), "Consolas");
}

TEST_F(SystemPage, ModelShownWithItsExpansionStatesAndRebuiltOnEveryFill)
{
    SystemTest::BuildSampleModel(m_model);
    m_page->Show(&m_model);
    EXPECT_EQ(Join(Snapshot(m_page->Tree())), Join(kSampleTree));
    const std::size_t records = m_page->Painter().ItemCount();
    EXPECT_EQ(records, kSampleTree.size()) << "every System row carries a record";

    // The user opens and closes rows; selecting the tab again restores the states.
    HWND tree = m_page->Tree();
    HTREEITEM adapters = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
    HTREEITEM firstAdapter = TreeView_GetChild(tree, adapters);
    TreeView_Expand(tree, firstAdapter, TVE_EXPAND);
    TreeView_Expand(tree, TreeView_GetRoot(tree), TVE_COLLAPSE);
    ASSERT_NE(Join(Snapshot(tree)), Join(kSampleTree));
    m_page->FillTree();
    EXPECT_EQ(Join(Snapshot(tree)), Join(kSampleTree));
    EXPECT_EQ(m_page->Painter().ItemCount(), records) << "the old records went with the old rows";

    m_page->Clear();
    EXPECT_EQ(Join(Snapshot(tree)), Join(kEmptyTree));
    EXPECT_EQ(m_page->Model(), nullptr);
}

TEST_F(SystemPage, ScanCollectsAndShowsTheRealFacts)
{
    RecordingSink sink;
    m_model.Scan(&sink);
    m_page->Show(&m_model);
    EXPECT_EQ(sink.activities, (std::vector<std::string>{"SCANNING SYSTEM ...", "SCANNING ADAPTERS ..."}));
    EXPECT_GE(sink.bigTicks, 4) << "three for the facts, one per adapter record";
    EXPECT_TRUE(sink.statuses.empty());

    const std::vector<std::string> lines = Snapshot(m_page->Tree());
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "+ Windows OS #11");
    EXPECT_EQ(lines[1].rfind("    Version: Windows ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("    Install date: ", 0), 0u) << lines[2];
#ifdef _WIN64
    EXPECT_EQ(lines[3], "    Architecture: x64 #0");
#endif
    EXPECT_EQ(lines[4].rfind("    Computer Name: ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "+ Network adapters #12");
    EXPECT_EQ(lines[6].rfind("    Name: ", 0), 0u) << lines[6];
    EXPECT_NE(Join(lines).find("+ IP Addresses #13"), std::string::npos) << Join(lines);

    m_model.Scan(nullptr); // without a sink
    m_page->Show(&m_model);
    EXPECT_EQ(Snapshot(m_page->Tree())[0], "+ Windows OS #11");
}

// The page answers the tree's custom-draw notifications through the painter base:
// every row asks for item drawing and keeps the tree's own colours.
TEST_F(SystemPage, TreeCustomDrawGoesThroughThePainter)
{
    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = m_page->Tree();
    draw.nmcd.hdr.idFrom = IDC_TREE;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    UI::ItemInfo record;
    record.kind = kSystemItemOsHeading;
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(&record);
    draw.clrText = 0x123456;
    ASSERT_TRUE(::SendMessageW(m_page->GetHwnd(), WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_EQ(::GetWindowLongPtrW(m_page->GetHwnd(), DWLP_MSGRESULT), CDRF_NOTIFYITEMDRAW | CDRF_NEWFONT);
    EXPECT_EQ(draw.clrText, 0x123456u);
}

TEST_F(SystemPage, TreeGrowsWithThePage)
{
    RECT before = {};
    ::GetWindowRect(m_page->Tree(), &before);
    RECT page = {};
    ::GetWindowRect(m_page->GetHwnd(), &page);
    ::SetWindowPos(m_page->GetHwnd(), nullptr, 0, 0, page.right - page.left + 100,
                   page.bottom - page.top + 40, SWP_NOMOVE | SWP_NOZORDER);
    RECT after = {};
    ::GetWindowRect(m_page->Tree(), &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 40);
}

// Ctrl+C and the context menu's "Copy" put the selected row's text, as shown, on the
// clipboard.
TEST_F(SystemPage, CopyPutsTheSelectedRowOnTheClipboard)
{
    SystemTest::BuildSampleModel(m_model);
    m_page->Show(&m_model);
    HWND tree = m_page->Tree();
    const HTREEITEM heading = TreeView_GetRoot(tree);
    const HTREEITEM adapter = TreeView_GetChild(tree, TreeView_GetNextSibling(tree, heading));
    const struct
    {
        HTREEITEM row;
        bool byKey; // Ctrl+C in the tree, else the menu's command
    } cases[] = {{heading, true}, {TreeView_GetChild(tree, heading), true}, {adapter, false}};
    for (const auto& c : cases)
    {
        ASSERT_NE(c.row, nullptr);
        TreeView_SelectItem(tree, c.row);
        OrvoTest::EmptyClipboard();
        if (c.byKey)
        {
            BYTE saved[256] = {}, state[256] = {};
            ::GetKeyboardState(saved);
            state[VK_CONTROL] = 0x80;
            ::SetKeyboardState(state);
            ::SendMessageW(tree, WM_KEYDOWN, 'C', 0);
            ::SetKeyboardState(saved);
        }
        else
        {
            ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, IDM_COPY_ROW, 0);
        }
        wchar_t text[512] = {};
        TVITEMW item = {TVIF_TEXT, c.row};
        item.pszText = text;
        item.cchTextMax = 512;
        TreeView_GetItem(tree, &item);
        EXPECT_FALSE(std::wstring(text).empty());
        EXPECT_EQ(OrvoTest::ClipboardText(), text);
    }
}

} // namespace
