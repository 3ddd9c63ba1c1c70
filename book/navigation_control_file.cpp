#include "book/navigation_control_file.h"

#include <algorithm>
#include <string>
#include <utility>

#include "book/book_constants.h"
#include "book/book_xml.h"
#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"

namespace qb {
namespace {

TXMLNode addNavPoint(TXMLNode parent, const std::string& id, int playOrder,
                     const std::string& label, const std::string& src) {
    TXMLNode navPoint = parent.addChild("navPoint");
    navPoint.setAttribute("id", id);
    navPoint.setAttribute("playOrder", std::to_string(playOrder));
    TXMLNode navLabel = navPoint.addChild("navLabel");
    addTextElement(navLabel, "text", label);
    TXMLNode content = navPoint.addChild("content");
    content.setAttribute("src", src);
    return navPoint;
}

// Entries in document order, so playOrder runs on without gaps through the nested ones.
void addNavPoints(TXMLNode parent, const std::vector<TocEntry>& entries, int& playOrder) {
    for (const TocEntry& entry : entries) {
        TXMLNode point =
            addNavPoint(parent, entry.id, ++playOrder, contentsLabel(entry), entry.href);
        addNavPoints(point, entry.children, playOrder);
    }
}

int tocDepth(const std::vector<TocEntry>& entries) {
    int depth = 0;
    for (const TocEntry& entry : entries) depth = std::max(depth, 1 + tocDepth(entry.children));
    return depth;
}

}  // namespace

void writeNavigationControlFile(const BookMetadata& book) {
    TXMLDocument doc;
    prepareBookDocument(doc);
    doc.setStandAlone("yes");
    doc.setVersion("1.0");
    doc.setEncoding("UTF-8");

    TXMLNode ncx = doc.documentNode().addChild("ncx", kNcxNamespace);
    ncx.setAttribute("version", "2005-1");
    ncx.setAttribute("xml:lang", book.languageTag);

    TXMLNode head = ncx.addChild("head");
    const std::pair<const char*, std::string> metas[] = {
        {"dtb:uid", book.identifier},
        {"dtb:depth", std::to_string(std::max(1, tocDepth(book.outline.toc)))},
        {"dtb:totalPageCount", "0"},
        {"dtb:maxPageNumber", "0"},
    };
    for (const auto& [name, content] : metas) {
        TXMLNode meta = head.addChild("meta");
        meta.setAttribute("name", name);
        meta.setAttribute("content", content);
    }

    addTextElement(ncx.addChild("docTitle"), "text", epub3Title(book.title));
    addTextElement(ncx.addChild("docAuthor"), "text", xmlChars(book.author));
    for (const std::string& author : book.details.otherAuthors)
        addTextElement(ncx.addChild("docAuthor"), "text", xmlChars(author));

    TXMLNode navMap = ncx.addChild("navMap");
    int playOrder = 0;
    if (!book.coverPath.empty())
        addNavPoint(navMap, "cover", ++playOrder, "cover", coverPageName(book.epubVersion));
    if (book.titlePage)
        addNavPoint(navMap, "titlepage", ++playOrder, epub3Title(book.title),
                    titlePageName(book.epubVersion));
    addNavPoints(navMap, book.outline.toc, playOrder);

    doc.saveToFile(book.contentFolder + "/fb.ncx");
}

}  // namespace qb
