#include "inventory/ApplicationsDialog.h"
#include "inventory/ProductKey.h"

#include "misc/Handles.h"
#include "resource.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using OrvoTest::Narrow;

constexpr COLORREF kNoColour = 0xFFFFFFFF;

struct Row
{
    int depth;
    std::string text;
    int kind = -1; // -1: no record
    COLORREF text_colour = kNoColour;
    COLORREF selected = kNoColour;
    bool expanded = false;
    HTREEITEM item = nullptr;
    const UI::ItemInfo* record = nullptr;
};

void Collect(HWND tree, HTREEITEM first, int depth, std::vector<Row>& rows)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item))
    {
        wchar_t text[1024] = {};
        TVITEMW data = {};
        data.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
        data.stateMask = TVIS_EXPANDED;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = 1024;
        TreeView_GetItem(tree, &data);
        Row row{depth, Narrow(text)};
        row.expanded = (data.state & TVIS_EXPANDED) != 0;
        row.item = item;
        row.record = reinterpret_cast<const UI::ItemInfo*>(data.lParam);
        if (row.record)
        {
            row.kind = row.record->kind;
            row.text_colour = row.record->textColour;
            row.selected = row.record->selectedBackground;
        }
        rows.push_back(row);
        Collect(tree, TreeView_GetChild(tree, item), depth + 1, rows);
    }
}

std::vector<Row> Rows(HWND tree)
{
    std::vector<Row> rows;
    Collect(tree, TreeView_GetRoot(tree), 0, rows);
    return rows;
}

// What one row must show: depth, a pattern for the whole text, kind and colours.
struct Expected
{
    int depth;
    std::string pattern;
    int kind;
    COLORREF text_colour;
    COLORREF selected;
};

const char kDate[] = "09-12-2026 17:05";
const char kAbcMd5[] = "900150983CD24FB0D6963F7D28E17F72";
const char kEmptyMd5[] = "D41D8CD98F00B204E9800998ECF8427E";

