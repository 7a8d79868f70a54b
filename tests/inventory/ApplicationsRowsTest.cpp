// The Files tab's row commands on the real page: Ctrl+C and the context menu copy a
// row, its digest or its path; Ctrl+F finds rows by name, version or digest, folded or
// not, with F3 and Shift+F3 moving between the hits.

#include "inventory/ApplicationsDialog.h"

#include "resource.h"
#include "TestSupport.h"
#include "ui/TreeRows.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using OrvoTest::Narrow;

constexpr wchar_t kAbcDigest[] = L"900150983CD24FB0D6963F7D28E17F72"; // md5sum of "abc", as the tab shows it

// Sends a key to `window` with the given modifier keys held.
void Key(HWND window, WPARAM key, std::initializer_list<int> held = {})
{
    BYTE saved[256] = {};
    ::GetKeyboardState(saved);
    BYTE state[256] = {};
    for (int modifier : held)
        state[modifier] = 0x80;
    ::SetKeyboardState(state);
    ::SendMessageW(window, WM_KEYDOWN, key, 0);
    ::SetKeyboardState(saved);
}

class FilesRows : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        OrvoTest::TempDirTest::SetUp();
        m_host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 900, 500, nullptr,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(m_host, nullptr);
        m_page = std::make_unique<CApplicationsDialog>(m_host);
        ASSERT_TRUE(m_page->Create(m_host, IDD_FILES_PAGE));
        ::ShowWindow(m_host, SW_SHOW);
        ::ShowWindow(m_page->GetHwnd(), SW_SHOW);
        ::MoveWindow(m_page->GetHwnd(), 0, 0, 800, 400, TRUE);
        BuildInstallation();
        m_page->Show(&m_inventory);
        OrvoTest::EmptyClipboard();
    }
    void TearDown() override
    {
        m_page.reset();
        ::DestroyWindow(m_host);
        OrvoTest::TempDirTest::TearDown();
    }

    // Two folders, the second folded below the first, and two files with the same
    // digest in different folders.
    void BuildInstallation()
    {
        const std::wstring install = PathOf(L"Velmora");
        ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((install + L"\\Gobo").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(OrvoTest::FixturePath(L"version_plain.dll").c_str(),
                                (install + L"\\Velmora.exe").c_str(), FALSE));
        ASSERT_TRUE(OrvoTest::WriteBytes(install + L"\\Fixtures.vlb", "abc"));
        ASSERT_TRUE(OrvoTest::WriteBytes(install + L"\\Gobo\\Gel.txt", "abc"));
        FolderContent& root = m_inventory.Root();
        FolderContent* top = root.AddFolder(std::make_unique<FolderContent>(
            install, L"", L"Velmora 6 Pro [64]", FolderContent::OptionShowPath | FolderContent::OptionPlain,
            false));
        for (const wchar_t* name : {L"Velmora.exe", L"Fixtures.vlb"})
            ASSERT_NE(FolderContent::RecordFile(top, install, L"", name), nullptr);
        FolderContent* gobo =
            top->AddFolder(std::make_unique<FolderContent>(install, L"Gobo", L"Gobo", 0u, false));
        ASSERT_NE(FolderContent::RecordFile(gobo, install, L"Gobo", L"Gel.txt"), nullptr);
        top->Files().First()->AddInfoLine(L"Fixture library of the show"); // the list is sorted: Fixtures.vlb
    }

    HWND Tree() const { return m_page->Tree(); }
    // The row whose text starts with `start`, anywhere in the tree.
    HTREEITEM RowStarting(const std::wstring& start) const
    {
        for (HTREEITEM row = TreeView_GetRoot(Tree()); row; row = UI::NextRow(Tree(), row))
            if (Text(row).rfind(start, 0) == 0)
                return row;
        return nullptr;
    }
    std::wstring Text(HTREEITEM row) const { return UI::RowText(Tree(), row); }
    std::wstring SelectedText() const { return Text(TreeView_GetSelection(Tree())); }
    void Type(const std::wstring& text)
    {
        ::SetWindowTextW(m_page->FindBar().Edit(), text.c_str()); // EN_CHANGE follows
    }

    HWND m_host = nullptr;
    ApplicationsInfo m_inventory; // outlives the page, which shows it
    std::unique_ptr<CApplicationsDialog> m_page;
};

