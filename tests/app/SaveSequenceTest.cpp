#include "app/SaveSequence.h"

#include "app/SaveAsDialog.h"
#include "app/SequenceGuard.h"
#include "app/WaitCursor.h"
#include "checks/OtherFilesControl.h"
#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"
#include "resource.h"
#include "TestDialog.h"
#include "TestSupport.h"
#include "WineHost.h"
#include "ZipReader.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <thread>

namespace
{

using AppTest::StatusDialog;
using OrvoTest::Exists;
using OrvoTest::Narrow;
using OrvoTest::ReadZip;
using OrvoTest::ZipEntry;

class CountingCursor : public IWaitCursor
{
  public:
    void Begin() override { ++depth, ++begun; }
    void Restore() override {}
    void End() override { --depth; }
    int depth = 0, begun = 0;
};

std::vector<std::string> Names(const std::vector<ZipEntry>& entries)
{
    std::vector<std::string> names;
    for (const ZipEntry& e : entries)
        names.push_back(e.name);
    return names;
}

const std::regex kSavedAt("Saved at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");
const std::regex kFailedAt("Saving FAILED at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");

class SaveSequenceTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_NE(dialog.Hwnd(), nullptr);
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        m_previousCursor = SetWaitCursor(&cursor);
        holder = std::make_unique<Misc::TmpFileManager>();
        archive = PathOf(L"out.zip");
        SetSaveAsHandler(
            [this](HWND owner, const std::wstring& defaultName)
            {
                ++asked;
                askedOwner = owner;
                askedName = defaultName;
                return answer;
            });
        answer = archive;
        targets.window = dialog.Hwnd();
        targets.status = &dialog;
        dialog.SetStatus(L"Scanned at 10:00:00");
    }
    void TearDown() override
    {
        SetSaveAsHandler(nullptr);
        SetWaitCursor(m_previousCursor);
        EXPECT_EQ(cursor.depth, 0) << "the wait cursor is left on";
        holder.reset();
        m_com.reset();
        TempDirTest::TearDown();
    }

    // A writer that appends one section element and the given files.
    SectionWriter Section(const wchar_t* name, std::vector<std::wstring> files = {}, bool result = true)
    {
        return [this, name, files, result](Misc::XML_Document& document, IXMLDOMNode* parent,
                                           Misc::AttachmentList& attachments)
        {
            EXPECT_EQ(parent, nullptr) << "sections go under the root";
            called.push_back(Narrow(name));
            const bool added = static_cast<bool>(document.AddElement(parent, name));
            attachments.insert(attachments.end(), files.begin(), files.end());
            return added && result;
        };
    }

    std::wstring MakeFile(const std::wstring& relative, const std::string& bytes)
    {
        const std::wstring path = PathOf(relative);
        const std::size_t slash = path.rfind(L'\\');
        ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        EXPECT_TRUE(OrvoTest::WriteBytes(path, bytes));
        return path;
    }

    bool NoStagingFolder() const
    {
        WIN32_FIND_DATAW entry{};
        HANDLE find = ::FindFirstFileW(PathOf(L"tmp_Orvo_*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return true;
        ::FindClose(find);
        return false;
    }

    std::string Status() const { return Narrow(dialog.Text(IDC_STATUS)); }

    StatusDialog dialog;
    CountingCursor cursor;
    std::unique_ptr<Misc::TmpFileManager> holder;
    SaveTargets targets;
    std::wstring archive, answer, askedName;
    HWND askedOwner = nullptr;
    int asked = 0;
    std::vector<std::string> called;

    std::unique_ptr<Misc::ComScope> m_com;

  private:
    IWaitCursor* m_previousCursor = nullptr;
};

TEST_F(SaveSequenceTest, ArchivesTheListedFilesInOrderAndTheReportLast)
{
    ASSERT_TRUE(m_com && m_com->Started());
    const std::wstring logA = MakeFile(L"installA\\Viewer.log", "log of A");
    const std::wstring logB = MakeFile(L"installB\\Viewer.log", "log of B");
    Misc::AFileManager* exports = new Misc::AFileManager(); // the other-files manager
    const std::wstring reg = exports->Register(L"LM_Orvo_32.reg");
    ASSERT_TRUE(OrvoTest::WriteBytes(reg, "REGEDIT4\r\n"));

    targets.writers = {Section(L"System"), Section(L"Applications"), Section(L"LogFiles", {logA, logB}),
                       Section(L"OtherFiles", {reg})};
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved);

    EXPECT_EQ(asked, 1);
    EXPECT_EQ(askedOwner, dialog.Hwnd());
    EXPECT_TRUE(
        std::regex_match(Narrow(askedName), std::regex("OrvoDiag_20[0-9]{6}_[0-2][0-9][0-5][0-9]\\.zip")))
        << Narrow(askedName);
    EXPECT_EQ(called, (std::vector<std::string>{"System", "Applications", "LogFiles", "OtherFiles"}));

    bool ok = false;
    const std::vector<ZipEntry> entries = ReadZip(archive, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"Viewer.log", "Viewer.log", "LM_Orvo_32.reg", "OrvoDiag.xml"}));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].data, "log of A");
    EXPECT_EQ(entries[1].data, "log of B");
    EXPECT_EQ(entries[2].data, "REGEDIT4\r\n");
    for (const ZipEntry& e : entries)
        EXPECT_TRUE(e.crcMatches) << e.name;
    const std::string& report = entries[3].data;
    const std::size_t system = report.find("<System"), applications = report.find("<Applications"),
                      logFiles = report.find("<LogFiles"), otherFiles = report.find("<OtherFiles");
    EXPECT_NE(report.find("<Root>"), std::string::npos) << report;
    EXPECT_TRUE(system < applications && applications < logFiles && logFiles < otherFiles) << report;

    const std::vector<std::wstring> texts = dialog.Writes(IDC_STATUS);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], L"<<< SAVING DATA ... >>>");
    EXPECT_TRUE(std::regex_match(Status(), kSavedAt)) << Status();
    EXPECT_EQ(cursor.begun, 1);

    // The staged report and its folder go; the product's logs and the other manager's
    // export stay for the next save.
    EXPECT_TRUE(Exists(PathOf(L"tmp_Orvo_1"))) << "the other manager's folder stays";
    EXPECT_FALSE(Exists(PathOf(L"tmp_Orvo_2"))) << "the shared manager's folder goes";
    EXPECT_TRUE(Misc::TmpFileManager::Shared()->FolderPath().empty());
    EXPECT_EQ(Misc::TmpFileManager::Shared()->RegisteredCount(), 0u);
    EXPECT_TRUE(Exists(logA));
    EXPECT_TRUE(Exists(logB));
    EXPECT_TRUE(Exists(reg));
    exports->ReleaseRef();
    EXPECT_TRUE(NoStagingFolder());
}

