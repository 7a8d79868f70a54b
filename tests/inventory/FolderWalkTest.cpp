#include "inventory/FolderWalk.h"

#include "inventory/FileProcessors.h"
#include "misc/CollectorContracts.h"
#include "misc/Handles.h"
#include "report/FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <winioctl.h>

#include <cstring>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

TEST(ClassifyWalkEntry, SkipsTemporaryFlatAndLinkedDirectories)
{
    constexpr DWORD D = FILE_ATTRIBUTE_DIRECTORY, T = FILE_ATTRIBUTE_TEMPORARY,
                    R = FILE_ATTRIBUTE_REPARSE_POINT, H = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    struct Case
    {
        DWORD attributes;
        const wchar_t* name;
        bool flat;
        WalkEntry expected;
    };
    const Case cases[] = {
        {FILE_ATTRIBUTE_NORMAL, L"a.txt", false, WalkEntry::Offer},
        {H, L"hidden.txt", true, WalkEntry::Offer},
        {T, L"scratch.tmp", false, WalkEntry::Skip},
        {R, L"linked.txt", false, WalkEntry::Offer}, // a linked file cannot lead into a loop
        {D, L"Sub", false, WalkEntry::Descend},
        {D | H, L"Hidden", false, WalkEntry::Descend},
        {D, L"Sub", true, WalkEntry::Skip},
        {D, L".", false, WalkEntry::Skip},
        {D, L"..", false, WalkEntry::Skip},
        {D | T, L"Sub", false, WalkEntry::Skip},
        {D | R, L"Junction", false, WalkEntry::Skip},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyWalkEntry(c.attributes, c.name, c.flat), c.expected) << Narrow(c.name);
}

class CountingStatus : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t* text) override { activities.push_back(text); }
    void SetStatus(const wchar_t*) override {}
    void Tick(bool big) override { ++(big ? bigTicks : smallTicks); }
    V activities;
    int smallTicks = 0;
    int bigTicks = 0;
};

// The paths of every kept folder and file below `folder`, depth first.
void Collect(const FolderContent& folder, V& out)
{
    folder.Folders().ForEach(
        [&](const FolderContent& sub)
        {
            out.push_back(sub.SubFolder() + L"\\");
            Collect(sub, out);
        });
    folder.Files().ForEach([&](const ApplicationsInfo::FileInfo& f)
                           { out.push_back(Misc::JoinPath(folder.SubFolder(), f.Name())); });
}

// Starts /bin/ln or /bin/rm of the Linux host that Wine runs on. Wine does not let
// a Windows program wait for a host program, so the callers watch for its effect.
void StartHostTool(const std::wstring& commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process))
    {
        Misc::KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    }
}

