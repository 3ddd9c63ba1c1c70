#include "book/package_document.h"

#include "book/book_constants.h"
#include "book/book_xml.h"
#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/paths.h"

namespace qb {
namespace {

TXMLNode addItem(TXMLNode manifest, const std::string& id, const std::string& href,
                 const std::string& mediaType) {
    TXMLNode item = manifest.addChild("item");
    item.setAttribute("id", id);
    item.setAttribute("href", href);
    item.setAttribute("media-type", mediaType);
    return item;
}

TXMLNode addCoverMeta(TXMLNode metadata) {
    TXMLNode meta = metadata.addChild("meta");
    meta.setAttribute("name", "cover");
    meta.setAttribute("content", "cover-image");
    return meta;
}

TXMLNode addNamedMeta(TXMLNode metadata, const std::string& name, const std::string& content) {
    TXMLNode meta = metadata.addChild("meta");
    meta.setAttribute("name", name);
    meta.setAttribute("content", content);
    return meta;
}

TXMLNode addRefinement(TXMLNode metadata, const std::string& id, const std::string& property,
                       const std::string& value) {
    TXMLNode meta = addTextElement(metadata, "meta", value);
    meta.setAttribute("refines", "#" + id);
    meta.setAttribute("property", property);
    return meta;
}

// The series as calibre, KOReader and Kobo read it, in either EPUB version.
void addCalibreMetas(TXMLNode metadata, const BookDetails& more) {
    if (!more.series.empty()) {
        addNamedMeta(metadata, "calibre:series", xmlChars(more.series));
        if (!more.seriesIndex.empty())
            addNamedMeta(metadata, "calibre:series_index", xmlChars(more.seriesIndex));
    }
}

std::string rightsStatement(const BookDetails& more) {
    return more.rights.empty() ? std::string(kBookRightsStatement) : xmlChars(more.rights);
}

// The elements the first program always writes keep their places (empty when nothing is
// known); what the user adds goes beside the element of its kind.
void addMetadata2(TXMLNode metadata, const BookMetadata& book) {
    const BookDetails& more = book.details;
    metadata.declareNamespace("opf", kOpfNamespace);
    addTextElement(metadata, "dc:title", epub3Title(book.title));
    TXMLNode creator = metadata.addChild("dc:creator");
    creator.setAttribute("opf:role", "aut");
    if (!more.authorSort.empty()) creator.setAttribute("opf:file-as", xmlChars(more.authorSort));
    creator.setText(xmlChars(book.author));
    for (const std::string& author : more.otherAuthors)
        addTextElement(metadata, "dc:creator", xmlChars(author)).setAttribute("opf:role", "aut");
    addTextElement(metadata, "dc:subject", more.subjects.empty() ? "" : xmlChars(more.subjects[0]));
    for (std::size_t i = 1; i < more.subjects.size(); ++i)
        addTextElement(metadata, "dc:subject", xmlChars(more.subjects[i]));
    addTextElement(metadata, "dc:description", xmlChars(more.description));
    if (!more.publisher.empty()) addTextElement(metadata, "dc:publisher", xmlChars(more.publisher));
    addTextElement(metadata, "dc:contributor", "");
    if (more.date.empty()) {
        addTextElement(metadata, "dc:date", xmlChars(book.date));
    } else {
        addTextElement(metadata, "dc:date", xmlChars(more.date))
            .setAttribute("opf:event", "publication");
        addTextElement(metadata, "dc:date", xmlChars(book.date))
            .setAttribute("opf:event", "modification");
    }
    addTextElement(metadata, "dc:type", "[type]");
    addTextElement(metadata, "dc:format", "");
    TXMLNode identifier = metadata.addChild("dc:identifier");
    identifier.setAttribute("id", "BookId");
    identifier.setAttribute("opf:scheme", "UUID");
    identifier.setText(xmlChars(book.identifier));
    if (!more.isbn.empty()) {
        TXMLNode isbn = metadata.addChild("dc:identifier");
        isbn.setAttribute("opf:scheme", "ISBN");
        isbn.setText(xmlChars(more.isbn));
    }
    addTextElement(metadata, "dc:source", kBookSourceAddress);
    addTextElement(metadata, "dc:language", book.languageTag);
    addTextElement(metadata, "dc:relation", "");
    addTextElement(metadata, "dc:coverage", "");
    addTextElement(metadata, "dc:rights", rightsStatement(more));
    // A cover meta that names no manifest item shows as a broken picture in some readers.
    if (!book.coverPath.empty()) addCoverMeta(metadata).setText("");
    addCalibreMetas(metadata, more);
    // OPF 2 gives dc:title no file-as; calibre's own meta is what readers of EPUB 2 know.
    if (!more.titleSort.empty())
        addNamedMeta(metadata, "calibre:title_sort", xmlChars(more.titleSort));
}

void addCreator3(TXMLNode metadata, const std::string& name, const std::string& id,
                 const std::string& fileAs) {
    addTextElement(metadata, "dc:creator", name).setAttribute("id", id);
    addRefinement(metadata, id, "role", "aut").setAttribute("scheme", "marc:relators");
    if (!fileAs.empty()) addRefinement(metadata, id, "file-as", fileAs);
}

// EPUB 3 checkers warn about empty Dublin Core elements and know no opf:role or opf:scheme:
// only what the book has is written, the author's role as a refinement.
void addMetadata3(TXMLNode metadata, const BookMetadata& book) {
    const BookDetails& more = book.details;
    TXMLNode identifier = addTextElement(metadata, "dc:identifier", xmlChars(book.identifier));
    identifier.setAttribute("id", "BookId");
    if (!more.isbn.empty())
        addTextElement(metadata, "dc:identifier", "urn:isbn:" + xmlChars(more.isbn))
            .setAttribute("id", "isbn");
    TXMLNode title = addTextElement(metadata, "dc:title", epub3Title(book.title));
    if (!more.titleSort.empty()) {
        title.setAttribute("id", "title");
        addRefinement(metadata, "title", "file-as", xmlChars(more.titleSort));
    }
    const std::string author = xmlChars(book.author);
    if (!author.empty()) addCreator3(metadata, author, "creator", xmlChars(more.authorSort));
    int n = 1;
    for (const std::string& other : more.otherAuthors) {
        const std::string name = xmlChars(other);
        if (!name.empty()) addCreator3(metadata, name, "creator" + std::to_string(++n), "");
    }
    addTextElement(metadata, "dc:language", xmlChars(book.languageTag));
    addTextElement(metadata, "dc:date", xmlChars(more.date.empty() ? book.date : more.date));
    addTextElement(metadata, "dc:source", kBookSourceAddress);
    addTextElement(metadata, "dc:rights", rightsStatement(more));
    const std::pair<const char*, const std::string*> texts[] = {
        {"dc:description", &more.description}, {"dc:publisher", &more.publisher}};
    for (const auto& [tag, text] : texts) {
        if (!xmlChars(*text).empty()) addTextElement(metadata, tag, xmlChars(*text));
    }
    for (const std::string& subject : more.subjects) {
        if (!xmlChars(subject).empty()) addTextElement(metadata, "dc:subject", xmlChars(subject));
    }
    TXMLNode modified = metadata.addChild("meta");
    modified.setAttribute("property", "dcterms:modified");
    modified.setText(book.modified);
    // For readers that look for the cover the EPUB 2 way.
    if (!book.coverPath.empty()) addCoverMeta(metadata);
    if (!more.series.empty()) {
        TXMLNode series = addTextElement(metadata, "meta", xmlChars(more.series));
        series.setAttribute("property", "belongs-to-collection");
        series.setAttribute("id", "series");
        addRefinement(metadata, "series", "collection-type", "series");
        if (!more.seriesIndex.empty())
            addRefinement(metadata, "series", "group-position", xmlChars(more.seriesIndex));
    }
    addCalibreMetas(metadata, more);
}

}  // namespace

void writePackageDocument(const BookMetadata& book) {
    const bool hasCover = !book.coverPath.empty();
    const bool epub3 = book.epubVersion == 3;
    TXMLDocument doc;
    prepareBookDocument(doc);
    doc.setVersion("1.0");
    doc.setEncoding("UTF-8");

    TXMLNode package = doc.documentNode().addChild("package", kOpfNamespace);
    package.setAttribute("unique-identifier", "BookId");
    package.setAttribute("version", epub3 ? "3.0" : "2.0");

    TXMLNode metadata = package.addChild("metadata", package.namespaceURI());
    metadata.declareNamespace("dc", kDublinCoreNamespace);
    if (epub3) {
        addMetadata3(metadata, book);
    } else {
        addMetadata2(metadata, book);
    }

    TXMLNode manifest = package.addChild("manifest");
    addItem(manifest, "style", "stylesheet.css", "text/css");
    if (book.userStylesheet) addItem(manifest, "user-style", kUserStylesheetName, "text/css");
    if (!book.fontPath.empty())
        addItem(manifest, "body-font", xmlChars(book.fontPath), xmlChars(book.fontMediaType));
    // Kept in EPUB 3 too: readers that know only EPUB 2 (and Kobo's for side-loaded books)
    // show their contents list from it.
    addItem(manifest, "ncx", "fb.ncx", "application/x-dtbncx+xml");
    if (epub3) {
        addItem(manifest, "nav", kNavigationDocumentName, "application/xhtml+xml")
            .setAttribute("properties", "nav");
    }
    if (hasCover) {
        addItem(manifest, "cover", coverPageName(book.epubVersion), "application/xhtml+xml");
        TXMLNode picture =
            addItem(manifest, "cover-image", fileNamePart(book.coverPath), book.coverMediaType);
        if (epub3) picture.setAttribute("properties", "cover-image");
    }
    if (book.titlePage)
        addItem(manifest, "titlepage", titlePageName(book.epubVersion), "application/xhtml+xml");
    for (const PageFile& page : book.outline.pages) {
        addItem(manifest, page.id, page.href, "application/xhtml+xml");
    }

    // The navigation document stays out of the spine: readers show it as their contents
    // list, and in the spine some would also show it as a page of the book.
    TXMLNode spine = package.addChild("spine");
    spine.setAttribute("toc", "ncx");
    if (epub3 && book.rightToLeft) spine.setAttribute("page-progression-direction", "rtl");
    if (hasCover) spine.addChild("itemref").setAttribute("idref", "cover");
    if (book.titlePage) spine.addChild("itemref").setAttribute("idref", "titlepage");
    for (const PageFile& page : book.outline.pages) {
        spine.addChild("itemref").setAttribute("idref", page.id);
    }

    doc.saveToFile(book.contentFolder + "/fb.opf");
}

}  // namespace qb