// The other-files collector's exports, staged by its own manager, travel after the
// log files in every save until the next scan, and go with the collector.
TEST_F(SaveSequenceTest, OtherFilesTravelAfterTheLogFilesInEverySave)
{
    ASSERT_TRUE(m_com && m_com->Started());
    const wchar_t kDemoKey[] = L"SOFTWARE\\Varnholt Brevik\\Orvo_Demo";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kDemoKey);
    {
        Misc::RegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kDemoKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.Put(), nullptr),
                  ERROR_SUCCESS);
        const DWORD value = 42;
        ::RegSetValueExW(key.Get(), L"Seats", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                         sizeof(value));
    }
    const std::wstring log = MakeFile(L"install\\Viewer.log", "log");
    std::string staged;
    {
        OtherFilesControl control;
        control.Scan(nullptr, {});
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kDemoKey);
        ASSERT_EQ(control.Info().Count(), 1u);
        control.Info().ForEachEntry([&](const OtherFilesInfo::FileEntry& e)
                                    { staged = OrvoTest::ReadBytes(e.Path()); });
        ASSERT_NE(staged.find("\"Seats\"=dword:0000002a\r\n"), std::string::npos) << staged;

        targets.writers = {
            Section(L"LogFiles", {log}),
            [&control](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
            { return control.WriteSection(document, parent, attachments); }};
        for (const wchar_t* name : {L"first.zip", L"second.zip"})
        {
            answer = PathOf(name);
            EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved) << Narrow(name);
            bool ok = false;
            const std::vector<ZipEntry> entries = ReadZip(answer, &ok);
            ASSERT_TRUE(ok);
            ASSERT_EQ(Names(entries),
                      (std::vector<std::string>{"Viewer.log", "CU_Orvo_Demo.reg", "OrvoDiag.xml"}))
                << Narrow(name);
            EXPECT_EQ(entries[1].data, staged);
            EXPECT_NE(entries[2].data.find("<OtherFiles Version=\"1\" Count=\"1\"><OtherFile "
                                           "File=\"CU_Orvo_Demo.reg\"/></OtherFiles>"),
                      std::string::npos)
                << entries[2].data;
        }
    }
    EXPECT_TRUE(NoStagingFolder());
}