std::string Quote(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// The page on a hidden top-level host, as the main window's tab strip holds it, and a
// fixture installation on disk: one installation folder with programs, libraries, a
// plug-in, a library of fixtures, a text file and a sub-folder, and one registered
// folder that does not exist.
class FilesPage : public OrvoTest::TempDirTest
{
  protected:
    static void SetUpTestSuite()
    {
        s_host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 500, nullptr,
                                   nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite()
    {
        if (s_host)
            ::DestroyWindow(s_host);
        s_host = nullptr;
    }
    void SetUp() override
    {
        OrvoTest::TempDirTest::SetUp();
        ASSERT_NE(s_host, nullptr);
        m_page = std::make_unique<CApplicationsDialog>(s_host);
        ASSERT_TRUE(m_page->Create(s_host, IDD_FILES_PAGE));
        ASSERT_NE(m_page->Tree(), nullptr);
    }
    void TearDown() override
    {
        m_page.reset();
        OrvoTest::TempDirTest::TearDown();
    }

    void Put(const std::wstring& path, const std::string& bytes)
    {
        ASSERT_TRUE(OrvoTest::WriteBytes(path, bytes));
        Stamp(path);
    }
    void CopyFixture(const wchar_t* fixture, const std::wstring& path)
    {
        ASSERT_TRUE(::CopyFileW(OrvoTest::FixturePath(fixture).c_str(), path.c_str(), FALSE)) << Narrow(path);
        Stamp(path);
    }
    static void Stamp(const std::wstring& path)
    {
        Misc::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        const FILETIME time = OrvoTest::UtcFileTime(2026, 12, 9, 17, 5, 0);
        ASSERT_TRUE(file && ::SetFileTime(file.Get(), nullptr, nullptr, &time));
    }

    // The model as a scan of the fixture installation leaves it.
    void BuildFixtureInstallation()
    {
        const std::wstring install = PathOf(L"Velmora");
        ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((install + L"\\Gobo").c_str(), nullptr));
        CopyFixture(L"pe64_program.exe", install + L"\\Velmora.exe");
        CopyFixture(L"pe32_library.dll", install + L"\\UsbDmx.dll");
        CopyFixture(L"pe64_library.dll", install + L"\\Stage.plugin");
        Put(install + L"\\Fixtures.vlb", "abc");
        Put(install + L"\\readme.txt", "");
        Put(install + L"\\Gobo\\gel.txt", "abc");
        Put(install + L"\\Gobo\\gel2.txt", "");

        FolderContent& root = m_inventory.Root();
        FolderContent* velmora = root.AddFolder(std::make_unique<FolderContent>(
            install, L"", L"Velmora 6 Pro [64]", FolderContent::OptionShowPath | FolderContent::OptionPlain,
            false));
        root.AddFolder(std::make_unique<FolderContent>(
            PathOf(L"Missing"), L"", L"Tarvik Scenira 6 Pro",
            FolderContent::OptionShowPath | FolderContent::OptionPlain, false));
        for (const wchar_t* name :
             {L"Velmora.exe", L"UsbDmx.dll", L"Stage.plugin", L"Fixtures.vlb", L"readme.txt"})
            ASSERT_NE(FolderContent::RecordFile(velmora, install, L"", name), nullptr);
        FolderContent* gobo =
            velmora->AddFolder(std::make_unique<FolderContent>(install, L"Gobo", L"Gobo", 0u, false));
        for (const wchar_t* name : {L"gel2.txt", L"gel.txt"})
            ASSERT_NE(FolderContent::RecordFile(gobo, install, L"Gobo", name), nullptr);
        velmora->Files().First()->AddInfoLine(L"Fixture library of the show");
    }
    // The same model again, over the files already on disk.
    void AddFixtureModel()
    {
        const std::wstring install = PathOf(L"Velmora");
        FolderContent* velmora = m_inventory.Root().AddFolder(std::make_unique<FolderContent>(
            install, L"", L"Velmora 6 Pro [64]", FolderContent::OptionShowPath | FolderContent::OptionPlain,
            false));
        for (const wchar_t* name :
             {L"Velmora.exe", L"UsbDmx.dll", L"Stage.plugin", L"Fixtures.vlb", L"readme.txt"})
            ASSERT_NE(FolderContent::RecordFile(velmora, install, L"", name), nullptr);
    }

    static HWND s_host;
    ApplicationsInfo m_inventory;
    std::unique_ptr<CApplicationsDialog> m_page;
};
HWND FilesPage::s_host = nullptr;

void ExpectRows(const std::vector<Row>& rows, const std::vector<Expected>& expected)
{
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        const Row& row = rows[i];
        const Expected& want = expected[i];
        EXPECT_EQ(row.depth, want.depth) << row.text;
        EXPECT_TRUE(std::regex_match(row.text, std::regex(want.pattern)))
            << "row " << i << ": [" << row.text << "]\n pattern: " << want.pattern;
        EXPECT_EQ(row.kind, want.kind) << row.text;
        EXPECT_EQ(row.text_colour, want.text_colour) << row.text;
        EXPECT_EQ(row.selected, want.selected) << row.text;
        EXPECT_FALSE(row.expanded) << "the tree starts collapsed: " << row.text;
    }
}

