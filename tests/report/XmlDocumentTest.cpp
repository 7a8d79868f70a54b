#include "report/XmlDocument.h"

#include "misc/ComValues.h"
#include "misc/Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace
{

using Misc::XML_Document;
using Misc::XmlNode;
using OrvoTest::Narrow;
using OrvoTest::ReadBytes;

// The artifacts that the independent parser check reads are written by one run
// only (the one that sets this variable), never by parallel test runs.
bool WritesArtifacts()
{
    return ::GetEnvironmentVariableW(L"ORVO_WRITE_ARTIFACTS", nullptr, 0) > 0;
}

class XmlDocumentTest : public OrvoTest::TempDirTest
{
  protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_com = std::make_unique<Misc::ComScope>(COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(m_com->Started());
    }
    void TearDown() override
    {
        m_com.reset();
        TempDirTest::TearDown();
    }

  private:
    std::unique_ptr<Misc::ComScope> m_com;
};

// The markup of a node as the DOM serialises it.
std::wstring Markup(IXMLDOMNode* node)
{
    Misc::Bstr xml;
    if (!node || FAILED(node->get_xml(xml.Put())))
        return L"<error>";
    std::wstring text = xml.Text();
    // Line breaks between elements are the writer's choice; the tree is what counts.
    std::wstring result;
    for (wchar_t c : text)
        if (c != L'\r' && c != L'\n' && c != L'\t')
            result += c;
    return result;
}

std::wstring Attribute(const XmlNode& node, const std::wstring& name, long* count = nullptr)
{
    Misc::ComPtr<IXMLDOMNamedNodeMap> map;
    if (FAILED(node->get_attributes(map.Put())) || !map)
        return L"<no map>";
    if (count)
        map->get_length(count);
    Misc::Bstr key(name);
    XmlNode item;
    if (FAILED(map->getNamedItem(key.Get(), item.Put())) || !item)
        return L"<missing>";
    Misc::Bstr value;
    item->get_text(value.Put());
    return value.Text();
}

long ChildCount(const XmlNode& node)
{
    Misc::ComPtr<IXMLDOMNodeList> children;
    long n = -1;
    if (SUCCEEDED(node->get_childNodes(children.Put())) && children)
        children->get_length(&n);
    return n;
}

TEST_F(XmlDocumentTest, NothingWorksBeforeCreate)
{
    XML_Document doc;
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_FALSE(doc.Root());
    EXPECT_FALSE(doc.AddElement(nullptr, L"X"));
    EXPECT_FALSE(doc.AddCData(nullptr, L"x"));
    EXPECT_FALSE(doc.SetAttribute(nullptr, L"a", L"b"));
    EXPECT_FALSE(doc.SetAttribute(nullptr, L"a", 3));
    EXPECT_FALSE(doc.SetAttribute(nullptr, L"", true));
    EXPECT_FALSE(doc.Save(PathOf(L"never.xml")));
    EXPECT_FALSE(OrvoTest::Exists(PathOf(L"never.xml")));
    EXPECT_FALSE(Misc::SetNodeText(nullptr, L"x"));
}

TEST_F(XmlDocumentTest, ChildrenAreAppendedInOrderBelowTheRoot)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode system = doc.AddElement(nullptr, L"System");
    ASSERT_TRUE(system);
    const XmlNode apps = doc.AddElement(doc.Root(), L"Applications");
    ASSERT_TRUE(apps);
    ASSERT_TRUE(doc.AddElement(system, L"Adapter"));
    ASSERT_TRUE(doc.AddElement(system, L"Adapter2"));
    ASSERT_TRUE(doc.AddCData(apps, L"*-[x"));
    EXPECT_EQ(
        Markup(doc.Root().Get()),
        L"<Root><System><Adapter/><Adapter2/></System><Applications><![CDATA[*-[x]]></Applications></Root>");

    // A new Create starts over with an empty root.
    ASSERT_TRUE(doc.Create());
    EXPECT_EQ(Markup(doc.Root().Get()), L"<Root/>");
}