// The driver report is staged by the same collector after its registry exports, so it
// follows them in the archive; the report itself comes last.
TEST_F(SaveSequenceTest, TheDriverReportFollowsTheRegistryExports)
{
    ASSERT_TRUE(m_com && m_com->Started());
    const wchar_t kDemoKey[] = L"SOFTWARE\\Varnholt Brevik\\Orvo_Demo";
    {
        Misc::RegKey key;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kDemoKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    key.Put(), nullptr),
                  ERROR_SUCCESS);
    }
    // A USB support library without any driver beside it: the test runs without a
    // timed box search.
    const std::wstring usb = MakeFile(L"install\\TarvikUSB.dll", "MZ");
    {
        OtherFilesControl control;
        control.Scan(nullptr, {usb});
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kDemoKey);
        std::string staged;
        control.Info().ForEachEntry([&](const OtherFilesInfo::FileEntry& e)
                                    { staged = OrvoTest::ReadBytes(e.Path()); });
        targets.writers = {
            [&control](Misc::XML_Document& document, IXMLDOMNode* parent, Misc::AttachmentList& attachments)
            { return control.WriteSection(document, parent, attachments); }};
        EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved);
        bool ok = false;
        const std::vector<ZipEntry> entries = ReadZip(archive, &ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(Names(entries),
                  (std::vector<std::string>{"CU_Orvo_Demo.reg", "Tarvik_UsbBox.txt", "OrvoDiag.xml"}));
        EXPECT_EQ(entries[1].data, staged);
        const std::string firstLine = "\xFF\xFE=\0=\0";
        EXPECT_EQ(entries[1].data.compare(0, firstLine.size(), firstLine), 0);
        EXPECT_NE(entries[2].data.find("<OtherFile File=\"Tarvik_UsbBox.txt\"/>"), std::string::npos);
    }
    EXPECT_TRUE(NoStagingFolder());
}

TEST_F(SaveSequenceTest, AFailedSectionFailsTheSaveButTheArchiveIsWritten)
{
    const std::wstring log = MakeFile(L"Viewer.log", "log");
    targets.writers = {Section(L"System"), Section(L"Applications", {}, false), Section(L"LogFiles", {log}),
                       Section(L"OtherFiles")};
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Failed);
    EXPECT_EQ(called.size(), 4u) << "a failed writer does not stop the others";
    EXPECT_TRUE(std::regex_match(Status(), kFailedAt)) << Status();
    bool ok = false;
    const std::vector<ZipEntry> entries = ReadZip(archive, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Viewer.log", "OrvoDiag.xml"}));
    EXPECT_TRUE(NoStagingFolder());
}

