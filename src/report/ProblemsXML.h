#pragma once
// The report's "Problems" element, after the sections:
//   <Problems Count="N"><Problem Severity="problem|warning" Area="...">text</Problem>...</Problems>
// and the way back from such an element to the findings, for a reader of a saved report.
// Readers that look for the known sections pass over it.

#include "report/Findings.h"
#include "report/XmlDocument.h"

constexpr wchar_t kProblemsElement[] = L"Problems";
constexpr wchar_t kProblemElement[] = L"Problem";

// Appends the element under `parent` (none: the root). True when every finding was
// written; a finding that fails does not stop the others.
bool WriteProblems(Misc::XML_Document& document, IXMLDOMNode* parent, const FindingList& findings);

// The findings of a "Problems" element, in document order. Children that are not
// "Problem" elements, or whose severity is neither "problem" nor "warning", are passed
// over. False when `element` is not a "Problems" element.
bool ReadProblems(IXMLDOMNode* element, FindingList& findings);

// The first "Problems" child of `root`, or none (a report written before the program
// judged what it found has none).
Misc::XmlNode FindProblemsElement(IXMLDOMNode* root);
