#include "app/OrvoDiagDlg.h"

#include "app/FocusReturn.h"
#include "app/OpenSequence.h"
#include "app/ProblemsStep.h"
#include "app/SaveSequence.h"
#include "app/ScanSequence.h"
#include "app/SequenceGuard.h"
#include "app/ShowInFolder.h"
#include "misc/MessageBox.h"
#include "misc/Text.h"
#include "resource.h"
#include "ui/Placement.h"

#include <shellapi.h>

namespace
{

constexpr UINT kAboutCommand = IDM_ABOUTBOX;
const wchar_t kNothingScanned[] = L"Nothing scanned yet ...";
const wchar_t kTitle[] = L"Orvo Diagnostics";
// Posted instead of the first Scan when the window starts with an archive to show.
constexpr UINT kOpenAtStartMessage = WM_APP + 1;

HICON LoadAppIcon(int metricX, int metricY)
{
    return static_cast<HICON>(::LoadImageW(UI::CDialog::ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                           IMAGE_ICON, ::GetSystemMetrics(metricX),
                                           ::GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

// "Tahoma" at 8.5 points on a screen of `dpi`.
HFONT CreateTabFont(UINT dpi)
{
    LOGFONTW description = {};
    description.lfHeight = -::MulDiv(85, static_cast<int>(dpi), 720);
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(description.lfFaceName, L"Tahoma");
    return ::CreateFontIndirectW(&description);
}

} // namespace

COrvoDiagDlg::COrvoDiagDlg(HWND parent)
    : SizeDialog(IDD_ORVODIAG_DIALOG, parent), m_icon(LoadAppIcon(SM_CXICON, SM_CYICON)),
      m_smallIcon(LoadAppIcon(SM_CXSMICON, SM_CYSMICON)), m_systemPage(this), m_filesPage(this),
      m_logFilesPage(this)
{
    UI::RelativeLayout* layout = Layout();
    layout->AddItem(IDC_TAB_STRIP, 0, 0, 1, 1);
    layout->AddItem(IDC_SCAN, 0, 1, 0, 0);
    layout->AddItem(IDC_SPINNER, 0, 1, 0, 0);
    layout->AddItem(IDC_STATUS, 0, 1, 1, 0);
    layout->AddItem(IDC_SAVE, 1, 1, 0, 0);
    layout->AddItem(IDCANCEL, 1, 1, 0, 0);
}

// The window goes before its parts, so that no message reaches a part already gone.
// The parts then go in the reverse order of their construction: the pages, the
// collection (its staged files and folders), the tab strip.
COrvoDiagDlg::~COrvoDiagDlg()
{
    DestroyWindow();
}

POINT COrvoDiagDlg::IconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

// The tab strip and the pages exist before the layout takes its measures; the dialog
// is not visible yet, so a failure ends it before it is ever shown.
bool COrvoDiagDlg::CreateChildWindows()
{
    HWND window = GetHwnd();
    if (!m_tabStrip.Create(window, WS_VISIBLE | WS_TABSTOP, RECT{}, IDC_TAB_STRIP_NEW))
        return false;
    HWND strip = m_tabStrip.GetHwnd();
    struct PageToCreate
    {
        UI::CDialog& page;
        UINT templateId;
        int id;
    };
    const PageToCreate pages[] = {
        {m_systemPage, IDD_SYSTEM_PAGE, IDC_PAGE_SYSTEM},
        {m_filesPage, IDD_FILES_PAGE, IDC_PAGE_FILES},
        {m_logFilesPage, IDD_LOGFILES_PAGE, IDC_PAGE_LOGFILES},
    };
    for (const auto& p : pages)
    {
        if (!p.page.Create(strip, p.templateId))
            return false;
        ::SetWindowLongPtrW(p.page.GetHwnd(), GWLP_ID, p.id);
    }
    return true;
}

BOOL COrvoDiagDlg::OnInitDialog()
{
    if (!CreateChildWindows())
    {
        if (IsModal())
            EndDialog(-1);
        else
            DestroyWindow();
        return FALSE;
    }
    // The client size and the controls' rectangles are taken while the placeholder
    // still stands where the tab strip goes.
    SizeDialog::OnInitDialog();
    HWND window = GetHwnd();

    if (HMENU menu = ::GetSystemMenu(window, FALSE))
    {
        wchar_t text[128] = {};
        if (::LoadStringW(ResourceInstance(), IDS_ABOUTBOX, text, ARRAYSIZE(text)) > 0 && text[0])
        {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(menu, MF_STRING, kAboutCommand, text);
        }
    }
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));

    m_tabStrip.PlaceOver(window, IDC_TAB_STRIP);
    m_systemItem = m_tabStrip.Add(m_systemPage.GetHwnd(), L"System");
    m_filesItem = m_tabStrip.Add(m_filesPage.GetHwnd(), L"Files");
    m_logFilesItem = m_tabStrip.Add(m_logFilesPage.GetHwnd(), L"Log Files");

    OnDpiChanged(Dpi());

    m_tabStrip.SetPageBorder(false);
    m_tabStrip.SetEqualTabWidths(true);
    m_tabStrip.ShowCloseButton(true);
    m_tabStrip.SetNotifyManager(this);
    m_tabStrip.Update();
    ::InvalidateRect(m_tabStrip.GetHwnd(), nullptr, FALSE);

    SetStatus(kNothingScanned);
    m_statusTip.Create(window, GetDlgItem(IDC_STATUS));
    UI::CentreWindow(window, nullptr);
    ::DragAcceptFiles(window, TRUE);
    // The first scan, or the opening of the archive it was started with, runs as soon as
    // the message loop takes this, with the window shown.
    if (!m_openAtStart.empty())
        ::PostMessageW(window, kOpenAtStartMessage, 0, 0);
    else
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    return TRUE;
}

// Selecting a tab rebuilds that page's view from its model; nothing is scanned again.
void COrvoDiagDlg::OnTabSelected(UI::TabCtrl*, UI::HTAB item)
{
    if (item == m_systemItem)
        m_systemPage.FillTree();
    else if (item == m_filesItem)
        m_filesPage.FillTree();
    else if (item == m_logFilesItem)
        m_logFilesPage.Refresh();
}

void COrvoDiagDlg::FillScanTargets(ScanTargets& targets)
{
    targets.window = GetHwnd();
    targets.status = this;
    targets.collection = &m_collection;
    targets.views = this;
}

// The log page's selector refers to the log files model: it lets go before the
// collection is emptied.
void COrvoDiagDlg::ClearViews()
{
    m_systemPage.Clear();
    m_filesPage.Clear();
    m_logFilesPage.Clear();
}

// The other files have no page.
void COrvoDiagDlg::ShowStep(CollectionStep step)
{
    switch (step)
    {
    case CollectionStep::System:
        m_systemPage.Show(&m_collection.System());
        break;
    case CollectionStep::InstalledFiles:
        m_filesPage.Show(&m_collection.InstalledFiles());
        break;
    case CollectionStep::LogFiles:
        m_logFilesPage.Show(&m_collection.LogFiles());
        break;
    case CollectionStep::OtherFiles:
        break;
    }
}

// Scan always scans this machine: a shown archive goes first, and Save with it.
void COrvoDiagDlg::Scan()
{
    if (SequenceGuard::Running())
        return;
    FocusReturn focus(GetHwnd(), IDC_SCAN);
    EndArchiveView();
    m_statusTip.SetText({});
    ScanTargets targets;
    FillScanTargets(targets);
    if (ScanSequence(targets))
        ShowFindings();
    CloseIfRequested();
}

// The rules read what every step of the scan left; the System tab shows the findings
// as its first branch.
const FindingList& COrvoDiagDlg::ShowFindings()
{
    m_systemPage.SetFindings(JudgeCollection(m_collection));
    return *m_systemPage.Findings();
}

void COrvoDiagDlg::FillSaveTargets(SaveTargets& targets)
{
    targets.window = GetHwnd();
    targets.status = this;
    // The Problems element follows the sections, so that it can tell which of them
    // failed.
    targets.writers = WritersWithProblems(m_collection.SectionWriters(), m_systemPage.Findings());
}

// A shown archive is saved already; Save is disabled meanwhile.
void COrvoDiagDlg::Save()
{
    if (m_archive)
        return;
    FocusReturn focus(GetHwnd(), IDC_SCAN);
    SaveTargets targets;
    FillSaveTargets(targets);
    ShowSaveOutcome(SaveSequence(targets));
    CloseIfRequested();
}

bool COrvoDiagDlg::OpenArchive(const std::wstring& path)
{
    OpenTargets targets;
    targets.window = GetHwnd();
    targets.status = this;
    targets.path = path;
    targets.archiveShown = m_archive != nullptr;
    targets.show = [this, &path](std::unique_ptr<SavedArchive> archive)
    { ShowArchive(std::move(archive), path); };
    const bool opened = OpenSequence(targets);
    CloseIfRequested();
    return opened;
}

// The pages turn to the new archive before the one they showed goes.
void COrvoDiagDlg::ShowArchive(std::unique_ptr<SavedArchive> archive, const std::wstring& path)
{
    m_systemPage.Show(&archive->System());
    m_systemPage.SetFindings(archive->Findings());
    m_filesPage.Show(&archive->InstalledFiles());
    m_logFilesPage.ShowArchived(&archive->LogFiles());
    m_archive = std::move(archive);
    ::SetWindowTextW(GetHwnd(), ArchiveTitle(path).c_str());
    m_statusTip.SetText(path);
}

// The pages show this machine's collection again before the archive goes.
void COrvoDiagDlg::EndArchiveView()
{
    if (!m_archive)
        return;
    for (CollectionStep step : kCollectionSteps)
        ShowStep(step);
    // The archive's findings go with it; the scan that follows judges this machine.
    m_systemPage.SetFindings(std::nullopt);
    m_archive.reset();
    ::SetWindowTextW(GetHwnd(), kTitle);
}

// The first file dropped is opened; the drop's memory is the window's to free.
void COrvoDiagDlg::OnDropFiles(HDROP drop)
{
    std::wstring path;
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0 && length < 32768)
    {
        path.resize(length + 1);
        path.resize(::DragQueryFileW(drop, 0, path.data(), length + 1));
    }
    ::DragFinish(drop);
    if (!path.empty())
        OpenArchive(path);
}