TEST_F(SaveSequenceTest, FailuresOfTheReportOrTheArchiveAreReported)
{
    const std::wstring log = MakeFile(L"Viewer.log", "log");
    struct Case
    {
        const char* what;
        std::wstring archivePath;
        bool removeStagingFolder; // the report then cannot be saved
        std::vector<std::string> entries;
        std::wstring failure; // the first failure the save met
    };
    const std::wstring locked = PathOf(L"locked.zip");
    ASSERT_TRUE(OrvoTest::WriteBytes(locked, "in use"));
    Misc::FileHandle holder(
        ::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    auto cannotCreate = [](const std::wstring& path, DWORD error)
    { return L"Cannot create the archive " + path + L": " + Misc::SystemErrorLine(error); };
    const Case cases[] = {
        {"report cannot be saved", PathOf(L"a.zip"), true, {"Viewer.log"}, L"Cannot write the report "},
        {"archive cannot be created",
         PathOf(L"missing\\b.zip"),
         false,
         {},
         cannotCreate(PathOf(L"missing\\b.zip"), ERROR_PATH_NOT_FOUND)},
        {"archive path is a folder",
         PathOf(L"installA"),
         false,
         {},
         cannotCreate(PathOf(L"installA"), ERROR_ACCESS_DENIED)},
        {"archive held open by another program",
         locked,
         false,
         {},
         cannotCreate(locked, ERROR_SHARING_VIOLATION)},
    };
    ::CreateDirectoryW(PathOf(L"installA").c_str(), nullptr);
    for (const Case& c : cases)
    {
        answer = c.archivePath;
        targets.writers = {Section(L"LogFiles", {log}),
                           [&](Misc::XML_Document&, IXMLDOMNode*, Misc::AttachmentList&)
                           {
                               if (c.removeStagingFolder)
                                   ::RemoveDirectoryW(Misc::TmpFileManager::Shared()->FolderPath().c_str());
                               return true;
                           }};
        const SaveOutcome outcome = SaveSequence(targets);
        EXPECT_EQ(outcome, SaveOutcome::Failed) << c.what;
        EXPECT_EQ(outcome.archivePath, c.archivePath) << c.what;
        EXPECT_EQ(outcome.failure.rfind(c.failure, 0), 0u) << c.what << ": " << Narrow(outcome.failure);
        EXPECT_TRUE(std::regex_match(Status(), kFailedAt)) << c.what << ": " << Status();
        bool ok = false;
        if (c.archivePath == locked)
            EXPECT_EQ(OrvoTest::ReadBytes(locked), "in use") << "the other program's file is left alone";
        else
            EXPECT_EQ(Names(ReadZip(c.archivePath, &ok)), c.entries) << c.what;
        EXPECT_TRUE(NoStagingFolder()) << c.what;
        EXPECT_TRUE(Exists(log));
    }
}

// A small file system mounted for one test (under Wine, as root): full after a few
// hundred KiB, or read-only.
class SmallDisk
{
  public:
    SmallDisk(const std::wstring& folder, const std::string& options) : m_folder(folder)
    {
        ::CreateDirectoryW(folder.c_str(), nullptr);
        m_unix = OrvoTest::UnixPath(folder);
        m_mounted = !m_unix.empty() &&
                    OrvoTest::RunUnixShell("mount -t tmpfs -o " + options + " tmpfs '" + m_unix + "'") == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            OrvoTest::RunUnixShell("umount '" + m_unix + "'");
        ::RemoveDirectoryW(m_folder.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return m_mounted; }

  private:
    std::wstring m_folder;
    std::string m_unix;
    bool m_mounted = false;
};

// The archive's disk fills during the save, or cannot be written at all: the save
// fails, no archive is left that would look whole, the other files stay staged for the
// next try, and the report's staging folder is gone.
TEST_F(SaveSequenceTest, ADiskThatIsFullOrReadOnlyFailsTheSaveAndLeavesNoArchive)
{
    std::string noise(2 * 1024 * 1024, '\0');
    uint32_t state = 12345;
    for (char& c : noise)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24); // does not deflate
    const std::wstring big = MakeFile(L"Viewer.log", noise);
    Misc::AFileManager* exports = new Misc::AFileManager();
    const std::wstring reg = exports->Register(L"LM_Orvo_32.reg");
    ASSERT_TRUE(OrvoTest::WriteBytes(reg, "REGEDIT4\r\n"));
    for (const char* options : {"size=256k", "ro,size=256k"})
    {
        SmallDisk disk(PathOf(L"small"), options);
        if (!disk.Mounted())
        {
            exports->ReleaseRef();
            GTEST_SKIP() << "no small file system can be mounted here (it needs root under Wine)";
        }
        answer = PathOf(L"small\\out.zip");
        targets.writers = {Section(L"System"), Section(L"LogFiles", {big}), Section(L"OtherFiles", {reg})};
        const SaveOutcome outcome = SaveSequence(targets);
        EXPECT_EQ(outcome, SaveOutcome::Failed) << options;
        // Full: the write fails; read-only: the archive cannot even be made.
        const std::wstring reason =
            std::string(options).rfind("ro,", 0) == 0
                ? L"Cannot create the archive " + answer + L": "
                : L"Cannot write the archive " + answer + L": " + Misc::SystemErrorLine(ERROR_DISK_FULL);
        EXPECT_EQ(outcome.failure.rfind(reason, 0), 0u) << options << ": " << Narrow(outcome.failure);
        EXPECT_TRUE(std::regex_match(Status(), kFailedAt)) << options << ": " << Status();
        EXPECT_FALSE(Exists(answer)) << options << ": a partial archive is left";
        EXPECT_EQ(OrvoTest::ReadBytes(reg), "REGEDIT4\r\n") << options;
        EXPECT_EQ(OrvoTest::ReadBytes(big).size(), noise.size()) << options;
        EXPECT_TRUE(Exists(PathOf(L"tmp_Orvo_1"))) << options << ": the other files stay staged";
        EXPECT_FALSE(Exists(PathOf(L"tmp_Orvo_2"))) << options << ": the report's folder goes";
    }
    exports->ReleaseRef();
    EXPECT_TRUE(NoStagingFolder());
}

TEST_F(SaveSequenceTest, CancellingChangesNothing)
{
    answer.clear();
    targets.writers = {Section(L"System")};
    const std::size_t writesBefore = dialog.Writes(IDC_STATUS).size();
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Cancelled);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dialog.Writes(IDC_STATUS).size(), writesBefore);
    EXPECT_EQ(Status(), "Scanned at 10:00:00");
    EXPECT_TRUE(called.empty());
    EXPECT_TRUE(NoStagingFolder());
    EXPECT_EQ(Misc::TmpFileManager::Shared()->RegisteredCount(), 0u);
    EXPECT_EQ(cursor.begun, 0);
}

