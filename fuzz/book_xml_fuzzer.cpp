// Arbitrary titles, authors, picture names, language tags and outlines (pages, nested contents
// entries with any labels) through fb.opf, fb.ncx, the cover page, a page and the archive's file
// name: every file stays well-formed, every text reads back as it was typed, less only what XML
// cannot hold, and the contents are numbered and nested as the outline says.

#include <fuzzer/FuzzedDataProvider.h>
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

#include "book/book_metadata.h"
#include "book/cover_writer.h"
#include "book/navigation_control_file.h"
#include "book/package_document.h"
#include "book/page_writer.h"
#include "convert/archive_name.h"
#include "fuzz/fuzz_support.h"
#include "platform/locale.h"
#include "platform/paths.h"

namespace {

using qb::fuzz::check;
using qb::fuzz::expectedXmlText;

const qb::fuzz::ScratchFolder* scratch = nullptr;

pugi::xml_document parseBookFile(const std::string& path) {
    const std::string bytes = qb::fuzz::readFile(path);
    check(qb::fuzz::holdsOnlyXmlChars(bytes), path + " holds a character XML cannot hold");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata,
                        pugi::encoding_utf8);
    check(bool(parsed), path + " is not well-formed: " + parsed.description());
    return doc;
}

void checkText(const std::string& got, const std::string& typed, const std::string& what) {
    check(got == expectedXmlText(typed), what + " does not read back as typed");
}

int countChildren(pugi::xml_node parent, const char* name) {
    int count = 0;
    for (pugi::xml_node c = parent.child(name); c; c = c.next_sibling(name)) ++count;
    return count;
}

void checkPackageDocument(const qb::BookMetadata& book) {
    const pugi::xml_document doc = parseBookFile(book.contentFolder + "/fb.opf");
    const pugi::xml_node package = doc.child("package");
    const pugi::xml_node metadata = package.child("metadata");
    check(bool(metadata), "fb.opf has no package/metadata");
    checkText(metadata.child_value("dc:title"), book.title, "dc:title");
    checkText(metadata.child_value("dc:creator"), book.author, "dc:creator");
    checkText(metadata.child_value("dc:identifier"), book.identifier, "dc:identifier");
    checkText(metadata.child_value("dc:date"), book.date, "dc:date");
    checkText(metadata.child_value("dc:language"), book.languageTag, "dc:language");

    const pugi::xml_node manifest = package.child("manifest");
    const bool cover = !book.coverPath.empty();
    check(bool(metadata.find_child_by_attribute("meta", "name", "cover")) == cover,
          "a cover meta without a cover, or none with one");
    const int pageCount = static_cast<int>(book.outline.pages.size());
    check(countChildren(manifest, "item") == 2 + pageCount + (cover ? 2 : 0),
          "fb.opf lists the wrong number of items");
    check(countChildren(package.child("spine"), "itemref") == pageCount + (cover ? 1 : 0),
          "fb.opf's spine has the wrong length");
    pugi::xml_node ref = package.child("spine").child("itemref");
    if (cover) ref = ref.next_sibling("itemref");
    for (const qb::PageFile& page : book.outline.pages) {
        checkText(ref.attribute("idref").value(), page.id, "a spine entry");
        const pugi::xml_node item =
            manifest.find_child_by_attribute("item", "id", ref.attribute("idref").value());
        checkText(item.attribute("href").value(), page.href, "a page's href");
        ref = ref.next_sibling("itemref");
    }
    if (cover) {
        const pugi::xml_node image = manifest.find_child_by_attribute("item", "id", "cover-image");
        checkText(image.attribute("href").value(), qb::fileNamePart(book.coverPath),
                  "the cover picture's href");
        checkText(image.attribute("media-type").value(), book.coverMediaType,
                  "the cover picture's media type");
    }
}

// Walks the navPoints under parent beside the entries they stand for.
void checkNavPoints(pugi::xml_node parent, const std::vector<qb::TocEntry>& entries, int& order) {
    pugi::xml_node point = parent.child("navPoint");
    for (const qb::TocEntry& entry : entries) {
        check(bool(point), "the NCX lacks an entry");
        check(point.attribute("playOrder").as_int() == ++order, "playOrder out of sequence");
        checkText(point.attribute("id").value(), entry.id, "a navPoint id");
        checkText(point.child("navLabel").child_value("text"), entry.label, "a contents label");
        checkText(point.child("content").attribute("src").value(), entry.href, "a navPoint src");
        checkNavPoints(point, entry.children, order);
        point = point.next_sibling("navPoint");
    }
    check(!point, "the NCX has an entry too many");
}