TEST_F(XmlDocumentTest, AttributeValuesOfEveryType)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode e = doc.AddElement(nullptr, L"E");
    ASSERT_TRUE(e);
    struct Case
    {
        const wchar_t* name;
        std::wstring expected;
    };
    ASSERT_TRUE(doc.SetAttribute(e, L"Count", 3));
    ASSERT_TRUE(doc.SetAttribute(e, L"Minus", -1));
    ASSERT_TRUE(doc.SetAttribute(e, L"Min", INT_MIN));
    ASSERT_TRUE(doc.SetAttribute(e, L"wow64", true));
    ASSERT_TRUE(doc.SetAttribute(e, L"server", false));
    ASSERT_TRUE(doc.SetAttribute(e, L"Quotes", L"it's \"x\""));
    ASSERT_TRUE(doc.SetAttribute(e, L"Markup", std::wstring(L"a<b>&c")));
    ASSERT_TRUE(doc.SetAttribute(e, L"Empty", L""));
    const Case cases[] = {
        {L"Count", L"3"},       {L"Minus", L"-1"},     {L"Min", L"-2147483648"},
        {L"wow64", L"True"},    {L"server", L"False"}, {L"Quotes", L"it&apos;s &quot;x&quot;"},
        {L"Markup", L"a<b>&c"}, {L"Empty", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Attribute(e, c.name), c.expected) << Narrow(c.name);

    // None means the root element.
    ASSERT_TRUE(doc.SetAttribute(nullptr, L"Version", L"6.0"));
    EXPECT_EQ(Attribute(doc.Root(), L"Version"), L"6.0");
}

TEST_F(XmlDocumentTest, SettingAnAttributeTwiceKeepsOneWithTheSecondValue)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode e = doc.AddElement(nullptr, L"E");
    ASSERT_TRUE(doc.SetAttribute(e, L"Name", L"first"));
    ASSERT_TRUE(doc.SetAttribute(e, L"Name", L"second"));
    long count = 0;
    EXPECT_EQ(Attribute(e, L"Name", &count), L"second");
    EXPECT_EQ(count, 1);
}

TEST_F(XmlDocumentTest, ElementTextReplacesChildrenWithOrWithoutQuoteReplacement)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode e = doc.AddElement(nullptr, L"E");
    ASSERT_TRUE(doc.AddElement(e, L"Child"));
    ASSERT_TRUE(doc.AddCData(e, L"data"));
    ASSERT_EQ(ChildCount(e), 2);

    ASSERT_TRUE(doc.SetAttribute(e, L"", L"say \"hi\" & 'bye'"));
    EXPECT_EQ(ChildCount(e), 1);
    EXPECT_EQ(Markup(e.Get()), L"<E>say &amp;quot;hi&amp;quot; &amp; &amp;apos;bye&amp;apos;</E>");

    ASSERT_TRUE(Misc::SetNodeText(e, L"say \"hi\" & 'bye'"));
    EXPECT_EQ(ChildCount(e), 1);
    Misc::Bstr text;
    ASSERT_TRUE(SUCCEEDED(e->get_text(text.Put())));
    EXPECT_EQ(text.Text(), L"say \"hi\" & 'bye'");

    ASSERT_TRUE(doc.SetAttribute(e, L"", 42));
    EXPECT_EQ(Markup(e.Get()), L"<E>42</E>");
}

TEST_F(XmlDocumentTest, CDataNodesTakeTextButNoAttributes)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode cdata = doc.AddCData(nullptr, L"<raw & 'text'>");
    ASSERT_TRUE(cdata);
    EXPECT_FALSE(doc.SetAttribute(cdata, L"a", L"b"));
    EXPECT_FALSE(doc.SetAttribute(cdata, L"a", 1));
    EXPECT_EQ(Markup(doc.Root().Get()), L"<Root><![CDATA[<raw & 'text'>]]></Root>");
    // Its end marker can never get inside a section.
    EXPECT_FALSE(doc.AddCData(nullptr, L"a]]>b"));
    EXPECT_FALSE(Misc::SetNodeText(cdata, L"x]]>"));
    EXPECT_TRUE(Misc::SetNodeText(cdata, L"new"));
    EXPECT_EQ(Markup(doc.Root().Get()), L"<Root><![CDATA[new]]></Root>");
}

TEST_F(XmlDocumentTest, InvalidNamesAreRefusedWithoutChangingTheDocument)
{
    const std::wstring refused[] = {
        L"",
        L"1abc",
        L"a b",
        L"a:b",
        L"<x>",
        L"-a",
        L".a",
        L"a&b",
        L"a\"b",
        std::wstring(L"a\0b", 3),
        std::wstring(1, wchar_t(0xD800)) + L"x",
        L"x" + std::wstring(1, wchar_t(0xDC00)),
    };
    const std::wstring accepted[] = {L"System", L"_a", L"a-b.c9",
                                     L"\x00DCnic\x00F6"
                                     L"de",
                                     L"xmlData"};

    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    for (const std::wstring& name : refused)
    {
        EXPECT_FALSE(Misc::IsXmlName(name)) << Narrow(name);
        EXPECT_FALSE(doc.AddElement(nullptr, name)) << Narrow(name);
        EXPECT_FALSE(doc.SetAttribute(nullptr, name.empty() ? L"\t" : name, L"v")) << Narrow(name);
    }
    EXPECT_FALSE(doc.SetAttribute(nullptr, L"xmlns", L"urn:x"));
    EXPECT_EQ(Markup(doc.Root().Get()), L"<Root/>");
    for (const std::wstring& name : accepted)
    {
        EXPECT_TRUE(Misc::IsXmlName(name)) << Narrow(name);
        EXPECT_TRUE(doc.AddElement(nullptr, name)) << Narrow(name);
        EXPECT_TRUE(doc.SetAttribute(nullptr, name, 1)) << Narrow(name);
    }
}

