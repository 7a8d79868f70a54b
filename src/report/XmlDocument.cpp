#include "report/XmlDocument.h"

#include "misc/ComValues.h"
#include "misc/Text.h"
#include "report/DomDocument.h"

#include <cwchar>

namespace Misc
{

namespace
{

bool IsNameStart(unsigned long c) noexcept
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(unsigned long c) noexcept
{
    return IsNameStart(c) || c == L'-' || c == L'.' || (c >= L'0' && c <= L'9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// Attribute values keep their quote marks out of the DOM: each becomes its entity
// text, which the DOM writer then escapes once more like any other text. The double
// escaping is deliberate: readers of the report get back "&quot;" and "&apos;", as
// they always have, never a bare quote mark.
std::wstring ReplaceQuotes(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text)
    {
        if (c == L'"')
            result += L"&quot;";
        else if (c == L'\'')
            result += L"&apos;";
        else
            result += c;
    }
    return result;
}

// Replaces all children of `node` by one text node. A CDATA section cannot hold
// its own end marker, so such a text is refused there rather than corrupting the
// report.
bool PutText(IXMLDOMNode* node, const std::wstring& text)
{
    if (!node)
        return false;
    const std::wstring safe = XmlSafeText(text);
    DOMNodeType type = NODE_INVALID;
    if (FAILED(node->get_nodeType(&type)))
        return false;
    if (type == NODE_CDATA_SECTION && safe.find(L"]]>") != std::wstring::npos)
        return false;
    Bstr value(safe);
    if (!value)
        return false;
    return SUCCEEDED(node->put_text(value.Get()));
}

// Runs one step of the builder. Only the strings and COM values it makes can throw
// (an allocation failure); that becomes the step's failure result, so that nothing
// is ever thrown to a section writer.
template <typename Result, typename Step> Result NoThrow(Result failed, Step&& step) noexcept
{
    try
    {
        return step();
    }
    catch (...)
    {
        return failed;
    }
}

} // namespace

bool IsXmlName(const std::wstring& name) noexcept
{
    if (name.empty())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
    {
        unsigned long c = name[i];
        if (IsHighSurrogate(name[i]))
        {
            if (i + 1 >= name.size() || !IsLowSurrogate(name[i + 1]))
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            ++i;
        }
        else if (IsLowSurrogate(name[i]))
        {
            return false;
        }
        // A colon would need a namespace declaration that the report never makes.
        if (i == 0 ? !IsNameStart(c) : !IsNameChar(c))
            return false;
    }
    return true;
}

std::wstring XmlSafeText(const std::wstring& text)
{
    std::wstring result(text);
    for (std::size_t i = 0; i < result.size(); ++i)
    {
        const wchar_t c = result[i];
        if (IsHighSurrogate(c) && i + 1 < result.size() && IsLowSurrogate(result[i + 1]))
        {
            ++i;
            continue;
        }
        const bool allowed =
            c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD);
        if (!allowed)
            result[i] = 0xFFFD;
    }
    return result;
}

XML_Document::~XML_Document()
{
    m_open = false;
    m_root.Reset();
    m_document.Reset();
}

// Creates a fresh platform document with its root element. A machine without the
// DOM engine leaves the builder closed, and every later operation does nothing.
bool XML_Document::Create()
{
    m_open = false;
    m_root.Reset();
    m_document.Reset();
    m_open = NoThrow(false, [this] { return CreateDocument(); });
    if (!m_open)
    {
        m_root.Reset();
        m_document.Reset();
    }
    return m_open;
}

bool XML_Document::CreateDocument()
{
    ComPtr<IXMLDOMDocument2> document = CreateDomDocument();
    if (!document)
        return false;

    Bstr rootName(L"Root");
    ComPtr<IXMLDOMElement> element;
    if (!rootName || FAILED(document->createElement(rootName.Get(), element.Put())) || !element)
        return false;
    XmlNode appended;
    if (FAILED(document->appendChild(element.Get(), appended.Put())) || !appended)
        return false;

    m_document = document;
    m_root = appended;
    return true;
}

// The DOM's own writer produces the file (UTF-8, no declaration, since the
// document holds none).
bool XML_Document::Save(const std::wstring& path) const
{
    if (path.empty() || !m_open || !m_document || !m_root)
        return false;
    return NoThrow(false,
                   [&]
                   {
                       Variant destination(path);
                       if (destination.Type() != VT_BSTR)
                           return false;
                       return SUCCEEDED(m_document->save(destination.Get()));
                   });
}

XmlNode XML_Document::Append(IXMLDOMNode* parent, IXMLDOMNode* child) noexcept
{
    XmlNode appended;
    if (!parent || !child || FAILED(parent->appendChild(child, appended.Put())))
        return {};
    return appended;
}

XmlNode XML_Document::AddElement(IXMLDOMNode* parent, const std::wstring& name)
{
    if (!m_open || !IsXmlName(name))
        return {};
    return NoThrow(XmlNode(),
                   [&]
                   {
                       Bstr tag(name);
                       ComPtr<IXMLDOMElement> element;
                       if (!tag || FAILED(m_document->createElement(tag.Get(), element.Put())) || !element)
                           return XmlNode();
                       return Append(Target(parent), element.Get());
                   });
}

XmlNode XML_Document::AddCData(IXMLDOMNode* parent, const std::wstring& text)
{
    if (!m_open)
        return {};
    return NoThrow(XmlNode(),
                   [&]
                   {
                       const std::wstring safe = XmlSafeText(text);
                       // The section would end early at its own end marker.
                       if (safe.find(L"]]>") != std::wstring::npos)
                           return XmlNode();
                       Bstr content(safe);
                       ComPtr<IXMLDOMCDATASection> section;
                       if (!content || FAILED(m_document->createCDATASection(content.Get(), section.Put())) ||
                           !section)
                           return XmlNode();
                       return Append(Target(parent), section.Get());
                   });
}

bool XML_Document::SetAttribute(IXMLDOMNode* element, const std::wstring& name, const std::wstring& text)
{
    if (!m_open)
        return false;
    IXMLDOMNode* target = Target(element);
    if (!target)
        return false;
    return NoThrow(false,
                   [&]
                   {
                       const std::wstring escaped = ReplaceQuotes(text);
                       if (name.empty())
                           return PutText(target, escaped);

                       // "xmlns" would declare a namespace instead of carrying a value.
                       if (!IsXmlName(name) || name == L"xmlns")
                           return false;
                       ComPtr<IXMLDOMNamedNodeMap> attributes;
                       if (FAILED(target->get_attributes(attributes.Put())) || !attributes)
                           return false; // not an element
                       Bstr attributeName(name);
                       ComPtr<IXMLDOMAttribute> attribute;
                       if (!attributeName ||
                           FAILED(m_document->createAttribute(attributeName.Get(), attribute.Put())) ||
                           !attribute)
                           return false;
                       Variant value(XmlSafeText(escaped));
                       if (value.Type() != VT_BSTR || FAILED(attribute->put_value(value.Get())))
                           return false;
                       XmlNode replaced;
                       return SUCCEEDED(attributes->setNamedItem(attribute.Get(), replaced.Put()));
                   });
}

bool XML_Document::SetAttribute(IXMLDOMNode* element, const std::wstring& name, const wchar_t* text)
{
    if (!text)
        return false;
    return NoThrow(false, [&] { return SetAttribute(element, name, std::wstring(text)); });
}

bool XML_Document::SetAttribute(IXMLDOMNode* element, const std::wstring& name, int value)
{
    wchar_t buffer[30];
    std::swprintf(buffer, 30, L"%d", value);
    return SetAttribute(element, name, buffer);
}

bool XML_Document::SetAttribute(IXMLDOMNode* element, const std::wstring& name, bool value)
{
    wchar_t buffer[30];
    std::swprintf(buffer, 30, L"%ls", value ? L"True" : L"False");
    return SetAttribute(element, name, buffer);
}

// Works on any node of any document: it never looks at a builder.
bool SetNodeText(IXMLDOMNode* node, const std::wstring& text)
{
    return NoThrow(false, [&] { return PutText(node, text); });
}

} // namespace Misc
