#include "checks/OtherFilesControl.h"

#include "misc/ComValues.h"
#include "misc/Handles.h"
#include "misc/NativeArchitecture.h"
#include "RegTestSupport.h"
#include "report/TmpFileManager.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using ChecksTest::TestKey;
using OrvoTest::Exists;
using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

std::wstring Markup(IXMLDOMNode* node)
{
    Misc::Bstr xml;
    if (!node || FAILED(node->get_xml(xml.Put())))
        return L"<error>";
    std::wstring result;
    for (wchar_t c : xml.Text())
        if (c != L'\r' && c != L'\n' && c != L'\t')
            result += c;
    return result;
}

class RecordingStatus : public IStatusInfo
{
  public:
    void ShowActivity(const wchar_t* text) override { texts.push_back(text); }
    void SetStatus(const wchar_t* text) override { texts.push_back(std::wstring(L"status:") + text); }
    void Tick(bool) override {}
    V texts;
};

// A report document of its own, with COM around it.
class OtherFilesTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
        m_document = std::make_unique<Misc::XML_Document>();
        ASSERT_TRUE(m_document->Create());
    }
    void TearDown() override
    {
        m_document.reset();
        m_com.reset();
        TempDirTest::TearDown();
    }
    std::wstring Report() { return Markup(m_document->Root().Get()); }
    bool NoStagingFolder() const
    {
        WIN32_FIND_DATAW entry{};
        HANDLE find = ::FindFirstFileW(PathOf(L"tmp_Orvo_*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return true;
        ::FindClose(find);
        return false;
    }

    std::unique_ptr<Misc::ComScope> m_com;
    std::unique_ptr<Misc::XML_Document> m_document;
};

TEST_F(OtherFilesTest, AnEntryHoldsItsManagerAndReleasesItsFile)
{
    Misc::AFileManager manager;
    const std::wstring path = manager.Register(L"CU_Orvo.reg");
    ASSERT_TRUE(OrvoTest::WriteBytes(path, "x"));
    {
        OtherFilesInfo::FileEntry entry(path, &manager);
        EXPECT_EQ(manager.HolderCount(), 2);
        EXPECT_EQ(entry.FileName(), L"CU_Orvo.reg");
        EXPECT_EQ(entry.Folder() + L"CU_Orvo.reg", path);
        EXPECT_EQ(entry.Folder().back(), L'\\');
    }
    EXPECT_EQ(manager.HolderCount(), 1);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(manager.Find(path), nullptr);

    const std::wstring own = PathOf(L"own.txt");
    ASSERT_TRUE(OrvoTest::WriteBytes(own, "x"));
    std::make_unique<OtherFilesInfo::FileEntry>(own, nullptr).reset();
    EXPECT_TRUE(Exists(own)) << "an entry without a manager deletes nothing";
}

TEST_F(OtherFilesTest, SectionListsEntriesInOrderAndAttachesThem)
{
    OtherFilesInfo model(nullptr);
    OtherFilesXML writer;
    Misc::AttachmentList attachments{L"C:\\Temp\\Viewer.log"};
    EXPECT_TRUE(writer.Write(m_document.get(), nullptr, &model, &attachments));
    EXPECT_EQ(Report(), L"<Root><OtherFiles Version=\"1\" Count=\"0\"/></Root>");
    EXPECT_EQ(attachments, V{L"C:\\Temp\\Viewer.log"});

    model.Add(std::make_unique<OtherFilesInfo::FileEntry>(L"C:\\T\\tmp_Orvo_2\\LM_Orvo_32.reg", nullptr));
    model.Add(std::make_unique<OtherFilesInfo::FileEntry>(L"C:\\T\\tmp_Orvo_2\\CU_Orvo.reg", nullptr));
    ASSERT_TRUE(m_document->Create());
    EXPECT_TRUE(writer.Write(m_document.get(), nullptr, &model, &attachments));
    EXPECT_EQ(Report(), L"<Root><OtherFiles Version=\"1\" Count=\"2\"><OtherFile File=\"LM_Orvo_32.reg\"/>"
                        L"<OtherFile File=\"CU_Orvo.reg\"/></OtherFiles></Root>");
    EXPECT_EQ(attachments, (V{L"C:\\Temp\\Viewer.log", L"C:\\T\\tmp_Orvo_2\\LM_Orvo_32.reg",
                              L"C:\\T\\tmp_Orvo_2\\CU_Orvo.reg"}));
    EXPECT_EQ(writer.Version(), 1);

    EXPECT_FALSE(writer.Write(nullptr, nullptr, &model, &attachments));
    EXPECT_FALSE(writer.Write(m_document.get(), nullptr, nullptr, &attachments));
    EXPECT_EQ(attachments.size(), 3u);
}

// The product's real keys: one test at a time across the processes sharing the prefix.
class ProductKeysTest : public OtherFilesTest
{
  protected:
    void SetUp() override
    {
        m_lock.Reset(::CreateMutexW(nullptr, FALSE, L"OrvoDiagTest.ProductKeys"));
        ASSERT_NE(m_lock.Get(), nullptr);
        ASSERT_NE(::WaitForSingleObject(m_lock.Get(), 120000), WAIT_TIMEOUT);
        OtherFilesTest::SetUp();
        // No product key of an earlier run counts.
        for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const wchar_t* path :
                 {L"SOFTWARE\\Varnholt Brevik\\Orvo", L"SOFTWARE\\Varnholt Brevik\\Orvo_Demo",
                  L"SOFTWARE\\Tarvik\\Orvo", L"SOFTWARE\\Tarvik\\Orvo_Demo"})
                for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                    TestKey(hive, path, view);
    }
    void TearDown() override
    {
        OtherFilesTest::TearDown();
        m_keys.clear();
        if (m_lock)
            ::ReleaseMutex(m_lock.Get());
    }
    TestKey& Key(HKEY hive, const wchar_t* path, REGSAM view)
    {
        m_keys.push_back(std::make_unique<TestKey>(hive, path, view));
        return *m_keys.back();
    }
    static bool Has64BitView()
    {
        return Misc::IsNative64BitArchitecture(Misc::NativeProcessorArchitecture());
    }
    static V FileNames(const OtherFilesInfo& info)
    {
        V names;
        info.ForEachEntry([&](const OtherFilesInfo::FileEntry& e) { names.push_back(e.FileName()); });
        return names;
    }
    static V Paths(const OtherFilesInfo& info)
    {
        V paths;
        info.ForEachEntry([&](const OtherFilesInfo::FileEntry& e) { paths.push_back(e.Path()); });
        return paths;
    }

    Misc::KernelHandle m_lock;
    std::vector<std::unique_ptr<TestKey>> m_keys;
};

