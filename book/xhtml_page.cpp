#include "book/xhtml_page.h"

#include "book/xml/xml_text.h"

namespace qb {

std::string pageRootStartTag(const std::string& languageTag, int epubVersion) {
    const std::string lang = escapedAttribute(xmlChars(languageTag));
    if (epubVersion == 3) {
        return "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"" +
               std::string(kOpsNamespace) + "\" xml:lang=\"" + lang + "\" lang=\"" + lang + "\"> ";
    }
    return "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" + lang + "\"> ";
}

std::vector<std::string> pagePrologLines(int epubVersion) {
    if (epubVersion == 3) return {kPageDeclaration, kHtml5Doctype};
    return {kPageDeclaration};
}

}  // namespace qb
