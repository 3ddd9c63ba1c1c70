#include "book/xhtml_page.h"

#include "book/xml_text.h"

namespace qb {

std::string pageRootStartTag(const std::string& languageTag) {
    return "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" +
           escapedAttribute(xmlChars(languageTag)) + "\"> ";
}

}  // namespace qb
