#include "report/TmpFileManager.h"

#include "misc/Text.h"
#include "report/FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

using Misc::AFileManager;
using Misc::TmpFileManager;
using OrvoTest::Exists;
using OrvoTest::Narrow;

class TmpFileManagerTest : public OrvoTest::TempDirTest
{
  protected:
    void TearDown() override
    {
        EXPECT_EQ(TmpFileManager::Shared(), nullptr) << "a holder outlived its test";
        TempDirTest::TearDown();
    }

    // The staging folders now present in the temporary directory, sorted.
    std::vector<std::wstring> OrvoFolders() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry{};
        HANDLE find = ::FindFirstFileW(PathOf(L"tmp_Orvo_*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(entry.cFileName);
        while (::FindNextFileW(find, &entry));
        ::FindClose(find);
        std::sort(names.begin(), names.end());
        return names;
    }

    void MakeFolder(int n) const
    {
        ASSERT_TRUE(::CreateDirectoryW(PathOf(Misc::Format(L"tmp_Orvo_%d", n)).c_str(), nullptr));
    }
};

TEST_F(TmpFileManagerTest, FirstRegisterCreatesFolderOneWithOneBackslashAtEachSeam)
{
    // GetTempPathW reports the directory with a trailing backslash however TMP is set.
    for (const std::wstring& tmp : {Dir() + L"\\", Dir(), Dir() + L"\\\\"})
    {
        OrvoTest::ScopedEnv env(L"TMP", tmp);
        AFileManager manager;
        EXPECT_EQ(manager.TemporaryDirectory(), Dir() + L"\\") << Narrow(tmp);
        EXPECT_TRUE(OrvoFolders().empty()) << "the folder is made only when a name is handed out";

        const std::wstring path = manager.Register(L"OrvoDiag.xml");
        EXPECT_EQ(path, Dir() + L"\\tmp_Orvo_1\\OrvoDiag.xml") << Narrow(tmp);
        EXPECT_EQ(manager.FolderName(), L"tmp_Orvo_1");
        EXPECT_EQ(manager.FolderPath(), Dir() + L"\\tmp_Orvo_1");
        EXPECT_TRUE(Exists(manager.FolderPath()));
        EXPECT_FALSE(Exists(path)) << "the caller writes the file, not the manager";
    }
    EXPECT_TRUE(OrvoFolders().empty()) << "destruction removes the folder";
}

TEST_F(TmpFileManagerTest, TakesTheLowestFreeNumber)
{
    struct Case
    {
        std::vector<int> present;
        bool fileAtOne; // tmp_Orvo_1 as a plain file counts as taken too
        std::wstring expected;
    };
    const Case cases[] = {
        {{}, false, L"tmp_Orvo_1"},     {{1, 2}, false, L"tmp_Orvo_3"},
        {{1, 3}, false, L"tmp_Orvo_2"}, {{2}, false, L"tmp_Orvo_1"},
        {{}, true, L"tmp_Orvo_2"},      {{1, 2, 3, 4, 5, 7}, false, L"tmp_Orvo_6"},
        {{98}, true, L"tmp_Orvo_2"},
    };
    for (const Case& c : cases)
    {
        for (int n : c.present)
            MakeFolder(n);
        if (c.fileAtOne)
        {
            ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"tmp_Orvo_1"), "x"));
        }
        {
            AFileManager manager;
            const std::wstring path = manager.Register(L"a.txt");
            EXPECT_EQ(path, PathOf(c.expected + L"\\a.txt"));
            EXPECT_EQ(manager.FolderName(), c.expected);
        }
        // Leftovers of earlier runs are never deleted; the manager's own folder is gone.
        EXPECT_FALSE(Exists(PathOf(c.expected)));
        for (int n : c.present)
            EXPECT_TRUE(Exists(PathOf(Misc::Format(L"tmp_Orvo_%d", n))));
        for (const std::wstring& name : OrvoFolders())
            OrvoTest::ForceDeleteTree(PathOf(name));
        ::DeleteFileW(PathOf(L"tmp_Orvo_1").c_str());
    }
}

TEST_F(TmpFileManagerTest, TwoManagersTakeDifferentFolders)
{
    AFileManager first;
    AFileManager second;
    EXPECT_EQ(first.Register(L"x.reg"), PathOf(L"tmp_Orvo_1\\x.reg"));
    EXPECT_EQ(second.Register(L"x.reg"), PathOf(L"tmp_Orvo_2\\x.reg"));
    second.ReleaseAll();
    EXPECT_TRUE(Exists(PathOf(L"tmp_Orvo_1")));
    EXPECT_FALSE(Exists(PathOf(L"tmp_Orvo_2")));
    first.ReleaseAll();
    EXPECT_TRUE(OrvoFolders().empty());
}

