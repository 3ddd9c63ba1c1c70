#include "book/cover_writer.h"

#include "book/xhtml_page.h"
#include "book/xml_text.h"
#include "platform/text_file.h"

namespace qb {

bool writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag) {
    try {
        std::vector<std::string> lines = {
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
        return true;
    } catch (...) {
        // The cover page is a nicety: a book without it is still a book.
        return false;
    }
}

}  // namespace qb
