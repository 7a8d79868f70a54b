#include "logs/LogFilesDialog.h"

#include "logs/ShellOpen.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "resource.h"

namespace
{

const wchar_t kNoLogText[] = L"No LOG information available.";
const wchar_t kUnableText[] = L"Unable to load the LOG file.";
// An archived log's key: a character no path can hold, then its position.
constexpr wchar_t kArchivedMark = L'|';
// The view's word that a log read on its own thread is there.
constexpr UINT kLogLoadedMessage = WM_APP + 17;
// Equals no real path: the next ShowLog always loads.
const wchar_t kNothingShown[] = L"x";

// Courier New at 14 pixels (at 96 DPI), light.
LOGFONTW TextFontAt96()
{
    LOGFONTW description = {};
    description.lfHeight = 14;
    description.lfWeight = 300;
    description.lfCharSet = ANSI_CHARSET;
    description.lfOutPrecision = OUT_DEVICE_PRECIS;
    description.lfClipPrecision = CLIP_LH_ANGLES;
    wcscpy_s(description.lfFaceName, L"Courier New");
    return description;
}

// A large log takes a while to show; the cursor says so until it is shown.
class WaitCursorScope
{
  public:
    WaitCursorScope() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursorScope() { ::SetCursor(m_previous); }
    WaitCursorScope(const WaitCursorScope&) = delete;
    WaitCursorScope& operator=(const WaitCursorScope&) = delete;

  private:
    HCURSOR m_previous;
};

} // namespace

CLogFilesDialog::CLogFilesDialog(UI::CDialog* owner) : UI::SizeDialog(IDD_LOGFILES_PAGE, owner)
{
    Build();
}

CLogFilesDialog::CLogFilesDialog(HWND parent) : UI::SizeDialog(IDD_LOGFILES_PAGE, parent)
{
    Build();
}

// The window goes before the model its selector items point into, and before the font.
CLogFilesDialog::~CLogFilesDialog()
{
    DestroyWindow();
}

// The text view takes all the growth; label and selector keep to the bottom edge, the
// selector widening, and "Open" keeps to the bottom-right corner.
// The find row lies where the selector row does, and moves alike.
void CLogFilesDialog::Build()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (UI::RelativeLayout* layout = Layout())
    {
        layout->AddItem(IDC_LOG_TEXT, 0, 0, 1, 1);
        layout->AddItem(IDC_LOG_LABEL, 0, 1, 0, 0);
        layout->AddItem(IDC_LOG_SELECTOR, 0, 1, 1, 0);
        layout->AddItem(IDC_LOG_OPEN, 1, 1, 0, 0);
        layout->AddItem(IDC_LOG_FIND_LABEL, 0, 1, 0, 0);
        layout->AddItem(IDC_LOG_FIND, 0, 1, 1, 0);
        layout->AddItem(IDC_LOG_FIND_STATUS, 1, 1, 0, 0);
    }
}

// The text's font follows the DPI the page is shown at.
void CLogFilesDialog::OnDpiChanged(UINT dpi)
{
    if (!m_textFont)
        m_textFont = std::make_unique<UI::ScaledFont>(TextFontAt96(), dpi);
    else
        m_textFont->SetDpi(dpi);
    m_view.SetFont(TextFont());
}

BOOL CLogFilesDialog::OnInitDialog()
{
    UI::SizeDialog::OnInitDialog();
    m_view.Attach(GetDlgItem(IDC_LOG_TEXT), GetHwnd(), kLogLoadedMessage);
    OnDpiChanged(Dpi());
    m_findBar.Attach(GetHwnd(),
                     [this](const std::wstring& text, bool forward) { return m_view.Find(text, forward); });
    ::EnableWindow(GetDlgItem(IDC_LOG_OPEN), FALSE);
    Refresh();
    return TRUE;
}

void CLogFilesDialog::ResetSelector()
{
    ::SendDlgItemMessageW(GetHwnd(), IDC_LOG_SELECTOR, CB_RESETCONTENT, 0, 0);
}