TEST_F(TmpFileManagerTest, HandsOutEachNameOnce)
{
    AFileManager manager;
    const std::wstring path = manager.Register(L"OrvoDiag.xml");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(manager.Register(L"OrvoDiag.xml"), L"") << "twice, file not yet written";
    EXPECT_EQ(manager.Register(L"ORVODIAG.XML"), L"") << "names compare without letter case";
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "<Root/>"));
    EXPECT_EQ(manager.Register(L"OrvoDiag.xml"), L"") << "twice, file written";

    manager.Release(path);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(manager.Register(L"OrvoDiag.xml"), path) << "free again after Release";
    EXPECT_EQ(manager.RegisteredCount(), 1u);
}

TEST_F(TmpFileManagerTest, NeverReusesALeftoverFile)
{
    AFileManager manager;
    ASSERT_TRUE(manager.EnsureFolder());
    const std::wstring leftover = Misc::JoinPath(manager.FolderPath(), L"Tarvik_UsbBox.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(leftover, "old"));
    EXPECT_EQ(manager.Register(L"Tarvik_UsbBox.txt"), L"");
    EXPECT_EQ(manager.Register(L"tarvik_usbbox.TXT"), L"");
    EXPECT_EQ(OrvoTest::ReadBytes(leftover), "old");
    EXPECT_EQ(manager.RegisteredCount(), 0u);
}

TEST_F(TmpFileManagerTest, RefusesNamesThatLeaveTheFolder)
{
    AFileManager manager;
    const wchar_t* const names[] = {
        L"..\\outside.txt",
        L"",
        L"sub\\..\\..\\x.txt",
        L"..\\tmp_Orvo_1\\..\\y",
        // Forward slashes resolve like backslashes.
        L"sub/../../x.txt",
        L"../outside.txt",
        L"a/b.txt",
        // Names that resolve to the folder itself, a drive or a stream.
        L".",
        L"..",
        L"...",
        L"C:x.txt",
        L"x.txt:stream",
        L"\\\\server\\share\\x",
        // The path joiner takes a leading ".." of a name for a step up.
        L"..x.txt",
    };
    for (const wchar_t* name : names)
        EXPECT_EQ(manager.Register(name), L"") << Narrow(name);
    EXPECT_EQ(manager.RegisteredCount(), 0u);
    // Ordinary names with dots stay allowed.
    EXPECT_FALSE(manager.Register(L"LM_Orvo_32.reg").empty());
}

TEST_F(TmpFileManagerTest, FindIgnoresLetterCase)
{
    AFileManager manager;
    const std::wstring path = manager.Register(L"x.xml");
    ASSERT_FALSE(path.empty());
    std::wstring upper = path;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(::towupper(c));
    const std::wstring* found = manager.Find(upper);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, path) << "the stored spelling is kept";
    EXPECT_EQ(manager.Find(L""), nullptr);
    EXPECT_EQ(manager.Find(path + L"x"), nullptr);
    EXPECT_EQ(manager.Find(PathOf(L"x.xml")), nullptr);
}

TEST_F(TmpFileManagerTest, ReleaseTouchesOnlyRegisteredFiles)
{
    AFileManager manager;
    const std::wstring report = manager.Register(L"OrvoDiag.xml");
    ASSERT_TRUE(OrvoTest::WriteBytes(report, "r"));
    const std::wstring productLog = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(productLog, "log"));
    const std::wstring stray = Misc::JoinPath(manager.FolderPath(), L"stray.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(stray, "s"));

    manager.Release(productLog);
    manager.Release(stray);
    EXPECT_TRUE(Exists(productLog));
    EXPECT_TRUE(Exists(stray));
    EXPECT_EQ(manager.RegisteredCount(), 1u);

    manager.Release(report);
    EXPECT_FALSE(Exists(report));
    EXPECT_EQ(manager.RegisteredCount(), 0u);
    manager.Release(report); // a second release is ignored
    EXPECT_TRUE(Exists(manager.FolderPath())) << "Release keeps the folder";
}

TEST_F(TmpFileManagerTest, ReleaseAllRemovesTheFolderAndStartsAfresh)
{
    AFileManager manager;
    const std::wstring a = manager.Register(L"a.reg");
    const std::wstring b = manager.Register(L"b.reg");
    ASSERT_TRUE(OrvoTest::WriteBytes(a, "a"));
    ASSERT_TRUE(OrvoTest::WriteBytes(b, "b"));
    ASSERT_TRUE(::CreateDirectoryW(Misc::JoinPath(manager.FolderPath(), L"sub").c_str(), nullptr));
    ASSERT_TRUE(OrvoTest::WriteBytes(Misc::JoinPath(manager.FolderPath(), L"sub\\never.txt"), "n"));
    const std::wstring productLog = PathOf(L"Viewer.log");
    ASSERT_TRUE(OrvoTest::WriteBytes(productLog, "log"));

    manager.ReleaseAll();
    EXPECT_TRUE(OrvoFolders().empty());
    EXPECT_EQ(manager.RegisteredCount(), 0u);
    EXPECT_EQ(manager.FolderPath(), L"");
    EXPECT_EQ(manager.FolderName(), L"");
    EXPECT_TRUE(Exists(productLog));

    EXPECT_EQ(manager.Register(L"a.reg"), a) << "the folder is made anew, again as number 1";
    EXPECT_TRUE(Exists(PathOf(L"tmp_Orvo_1")));
    manager.ReleaseAll();
    manager.ReleaseAll(); // nothing left: harmless
    EXPECT_TRUE(OrvoFolders().empty());
}