TEST_F(FilesPage, FixtureInstallationRowsKindsAndColours)
{
    BuildFixtureInstallation();
    m_page->Show(&m_inventory);
    const std::string date = kDate;
    const std::string size = R"( *\d+)", md5 = "[0-9A-F]{32}";
    const std::string detail =
        "(Product Name|Product Version|Description|Company|Copyright|Internal Name) +: .+";
    const std::vector<Expected> detail6(6, {2, detail, 15, 0x404040, 0xDFDFDF});
    std::vector<Expected> expected = {
        {0, Quote("Tarvik Scenira 6 Pro  '" + Narrow(PathOf(L"Missing")) + "'"), 14, 0, 0xBFBFBF},
        {0, Quote("Velmora 6 Pro [64]    '" + Narrow(PathOf(L"Velmora")) + "'"), 14, 0, 0xBFBFBF},
        {1, "Gobo", 14, 0x00007F, 0xDFDFFF},
        {2, Quote("gel.txt  | " + date + " | 3 | " + kAbcMd5), 15, 0, 0xBFBFBF},
        {2, Quote("gel2.txt | " + date + " | 0 | " + kEmptyMd5), 15, 0, 0xBFBFBF},
        {1, Quote("Fixtures.vlb |     |                | " + date + " |") + " +3 \\| " + kAbcMd5, 15,
         0x7F007F, 0xFFDFFF},
        {2, "Fixture library of the show", 15, 0x404040, 0xDFDFDF},
        {1, Quote("readme.txt   |     |                | " + date + " |") + " +0 \\| " + kEmptyMd5, 15, 0,
         0xBFBFBF},
        {1, Quote("Stage.plugin | x64 | 5.0.0.7        | " + date + " |") + size + " \\| " + md5, 15,
         0x7F007F, 0xFFDFFF},
    };
    expected.insert(expected.end(), detail6.begin(), detail6.end());
    expected.push_back({1,
                        Quote("UsbDmx.dll   | x86 | 5.0.0.7        | " + date + " |") + size + " \\| " + md5,
                        15, 0x7F0000, 0xFFDFDF});
    expected.insert(expected.end(), detail6.begin(), detail6.end());
    expected.push_back({1,
                        Quote("Velmora.exe  | x64 | 1.0.0912.01005 | " + date + " |") + size + " \\| " + md5,
                        15, 0x007F00, 0xDFFFDF});
    expected.insert(expected.end(), detail6.begin(), detail6.end());
    const std::vector<Row> rows = Rows(m_page->Tree());
    ExpectRows(rows, expected);

    // One folder's file lines are aligned: same length, separators in the same places.
    std::set<std::size_t> lengths;
    for (const Row& row : rows)
        if (row.depth == 1 && row.kind == 15)
            lengths.insert(row.text.size());
    EXPECT_EQ(lengths.size(), 1u);
    EXPECT_EQ(m_page->Painter().ItemCount(), rows.size()) << "every row carries a record";
    EXPECT_FALSE(m_page->Painter().NeedsFill());

    // Opened, the lines are wider than the page: the tree scrolls sideways.
    HWND tree = m_page->Tree();
    TreeView_Expand(tree, rows[1].item, TVE_EXPAND);
    ::SetWindowPos(m_page->GetHwnd(), nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
    ::UpdateWindow(tree);
    SCROLLINFO scroll = {sizeof scroll, SIF_RANGE | SIF_PAGE};
    ASSERT_TRUE(::GetScrollInfo(tree, SB_HORZ, &scroll));
    EXPECT_GT(scroll.nMax - scroll.nMin + 1, static_cast<int>(scroll.nPage));
}

// A scan of the inventory shown by the page: a registered installation is found,
// walked and shown, beside the folder of the running program.
TEST_F(FilesPage, ScanShowsARegisteredFixtureInstallation)
{
    const std::wstring install = PathOf(L"Velmora");
    ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
    CopyFixture(L"pe32_library.dll", install + L"\\Velmora.dll");
    Put(install + L"\\notes.txt", "abc");
    const std::wstring key = ProductKeyPath(L"Varnholt Brevik", L"Orvo", 0x600);
    HKEY created = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    Misc::RegKey opened(created);
    ASSERT_EQ(::RegSetValueExW(created, L"InstallPathPro", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(install.c_str()),
                               static_cast<DWORD>((install.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    m_inventory.Scan(nullptr);
    m_page->Show(&m_inventory);
    opened.Reset();
    // The keys go as well: a save exports even an empty product key, in every later test
    // of this prefix.
    Misc::RegKey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SoftWare", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                        software.Put()) == ERROR_SUCCESS)
        ::RegDeleteTreeW(software.Get(), L"Varnholt Brevik");

    std::vector<Row> rows = Rows(m_page->Tree());
    std::vector<Row> found;
    for (const Row& row : rows)
        if (row.text.rfind("Velmora 6 Pro [32]", 0) == 0 || row.text.rfind("Orvo Diag", 0) == 0)
            found.push_back(row);
    std::string tops;
    for (const Row& row : rows)
        if (row.depth == 0)
            tops += row.text + "\n";
    ASSERT_EQ(found.size(), 2u) << "the installation and the program's own folder:\n" << tops;
    for (const Row& row : found)
    {
        EXPECT_EQ(row.kind, 14) << row.text;
        EXPECT_EQ(row.text_colour, 0u) << row.text;
        EXPECT_EQ(row.selected, 0xBFBFBFu) << row.text;
    }
    auto under = [&](const char* prefix)
    {
        auto at = std::find_if(rows.begin(), rows.end(),
                               [](const Row& r) { return r.text.rfind("Velmora 6 Pro [32]", 0) == 0; });
        for (++at; at != rows.end() && at->depth > 0; ++at)
            if (at->depth == 1 && at->text.rfind(prefix, 0) == 0)
                return *at;
        return Row{-1, "missing"};
    };
    const Row notes = under("notes.txt"), library = under("Velmora.dll");
    EXPECT_TRUE(std::regex_match(
        notes.text,
        std::regex(R"(notes\.txt   \|     \| +\| 09-12-2026 17:05 \| +3 \| )" + std::string(kAbcMd5))))
        << notes.text;
    EXPECT_EQ(notes.text_colour, 0u);
    EXPECT_EQ(notes.kind, 15);
    EXPECT_EQ(library.text.rfind("Velmora.dll | x86 | 5.0.0.7 | 09-12-2026 17:05 |", 0), 0u) << library.text;
    EXPECT_EQ(library.text_colour, 0x7F0000u);
    EXPECT_EQ(library.kind, 15);
}

TEST_F(FilesPage, SelectingTheTabAgainKeepsTheRowsAndTheirRecords)
{
    BuildFixtureInstallation();
    m_page->Show(&m_inventory);
    HWND tree = m_page->Tree();
    const std::vector<Row> before = Rows(tree);
    TreeView_Expand(tree, before[1].item, TVE_EXPAND); // the user opens a folder
    m_page->FillTree();
    m_page->FillTree();
    const std::vector<Row> after = Rows(tree);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
    {
        EXPECT_EQ(after[i].item, before[i].item);
        EXPECT_EQ(after[i].record, before[i].record);
    }
    EXPECT_TRUE(after[1].expanded);

    // Showing the inventory again (a scan's refill) and the clear step do rebuild it.
    m_page->Show(&m_inventory);
    EXPECT_EQ(Rows(tree).size(), before.size());
    EXPECT_FALSE(Rows(tree)[1].expanded);
    m_page->Clear();
    const std::vector<Row> cleared = Rows(tree);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_EQ(cleared[0].text, "< No information >");
    EXPECT_EQ(m_page->Model(), nullptr);
}

TEST_F(FilesPage, NothingToShowGivesTheSingleNoInformationRow)
{
    struct Case
    {
        const char* what;
        std::function<void(FolderContent& root, const std::wstring& dir)> build;
    };
    const Case cases[] = {
        {"empty inventory", [](FolderContent&, const std::wstring&) {}},
        {"only the program's own folder, empty", [](FolderContent& root, const std::wstring& dir)
         { root.AddFolder(std::make_unique<FolderContent>(dir, L"", L"Orvo Diag", 14u, false)); }},
        {"folders without any file",
         [](FolderContent& root, const std::wstring& dir)
         {
             FolderContent* top =
                 root.AddFolder(std::make_unique<FolderContent>(dir, L"", L"Orvo Diag", 14u, false));
             top->AddFolder(std::make_unique<FolderContent>(dir, L"Sub", L"Sub", 0u, false));
             root.AddFolder(
                 std::make_unique<FolderContent>(dir + L"\\Missing", L"", L"Velmora 6 Pro [32]", 6u, false));
         }},
    };
    for (const Case& c : cases)
    {
        m_page->Clear();
        m_inventory.Clear();
        c.build(m_inventory.Root(), Dir());
        m_page->Show(&m_inventory);
        const std::vector<Row> rows = Rows(m_page->Tree());
        ASSERT_EQ(rows.size(), 1u) << c.what;
        EXPECT_EQ(rows[0].text, "< No information >") << c.what;
        EXPECT_EQ(rows[0].record, nullptr) << c.what;
        EXPECT_EQ(m_page->Painter().ItemCount(), 0u) << c.what;
        EXPECT_TRUE(m_page->Painter().NeedsFill()) << c.what << ": tried again next time";
    }
}

// Paints the tree into a bitmap as the screen would get it and gives the colours found
// in the row's text rectangle.
std::set<COLORREF> PaintedColours(HWND tree, HTREEITEM item)
{
    RECT client = {};
    ::GetClientRect(tree, &client);
    Misc::WindowDc screen(tree);
    Misc::MemoryDc dc(::CreateCompatibleDC(screen.Get()));
    Misc::GdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), client.right, client.bottom));
    Misc::SelectedObject selected(dc.Get(), bitmap.Get());
    ::SendMessageW(tree, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND);
    RECT text = {};
    TreeView_GetItemRect(tree, item, &text, TRUE);
    std::set<COLORREF> colours;
    for (int y = text.top; y < text.bottom; ++y)
        for (int x = text.left; x < text.right; ++x)
            colours.insert(::GetPixel(dc.Get(), x, y));
    return colours;
}

TEST_F(FilesPage, SelectedLibraryRowKeepsDarkBlueOnLightBlue)
{
    BuildFixtureInstallation();
    m_page->Show(&m_inventory);
    HWND tree = m_page->Tree();
    std::vector<Row> rows = Rows(tree);
    TreeView_Expand(tree, rows[1].item, TVE_EXPAND);
    const auto library = std::find_if(rows.begin(), rows.end(),
                                      [](const Row& r) { return r.text.rfind("UsbDmx.dll", 0) == 0; });
    ASSERT_NE(library, rows.end());

    // The notification as the tree sends it for the selected row.
    NMTVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = tree;
    draw.nmcd.hdr.idFrom = IDC_TREE;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.uItemState = CDIS_SELECTED | CDIS_FOCUS;
    draw.nmcd.dwItemSpec = reinterpret_cast<DWORD_PTR>(library->item);
    draw.nmcd.lItemlParam = reinterpret_cast<LPARAM>(library->record);
    draw.clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    draw.clrTextBk = ::GetSysColor(COLOR_HIGHLIGHT);
    ASSERT_TRUE(::SendMessageW(m_page->GetHwnd(), WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_EQ(::GetWindowLongPtrW(m_page->GetHwnd(), DWLP_MSGRESULT), CDRF_NOTIFYITEMDRAW | CDRF_NEWFONT);
    EXPECT_EQ(draw.clrText, 0x7F0000u);
    EXPECT_EQ(draw.clrTextBk, 0xFFDFDFu);

    // And as the tree really paints it, selected and with the focus.
    ::ShowWindow(s_host, SW_SHOWNOACTIVATE);
    ::ShowWindow(m_page->GetHwnd(), SW_SHOW);
    TreeView_SelectItem(tree, library->item);
    ::SetFocus(tree);
    const std::set<COLORREF> colours = PaintedColours(tree, library->item);
    ::ShowWindow(s_host, SW_HIDE);
    EXPECT_TRUE(colours.count(0xFFDFDF)) << "light blue background";
    EXPECT_FALSE(colours.count(::GetSysColor(COLOR_HIGHLIGHT))) << "not the system's selection colour";
}

// Every row the tree deletes has already let go of its record.
class DeleteWatch
{
  public:
    explicit DeleteWatch(HWND page) : m_page(page)
    {
        ::SetWindowSubclass(m_page, Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~DeleteWatch() { ::RemoveWindowSubclass(m_page, Proc, 1); }
    DeleteWatch(const DeleteWatch&) = delete;
    DeleteWatch& operator=(const DeleteWatch&) = delete;

    int deleted = 0;
    int withRecord = 0;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data)
    {
        auto* self = reinterpret_cast<DeleteWatch*>(data);
        if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TVN_DELETEITEMW)
        {
            ++self->deleted;
            if (reinterpret_cast<NMTREEVIEWW*>(lParam)->itemOld.lParam != 0)
                ++self->withRecord;
        }
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    HWND m_page;
};

TEST_F(FilesPage, EmptyingTheTreeNeverLeavesARowWithARecord)
{
    BuildFixtureInstallation();
    m_page->Show(&m_inventory);
    HWND tree = m_page->Tree();
    const std::size_t rows = Rows(tree).size();

    // Below one row only: its sub-tree lets go, the rest keeps its records.
    const std::vector<Row> before = Rows(tree);
    m_page->DeleteTreeItems(before[1].item);
    std::size_t detached = 0;
    for (const Row& row : Rows(tree))
        detached += row.record == nullptr;
    EXPECT_EQ(detached, rows - 2) << "all below the installation folder";
    EXPECT_TRUE(m_page->Painter().NeedsFill());

    DeleteWatch watch(m_page->GetHwnd());
    m_page->FillTree(); // rebuilds, deleting the old rows first
    EXPECT_EQ(watch.deleted, static_cast<int>(rows));
    m_page->Clear();
    m_inventory.Clear();
    AddFixtureModel();
    m_page->Show(&m_inventory);
    const std::size_t second = Rows(tree).size();
    m_page->Clear();
    EXPECT_EQ(watch.deleted, static_cast<int>(2 * rows + 1 + second))
        << "with the placeholder row of the clear";
    EXPECT_EQ(watch.withRecord, 0);
    EXPECT_EQ(m_page->Painter().ItemCount(), 0u);
}

TEST_F(FilesPage, TreeFontAndLayout)
{
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_page->Tree(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font, m_page->TreeFont());
    LOGFONTW description = {};
    ASSERT_TRUE(::GetObjectW(font, sizeof(description), &description));
    EXPECT_EQ(description.lfHeight, -12);
    EXPECT_EQ(description.lfWeight, 300);
    EXPECT_EQ(description.lfPitchAndFamily, 0x31);
    EXPECT_EQ(description.lfOutPrecision, 5);
    EXPECT_EQ(description.lfClipPrecision, 0x10);
    EXPECT_EQ(Narrow(description.lfFaceName), "Consolas");

    const LONG style = ::GetWindowLongW(m_page->Tree(), GWL_STYLE);
    EXPECT_FALSE(style & TVS_NOHSCROLL) << "long lines scroll, nothing is cut";
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_TABSTOP);

    RECT before = {}, page = {};
    ::GetWindowRect(m_page->Tree(), &before);
    ::GetWindowRect(m_page->GetHwnd(), &page);
    ::SetWindowPos(m_page->GetHwnd(), nullptr, 0, 0, page.right - page.left + 100,
                   page.bottom - page.top + 40, SWP_NOMOVE | SWP_NOZORDER);
    RECT after = {};
    ::GetWindowRect(m_page->Tree(), &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left + 100);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + 40);
}

} // namespace
