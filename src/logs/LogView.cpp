#include "logs/LogView.h"

#include "logs/LogFileReader.h"
#include "misc/Handles.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace
{

const wchar_t kLoadingText[] = L"Loading the LOG file ...";
constexpr int kMargin = 4; // pixels left of a row's text
constexpr int kTabWidth = 8;
constexpr UINT_PTR kSubclassId = 1017;
constexpr LONG kWidestColumn = 32767;

bool KeyDown(int key)
{
    return ::GetKeyState(key) < 0;
}

// Tabs stand at every eighth column, as text editors show them.
std::wstring ExpandTabs(const std::wstring& row)
{
    if (row.find(L'\t') == std::wstring::npos)
        return row;
    std::wstring shown;
    for (wchar_t c : row)
    {
        if (c == L'\t')
            shown.append(kTabWidth - shown.size() % kTabWidth, L' ');
        else
            shown += c;
    }
    return shown;
}

bool PutOnClipboard(HWND owner, const std::wstring& text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return false;
    if (void* target = ::GlobalLock(memory))
    {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(target));
        ::GlobalUnlock(memory);
        if (::OpenClipboard(owner))
        {
            ::EmptyClipboard();
            const bool given = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            ::CloseClipboard();
            if (given)
                return true; // the clipboard owns the memory now
        }
    }
    ::GlobalFree(memory);
    return false;
}

void SetRowState(HWND list, int row, UINT state, UINT mask)
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

} // namespace

struct LogView::Job
{
    Misc::FileHandle file;
    std::uint64_t limit = 0;
    unsigned number = 0;
    std::atomic<bool> cancel{false};
    bool read = false;
    LogLines lines;
};

LogView::~LogView()
{
    CancelLoad();
}

