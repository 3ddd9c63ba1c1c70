#include "book/cover_writer.h"

#include "book/xhtml_page.h"
#include "book/xml_text.h"
#include "platform/text_file.h"

namespace qb {

void writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag) {
    // The manifest and the spine name this page whenever there is a cover, so a book without
    // it would be broken: a failure here ends the run like any other.
    const std::vector<std::string> lines = {
        kPageDeclaration,
        pageRootStartTag(languageTag),
        "<head>",
        "<title> cover </title> ",
        std::string(kStylesheetLink) + " ",
        "</head>",
        "<body>",
        "<div>",
        "<img src=\"" + escapedAttribute(xmlChars(pictureName)) + "\" alt=\"cover\" />",
        "</div>",
        "</body>",
        "</html>",
    };
    writeTextLines(coverPagePath, lines);
}

}  // namespace qb
