// The main window at the display's scale. Run by check_dpi.sh in a prefix of its own,
// once per scale (ORVO_DPI gives the one the prefix is set to): the fonts follow the
// scale, every control lies inside its window with its text fitting, and a window told
// that its scale changed is laid out as a window made at the new scale.

#include "TestSupport.h"

#include "TestDialog.h"

#include "app/OrvoDiagDlg.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace
{

using OrvoTest::Pump;

UINT DpiFromEnvironment()
{
    wchar_t value[16] = {};
    return ::GetEnvironmentVariableW(L"ORVO_DPI", value, ARRAYSIZE(value)) ? std::wcstoul(value, nullptr, 10) : 0;
}

std::wstring DumpPath(UINT dpi)
{
    wchar_t dir[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"ORVO_DPI_DIR", dir, MAX_PATH))
        return {};
    return std::wstring(dir) + L"\\layout-" + std::to_wstring(dpi) + L".txt";
}

LONG FontHeight(HWND control)
{
    auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description = {};
    return font && ::GetObjectW(font, sizeof description, &description) ? description.lfHeight : 0;
}

RECT RectIn(HWND control, HWND parent)
{
    RECT rect = {};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Every child of `parent` (and of the pages below it) as "path left top right bottom".
void DumpChildren(HWND parent, const std::string& path, std::map<std::string, RECT>& out)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        const std::string name = path + "/" + std::to_string(::GetDlgCtrlID(child));
        out[name] = RectIn(child, parent);
        DumpChildren(child, name, out);
    }
}

std::string Serialise(const std::map<std::string, RECT>& layout)
{
    std::ostringstream text;
    for (const auto& [name, r] : layout)
        text << name << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom << '\n';
    return text.str();
}

std::map<std::string, RECT> Parse(const std::string& text)
{
    std::map<std::string, RECT> layout;
    std::istringstream lines(text);
    std::string name;
    RECT r = {};
    while (lines >> name >> r.left >> r.top >> r.right >> r.bottom)
        layout[name] = r;
    return layout;
}

// The client area is written as the pseudo-control "client".
std::map<std::string, RECT> LayoutOf(HWND window)
{
    std::map<std::string, RECT> layout;
    ::GetClientRect(window, &layout["client"]);
    DumpChildren(window, "main", layout);
    return layout;
}

class DpiTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        if (DpiFromEnvironment() == 0)
            GTEST_SKIP() << "ORVO_DPI not set: run by check_dpi.sh at each display scale";
        TempDirTest::SetUp();
        m_hasFolder = true;
        m_window = std::make_unique<COrvoDiagDlg>();
        ASSERT_TRUE(m_window->Create(nullptr));
        m_hwnd = m_window->GetHwnd();
        Pump(30000, m_hwnd, [this] { return AppTest::IsScanned(m_hwnd); });
    }
    void TearDown() override
    {
        m_window.reset();
        if (m_hasFolder)
            TempDirTest::TearDown();
    }
    void ExpectFontsAt(UINT dpi)
    {
        SCOPED_TRACE("dpi " + std::to_string(dpi));
        EXPECT_EQ(::MulDiv(-12, dpi, 96), FontHeight(m_window->SystemPage().GetDlgItem(IDC_TREE)));
        EXPECT_EQ(::MulDiv(-12, dpi, 96), FontHeight(m_window->FilesPage().GetDlgItem(IDC_TREE)));
        EXPECT_EQ(::MulDiv(14, dpi, 96), FontHeight(m_window->LogFilesPage().GetDlgItem(IDC_LOG_TEXT)));
        LOGFONTW tab = {};
        ::GetObjectW(m_window->TabStrip().GetFontNormal(), sizeof tab, &tab);
        EXPECT_EQ(-::MulDiv(85, dpi, 720), tab.lfHeight);
        EXPECT_EQ(-::MulDiv(8, dpi, 72), FontHeight(::GetDlgItem(m_hwnd, IDC_SCAN)));
    }
    // The suggested window size gives the client area `client` with this window's frame.
    void SendDpiChanged(UINT dpi, const RECT& client)
    {
        RECT frame = {};
        RECT now = {};
        ::GetWindowRect(m_hwnd, &frame);
        ::GetClientRect(m_hwnd, &now);
        const int extraX = (frame.right - frame.left) - now.right;
        const int extraY = (frame.bottom - frame.top) - now.bottom;
        RECT suggested = {frame.left, frame.top, frame.left + client.right + extraX,
                          frame.top + client.bottom + extraY};
        ::SendMessageW(m_hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        Pump(200, m_hwnd);
    }

    bool m_hasFolder = false;
    std::unique_ptr<COrvoDiagDlg> m_window;
    HWND m_hwnd = nullptr;
};