// "Saved at ..." does not say where: the archive's folder opens with the archive
// selected, once per save, and the status line's tooltip keeps the path. A failure
// says why in one box.
void COrvoDiagDlg::ShowSaveOutcome(const SaveOutcome& outcome)
{
    if (outcome == SaveOutcome::Saved)
    {
        m_statusTip.SetText(outcome.archivePath);
        ShowInFolder(outcome.archivePath);
    }
    else if (outcome == SaveOutcome::Failed)
    {
        m_statusTip.SetText(outcome.failure);
        Misc::ShowMessageBox(GetHwnd(),
                             L"The archive was not saved completely:\n" + outcome.archivePath + L"\n\n" +
                                 outcome.failure,
                             L"Orvo Diagnostics", MB_OK | MB_ICONWARNING);
    }
}

bool COrvoDiagDlg::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id)
    {
    case IDC_SCAN:
        Scan();
        return true;
    case IDC_SAVE:
        Save();
        return true;
    case IDC_TAB_STRIP:
        return true;
    default:
        return SizeDialog::OnCommand(id, code, control);
    }
}

// The window takes its messages during a scan, so a request to close can arrive in the
// middle of a collector. Ending the window there would pull the pages and the staging
// folders from under the running sequence; the request is kept instead and carried out
// when the sequence has returned, after its "Scanned at ..." or "Saved at ...".
void COrvoDiagDlg::OnCancel()
{
    if (SequenceGuard::Running())
    {
        m_closeRequested = true;
        return;
    }
    SizeDialog::OnCancel();
}

