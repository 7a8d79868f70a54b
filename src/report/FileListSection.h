#pragma once
// A report section that lists staged or found files by name while the files themselves
// travel in the archive: the log files and the other files share this shape.

#include "misc/Attachments.h"
#include "report/XmlDocument.h"

#include <new>

namespace Misc
{

// Names of the section, of one element per file, and the section's version.
struct FileListSectionNames
{
    const wchar_t* section;
    const wchar_t* element;
    int version;
};

// Writes <section Version Count> with one <element File="name"/> per entry of `model`
// (anything with ForEachEntry over entries with Path() and FileName()). A file is
// attached even when its element could not be written, so the archive still carries
// it. True when the section was written completely.
template <typename Model>
bool WriteFileListSection(XML_Document& document, IXMLDOMNode* parent, const FileListSectionNames& names,
                          const Model& model, AttachmentList* attachments)
{
    const XmlNode section = document.AddElement(parent, names.section);
    if (!section)
        return false;
    if (!document.SetAttribute(section, L"Version", names.version))
        return false;
    bool result = document.SetAttribute(section, L"Count", static_cast<int>(model.Count()));
    model.ForEachEntry(
        [&](const auto& entry)
        {
            if (attachments)
            {
                try
                {
                    attachments->push_back(entry.Path());
                }
                catch (const std::bad_alloc&)
                {
                    result = false; // the file would silently be missing from the archive
                }
            }
            const XmlNode element = document.AddElement(section, names.element);
            if (!element || !document.SetAttribute(element, L"File", entry.FileName()))
                result = false;
        });
    return result;
}

} // namespace Misc
