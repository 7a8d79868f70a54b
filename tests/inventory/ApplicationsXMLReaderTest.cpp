#include "inventory/ApplicationsXMLReader.h"

#include "inventory/ApplicationsXML.h"
#include "misc/ComValues.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using OrvoTest::Narrow;

class ApplicationsXMLReaderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
    }
    static std::wstring SectionXml(ApplicationsInfo& model)
    {
        Misc::XML_Document document;
        Misc::Bstr xml;
        if (!document.Create() || !ApplicationsXML().Write(&document, nullptr, &model, false) ||
            FAILED(document.Root()->get_xml(xml.Put())))
            return L"<not written>";
        return xml.Text();
    }
    static bool ReadBack(const std::wstring& xml, ApplicationsInfo& model, std::wstring& error)
    {
        Misc::XmlReport report;
        return report.Load(Narrow(xml), error) &&
               ReadApplicationsSection(report.Root().Child(L"Applications"), model, error);
    }
    std::unique_ptr<Misc::ComScope> m_com;
};

// Nested folders, equal names, files at every level and their detail lines: read back,
// the inventory writes the same section again.
TEST_F(ApplicationsXMLReaderTest, ReadsBackWhatTheWriterWrote)
{
    ApplicationsInfo model;
    const std::wstring main = L"Q:\\Missing\\Orvo";
    FolderContent* install =
        model.Root().AddFolder(std::make_unique<FolderContent>(main, L"", L"Velmora 6 Pro [32]", 6, false));
    model.Root().AddFolder(
        std::make_unique<FolderContent>(L"Q:\\Other", L"", L"Velmora 6 Pro [32]", 14, false));
    model.Root().AddFolder(std::make_unique<FolderContent>(L"Q:\\Gone", L"", L"Alpha 'quoted'", 2, false));
    FolderContent* help =
        install->AddFolder(std::make_unique<FolderContent>(main, L"Help", L"Help", 0, false));
    help->AddFolder(std::make_unique<FolderContent>(main, L"Help\\Images", L"Images", 0, false));
    FolderContent::RecordFile(help, main, L"Help", L"h.txt");
    for (const wchar_t* name : {L"b.dll", L"a.txt", L"Z.exe"})
        if (ApplicationsInfo::FileInfo* file = FolderContent::RecordFile(install, main, L"", name))
        {
            file->SetFacts(L"6.0.1.2", L"01-02-2026 10:11", L"12", L"x64", L"0123456789abcdef");
            file->AddInfoLine(L"one");
            file->AddInfoLine(L"");
            file->AddInfoLine(L"three \"3\" & <3>");
        }
    const std::wstring written = SectionXml(model);

    ApplicationsInfo back;
    std::wstring error;
    ASSERT_TRUE(ReadBack(written, back, error)) << Narrow(error);
    EXPECT_EQ(SectionXml(back), written);
    const FolderContent* first = back.Root().Folders().First();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->FullPath(), L"Q:\\Gone");
    EXPECT_EQ(first->Name(), L"Alpha 'quoted'");
}

TEST_F(ApplicationsXMLReaderTest, DamageIsNamed)
{
    const struct
    {
        const char* xml;
        const wchar_t* error; // empty: read
    } cases[] = {
        {"<Root><Applications/></Root>", L""},
        {"<Root><Applications><File Name='loose.txt'/></Applications></Root>", L""},
        {"<Root><Applications><Folder Options='6'/></Applications></Root>", L"a folder without its Info"},
        {"<Root><Applications><Folder Options='six'><Info/></Folder></Applications></Root>",
         L"a folder's options are no number"},
        {"<Root><Applications><Folder><Info/></Folder></Applications></Root>",
         L"a folder's options are no number"},
    };
    for (const auto& c : cases)
    {
        ApplicationsInfo model;
        std::wstring error;
        EXPECT_EQ(ReadBack(OrvoTest::Widen(c.xml), model, error), *c.error == 0) << c.xml;
        EXPECT_EQ(error,
                  *c.error ? L"the report's Applications section is damaged (" + std::wstring(c.error) + L")"
                           : L"")
            << c.xml;
    }
    std::string deep = "<Root><Applications>";
    for (int i = 0; i < 210; ++i)
        deep += "<Folder Options='0'><Info/>";
    for (int i = 0; i < 210; ++i)
        deep += "</Folder>";
    deep += "</Applications></Root>";
    ApplicationsInfo model;
    std::wstring error;
    EXPECT_FALSE(ReadBack(OrvoTest::Widen(deep), model, error));
    EXPECT_NE(error.find(L"nested too deeply"), std::wstring::npos) << Narrow(error);
}

} // namespace