TEST_F(TmpFileManagerTest, AllNumbersTakenFallsBackToTheTemporaryDirectory)
{
    for (int n = 1; n <= AFileManager::kMaxFolderNumber; ++n)
        MakeFolder(n);
    {
        AFileManager manager;
        const std::wstring path = manager.Register(L"OrvoDiag.xml");
        EXPECT_EQ(path, PathOf(L"OrvoDiag.xml"));
        EXPECT_EQ(manager.FolderName(), L"");
        ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
        const std::wstring other = PathOf(L"other.txt");
        ASSERT_TRUE(OrvoTest::WriteBytes(other, "o"));

        manager.ReleaseAll();
        EXPECT_FALSE(Exists(path));
        EXPECT_TRUE(Exists(other)) << "only registered files go";
        EXPECT_TRUE(Exists(Dir())) << "the temporary directory itself is never removed";
        EXPECT_EQ(OrvoFolders().size(), 99u) << "leftover folders are never deleted";
    }
    EXPECT_TRUE(Exists(Dir()));
    for (const std::wstring& name : OrvoFolders())
        ::RemoveDirectoryW(PathOf(name).c_str());
}

TEST_F(TmpFileManagerTest, NoUsableTemporaryDirectoryHandsOutNothing)
{
    {
        // Longer than the 260 characters that the manager reads.
        OrvoTest::ScopedEnv tmp(L"TMP", Dir() + L"\\" + std::wstring(280, L'a'));
        OrvoTest::ScopedEnv temp(L"TEMP", Dir() + L"\\" + std::wstring(280, L'a'));
        AFileManager manager;
        EXPECT_EQ(manager.TemporaryDirectory(), L"");
        EXPECT_FALSE(manager.EnsureFolder());
        EXPECT_EQ(manager.Register(L"OrvoDiag.xml"), L"");
    }
    {
        // A directory that cannot be created: CreateDir says so, and there is no
        // temporary directory to fall back to.
        const std::wstring missing = Dir() + L"\\file.txt\\below";
        ASSERT_TRUE(OrvoTest::WriteBytes(PathOf(L"file.txt"), "x"));
        OrvoTest::ScopedEnv tmp(L"TMP", missing);
        OrvoTest::ScopedEnv temp(L"TEMP", missing);
        OrvoTest::MessageBoxCapture boxes;
        AFileManager manager;
        ASSERT_EQ(manager.TemporaryDirectory(), missing + L"\\");
        EXPECT_EQ(manager.Register(L"OrvoDiag.xml"), L"");
        EXPECT_EQ(manager.FolderPath(), L"");
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L"tmp_Orvo_1"), std::wstring::npos)
            << Narrow(boxes.Boxes()[0].text);
    }
}

TEST_F(TmpFileManagerTest, HoldersShareOneManagerAndTheLastRemovesEverything)
{
    EXPECT_EQ(TmpFileManager::Shared(), nullptr);
    auto first = std::make_unique<TmpFileManager>();
    AFileManager* shared = TmpFileManager::Shared();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->HolderCount(), 1);
    auto second = std::make_unique<TmpFileManager>();
    EXPECT_EQ(TmpFileManager::Shared(), shared);
    EXPECT_EQ(shared->HolderCount(), 2);

    const std::wstring path = shared->Register(L"OrvoDiag.xml");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
    first.reset();
    EXPECT_EQ(TmpFileManager::Shared(), shared);
    EXPECT_EQ(shared->HolderCount(), 1);
    EXPECT_TRUE(Exists(path));

    second.reset();
    EXPECT_EQ(TmpFileManager::Shared(), nullptr);
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(OrvoFolders().empty());

    TmpFileManager again; // a new holder creates a fresh manager
    ASSERT_NE(TmpFileManager::Shared(), nullptr);
    EXPECT_EQ(TmpFileManager::Shared()->HolderCount(), 1);
}

TEST_F(TmpFileManagerTest, APrivateManagerLivesUntilItsLastHolder)
{
    // The other-files controller's manager: created with one holder, counted by
    // every entry that stages a file in it.
    auto* manager = new AFileManager();
    const std::wstring path = manager->Register(L"LM_Orvo_32.reg");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "REGEDIT4"));
    manager->AddRef();
    manager->AddRef();
    manager->ReleaseRef();
    EXPECT_EQ(manager->HolderCount(), 2);
    manager->ReleaseRef();
    EXPECT_EQ(manager->HolderCount(), 1);
    EXPECT_TRUE(Exists(path));
    manager->ReleaseRef(); // the last holder: destroyed, files and folder removed
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(OrvoFolders().empty());
}

} // namespace
