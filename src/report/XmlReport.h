#pragma once
// A report read back from bytes that came from outside, through the platform's DOM
// (MSXML): document type definitions are refused and nothing outside the text is
// ever resolved or loaded. Only what the section readers need: elements, their
// attributes and their text.

#include "misc/Handles.h"

#include <windows.h>

#include <ole2.h>

#include <msxml2.h>

#include <string>
#include <vector>

namespace Misc
{

// One element of a read report; empty when it does not exist.
class XmlElement
{
  public:
    XmlElement() = default;
    explicit XmlElement(ComPtr<IXMLDOMNode> node) : m_node(std::move(node)) {}

    explicit operator bool() const noexcept { return static_cast<bool>(m_node); }
    // The element's node, for the readers of the report's own parts.
    IXMLDOMNode* Node() const noexcept { return m_node.Get(); }
    std::wstring Name() const;
    // The child elements in document order; with a name, only those of that name.
    std::vector<XmlElement> Children(const wchar_t* name = nullptr) const;
    // The first child element of that name, or an empty element.
    XmlElement Child(const wchar_t* name) const;
    // False when the attribute is missing.
    bool Attribute(const wchar_t* name, std::wstring& value) const;
    // The text of the element and all below it, as the writer put it there.
    std::wstring Text() const;

    // A text attribute as the builder's SetAttribute was given it: the quote marks it
    // stores as entity text are turned back into marks. False when missing.
    bool TextAttribute(const wchar_t* name, std::wstring& value) const;
    // A decimal 32-bit attribute ("%d"); false when missing or not such a number.
    bool IntAttribute(const wchar_t* name, int& value) const;

  private:
    ComPtr<IXMLDOMNode> m_node;
};

class XmlReport
{
  public:
    XmlReport() = default;
    XmlReport(const XmlReport&) = delete;
    XmlReport& operator=(const XmlReport&) = delete;
    virtual ~XmlReport() = default;

    // Parses the report's bytes (UTF-8, or UTF-16 after its byte order mark). False,
    // with `error` saying why, for anything that is not well-formed XML without a
    // document type definition.
    bool Load(const std::string& bytes, std::wstring& error);
    XmlElement Root() const;

  private:
    ComPtr<IXMLDOMDocument2> m_document;
};

// The text of the report's bytes: UTF-16 after FF FE, otherwise UTF-8 (a byte order
// mark skipped). False when the bytes are no valid text in that encoding.
bool ReportText(const std::string& bytes, std::wstring& text);
// The builder's entity texts "&quot;" and "&apos;" turned back into quote marks.
std::wstring UnescapeQuotes(const std::wstring& text);
// Signed decimal as "%d" writes it, within 32 bits.
bool ParseInt32(const std::wstring& text, int& value);
// Whether the text declares a document type anywhere (the report never does).
bool DeclaresDocumentType(const std::wstring& text);

} // namespace Misc