TEST_F(SaveSequenceTest, WithoutAReportPathNothingHappens)
{
    holder.reset(); // no shared manager at all
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::NotStarted);
    {
        // A shared manager without a usable temporary directory.
        OrvoTest::ScopedEnv tmp(L"TMP", Dir() + L"\\" + std::wstring(280, L'a'));
        OrvoTest::ScopedEnv temp(L"TEMP", Dir() + L"\\" + std::wstring(280, L'a'));
        holder = std::make_unique<Misc::TmpFileManager>();
    }
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::NotStarted);
    {
        SequenceGuard scanRunning;
        holder = std::make_unique<Misc::TmpFileManager>(); // a second holder of the same manager
        EXPECT_EQ(SaveSequence(targets), SaveOutcome::NotStarted) << "refused while a scan runs";
    }
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Status(), "Scanned at 10:00:00");
}

TEST_F(SaveSequenceTest, LeftoversOfAnEarlierSaveGoFirst)
{
    const std::wstring leftover = Misc::TmpFileManager::Shared()->Register(L"OrvoDiag.xml");
    ASSERT_TRUE(OrvoTest::WriteBytes(leftover, "stale"));
    targets.writers = {Section(L"System")};
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved);
    const std::vector<ZipEntry> entries = ReadZip(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].data.find("<System"), std::string::npos) << "the fresh report, not the stale one";
    EXPECT_TRUE(NoStagingFolder());
}