TEST(XmlSafeText, ReplacesWhatXmlCannotCarry)
{
    const std::wstring pair = L"\xD83D\xDE00"; // one character outside the basic plane
    struct Case
    {
        std::wstring in, out;
    };
    const Case cases[] = {
        {L"plain \t\r\n text", L"plain \t\r\n text"},
        {std::wstring(L"a\0b", 3), L"a\xFFFD"
                                   L"b"},
        {L"\x01\x1F\x7F", L"\xFFFD\xFFFD\x7F"},
        {pair, pair},
        {L"\xD83D"
         L"x",
         L"\xFFFD"
         L"x"},
        {L"x\xDE00", L"x\xFFFD"},
        {L"\xFFFE\xFFFF\xFFFD", L"\xFFFD\xFFFD\xFFFD"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::XmlSafeText(c.in), c.out) << Narrow(c.out);
}

TEST_F(XmlDocumentTest, SaveRefusesEmptyAndUnwritablePathsAndCanRepeat)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    ASSERT_TRUE(doc.AddElement(nullptr, L"System"));
    EXPECT_FALSE(doc.Save(L""));
    EXPECT_FALSE(doc.Save(PathOf(L"missing\\folder\\r.xml")));
    EXPECT_FALSE(doc.Save(Dir()));

    const std::wstring path = PathOf(L"r.xml");
    ASSERT_TRUE(doc.Save(path));
    const std::string first = ReadBytes(path);
    ASSERT_TRUE(doc.AddElement(nullptr, L"Applications"));
    ASSERT_TRUE(doc.Save(path));
    const std::string second = ReadBytes(path);
    EXPECT_NE(first.find("<System/>"), std::string::npos) << first;
    EXPECT_EQ(first.find("Applications"), std::string::npos) << first;
    EXPECT_NE(second.find("<Applications/>"), std::string::npos) << second;
    EXPECT_TRUE(doc.IsOpen());
}

// The report as a reader gets it: UTF-8, no declaration from the builder, every
// value back as it went in (the quote marks as their entity texts).
TEST_F(XmlDocumentTest, SavedReportIsUtf8WithoutDeclaration)
{
    XML_Document doc;
    ASSERT_TRUE(doc.Create());
    const XmlNode system = doc.AddElement(nullptr, L"System");
    ASSERT_TRUE(doc.SetAttribute(system, L"Name", L"Windows 10 \x00C4\x20AC \"Pro\" it's"));
    ASSERT_TRUE(doc.SetAttribute(system, L"Count", -1));
    ASSERT_TRUE(doc.SetAttribute(system, L"wow64", true));
    const XmlNode adapter = doc.AddElement(system, L"Adapter");
    ASSERT_TRUE(doc.SetAttribute(adapter, L"", L"a<b & \"c\""));
    const XmlNode note = doc.AddElement(system, L"Note");
    ASSERT_TRUE(Misc::SetNodeText(note, std::wstring(L"raw \"q\" 'a' \x0001 <&>")));
    ASSERT_TRUE(doc.AddCData(system, L"*-[CDATA"));
    ASSERT_TRUE(doc.AddElement(nullptr, L"Applications"));

    const std::wstring path = PathOf(L"OrvoDiag.xml");
    ASSERT_TRUE(doc.Save(path));
    const std::string bytes = ReadBytes(path);
    const std::string body = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
    EXPECT_EQ(body.rfind("<Root>", 0), 0u) << bytes;
    EXPECT_EQ(bytes.find("<?xml"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\xC3\x84\xE2\x82\xAC"), std::string::npos) << "UTF-8 text expected: " << bytes;
    if (WritesArtifacts())
    {
        ASSERT_TRUE(doc.Save(OrvoTest::ArtifactPath(L"report_builder.xml")));
    }
}

} // namespace