void checkNavigationControlFile(const qb::BookMetadata& book) {
    const pugi::xml_document doc = parseBookFile(book.contentFolder + "/fb.ncx");
    const pugi::xml_node ncx = doc.child("ncx");
    checkText(ncx.attribute("xml:lang").value(), book.languageTag, "the NCX language");
    bool nested = false;
    for (const qb::TocEntry& entry : book.outline.toc) nested = nested || !entry.children.empty();
    check(ncx.child("head")
                  .find_child_by_attribute("meta", "name", "dtb:depth")
                  .attribute("content")
                  .as_int() == (nested ? 2 : 1),
          "dtb:depth does not follow the nesting");
    checkText(ncx.child("docTitle").child_value("text"), book.title, "docTitle");
    checkText(ncx.child("docAuthor").child_value("text"), book.author, "docAuthor");
    const pugi::xml_node uid = ncx.child("head").find_child_by_attribute("meta", "name", "dtb:uid");
    checkText(uid.attribute("content").value(), book.identifier, "dtb:uid");

    pugi::xml_node navMap = ncx.child("navMap");
    int order = 0;
    std::vector<qb::TocEntry> entries = book.outline.toc;
    if (!book.coverPath.empty())
        entries.insert(entries.begin(), {"cover", "cover.html", "cover", {}});
    checkNavPoints(navMap, entries, order);
}

void checkArchiveName(const std::string& title) {
    const std::string name = qb::archiveFileName(title);
    // Cut titles end in "~" and a hash, within the 255 bytes of a file name.
    check(name.size() == title.size() + 5 || (title.size() > 250 && name.size() <= 255) ||
              (name == "_.epub" && (title == "." || title == "..")),
          "the archive name changes the title's length");
    check(name.size() >= 5 && name.compare(name.size() - 5, 5, ".epub") == 0,
          "the archive name does not end in .epub");
    const std::string stem = name.substr(0, name.size() - 5);
    check(stem != "." && stem != "..", "the archive name is a dot folder");
    for (const char c : stem) {
        const auto u = static_cast<unsigned char>(c);
        check(u >= 0x20 && u != 0x7F &&
                  std::string_view("/\\:*?\"<>|").find(c) == std::string_view::npos,
              "the archive name holds a character e-reader storage cannot");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    scratch = &qb::fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    qb::BookMetadata book;
    book.contentFolder = scratch->path();
    // Up to 24 text files, each of one to three page files and an entry or two with any label,
    // the second maybe a volume with chapters.
    const int files = input.ConsumeIntegralInRange(0, 24);
    for (int k = 1; k <= files; ++k) {
        const int continuations = input.ConsumeIntegralInRange(0, 2);
        const std::string id = "page" + std::to_string(k);
        book.outline.pages.push_back({id, id + ".html"});
        for (int j = 2; j <= continuations + 1; ++j)
            book.outline.pages.push_back(
                {id + "-" + std::to_string(j), id + "-" + std::to_string(j) + ".html"});
        book.outline.toc.push_back({input.ConsumeRandomLengthString(64), id + ".html", id, {}});
        if (continuations > 0 && input.ConsumeBool()) {
            qb::TocEntry volume{input.ConsumeRandomLengthString(64), id + "-2.html", id + "-2", {}};
            if (continuations > 1)
                volume.children.push_back(
                    {input.ConsumeRandomLengthString(64), id + "-3.html", id + "-3", {}});
            book.outline.toc.push_back(std::move(volume));
        }
    }
    book.title = input.ConsumeRandomLengthString(256);
    book.author = input.ConsumeRandomLengthString(256);
    book.identifier = input.ConsumeRandomLengthString(64);
    book.date = input.ConsumeRandomLengthString(32);
    if (input.ConsumeBool()) {
        book.coverPath = input.ConsumeRandomLengthString(256);
        book.coverMediaType = input.ConsumeRandomLengthString(32);
    }
    // The language tag comes from the locale name, which the user's environment sets, or is
    // any text (the writers do not trust the run to have checked it).
    if (input.ConsumeBool()) {
        std::string localeName = input.ConsumeRandomLengthString(32);
        localeName = localeName.substr(0, localeName.find('\0'));
        ::unsetenv("LC_ALL");
        ::setenv("LC_MESSAGES", localeName.c_str(), 1);
        book.languageTag = qb::languageTag();
    } else {
        book.languageTag = input.ConsumeRandomLengthString(32);
    }

    qb::writePackageDocument(book);
    checkPackageDocument(book);
    qb::writeNavigationControlFile(book);
    checkNavigationControlFile(book);

    const std::string pictureName = qb::fileNamePart(book.coverPath);
    qb::writeCoverPage(*scratch / "cover.html", pictureName, book.languageTag);
    {
        const pugi::xml_document cover = parseBookFile(*scratch / "cover.html");
        checkText(
            cover.child("html").child("body").child("div").child("img").attribute("src").value(),
            pictureName, "the cover picture's src");
        checkText(cover.child("html").attribute("xml:lang").value(), book.languageTag,
                  "the cover page's language");
    }

    qb::fuzz::writeFile(*scratch / "empty.txt", "");
    qb::PageOptions options;
    options.languageTag = book.languageTag;
    qb::fuzz::writePagesOf(*scratch / "empty.txt", 1, scratch->path(), options);
    {
        const pugi::xml_document page = parseBookFile(*scratch / "page1.html");
        checkText(page.child("html").attribute("xml:lang").value(), book.languageTag,
                  "the page's language");
    }

    checkArchiveName(book.title);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    return 0;
}
