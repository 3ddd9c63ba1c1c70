#include "book/navigation_document.h"

#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_constants.h"
#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/text_file.h"

namespace qb {
namespace {

std::string escapedText(std::string_view text) {
    std::string out;
    appendEscapedText(out, xmlChars(text));
    return out;
}

// A contents link.
std::string link(const std::string& href, const std::string& label, const std::string& type = "") {
    const std::string text = escapedText(label);
    std::string a = "<a";
    if (!type.empty()) a += " epub:type=\"" + type + "\"";
    return a + " href=\"" + escapedAttribute(xmlChars(href)) + "\">" + text + "</a>";
}

void addEntries(std::vector<std::string>& lines, const std::vector<TocEntry>& entries,
                const std::string& indent) {
    for (const TocEntry& entry : entries) {
        const std::string item = indent + "\t<li>" + link(entry.href, contentsLabel(entry));
        if (entry.children.empty()) {
            lines.push_back(item + "</li>");
            continue;
        }
        lines.push_back(item);
        lines.push_back(indent + "\t\t<ol>");
        addEntries(lines, entry.children, indent + "\t\t");
        lines.push_back(indent + "\t\t</ol>");
        lines.push_back(indent + "\t</li>");
    }
}

}  // namespace

void writeNavigationDocument(const BookMetadata& book) {
    const bool hasCover = !book.coverPath.empty();
    std::vector<std::string> lines = pagePrologLines(3);
    const std::string head[] = {
        pageRootStartTag(book.languageTag, 3),
        "<head>",
        "<title> " + escapedText(epub3Title(book.title)) + " </title> ",
        kStylesheetLink,
    };
    lines.insert(lines.end(), std::begin(head), std::end(head));
    if (book.userStylesheet) lines.push_back(kUserStylesheetLink);
    const char* const body[] = {"</head>", "<body>", "<nav epub:type=\"toc\" id=\"toc\">",
                                "\t<ol>"};
    lines.insert(lines.end(), std::begin(body), std::end(body));
    const std::string coverPage = coverPageName(3);
    const std::string titlePage = titlePageName(3);
    const std::string title = epub3Title(book.title);
    if (hasCover) lines.push_back("\t\t<li>" + link(coverPage, "cover") + "</li>");
    if (book.titlePage) lines.push_back("\t\t<li>" + link(titlePage, title) + "</li>");
    addEntries(lines, book.outline.toc, "\t");
    lines.push_back("\t</ol>");
    lines.push_back("</nav>");

    lines.push_back("<nav epub:type=\"landmarks\" id=\"landmarks\" hidden=\"\">");
    lines.push_back("\t<ol>");
    if (hasCover) lines.push_back("\t\t<li>" + link(coverPage, "cover", "cover") + "</li>");
    if (book.titlePage) lines.push_back("\t\t<li>" + link(titlePage, title, "titlepage") + "</li>");
    if (!book.outline.pages.empty())
        lines.push_back("\t\t<li>" + link(book.outline.pages.front().href, "start", "bodymatter") +
                        "</li>");
    lines.push_back("\t</ol>");
    lines.push_back("</nav>");
    lines.push_back("</body>");
    lines.push_back("</html>");
    writeTextLines(book.contentFolder + "/" + kNavigationDocumentName, lines);
}

}  // namespace qb