void COrvoDiagDlg::CloseIfRequested()
{
    if (!m_closeRequested || SequenceGuard::Running())
        return;
    m_closeRequested = false;
    SizeDialog::OnCancel();
}

// The close box and Alt+F4 arrive as WM_CLOSE; during a sequence they are kept like
// Escape, whatever the dialog manager would do with the disabled Exit button.
bool COrvoDiagDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_CLOSE && SequenceGuard::Running())
    {
        m_closeRequested = true;
        result = 0;
        return true;
    }
    if (message == WM_DROPFILES)
    {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        result = 0;
        return true;
    }
    if (message == kOpenAtStartMessage)
    {
        OpenArchive(m_openAtStart);
        result = 0;
        return true;
    }
    return SizeDialog::OnMessage(message, wParam, lParam, result);
}

// The tab strip and the pages follow the window to a new scale (the window's own
// controls and layout already have).
void COrvoDiagDlg::OnDpiChanged(UINT dpi)
{
    for (UI::SizeDialog* page :
         {static_cast<UI::SizeDialog*>(&m_systemPage), static_cast<UI::SizeDialog*>(&m_filesPage),
          static_cast<UI::SizeDialog*>(&m_logFilesPage)})
        page->ApplyDpi(dpi);
    if (HFONT font = CreateTabFont(dpi))
    {
        m_tabFont.Reset(font);
        m_tabStrip.SetFonts(font, font);
    }
    m_tabStrip.SetDpi(dpi);
}

bool COrvoDiagDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) != kAboutCommand)
        return false;
    CAboutDlg about(GetHwnd());
    about.DoModal();
    return true;
}

// Minimized, the window shows only its icon, centred.
bool COrvoDiagDlg::PaintsItself() const
{
    return ::IsIconic(GetHwnd()) != FALSE;
}

void COrvoDiagDlg::Paint(HDC dc)
{
    HWND window = GetHwnd();
    ::SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client = {};
    ::GetClientRect(window, &client);
    const POINT at =
        IconOrigin(client.right, client.bottom, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc, at.x, at.y, m_icon.Get());
}

HICON COrvoDiagDlg::OnQueryDragIcon()
{
    return m_icon.Get();
}