TEST_F(SaveSequenceTest, AFileHeldOpenForWritingIsArchived)
{
    const std::wstring log = MakeFile(L"Viewer.log", "first line\r\n");
    Misc::FileHandle writer(::CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.IsValid());
    const std::wstring missing = PathOf(L"gone.log");
    targets.writers = {Section(L"LogFiles", {log, missing})};
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved);
    EXPECT_TRUE(std::regex_match(Status(), kSavedAt)) << Status();
    const std::vector<ZipEntry> entries = ReadZip(archive);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Viewer.log", "OrvoDiag.xml"}))
        << "a missing file is left out without failing";
}

TEST_F(SaveSequenceTest, TheArchiveIsNeverPackedIntoItself)
{
    // The user chose a listed file as the archive (and confirmed the overwrite).
    const std::wstring log = MakeFile(L"Viewer.log", "log");
    const std::wstring other = MakeFile(L"Editor.log", "other");
    answer = log;
    targets.writers = {Section(L"LogFiles", {other, log})};
    EXPECT_EQ(SaveSequence(targets), SaveOutcome::Saved);
    bool ok = false;
    const std::vector<ZipEntry> entries = ReadZip(log, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Editor.log", "OrvoDiag.xml"}));
}

// Drives the platform's Save As dialog from a second thread, as a user would: waits for
// it, checks the offered name and type, types the archive's path and confirms.
class SaveAsDialogDriver
{
  public:
    SaveAsDialogDriver(DWORD uiThread, HWND ownWindow, std::wstring path)
        : m_uiThread(uiThread), m_own(ownWindow), m_path(std::move(path)), m_thread([this] { Run(); })
    {
    }
    ~SaveAsDialogDriver() { Join(); }

    // Waits for the driving thread, which ends on its own once the dialog is gone or was
    // never found. What it found is read only afterwards.
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    std::wstring offeredName, typeText;
    bool typed = false;

  private:
    struct Search
    {
        HWND own, found;
    };

    static BOOL CALLBACK FindDialog(HWND window, LPARAM param)
    {
        auto* search = reinterpret_cast<Search*>(param);
        wchar_t cls[64] = {};
        ::GetClassNameW(window, cls, 64);
        if (window != search->own && ::IsWindowVisible(window) && std::wstring(cls) == L"#32770")
        {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK Collect(HWND child, LPARAM param)
    {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
    }

    static std::wstring TextOf(HWND window)
    {
        wchar_t buffer[1024] = {};
        ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                              5000, nullptr);
        return buffer;
    }

    void Run()
    {
        HWND dialog = nullptr;
        for (int i = 0; i < 300 && !dialog; ++i)
        {
            Search search{m_own, nullptr};
            ::EnumThreadWindows(m_uiThread, &FindDialog, reinterpret_cast<LPARAM>(&search));
            dialog = search.found;
            if (!dialog)
                ::Sleep(100);
        }
        if (!dialog)
            return;
        HWND nameEdit = nullptr;
        for (int i = 0; i < 100 && !nameEdit; ++i)
        {
            std::vector<HWND> children;
            ::EnumChildWindows(dialog, &Collect, reinterpret_cast<LPARAM>(&children));
            for (HWND child : children)
            {
                wchar_t cls[64] = {};
                ::GetClassNameW(child, cls, 64);
                const std::wstring text = TextOf(child);
                if (std::wstring(cls) == L"Edit" && text.rfind(L"OrvoDiag_", 0) == 0)
                {
                    nameEdit = child;
                    offeredName = text;
                }
                if (std::wstring(cls) == L"ComboBox" && text.find(L"ZIP") != std::wstring::npos)
                    typeText = text;
            }
            if (!nameEdit)
                ::Sleep(100);
        }
        if (!nameEdit)
        {
            ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        ::SendMessageTimeoutW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_path.c_str()),
                              SMTO_ABORTIFHUNG, 5000, nullptr);
        typed = true;
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
    }

    DWORD m_uiThread;
    HWND m_own;
    std::wstring m_path;
    std::thread m_thread;
};

TEST_F(SaveSequenceTest, ThroughTheRealSaveAsDialog)
{
    ASSERT_TRUE(m_com && m_com->Started());
    {
        // The newer dialog exists here, so it is the one the save shows.
        Misc::ComPtr<IFileSaveDialog> probe;
        ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IFileSaveDialog, probe.PutVoid())));
    }
    SetSaveAsHandler(nullptr);
    // With ORVO_SAVE_ARTIFACTS set, the archive is kept for the checks with unzip and
    // Python's zipfile.
    wchar_t flag[8] = {};
    const bool keep = ::GetEnvironmentVariableW(L"ORVO_SAVE_ARTIFACTS", flag, 8) > 0;
    const std::wstring target =
        keep ? OrvoTest::ArtifactPath(L"saved_through_dialog.zip") : PathOf(L"chosen.zip");
    ::DeleteFileW(target.c_str());

    const std::wstring log = MakeFile(L"Viewer.log", "log through the dialog\r\n");
    targets.writers = {Section(L"System"), Section(L"LogFiles", {log})};
    SaveOutcome outcome;
    std::wstring offered, typeText;
    bool typed = false;
    {
        SaveAsDialogDriver driver(::GetCurrentThreadId(), dialog.Hwnd(), target);
        outcome = SaveSequence(targets);
        driver.Join();
        offered = driver.offeredName;
        typeText = driver.typeText;
        typed = driver.typed;
    }
    ASSERT_TRUE(typed) << "the Save As dialog with the default name was not found";
    EXPECT_TRUE(
        std::regex_match(Narrow(offered), std::regex("OrvoDiag_20[0-9]{6}_[0-2][0-9][0-5][0-9]\\.zip")))
        << Narrow(offered);
    EXPECT_NE(typeText.find(L"ZIP files (*.zip)"), std::wstring::npos) << Narrow(typeText);
    EXPECT_EQ(outcome, SaveOutcome::Saved);
    EXPECT_TRUE(std::regex_match(Status(), kSavedAt)) << Status();
    bool ok = false;
    const std::vector<ZipEntry> entries = ReadZip(target, &ok);
    ASSERT_TRUE(ok) << Narrow(target);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Viewer.log", "OrvoDiag.xml"}));
    EXPECT_TRUE(NoStagingFolder());
}

} // namespace