void LogView::Attach(HWND list, HWND notify, UINT loadedMessage)
{
    m_list = list;
    m_notify = notify;
    m_loadedMessage = loadedMessage;
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ::SetWindowSubclass(list, ListProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void LogView::SetFont(HFONT font)
{
    m_font = font;
    if (!m_list)
        return;
    ::SendMessageW(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const Misc::WindowDc dc(m_list);
    const Misc::SelectedObject selected(dc.Get(), font);
    TEXTMETRICW metrics = {};
    if (::GetTextMetricsW(dc.Get(), &metrics) && metrics.tmAveCharWidth > 0)
        m_charWidth = metrics.tmAveCharWidth;
    FitColumn(); // a font for another display scale: the rows are as many characters wide
}

void LogView::ShowText(const std::wstring& text)
{
    CancelLoad();
    LogLines lines;
    lines.AddHead(text);
    Show(std::move(lines), false);
}

bool LogView::ShowFile(const std::wstring& path, std::uint64_t limit, std::uint64_t syncBytes)
{
    CancelLoad();
    Misc::FileHandle file = OpenLogFile(path);
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.Get(), &size))
        return false;
    if (static_cast<std::uint64_t>(size.QuadPart) > syncBytes)
    {
        std::shared_ptr<Job> job;
        try
        {
            job = std::make_shared<Job>();
            job->file = std::move(file);
            job->limit = limit;
            job->number = ++m_jobNumber;
            ShowText(kLoadingText);
            m_worker = std::thread(
                [job, notify = m_notify, message = m_loadedMessage]
                {
                    try
                    {
                        job->read = ReadLogLines(job->file.Get(), job->limit, job->lines, &job->cancel);
                    }
                    catch (...)
                    {
                        job->read = false;
                    }
                    ::PostMessageW(notify, message, job->number, 0);
                });
            m_job = std::move(job);
            return true;
        }
        catch (const std::exception&)
        {
            // No thread (or no memory for one): the log is read right here.
            if (job && job->file)
                file = std::move(job->file);
        }
    }
    LogLines lines;
    if (!ReadLogLines(file.Get(), limit, lines))
        return false;
    Show(std::move(lines), true);
    return true;
}

bool LogView::ShowBytes(std::string bytes)
{
    CancelLoad();
    LogLines lines;
    if (!LogLinesOfBytes(std::move(bytes), lines))
        return false;
    Show(std::move(lines), true);
    return true;
}

LogView::Loaded LogView::OnLoaded(WPARAM wParam)
{
    if (!m_job || wParam != m_job->number)
        return Loaded::Stale;
    if (m_worker.joinable())
        m_worker.join();
    const std::shared_ptr<Job> job = std::move(m_job);
    if (!job->read)
        return Loaded::Failed;
    Show(std::move(job->lines), true);
    return Loaded::Shown;
}

void LogView::CancelLoad()
{
    if (m_job)
        m_job->cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_job.reset();
}

// The rows are given to the list as a count only; after a log the end is in view, with
// the keyboard's place on the last row and nothing selected.
void LogView::Show(LogLines lines, bool endInView)
{
    m_lines = std::move(lines);
    const int count = static_cast<int>(m_lines.Count());
    ::SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SetRowState(m_list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ::SendMessageW(m_list, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
    FitColumn();
    ::SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    // Scrolled only with redrawing on: the list updates its scroll bars only then.
    ::SendMessageW(m_list, LVM_SCROLL, static_cast<WPARAM>(-::GetScrollPos(m_list, SB_HORZ)), 0);
    if (endInView && count > 0)
    {
        ::SendMessageW(m_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(count - 1), FALSE);
        SetRowState(m_list, count - 1, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    ::InvalidateRect(m_list, nullptr, TRUE);
}

void LogView::FitColumn()
{
    SetColumnWidth(static_cast<int>(std::min<std::size_t>(m_lines.WidestUnits(), LogLines::kRowUnits)) *
                       m_charWidth +
                   2 * kMargin);
}

int LogView::ColumnWidth() const
{
    return static_cast<int>(::SendMessageW(m_list, LVM_GETCOLUMNWIDTH, 0, 0));
}

// A list column is at most 32767 pixels wide.
void LogView::SetColumnWidth(int width)
{
    RECT client = {};
    ::GetClientRect(m_list, &client);
    ::SendMessageW(m_list, LVM_SETCOLUMNWIDTH, 0,
                   std::min<LONG>(std::max<LONG>(width, client.right), kWidestColumn));
}

bool LogView::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header->hwndFrom != m_list)
        return false;
    switch (header->code)
    {
    case NM_CUSTOMDRAW:
        result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        return true;
    case LVN_GETDISPINFOW:
        GiveRowText(reinterpret_cast<NMLVDISPINFOW*>(header));
        return true;
    case LVN_ODFINDITEMW:
        result = -1; // typing finds nothing: Ctrl+F finds
        return true;
    default:
        return false;
    }
}

// Screen readers and LVM_GETITEMTEXT read a row through here.
void LogView::GiveRowText(NMLVDISPINFOW* info) const
{
    LVITEMW& item = info->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0 || item.iItem < 0)
        return;
    const std::wstring row = m_lines.Row(static_cast<std::size_t>(item.iItem));
    const std::size_t length = std::min(row.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
    std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(length), item.pszText);
    item.pszText[length] = L'\0';
}

// The list draws nothing of a row itself: its own drawing would cut a row after 259
// characters.
LRESULT LogView::CustomDraw(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage)
    {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        DrawRow(draw->nmcd.hdc, static_cast<std::size_t>(draw->nmcd.dwItemSpec));
        return CDRF_SKIPDEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

// A selected row is shown in the highlight colour while the page has the focus (the
// view or its find field), so that a search hit stands out; grey otherwise.
void LogView::DrawRow(HDC dc, std::size_t row)
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    if (!::SendMessageW(m_list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)))
        return;
    RECT client = {};
    ::GetClientRect(m_list, &client);
    RECT area = bounds;
    area.right = std::max(bounds.right, client.right);
    const UINT state =
        static_cast<UINT>(::SendMessageW(m_list, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED));
    const HWND focus = ::GetFocus();
    const bool active = focus && (focus == m_list || ::GetParent(focus) == ::GetParent(m_list));
    const bool selected = (state & LVIS_SELECTED) != 0;
    ::SetBkColor(dc, ::GetSysColor(!selected ? COLOR_WINDOW : active ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(!selected ? COLOR_WINDOWTEXT
                                     : active  ? COLOR_HIGHLIGHTTEXT
                                               : COLOR_BTNTEXT));
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);

    // A row is at most a few thousand characters: it is drawn whole, clipped, so that
    // a font whose characters differ in width is drawn right too.
    const std::wstring text = ExpandTabs(m_lines.Row(row));
    const Misc::SelectedObject font(dc, m_font);
    ::ExtTextOutW(dc, bounds.left + kMargin, bounds.top, ETO_CLIPPED, &area, text.c_str(),
                  static_cast<UINT>(text.size()), nullptr);
    const int column = ColumnWidth();
    SIZE extent = {};
    if (column<kWidestColumn&& static_cast<int>(text.size()) * m_charWidth * 2> column &&
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent) &&
        extent.cx + 2 * kMargin > column)
        ::PostMessageW(m_list, LVM_SETCOLUMNWIDTH, 0, std::min<LONG>(extent.cx + 2 * kMargin, kWidestColumn));
    if ((state & LVIS_FOCUSED) && focus == m_list)
        ::DrawFocusRect(dc, &area);
}

