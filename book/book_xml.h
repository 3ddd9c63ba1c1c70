#pragma once
// What the package document and the NCX share in writing their XML.

#include <string>

#include "book/xml/xml_document.h"

namespace qb {

// A document laid out with tabs and CR LF, as both files are.
inline void prepareBookDocument(TXMLDocument& doc) {
    doc.setActive(true);
    doc.setNodeIndentStr("\t");
    doc.addOption(TXMLDocOption::doNodeAutoIndent);
}

inline TXMLNode addTextElement(TXMLNode parent, const std::string& tag, const std::string& text) {
    TXMLNode element = parent.addChild(tag);
    element.setText(text);
    return element;
}

}  // namespace qb