// The model's entries (path and file name), or an archive's logs by their keys and the
// names the report gives them.
template <typename Visit> void CLogFilesDialog::ForEachShownEntry(Visit&& visit) const
{
    if (m_archived)
    {
        for (std::size_t i = 0; i < m_archivedKeys.size() && i < m_archived->size(); ++i)
            visit(m_archivedKeys[i], (*m_archived)[i].name);
        return;
    }
    if (m_model)
        m_model->ForEachEntry([&](const LogFilesInfo::LogFileEntry& entry)
                              { visit(entry.Path(), entry.FileName()); });
}

const ArchivedLog* CLogFilesDialog::ArchivedLogOf(const std::wstring& path) const
{
    for (std::size_t i = 0; m_archived && i < m_archivedKeys.size(); ++i)
        if (m_archivedKeys[i] == path)
            return &(*m_archived)[i];
    return nullptr;
}

void CLogFilesDialog::ShowArchived(const std::vector<ArchivedLog>* logs)
{
    ResetSelector();
    m_model = nullptr;
    m_archived = logs;
    m_archivedKeys.clear();
    for (std::size_t i = 0; logs && i < logs->size(); ++i)
        m_archivedKeys.push_back(kArchivedMark + std::to_wstring(i));
    m_selectedPath = m_archivedKeys.empty() ? std::wstring() : m_archivedKeys.front();
    m_shownPath = kNothingShown;
    Refresh();
}

