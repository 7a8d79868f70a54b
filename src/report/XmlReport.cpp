#include "report/XmlReport.h"

#include "misc/ComValues.h"
#include "misc/Text.h"
#include "report/DomDocument.h"

#include <cstdint>

namespace Misc
{

namespace
{

// Deeper than any installation's folders; a deeper report is refused by the parser
// before the section readers could recurse that far.
constexpr long kMaxElementDepth = 256;

bool SetFlag(IXMLDOMDocument2* document, const wchar_t* property, bool value)
{
    Bstr name(property);
    VARIANT flag;
    ::VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return name && SUCCEEDED(document->setProperty(name.Get(), flag));
}

void SetNumber(IXMLDOMDocument2* document, const wchar_t* property, long value)
{
    Bstr name(property);
    VARIANT number;
    ::VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = value;
    if (name)
        document->setProperty(name.Get(), number);
}

// The parser never reads a DTD and never reaches outside the text: no external
// entity, no schema, nothing loaded in the background. Where the platform ignores one
// of these settings, the text was already refused for declaring a document type.
void MakeSafe(IXMLDOMDocument2* document)
{
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    SetFlag(document, L"ProhibitDTD", true);
    SetFlag(document, L"AllowDocumentFunction", false);
    SetNumber(document, L"MaxElementDepth", kMaxElementDepth);
}

std::wstring ParseErrorText(IXMLDOMDocument2* document)
{
    ComPtr<IXMLDOMParseError> error;
    long line = 0;
    Bstr reason;
    if (SUCCEEDED(document->get_parseError(error.Put())) && error)
    {
        error->get_line(&line);
        error->get_reason(reason.Put());
    }
    std::wstring why = reason.Text();
    while (!why.empty() && (why.back() == L'\n' || why.back() == L'\r' || why.back() == L' '))
        why.pop_back();
    if (why.empty())
        why = L"no reason given";
    return Format(L"the report is not well-formed XML (line %ld: %ls)", line, why.c_str());
}

bool Refuse(std::wstring& error, const std::wstring& why)
{
    error = why;
    return false;
}

} // namespace

bool ReportText(const std::string& bytes, std::wstring& text)
{
    text.clear();
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
    {
        if (bytes.size() % 2 != 0)
            return false;
        text.resize((bytes.size() - 2) / 2);
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                           static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return true;
    }
    std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const int size = static_cast<int>(bytes.size() - start);
    if (size == 0 || bytes.size() - start > 0x7FFFFFFF)
        return size == 0;
    const int length =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, size, nullptr, 0);
    if (length <= 0)
        return false;
    text.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, size, text.data(),
                                 length) == length;
}

bool DeclaresDocumentType(const std::wstring& text)
{
    return text.find(L"<!DOCTYPE") != std::wstring::npos || text.find(L"<!ENTITY") != std::wstring::npos;
}

bool XmlReport::Load(const std::string& bytes, std::wstring& error)
{
    m_document.Reset();
    std::wstring text;
    if (!ReportText(bytes, text))
        return Refuse(error, L"the report is not UTF-8 or UTF-16 text");
    if (text.find(L'\0') != std::wstring::npos)
        return Refuse(error, L"the report holds NUL characters");
    if (DeclaresDocumentType(text))
        return Refuse(error, L"the report declares a document type, which OrvoDiag never writes");
    ComPtr<IXMLDOMDocument2> document = CreateDomDocument();
    if (!document)
        return Refuse(error, L"the system's XML parser (MSXML) is not available");
    MakeSafe(document.Get());
    Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (!source)
        return Refuse(error, L"there is not enough memory for the report");
    if (FAILED(document->loadXML(source.Get(), &loaded)) || loaded != VARIANT_TRUE)
        return Refuse(error, ParseErrorText(document.Get()));
    ComPtr<IXMLDOMDocumentType> doctype;
    if (SUCCEEDED(document->get_doctype(doctype.Put())) && doctype)
        return Refuse(error, L"the report declares a document type, which OrvoDiag never writes");
    m_document = document;
    return true;
}

XmlElement XmlReport::Root() const
{
    ComPtr<IXMLDOMElement> root;
    if (!m_document || FAILED(m_document->get_documentElement(root.Put())) || !root)
        return {};
    IXMLDOMNode* node = root.Get();
    node->AddRef();
    return XmlElement(ComPtr<IXMLDOMNode>(node));
}

std::wstring XmlElement::Name() const
{
    Bstr name;
    if (m_node)
        m_node->get_nodeName(name.Put());
    return name.Text();
}

std::vector<XmlElement> XmlElement::Children(const wchar_t* name) const
{
    std::vector<XmlElement> children;
    ComPtr<IXMLDOMNode> child;
    if (!m_node || FAILED(m_node->get_firstChild(child.Put())))
        return children;
    while (child)
    {
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT)
        {
            XmlElement element(child);
            if (!name || element.Name() == name)
                children.push_back(element);
        }
        ComPtr<IXMLDOMNode> next;
        if (FAILED(child->get_nextSibling(next.Put())))
            break;
        child = next;
    }
    return children;
}

XmlElement XmlElement::Child(const wchar_t* name) const
{
    std::vector<XmlElement> children = Children(name);
    return children.empty() ? XmlElement() : children.front();
}

bool XmlElement::Attribute(const wchar_t* name, std::wstring& value) const
{
    value.clear();
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    Bstr attributeName(name);
    ComPtr<IXMLDOMNode> attribute;
    if (!m_node || !attributeName || FAILED(m_node->get_attributes(attributes.Put())) || !attributes ||
        FAILED(attributes->getNamedItem(attributeName.Get(), attribute.Put())) || !attribute)
        return false;
    Bstr text;
    if (FAILED(attribute->get_text(text.Put())))
        return false;
    value = text.Text();
    return true;
}

std::wstring XmlElement::Text() const
{
    Bstr text;
    if (m_node)
        m_node->get_text(text.Put());
    return text.Text();
}

} // namespace Misc

namespace Misc
{

bool XmlElement::TextAttribute(const wchar_t* name, std::wstring& value) const
{
    if (!Attribute(name, value))
        return false;
    value = UnescapeQuotes(value);
    return true;
}

bool XmlElement::IntAttribute(const wchar_t* name, int& value) const
{
    std::wstring text;
    return Attribute(name, text) && ParseInt32(text, value);
}

std::wstring UnescapeQuotes(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const bool quote = text.compare(i, 6, L"&quot;") == 0;
        const bool apostrophe = text.compare(i, 6, L"&apos;") == 0;
        result += quote ? L'"' : apostrophe ? L'\'' : text[i];
        if (quote || apostrophe)
            i += 5;
    }
    return result;
}

bool ParseInt32(const std::wstring& text, int& value)
{
    std::size_t at = text.size() > 1 && text[0] == L'-' ? 1 : 0;
    if (at == text.size() || text.size() - at > 10)
        return false;
    long long number = 0;
    for (std::size_t i = at; i < text.size(); ++i)
    {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        number = number * 10 + (text[i] - L'0');
    }
    if (at)
        number = -number;
    if (number < INT32_MIN || number > INT32_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}

} // namespace Misc
