#include "logs/LogFilesXML.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <vector>

namespace
{

using OrvoTest::Narrow;
using V = std::vector<std::wstring>;

std::wstring TakeBstr(BSTR text)
{
    std::wstring value = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return value;
}

std::wstring NodeName(IXMLDOMNode* node)
{
    BSTR name = nullptr;
    node->get_nodeName(&name);
    return TakeBstr(name);
}

// The attribute's value, or "<none>" when the element does not have it.
std::wstring Attribute(IXMLDOMNode* node, const wchar_t* name)
{
    Misc::ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(node->get_attributes(attributes.Put())) || !attributes)
        return L"<none>";
    BSTR bname = ::SysAllocString(name);
    Misc::ComPtr<IXMLDOMNode> item;
    const HRESULT hr = attributes->getNamedItem(bname, item.Put());
    ::SysFreeString(bname);
    if (hr != S_OK || !item)
        return L"<none>";
    BSTR text = nullptr;
    item->get_text(&text);
    return TakeBstr(text);
}

std::vector<Misc::XmlNode> Children(IXMLDOMNode* node)
{
    std::vector<Misc::XmlNode> children;
    Misc::ComPtr<IXMLDOMNodeList> list;
    if (FAILED(node->get_childNodes(list.Put())) || !list)
        return children;
    long count = 0;
    list->get_length(&count);
    for (long i = 0; i < count; ++i)
    {
        Misc::XmlNode child;
        if (list->get_item(i, child.Put()) == S_OK)
            children.push_back(child);
    }
    return children;
}

class LogFilesSection : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_com = true;
        LogFilesInfo::LogFileEntryList.Clear();
        m_owned = std::make_unique<Misc::XML_Document>();
        ASSERT_TRUE(m_owned->Create());
    }
    void TearDown() override
    {
        LogFilesInfo::LogFileEntryList.Clear();
        m_owned.reset(); // the DOM goes before COM does
        if (m_com)
            ::CoUninitialize();
    }

    // The only child of the root must be the section.
    Misc::XmlNode Section()
    {
        const auto children = Children(m_owned->Root().Get());
        EXPECT_EQ(children.size(), 1u);
        if (children.empty())
            return {};
        EXPECT_EQ(NodeName(children[0].Get()), L"LogFiles");
        return children[0];
    }

    V FileAttributes(IXMLDOMNode* section)
    {
        V files;
        for (const auto& child : Children(section))
        {
            EXPECT_EQ(NodeName(child.Get()), L"LogFile");
            files.push_back(Attribute(child.Get(), L"File"));
        }
        return files;
    }

    bool m_com = false;
    std::unique_ptr<Misc::XML_Document> m_owned;
    LogFilesInfo m_model;
    LogFilesXML m_writer;
};

TEST_F(LogFilesSection, EmptyListGivesCountZeroAndNoAttachments)
{
    Misc::AttachmentList attachments;
    EXPECT_TRUE(m_writer.Write(m_owned.get(), nullptr, &m_model, &attachments));
    const Misc::XmlNode section = Section();
    ASSERT_TRUE(section);
    EXPECT_EQ(Attribute(section.Get(), L"Version"), L"1");
    EXPECT_EQ(Attribute(section.Get(), L"Count"), L"0");
    EXPECT_TRUE(Children(section.Get()).empty());
    EXPECT_TRUE(attachments.empty());
    EXPECT_EQ(m_writer.Version(), 1);
}

TEST_F(LogFilesSection, EntriesAreListedByFileNameAndAppendedAfterEarlierAttachments)
{
    m_model.Add(L"C:\\Users\\me\\Temp\\VIEWER.log");
    m_model.Add(L"C:\\Users\\me\\Temp\\Editor.log");
    Misc::AttachmentList attachments{L"C:\\staged\\first.txt", L"C:\\Users\\me\\Temp\\Editor.log"};
    ASSERT_NE(m_model.First(), nullptr);

    EXPECT_TRUE(m_writer.Write(m_owned.get(), nullptr, &m_model, &attachments));
    const Misc::XmlNode section = Section();
    ASSERT_TRUE(section);
    EXPECT_EQ(Attribute(section.Get(), L"Count"), L"2");
    EXPECT_EQ(FileAttributes(section.Get()), (V{L"VIEWER.log", L"Editor.log"}));
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
    const Misc::XmlNode parent = m_owned->AddElement(nullptr, L"Sections");
    ASSERT_TRUE(parent);
    EXPECT_TRUE(m_writer.Write(m_owned.get(), parent.Get(), &m_model, nullptr));
    const auto sections = Children(parent.Get());
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(NodeName(sections[0].Get()), L"LogFiles");
    EXPECT_EQ(FileAttributes(sections[0].Get()), (V{L"a.log"}));
}

TEST_F(LogFilesSection, MissingDocumentOrModelFailsWithoutAttaching)
{
    m_model.Add(L"C:\\Temp\\a.log");
    Misc::AttachmentList attachments;
    EXPECT_FALSE(m_writer.Write(nullptr, nullptr, &m_model, &attachments));
    EXPECT_FALSE(m_writer.Write(m_owned.get(), nullptr, nullptr, &attachments));
    EXPECT_TRUE(attachments.empty());
    EXPECT_TRUE(Children(m_owned->Root().Get()).empty());

    // A document that is not open refuses the section; nothing is attached.
    Misc::XML_Document closed;
    EXPECT_FALSE(m_writer.Write(&closed, nullptr, &m_model, &attachments));
    EXPECT_TRUE(attachments.empty());
}

// Writes a report with the section for the independent check with Python's parser.
TEST_F(LogFilesSection, ArtifactForTheXmlParser)
{
    m_model.Add(L"C:\\Temp\\Viewer.log");
    m_model.Add(L"C:\\Temp\\Caf\u00E9 & <Co>.log");
    Misc::AttachmentList attachments;
    EXPECT_TRUE(m_writer.Write(m_owned.get(), nullptr, &m_model, &attachments));
    EXPECT_EQ(attachments.size(), 2u);
    EXPECT_TRUE(m_owned->Save(OrvoTest::ArtifactPath(L"logfiles_section.xml")));
}

} // namespace