TEST_F(FilesRows, CopyGivesTheRowAsShownItsDigestOrItsPath)
{
    const std::wstring install = PathOf(L"Velmora");
    const struct
    {
        const wchar_t* row; // start of the row's text
        UINT command;       // 0: Ctrl+C in the tree
        std::wstring copied;
    } cases[] = {
        {L"Fixtures.vlb", 0, L""}, // the whole line, checked below
        {L"Fixtures.vlb", IDM_COPY_MD5, kAbcDigest},
        {L"Fixtures.vlb", IDM_COPY_PATH, install + L"\\Fixtures.vlb"},
        {L"Fixture library of the show", IDM_COPY_ROW, L"Fixture library of the show"},
        {L"Fixture library of the show", IDM_COPY_MD5, kAbcDigest}, // its file's
        {L"Gobo", IDM_COPY_PATH, install + L"\\Gobo"},
        {L"Gobo", IDM_COPY_MD5, L"(unchanged)"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.row) + " " + std::to_string(c.command));
        const HTREEITEM row = RowStarting(c.row);
        ASSERT_NE(row, nullptr);
        TreeView_SelectItem(Tree(), row);
        OrvoTest::EmptyClipboard();
        if (c.command)
            ::SendMessageW(m_page->GetHwnd(), WM_COMMAND, c.command, 0);
        else
            Key(Tree(), 'C', {VK_CONTROL});
        std::wstring expected = c.copied;
        if (!c.command)
            expected = Text(row);
        else if (expected == L"(unchanged)")
            expected.clear(); // a folder has no digest: the clipboard is left alone
        EXPECT_EQ(OrvoTest::ClipboardText(), expected);
    }
    // Ctrl+C copied the aligned line itself, digest column included.
    TreeView_SelectItem(Tree(), RowStarting(L"Fixtures.vlb"));
    Key(Tree(), 'C', {VK_CONTROL});
    const std::wstring line = OrvoTest::ClipboardText();
    EXPECT_EQ(line.rfind(L"Fixtures.vlb", 0), 0u) << Narrow(line);
    EXPECT_NE(line.find(std::wstring(L" | ") + kAbcDigest), std::wstring::npos) << Narrow(line);
}

