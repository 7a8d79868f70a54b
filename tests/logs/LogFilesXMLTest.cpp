#include "logs/LogFilesXML.h"

#include "misc/ComValues.h"
#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>

namespace
{

using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

// The markup of a node as the DOM serialises it, without the line breaks between
// elements.
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

class LogFilesSection : public ::testing::Test
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
        m_document.reset(); // the DOM goes before COM does
        m_com.reset();
    }
    std::wstring Report() { return Markup(m_document->Root().Get()); }

    std::unique_ptr<Misc::ComScope> m_com;
    std::unique_ptr<Misc::XML_Document> m_document;
    LogFilesInfo m_model;
    LogFilesXML m_writer;
};

TEST_F(LogFilesSection, EmptyListGivesCountZeroAndNoAttachments)
{
    Misc::AttachmentList attachments;
    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &m_model, &attachments));
    EXPECT_EQ(Report(), L"<Root><LogFiles Version=\"1\" Count=\"0\"/></Root>");
    EXPECT_TRUE(attachments.empty());
    EXPECT_EQ(m_writer.Version(), 1);
}

TEST_F(LogFilesSection, EntriesAreListedByFileNameAndAppendedAfterEarlierAttachments)
{
    m_model.Add(L"C:\\Users\\me\\Temp\\VIEWER.log");
    m_model.Add(L"C:\\Users\\me\\Temp\\Editor.log");
    Misc::AttachmentList attachments{L"C:\\staged\\first.txt", L"C:\\Users\\me\\Temp\\Editor.log"};
    ASSERT_NE(m_model.First(), nullptr);

    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &m_model, &attachments));
    EXPECT_EQ(Report(), L"<Root><LogFiles Version=\"1\" Count=\"2\"><LogFile File=\"VIEWER.log\"/>"
                        L"<LogFile File=\"Editor.log\"/></LogFiles></Root>");
    // Duplicates with earlier attachments are kept: the list is the archive's order.
    EXPECT_EQ(attachments, (V{L"C:\\staged\\first.txt", L"C:\\Users\\me\\Temp\\Editor.log",
                              L"C:\\Users\\me\\Temp\\VIEWER.log", L"C:\\Users\\me\\Temp\\Editor.log"}));
    // Writing leaves the list's cursor alone.
    LogFilesInfo::LogFileEntry* next = m_model.Next();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->FileName(), L"Editor.log");
}

TEST_F(LogFilesSection, GoesUnderTheNamedParentAndWorksWithoutAttachmentList)
{
    m_model.Add(L"C:\\Temp\\a.log");
    const Misc::XmlNode parent = m_document->AddElement(nullptr, L"Sections");
    ASSERT_TRUE(parent);
    EXPECT_TRUE(m_writer.Write(m_document.get(), parent.Get(), &m_model, nullptr));
    EXPECT_EQ(Report(), L"<Root><Sections><LogFiles Version=\"1\" Count=\"1\"><LogFile "
                        L"File=\"a.log\"/></LogFiles></Sections></Root>");
}

TEST_F(LogFilesSection, MissingDocumentOrModelFailsWithoutAttaching)
{
    m_model.Add(L"C:\\Temp\\a.log");
    Misc::AttachmentList attachments;
    EXPECT_FALSE(m_writer.Write(nullptr, nullptr, &m_model, &attachments));
    EXPECT_FALSE(m_writer.Write(m_document.get(), nullptr, nullptr, &attachments));
    Misc::XML_Document closed; // not created: the section cannot be added
    EXPECT_FALSE(m_writer.Write(&closed, nullptr, &m_model, &attachments));
    EXPECT_TRUE(attachments.empty());
    EXPECT_EQ(Report(), L"<Root/>");
}

// Saves a report with the section for the independent check with Python's parser;
// only the ctest step that sets ORVO_LOGS_ARTIFACTS writes it.
TEST_F(LogFilesSection, ArtifactForTheXmlParser)
{
    if (::GetEnvironmentVariableW(L"ORVO_LOGS_ARTIFACTS", nullptr, 0) == 0)
        GTEST_SKIP() << "written by the logs_xml_artifact step";
    m_model.Add(L"C:\\Temp\\Viewer.log");
    m_model.Add(L"C:\\Temp\\Caf\u00E9 & <Co>.log");
    Misc::AttachmentList attachments;
    EXPECT_TRUE(m_writer.Write(m_document.get(), nullptr, &m_model, &attachments));
    EXPECT_EQ(attachments.size(), 2u);
    const std::wstring path = OrvoTest::ArtifactPath(L"logfiles_section.xml");
    ::DeleteFileW(path.c_str()); // no stale report from an earlier run
    EXPECT_TRUE(m_document->Save(path));
}

} // namespace
