#include "book/cover_writer.h"

#include <iterator>

#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/text_file.h"

namespace qb {

void writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag, int epubVersion, bool styled) {
    // The manifest and the spine name this page whenever there is a cover, so a book without
    // it would be broken: a failure here ends the run like any other.
    std::vector<std::string> lines = pagePrologLines(epubVersion);
    const std::string rest[] = {
        pageRootStartTag(languageTag, epubVersion),
        "<head>",
        "<title> cover </title> ",
        std::string(kStylesheetLink) + " ",
        "</head>",
        styled ? "<body class=\"cover\">" : "<body>",
        styled ? "<div class=\"cover\">" : "<div>",
        "<img src=\"" + escapedAttribute(xmlChars(pictureName)) + "\" alt=\"cover\" />",
        "</div>",
        "</body>",
        "</html>",
    };
    lines.insert(lines.end(), std::begin(rest), std::end(rest));
    writeTextLines(coverPagePath, lines);
}

}  // namespace qb