namespace
{

// A bare file name typed into the platform's dialog lands in the folder it started in:
// the user's Documents the first time, then the folder of the last archive.
TEST_F(SaveSequenceTest, SaveAsStartsInDocumentsThenWhereTheLastArchiveWent)
{
    ASSERT_TRUE(m_com && m_com->Started());
    SetSaveAsHandler(nullptr);
    Misc::CoTaskMemory<wchar_t> documents;
    ASSERT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, documents.Put())));
    ASSERT_EQ(SaveAsStartFolder(), documents.Get());
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"chosen").c_str(), nullptr));
    const std::wstring firstName = L"OrvoStart_" + std::to_wstring(::GetCurrentProcessId()) + L".zip";
    const struct
    {
        std::wstring typed;
        std::wstring saved;
    } saves[] = {
        {firstName, std::wstring(documents.Get()) + L"\\" + firstName},
        {PathOf(L"chosen\\second.zip"), PathOf(L"chosen\\second.zip")},
        {L"third.zip", PathOf(L"chosen\\third.zip")},
    };
    targets.writers = {Section(L"System")};
    for (const auto& save : saves)
    {
        SCOPED_TRACE(Narrow(save.typed));
        SaveOutcome outcome;
        {
            SaveAsDialogDriver driver(::GetCurrentThreadId(), dialog.Hwnd(), save.typed);
            outcome = SaveSequence(targets);
            driver.Join();
            ASSERT_TRUE(driver.typed) << "the Save As dialog was not found";
        }
        EXPECT_EQ(outcome, SaveOutcome::Saved);
        EXPECT_EQ(::lstrcmpiW(outcome.archivePath.c_str(), save.saved.c_str()), 0)
            << Narrow(outcome.archivePath);
        EXPECT_TRUE(Exists(save.saved));
    }
    ::DeleteFileW(saves[0].saved.c_str());
    EXPECT_EQ(SaveAsStartFolder(), PathOf(L"chosen"));
}

} // namespace
