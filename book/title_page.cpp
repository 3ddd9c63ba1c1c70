#include "book/title_page.h"

#include <iterator>

#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/text_file.h"

namespace qb {
namespace {

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// One line of the page, or nothing for a text with nothing to show.
void addLine(std::vector<std::string>& lines, const char* type, const std::string& text) {
    std::string escaped;
    appendEscapedText(escaped, xmlChars(text));
    if (blank(escaped)) return;
    lines.push_back(std::string("<p class=\"") + type + "\">" + escaped + "</p>");
}

}  // namespace

void writeTitlePage(const BookMetadata& book) {
    const BookDetails& more = book.details;
    const std::string title = epub3Title(book.title);
    std::string escapedTitle;
    appendEscapedText(escapedTitle, title);
    std::vector<std::string> lines = pagePrologLines(book.epubVersion);
    const std::string head[] = {
        pageRootStartTag(book.languageTag, book.epubVersion),
        "<head>",
        "<title> " + escapedTitle + " </title> ",
        kStylesheetLink,
    };
    lines.insert(lines.end(), std::begin(head), std::end(head));
    if (book.userStylesheet) lines.push_back(kUserStylesheetLink);
    lines.push_back("</head>");
    lines.push_back("<body>");
    lines.push_back(book.epubVersion == 3 ? "<div class=\"titlepage\" epub:type=\"titlepage\">"
                                          : "<div class=\"titlepage\">");
    addLine(lines, "title", title);
    addLine(lines, "author", book.author);
    for (const std::string& author : more.otherAuthors) addLine(lines, "author", author);
    if (!more.series.empty()) {
        // A middle dot reads as "number so-and-so of the series" in any language.
        addLine(
            lines, "series",
            more.seriesIndex.empty() ? more.series : more.series + " \u00B7 " + more.seriesIndex);
    }
    addLine(lines, "publisher", more.publisher);
    addLine(lines, "date", more.date);
    lines.push_back("</div>");
    lines.push_back("</body>");
    lines.push_back("</html>");
    writeTextLines(book.contentFolder + "/" + titlePageName(book.epubVersion), lines);
}

}  // namespace qb
