#include "inventory/ApplicationsXML.h"

#include "misc/ComValues.h"
#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;
using OrvoTest::Narrow;

class ApplicationsXMLTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
        m_document = std::make_unique<Misc::XML_Document>();
        ASSERT_TRUE(m_document->Create());
    }
    void TearDown() override
    {
        m_document.reset(); // before COM goes
        m_com.reset();
    }
    // The markup of the report's root, without the line breaks the DOM may add.
    std::string Markup()
    {
        Misc::Bstr xml;
        const Misc::XmlNode root = m_document->Root();
        if (!root || FAILED(root->get_xml(xml.Put())))
            return "<error>";
        std::string text;
        for (char c : Narrow(xml.Text()))
            if (c != '\r' && c != '\n' && c != '\t')
                text += c;
        return text;
    }

    std::unique_ptr<Misc::ComScope> m_com;
    std::unique_ptr<Misc::XML_Document> m_document;
    ApplicationsXML m_writer;
};

TEST_F(ApplicationsXMLTest, FoldersNestWithTheirInfoFirstAndFilesLast)
{
    ApplicationsInfo info;
    // Nothing exists at these paths: every fact of a file is empty, its size "0".
    const std::wstring main = L"Q:\\Missing\\Orvo";
    FolderContent* install =
        info.Root().AddFolder(std::make_unique<FolderContent>(main, L"", L"Velmora 6 Pro [32]", 6, false));
    info.Root().AddFolder(
        std::make_unique<FolderContent>(L"Q:\\Missing\\Gone", L"", L"Alpha & <Beta>", 14, false));
    FolderContent* help =
        install->AddFolder(std::make_unique<FolderContent>(main, L"Help", L"Help", 0, false));
    help->AddFolder(std::make_unique<FolderContent>(main, L"Help\\Images", L"Images", 0, false));
    FolderContent::RecordFile(help, main, L"Help", L"h.txt");
    ApplicationsInfo::FileInfo* text = FolderContent::RecordFile(install, main, L"", L"a.txt");
    ASSERT_TRUE(text);
    text->AddInfoLine(L"one");
    text->AddInfoLine(L"");
    text->AddInfoLine(L"three \"3\"");

    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &info, false));
    const std::string empty = "Version=\"\" Date=\"\" Size=\"0\" MT=\"\" MD5=\"\"";
    EXPECT_EQ(
        Markup(),
        "<Root><Applications>"
        "<Folder Options=\"14\"><Info Name=\"Alpha &amp; &lt;Beta&gt;\" MainFolder=\"Q:\\Missing\\Gone\" "
        "SubFolder=\"\"/></Folder>"
        "<Folder Options=\"6\"><Info Name=\"Velmora 6 Pro [32]\" MainFolder=\"Q:\\Missing\\Orvo\" "
        "SubFolder=\"\"/>"
        "<Folder Options=\"0\"><Info Name=\"Help\" MainFolder=\"Q:\\Missing\\Orvo\" SubFolder=\"Help\"/>"
        "<Folder Options=\"0\"><Info Name=\"Images\" MainFolder=\"Q:\\Missing\\Orvo\" "
        "SubFolder=\"Help\\Images\"/></Folder>"
        "<File Name=\"h.txt\" " +
            empty +
            "/></Folder>"
            "<File Name=\"a.txt\" " +
            empty +
            "><Info><Text>one</Text><Text/><Text>three \"3\"</Text></Info></File>"
            "</Folder></Applications></Root>");
}

TEST_F(ApplicationsXMLTest, EmptyHeaderOnlyAndFailures)
{
    ApplicationsInfo info;
    info.Root().AddFolder(std::make_unique<FolderContent>(L"Q:\\Orvo", L"", L"Orvo", 6, false));
    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &info, true));
    const ApplicationsInfo empty;
    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &empty, false));
    EXPECT_EQ(Markup(), "<Root><Applications/><Applications/></Root>");

    EXPECT_FALSE(m_writer.Write(nullptr, nullptr, &info, false));
    EXPECT_FALSE(m_writer.Write(m_document.get(), nullptr, nullptr, false));
    EXPECT_FALSE(m_writer.WriteFolder(m_document.get(), nullptr, nullptr));
    EXPECT_FALSE(m_writer.WriteFile(m_document.get(), nullptr, nullptr));
    Misc::XML_Document closed; // the section element cannot be made
    EXPECT_FALSE(m_writer.Write(&closed, nullptr, &info, false));
    EXPECT_FALSE(m_writer.Write(&closed, nullptr, &info, true));
}

} // namespace