TEST_F(ProductKeysTest, WithoutTheProductsKeysTheSectionIsEmpty)
{
    RecordingStatus status;
    Misc::AttachmentList attachments;
    {
        OtherFilesControl control;
        control.Scan(&status, {});
        EXPECT_EQ(control.Info().Count(), 0u);
        EXPECT_TRUE(control.WriteSection(*m_document, nullptr, attachments));
        EXPECT_TRUE(NoStagingFolder()) << "no folder is made for nothing";
    }
    EXPECT_EQ(Report(), L"<Root><OtherFiles Version=\"1\" Count=\"0\"/></Root>");
    EXPECT_TRUE(attachments.empty());
    EXPECT_EQ(status.texts, (V{L"SCANNING REGISTRY ...", L"SCANNING DRIVERS ..."}));
}

TEST_F(ProductKeysTest, EachViewAndHiveGivesItsFileInTableOrder)
{
    TestKey& lm64 = Key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnholt Brevik\\Orvo", KEY_WOW64_64KEY);
    TestKey& lm32 = Key(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnholt Brevik\\Orvo", KEY_WOW64_32KEY);
    TestKey& cuOld = Key(HKEY_CURRENT_USER, L"SOFTWARE\\Tarvik\\Orvo_Demo", 0);
    lm64.SetText(L"", L"InstallPathPro", L"C:\\Program Files\\Orvo");
    lm32.SetText(L"", L"InstallPathPro", L"C:\\Program Files (x86)\\Orvo");
    cuOld.SetDword(L"Window", L"Left", 10);

    OtherFilesControl control;
    control.Scan(nullptr, {});
    const V expected = Has64BitView() ? V{L"LM_Orvo_64.reg", L"LM_Orvo_32.reg", L"CU_Tarvikon_Demo.reg"}
                                      : V{L"LM_Orvo_32.reg", L"CU_Tarvikon_Demo.reg"};
    ASSERT_EQ(FileNames(control.Info()), expected);
    const V paths = Paths(control.Info());
    if (Has64BitView())
    {
        EXPECT_NE(OrvoTest::ReadBytes(paths[0]).find("Program Files\\\\Orvo"), std::string::npos);
    }
    EXPECT_NE(OrvoTest::ReadBytes(paths[paths.size() - 2]).find("(x86)"), std::string::npos);
    EXPECT_NE(
        OrvoTest::ReadBytes(paths.back()).find("[HKEY_CURRENT_USER\\SOFTWARE\\Tarvik\\Orvo_Demo\\Window]"),
        std::string::npos);
    for (const std::wstring& path : paths)
        EXPECT_EQ(path.substr(0, PathOf(L"tmp_Orvo_").size()), PathOf(L"tmp_Orvo_")) << Narrow(path);
}

// Nothing of an earlier scan survives: its files and folder go before new ones are
// staged; the end of the collector leaves no staging folder behind.
TEST_F(ProductKeysTest, ASecondScanStartsFromNothingAndTheEndLeavesNothing)
{
    TestKey& key = Key(HKEY_CURRENT_USER, L"SOFTWARE\\Varnholt Brevik\\Orvo", 0);
    key.SetText(L"", L"Run", L"first");
    V paths;
    {
        OtherFilesControl control;
        control.Scan(nullptr, {});
        paths = Paths(control.Info());
        ASSERT_EQ(paths.size(), 1u);
        const std::wstring folder = control.Info().FileManager()->FolderPath();
        const std::wstring stray = folder + L"\\stray.txt";
        ASSERT_TRUE(OrvoTest::WriteBytes(stray, "left by someone"));
        key.SetText(L"", L"Run", L"second");

        control.Scan(nullptr, {});
        EXPECT_FALSE(Exists(stray)) << "the first scan's folder was removed";
        EXPECT_EQ(Paths(control.Info()), paths) << "the folder number is free again";
        EXPECT_NE(OrvoTest::ReadBytes(paths[0]).find("\"Run\"=\"second\""), std::string::npos);
        EXPECT_EQ(control.Info().FileManager()->HolderCount(), 2);

        control.Clear();
        EXPECT_EQ(control.Info().Count(), 0u);
        EXPECT_FALSE(Exists(paths[0]));
        EXPECT_TRUE(NoStagingFolder());
        control.Scan(nullptr, {});
        ASSERT_TRUE(Exists(paths[0]));
    }
    EXPECT_FALSE(Exists(paths[0]));
    EXPECT_TRUE(NoStagingFolder());
}

} // namespace