TEST_F(FilesRows, FindReachesFoldedRowsAndF3MovesBetweenHits)
{
    Key(Tree(), 'F', {VK_CONTROL});
    UI::TreeFindBar& find = m_page->FindBar();
    ASSERT_TRUE(find.IsOpen());
    EXPECT_TRUE(::IsWindowVisible(find.Edit()));
    RECT tree = {}, edit = {};
    ::GetWindowRect(Tree(), &tree);
    ::GetWindowRect(find.Edit(), &edit);
    EXPECT_LE(tree.bottom, edit.top) << "the find row sits below the tree";

    std::wstring version;
    m_inventory.Root().Folders().First()->Files().ForEach(
        [&](const ApplicationsInfo::FileInfo& file)
        {
            if (file.Name() == L"Velmora.exe")
                version = file.Version();
        });
    const struct
    {
        const char* what;
        std::wstring typed; // empty: keep the text
        WPARAM key;         // 0: typing only; F3 or Return in the field
        bool shift;
        const wchar_t* selected; // start of the selected row's text; null: "not found"
    } steps[] = {
        {"name, folded, any case", L"gEL.T", 0, false, L"Gel.txt"},
        {"typing keeps a selected row that matches", L"D6963F7D", 0, false, L"Gel.txt"},
        {"F3: the next hit", L"", VK_F3, false, L"Fixtures.vlb"},
        {"F3 at the last hit wraps around", L"", VK_F3, false, L"Gel.txt"},
        {"Shift+F3 goes back, wrapping", L"", VK_F3, true, L"Fixtures.vlb"},
        {"Enter is F3", L"", VK_RETURN, false, L"Gel.txt"},
        {"version", version, 0, false, L"Velmora.exe"},
        {"folder name", L"gobo", 0, false, L"Gobo"},
        {"detail lines are not searched", L"library of the show", 0, false, nullptr},
        {"nothing matches", L"no such file", 0, false, nullptr},
    };
    ASSERT_FALSE(version.empty());
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.what);
        const std::wstring before = SelectedText();
        if (!step.typed.empty())
            Type(step.typed);
        if (step.key)
            Key(find.Edit(), step.key,
                step.shift ? std::initializer_list<int>{VK_SHIFT} : std::initializer_list<int>{});
        if (!step.selected)
        {
            EXPECT_EQ(find.Result(), L"not found");
            EXPECT_EQ(SelectedText(), before) << "the selection stays";
            continue;
        }
        EXPECT_EQ(find.Result(), L"");
        const HTREEITEM hit = TreeView_GetSelection(Tree());
        EXPECT_EQ(SelectedText().rfind(step.selected, 0), 0u) << Narrow(SelectedText());
        for (HTREEITEM parent = TreeView_GetParent(Tree(), hit); parent;
             parent = TreeView_GetParent(Tree(), parent))
            EXPECT_TRUE(TreeView_GetItemState(Tree(), parent, TVIS_EXPANDED) & TVIS_EXPANDED) << "unfolded";
    }
    // F3 in the tree goes on with the same text; Escape in the field closes the row and
    // gives the tree its height and the focus back.
    Type(L".vlb");
    Key(Tree(), VK_F3);
    EXPECT_EQ(SelectedText().rfind(L"Fixtures.vlb", 0), 0u);
    Key(find.Edit(), VK_ESCAPE);
    EXPECT_FALSE(find.IsOpen());
    EXPECT_FALSE(::IsWindowVisible(find.Edit()));
    RECT page = {}, closed = {};
    ::GetClientRect(m_page->GetHwnd(), &page);
    ::GetWindowRect(Tree(), &closed);
    EXPECT_GT(closed.bottom, tree.bottom);
    EXPECT_EQ(::GetFocus(), Tree());
}

// The entries of the context menu that opened, "-" appended to a greyed one; the menu is
// closed again at once.
std::vector<std::wstring> g_menuEntries;

LRESULT CALLBACK WatchMenu(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITMENUPOPUP)
    {
        HMENU menu = reinterpret_cast<HMENU>(call->wParam);
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i)
        {
            wchar_t text[64] = {};
            ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
            const bool grey = ::GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED;
            g_menuEntries.push_back(std::wstring(text) + (grey ? L"-" : L""));
        }
        ::EndMenu();
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The context menu offers what the row has: a folder has a path but no digest.
TEST_F(FilesRows, ContextMenuOffersTheRowsCommands)
{
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &WatchMenu, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    const struct
    {
        const wchar_t* row;
        std::vector<std::wstring> entries;
    } cases[] = {
        {L"Fixtures.vlb", {L"Copy", L"Copy MD5", L"Copy path"}},
        {L"Gobo", {L"Copy", L"Copy MD5-", L"Copy path"}},
    };
    for (const auto& c : cases)
    {
        g_menuEntries.clear();
        TreeView_SelectItem(Tree(), RowStarting(c.row));
        // From the keyboard (Shift+F10): the menu opens at the selected row.
        ::SendMessageW(m_page->GetHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Tree()), -1);
        EXPECT_EQ(g_menuEntries, c.entries) << Narrow(c.row);
    }
    ::UnhookWindowsHookEx(hook);
}

} // namespace