// Items keep the list's order (the selector is not sorted); each item's data points at
// its entry's path, so the selector is always emptied before the model is.
bool CLogFilesDialog::FillSelector(HWND selector, const std::wstring& selected)
{
    bool found = false;
    ForEachShownEntry(
        [&](const std::wstring& path, const std::wstring& name)
        {
            const LRESULT index =
                ::SendMessageW(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            if (index < 0)
                return;
            ::SendMessageW(selector, CB_SETITEMDATA, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(&path));
            if (!found && !selected.empty() && Misc::EqualsNoCase(path, selected))
            {
                ::SendMessageW(selector, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
                found = true;
            }
        });
    return found;
}

void CLogFilesDialog::ShowLog(const std::wstring& path)
{
    if (Misc::EqualsNoCase(path, m_shownPath))
        return;
    m_shownPath = path;
    const bool loaded = LoadLogText(m_shownPath);
    // An archived log is nowhere on disk for the shell to open.
    ::EnableWindow(GetDlgItem(IDC_LOG_OPEN), loaded && !m_shownPath.empty() && !m_archived);
}

// The view holds the log's rows and draws the few in sight; after a load the end of
// the log is in view.
bool CLogFilesDialog::LoadLogText(const std::wstring& path)
{
    if (path.empty())
    {
        m_view.ShowText(kNoLogText);
        NameView(kNoLogText);
        return true;
    }
    const WaitCursorScope wait;
    bool loaded = false;
    std::wstring name;
    if (m_archived)
    {
        // A log inside an archive is shown from memory only, under the report's name.
        const ArchivedLog* archived = ArchivedLogOf(path);
        loaded = archived && archived->content && m_view.ShowBytes(*archived->content);
        if (archived)
            name = Misc::ComposePath(archived->name, 12);
    }
    else
    {
        loaded = m_view.ShowFile(path, m_viewLimit, m_showAtOnceBytes);
        name = Misc::ComposePath(path, 12);
    }
    if (!loaded)
        m_view.ShowText(kUnableText);
    NameView(loaded ? name : kUnableText);
    return loaded;
}

// Screen readers announce the view by this name.
void CLogFilesDialog::NameView(const std::wstring& name)
{
    ::SetWindowTextW(m_view.Hwnd(), name.c_str());
}

// Every scan ends with the first log file shown. Another model may name the same path
// with other text, so the text is always loaded anew.
void CLogFilesDialog::Show(const LogFilesInfo* model)
{
    ResetSelector();
    m_model = model;
    m_archived = nullptr;
    m_archivedKeys.clear();
    m_shownPath = kNothingShown;
    const LogFilesInfo::LogFileEntry* first = nullptr;
    if (m_model)
        m_model->ForEachEntry(
            [&](const LogFilesInfo::LogFileEntry& entry)
            {
                if (!first)
                    first = &entry;
            });
    m_selectedPath = first ? first->Path() : std::wstring();
    Refresh();
}

// The selector's items point into the model: they go before the model is let go.
void CLogFilesDialog::Clear()
{
    ResetSelector();
    ShowLog(L"");
    m_selectedPath.clear();
    m_shownPath.clear();
    m_model = nullptr;
    m_archived = nullptr;
    m_archivedKeys.clear();
}

void CLogFilesDialog::Refresh()
{
    ResetSelector();
    FillSelector(GetDlgItem(IDC_LOG_SELECTOR), m_selectedPath);
    ShowLog(m_selectedPath);
}

// An item's data is trusted only while its entry is still in the model.
const std::wstring* CLogFilesDialog::EntryPath(LRESULT itemData) const
{
    const std::wstring* found = nullptr;
    ForEachShownEntry(
        [&](const std::wstring& path, const std::wstring&)
        {
            if (reinterpret_cast<LRESULT>(&path) == itemData)
                found = &path;
        });
    return found;
}

void CLogFilesDialog::OnSelectionChange()
{
    HWND selector = GetDlgItem(IDC_LOG_SELECTOR);
    const LRESULT index = ::SendMessageW(selector, CB_GETCURSEL, 0, 0);
    const std::wstring* path =
        index == CB_ERR ? nullptr
                        : EntryPath(::SendMessageW(selector, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    m_selectedPath = path ? *path : std::wstring();
    ShowLog(m_selectedPath);
}

bool CLogFilesDialog::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_LOG_SELECTOR && code == CBN_SELCHANGE)
    {
        m_openNote.Hide();
        OnSelectionChange();
        return true;
    }
    if (id == IDC_LOG_OPEN && code == BN_CLICKED)
    {
        // Opening nothing without a word would look like a dead button.
        if (!m_shownPath.empty() && !m_archived)
            m_openNote.Show(GetDlgItem(IDC_LOG_OPEN), OpenWithShell(m_shownPath));
        return true;
    }
    return UI::SizeDialog::OnCommand(id, code, control);
}

bool CLogFilesDialog::OnNotify(NMHDR* header, LRESULT& result)
{
    if (m_view.OnNotify(header, result))
        return true;
    if (header->hwndFrom == m_view.Hwnd() && header->code == LVN_KEYDOWN)
        OnViewKey(reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey);
    return UI::SizeDialog::OnNotify(header, result);
}

// Ctrl+F opens the find row, F3 finds the next row, Shift+F3 the previous one, Escape
// closes the find row.
void CLogFilesDialog::OnViewKey(WORD key)
{
    if (key == 'F' && ::GetKeyState(VK_CONTROL) < 0)
        m_findBar.Open();
    else if (key == VK_F3)
        m_findBar.FindAgain(::GetKeyState(VK_SHIFT) >= 0);
    else if (key == VK_ESCAPE && m_findBar.IsOpen())
        m_findBar.Close(m_view.Hwnd());
}

// A log read on the view's own thread is shown, or said unreadable, when it is there.
bool CLogFilesDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != kLogLoadedMessage)
        return UI::SizeDialog::OnMessage(message, wParam, lParam, result);
    if (m_view.OnLoaded(wParam) == LogView::Loaded::Failed)
    {
        m_view.ShowText(kUnableText);
        NameView(kUnableText);
        ::EnableWindow(GetDlgItem(IDC_LOG_OPEN), FALSE);
    }
    result = 0;
    return true;
}