// Every visible control lies inside its parent's client area, and a button's or
// label's text fits its width in the control's own font.
void ExpectEverythingInside(HWND parent)
{
    RECT client = {};
    ::GetClientRect(parent, &client);
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        if (!::IsWindowVisible(child))
            continue;
        const RECT r = RectIn(child, parent);
        const int id = ::GetDlgCtrlID(child);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << "control " << id << " at " << r.left << "," << r.top << "," << r.right << "," << r.bottom
            << " outside " << client.right << "x" << client.bottom;
        wchar_t className[32] = {};
        ::GetClassNameW(child, className, ARRAYSIZE(className));
        const std::wstring kind = className;
        if (kind == L"Button" || kind == L"Static")
        {
            wchar_t text[256] = {};
            const int length = ::GetWindowTextW(child, text, ARRAYSIZE(text));
            Misc::WindowDc dc(child);
            Misc::SelectedObject select(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0)));
            SIZE extent = {};
            ::GetTextExtentPoint32W(dc.Get(), text, length, &extent);
            EXPECT_LE(extent.cx, r.right - r.left) << "text of control " << id << " does not fit";
            EXPECT_LE(extent.cy, r.bottom - r.top) << "text of control " << id << " does not fit";
        }
        ExpectEverythingInside(child);
    }
}

TEST_F(DpiTest, FontsAndControlsFollowTheDisplayScale)
{
    const UINT dpi = DpiFromEnvironment();
    ASSERT_EQ(dpi, m_window->Dpi()) << "the prefix is not at the scale the run asked for";
    ExpectFontsAt(dpi);
    ExpectEverythingInside(m_hwnd);
    const std::wstring dump = DumpPath(dpi);
    if (!dump.empty())
    {
        ASSERT_TRUE(OrvoTest::WriteBytes(dump, Serialise(LayoutOf(m_hwnd))));
    }
}

TEST_F(DpiTest, ScaleChangeLaysTheWindowOutAsAFreshOneAndBack)
{
    if (DpiFromEnvironment() != 96)
        GTEST_SKIP() << "runs at 96 DPI, after the runs at the other scales";
    const std::map<std::string, RECT> at96 = LayoutOf(m_hwnd);
    for (UINT dpi : {144u, 192u})
    {
        SCOPED_TRACE("dpi " + std::to_string(dpi));
        const std::map<std::string, RECT> fresh = Parse(OrvoTest::ReadBytes(DumpPath(dpi)));
        ASSERT_FALSE(fresh.empty()) << "no layout of a fresh window at this scale";
        SendDpiChanged(dpi, fresh.at("client"));
        ExpectFontsAt(dpi);
        EXPECT_EQ(Serialise(fresh), Serialise(LayoutOf(m_hwnd)));
        ExpectEverythingInside(m_hwnd);

        SendDpiChanged(96, at96.at("client"));
        ExpectFontsAt(96);
        EXPECT_EQ(Serialise(at96), Serialise(LayoutOf(m_hwnd)));
    }
}

} // namespace