bool WaitForAttributes(const std::wstring& path, bool present)
{
    for (int i = 0; i < 100; ++i)
    {
        if ((::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        ::Sleep(50);
    }
    return false;
}

std::string HostPath(const std::wstring& path)
{
    using Convert = char*(CDECL*)(LPCWSTR);
    auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* converted = convert ? convert(path.c_str()) : nullptr;
    std::string result = converted ? converted : "";
    if (converted)
        ::HeapFree(::GetProcessHeap(), 0, converted);
    return result;
}

// A junction on Windows; Wine cannot set reparse data, but shows a symbolic link of
// the host as a directory with the reparse-point attribute, so that is made instead.
bool MakeDirectoryLink(const std::wstring& link, const std::wstring& target)
{
    if (::CreateDirectoryW(link.c_str(), nullptr))
    {
        Misc::FileHandle handle(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                              nullptr));
        const std::wstring substitute = L"\\??\\" + target;
        std::vector<BYTE> data(16 + (substitute.size() + target.size() + 2) * sizeof(wchar_t));
        const WORD subBytes = static_cast<WORD>(substitute.size() * 2),
                   printBytes = static_cast<WORD>(target.size() * 2);
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        const WORD header[6] = {static_cast<WORD>(data.size() - 8), 0,         0, subBytes,
                                static_cast<WORD>(subBytes + 2),    printBytes};
        std::memcpy(data.data(), &tag, 4);
        std::memcpy(data.data() + 4, header, sizeof header);
        std::memcpy(data.data() + 16, substitute.c_str(), subBytes);
        std::memcpy(data.data() + 16 + subBytes + 2, target.c_str(), printBytes);
        DWORD returned = 0;
        if (handle && ::DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, data.data(),
                                        static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr))
            return true;
        handle.Reset();
        ::RemoveDirectoryW(link.c_str());
    }
    const std::string hostTarget = HostPath(target);
    const std::string hostLink = HostPath(Misc::ComposePath(link, Misc::PathFolder)) +
                                 OrvoTest::Narrow(Misc::ComposePath(link, Misc::PathFileName));
    if (hostTarget.empty() || hostLink.size() < 2)
        return false;
    StartHostTool(L"Z:\\bin\\ln -s \"" + OrvoTest::Widen(hostTarget) + L"\" \"" + OrvoTest::Widen(hostLink) +
                  L"\"");
    WaitForAttributes(link, true);
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void RemoveDirectoryLink(const std::wstring& link)
{
    if (::RemoveDirectoryW(link.c_str()) || ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    const std::string hostLink = HostPath(Misc::ComposePath(link, Misc::PathFolder)) +
                                 OrvoTest::Narrow(Misc::ComposePath(link, Misc::PathFileName));
    StartHostTool(L"Z:\\bin\\rm -f \"" + OrvoTest::Widen(hostLink) + L"\"");
    WaitForAttributes(link, false);
}

class FolderWalkTest : public OrvoTest::TempDirTest
{
  protected:
    void Put(const std::wstring& relative, DWORD attributes = 0)
    {
        const std::wstring path = PathOf(relative);
        ASSERT_TRUE(OrvoTest::WriteBytes(path, "text\r\n")) << Narrow(relative);
        if (attributes)
        {
            ASSERT_TRUE(::SetFileAttributesW(path.c_str(), attributes));
        }
    }
    void MakeDirs(std::initializer_list<const wchar_t*> relatives)
    {
        for (const wchar_t* relative : relatives)
            ASSERT_TRUE(::CreateDirectoryW(PathOf(relative).c_str(), nullptr)) << Narrow(relative);
    }
    std::unique_ptr<FolderContent> Folder(std::uint32_t options, bool textOnly)
    {
        auto folder = std::make_unique<FolderContent>(Dir(), L"", L"Test", options, false);
        if (textOnly)
            folder->AddProcessor(std::make_unique<TxtProcessor>());
        else
            folder->AddProcessor(std::make_unique<GenericFileProcessor>());
        return folder;
    }
};

TEST_F(FolderWalkTest, KeepsOnlySubFoldersWithAcceptedFiles)
{
    MakeDirs({L"Docs", L"Docs\\Deep", L"Images", L"Images\\Nested", L"Empty", L"Hidden"});
    Put(L"top.txt");
    Put(L"top.bmp");
    Put(L"scratch.txt", FILE_ATTRIBUTE_TEMPORARY);
    Put(L"Docs\\Deep\\deep.txt");
    Put(L"Images\\Nested\\a.bmp");
    Put(L"Hidden\\secret.txt", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(::SetFileAttributesW(PathOf(L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));

    // Wine keeps only the classic attributes of a file: where the temporary one is not
    // kept, the listing cannot show it and the file is offered like any other.
    const bool keepsTemporary =
        (::GetFileAttributesW(PathOf(L"scratch.txt").c_str()) & FILE_ATTRIBUTE_TEMPORARY) != 0;

    auto folder = Folder(6, true);
    CountingStatus status;
    EXPECT_TRUE(folder->Walk(nullptr, &status));
    V kept;
    Collect(*folder, kept);
    V expected{L"Docs\\",   L"Docs\\Deep\\",       L"Docs\\Deep\\deep.txt",
               L"Hidden\\", L"Hidden\\secret.txt", L"top.txt"};
    if (!keepsTemporary)
        expected.insert(expected.end() - 1, L"scratch.txt");
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(status.smallTicks, keepsTemporary ? 5 : 6); // one tick per file offered
    EXPECT_EQ(status.bigTicks, 0);

    // Flat: only the folder's own files; a chain given to the walk replaces the own one.
    auto flat = Folder(14, true);
    GenericFileProcessor everything;
    EXPECT_TRUE(flat->Walk(&everything, nullptr));
    kept.clear();
    Collect(*flat, kept);
    const V flatExpected =
        keepsTemporary ? V{L"top.bmp", L"top.txt"} : V{L"scratch.txt", L"top.bmp", L"top.txt"};
    EXPECT_EQ(kept, flatExpected);
}

TEST_F(FolderWalkTest, NothingToListOrNoChainGivesFalse)
{
    Put(L"a.txt");
    EXPECT_TRUE(Folder(6, true)->Walk(nullptr, nullptr));
    FolderContent noChain(Dir(), L"", L"Test", 6, false);
    EXPECT_FALSE(noChain.Walk(nullptr, nullptr));
    FolderContent missing(PathOf(L"missing"), L"", L"Test", 6, false);
    missing.AddProcessor(std::make_unique<GenericFileProcessor>());
    EXPECT_FALSE(missing.Walk(nullptr, nullptr));
    EXPECT_TRUE(missing.Files().IsEmpty());
    FolderContent emptyPath(L"", L"", L"Test", 6, false); // walked like the root: no files
    emptyPath.AddProcessor(std::make_unique<GenericFileProcessor>());
    EXPECT_FALSE(emptyPath.Walk(nullptr, nullptr));
}

TEST_F(FolderWalkTest, ALinkBackToAnAncestorIsNotFollowed)
{
    MakeDirs({L"Inner"});
    Put(L"Inner\\a.txt");
    const std::wstring link = PathOf(L"Inner\\Loop");
    if (!MakeDirectoryLink(link, Dir()))
        GTEST_SKIP() << "this system makes neither junctions nor host links; the rule is covered by "
                        "ClassifyWalkEntry";
    auto folder = Folder(6, false);
    CountingStatus status;
    const bool accepted = folder->Walk(nullptr, &status);
    RemoveDirectoryLink(link);
    EXPECT_TRUE(accepted);
    V kept;
    Collect(*folder, kept);
    EXPECT_EQ(kept, (V{L"Inner\\", L"Inner\\a.txt"}));
    EXPECT_EQ(status.smallTicks, 1);
    EXPECT_EQ(::GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
}

// At the first file it is offered, changes the tree under the walk the way other
// programs do: the other top files vanish, one sub-folder vanishes and another becomes
// a file of the same name, so that its listing fails.
class TreeChanger : public ApplicationsInfo::FileProcessor
{
  public:
    explicit TreeChanger(std::wstring dir) : m_dir(std::move(dir)) {}
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override
    {
        if (!m_changed)
        {
            m_changed = true;
            for (const wchar_t* name : {L"one.ini", L"two.ini", L"three.bin"})
                if (!subFolder.empty() || fileName != name)
                    ::DeleteFileW((m_dir + L"\\" + name).c_str());
            Misc::DeleteDirectoryTree(m_dir + L"\\Gone");
            Misc::DeleteDirectoryTree(m_dir + L"\\NowAFile");
            OrvoTest::WriteBytes(m_dir + L"\\NowAFile", "x");
        }
        return PassOn(folder, mainFolder, subFolder, fileName);
    }

  private:
    std::wstring m_dir;
    bool m_changed = false;
};

void CollectRecords(const FolderContent& folder, std::vector<const ApplicationsInfo::FileInfo*>& out)
{
    folder.Folders().ForEach([&](const FolderContent& sub) { CollectRecords(sub, out); });
    folder.Files().ForEach([&](const ApplicationsInfo::FileInfo& f) { out.push_back(&f); });
}

// Whatever the listing order, the walk ends; a file that is still there has all its
// facts, one that vanished has the empty ones (a settings file says it could not be
// opened), and the untouched sub-folder is recorded whole.
TEST_F(FolderWalkTest, FilesAndFoldersThatVanishDuringTheWalk)
{
    MakeDirs({L"Gone", L"NowAFile", L"Keep"});
    for (const wchar_t* name :
         {L"one.ini", L"two.ini", L"three.bin", L"Gone\\g.ini", L"NowAFile\\n.ini", L"Keep\\k.ini"})
        Put(name);
    FolderContent folder(Dir(), L"", L"Test", 6, false);
    folder.AddProcessor(std::make_unique<GenericFileProcessor>());
    folder.AddProcessor(std::make_unique<IniProcessor>());
    folder.AddProcessor(std::make_unique<TreeChanger>(Dir()));
    EXPECT_TRUE(folder.Walk(nullptr, nullptr));

    std::vector<const ApplicationsInfo::FileInfo*> records;
    CollectRecords(folder, records);
    bool keptWhole = false;
    for (const ApplicationsInfo::FileInfo* file : records)
    {
        const std::string name = Narrow(file->FullPath());
        const DWORD attributes = ::GetFileAttributesW(file->FullPath().c_str());
        const bool present =
            attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        const bool settings =
            file->Name().size() > 4 && file->Name().substr(file->Name().size() - 4) == L".ini";
        if (present)
        {
            EXPECT_EQ(file->Digest().size(), 32u) << name;
            EXPECT_EQ(file->Size(), L"6") << name;
            if (settings)
            {
                EXPECT_EQ(file->InfoLines(), V{L"text"}) << name;
            }
        }
        else
        {
            EXPECT_EQ(file->Size(), L"0") << name;
            EXPECT_EQ(file->Date(), L"") << name;
            EXPECT_EQ(file->Digest(), L"") << name;
            if (settings)
            {
                EXPECT_EQ(file->InfoLines(), V{L"File could not be opened."}) << name;
            }
        }
        keptWhole |= file->Name() == L"k.ini" && present;
    }
    EXPECT_TRUE(keptWhole) << "the untouched sub-folder's file";
    EXPECT_LE(records.size(), 6u);
}

} // namespace