bool LogView::Find(const std::wstring& needle, bool forward)
{
    const int focused =
        static_cast<int>(::SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const std::size_t row =
        m_lines.Find(needle, focused < 0 ? LogLines::npos : static_cast<std::size_t>(focused), forward);
    if (row == LogLines::npos)
        return false;
    SetRowState(m_list, -1, 0, LVIS_SELECTED);
    SetRowState(m_list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ::SendMessageW(m_list, LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
    ::SendMessageW(m_list, LVM_ENSUREVISIBLE, row, FALSE);
    return true;
}

void LogView::SelectAll()
{
    SetRowState(m_list, -1, LVIS_SELECTED, LVIS_SELECTED);
}

// Runs of selected rows are taken whole; all rows at once when all are selected.
bool LogView::CopySelection()
{
    const auto next = [&](int after)
    {
        return static_cast<int>(
            ::SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), LVNI_SELECTED));
    };
    const std::size_t selected = static_cast<std::size_t>(::SendMessageW(m_list, LVM_GETSELECTEDCOUNT, 0, 0));
    if (selected == 0)
        return false;
    try
    {
        std::wstring text;
        if (selected == m_lines.Count())
            text = m_lines.Text(0, m_lines.Count() - 1);
        for (int first = selected == m_lines.Count() ? -1 : next(-1); first >= 0;)
        {
            int last = first, after = next(first);
            while (after == last + 1)
                after = next(last = after);
            text += (text.empty() ? L"" : L"\r\n") + m_lines.Text(first, last);
            first = after;
        }
        if (PutOnClipboard(m_list, text))
            return true;
    }
    catch (const std::bad_alloc&)
    {
    }
    ::MessageBeep(MB_ICONWARNING); // more than memory holds at once
    return false;
}

// Left and right scroll the long rows; Ctrl+C copies and Ctrl+A selects all rows.
bool LogView::OnKey(WPARAM key)
{
    const bool control = KeyDown(VK_CONTROL);
    if (control && key == 'C')
        return CopySelection(), true;
    if (control && key == 'A')
        return SelectAll(), true;
    if (key == VK_LEFT || key == VK_RIGHT)
    {
        const int step = (control ? 32 : 4) * m_charWidth;
        ::SendMessageW(m_list, LVM_SCROLL, static_cast<WPARAM>(key == VK_LEFT ? -step : step), 0);
        return true;
    }
    return false;
}

LRESULT CALLBACK LogView::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR data) noexcept
{
    try
    {
        auto* view = reinterpret_cast<LogView*>(data);
        if (message == WM_KEYDOWN && view->OnKey(wParam))
            return 0;
        // A tilting wheel (or a touch pad's sideways swipe) scrolls the long rows.
        if (message == WM_MOUSEHWHEEL)
        {
            const int steps = GET_WHEEL_DELTA_WPARAM(wParam) * 8 / WHEEL_DELTA;
            ::SendMessageW(list, LVM_SCROLL, static_cast<WPARAM>(steps * view->m_charWidth), 0);
            return 0;
        }
        // Control characters would start the list's search by typing.
        if (message == WM_CHAR && wParam < 0x20 && KeyDown(VK_CONTROL))
            return 0;
        // The column is never narrower than the window, so that a selection spans it.
        if (message == WM_SIZE)
        {
            const LRESULT result = ::DefSubclassProc(list, message, wParam, lParam);
            view->SetColumnWidth(view->ColumnWidth());
            return result;
        }
        if (message == WM_NCDESTROY)
            ::RemoveWindowSubclass(list, ListProc, kSubclassId);
    }
    catch (...)
    {
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}
