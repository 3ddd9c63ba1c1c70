// Arbitrary titles, authors, picture names and locale names through fb.opf, fb.ncx, the cover
// page, a page title and the archive's file name: every file stays well-formed, and every text
// reads back as it was typed, less only what XML cannot hold.

#include <fuzzer/FuzzedDataProvider.h>
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

#include "book/book_metadata.h"
#include "book/conversion_run.h"
#include "book/cover_writer.h"
#include "book/page_writer.h"
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
    check(metadata.child_value("dc:language") == qb::languageTag(), "dc:language");

    const pugi::xml_node manifest = package.child("manifest");
    const bool cover = !book.coverPath.empty();
    check(countChildren(manifest, "item") == 2 + book.pageCount + (cover ? 2 : 0),
          "fb.opf lists the wrong number of items");
    check(countChildren(package.child("spine"), "itemref") == book.pageCount + (cover ? 1 : 0),
          "fb.opf's spine has the wrong length");
    if (cover) {
        const pugi::xml_node image = manifest.find_child_by_attribute("item", "id", "cover-image");
        checkText(image.attribute("href").value(), qb::fileNamePart(book.coverPath),
                  "the cover picture's href");
        checkText(image.attribute("media-type").value(), book.coverMediaType,
                  "the cover picture's media type");
    }
}

void checkNavigationControlFile(const qb::BookMetadata& book) {
    const pugi::xml_document doc = parseBookFile(book.contentFolder + "/fb.ncx");
    const pugi::xml_node ncx = doc.child("ncx");
    check(ncx.attribute("xml:lang").value() == qb::languageTag(), "the NCX language");
    checkText(ncx.child("docTitle").child_value("text"), book.title, "docTitle");
    checkText(ncx.child("docAuthor").child_value("text"), book.author, "docAuthor");
    const pugi::xml_node uid = ncx.child("head").find_child_by_attribute("meta", "name", "dtb:uid");
    checkText(uid.attribute("content").value(), book.identifier, "dtb:uid");

    const int cover = book.coverPath.empty() ? 0 : 1;
    int order = 0;
    for (pugi::xml_node point = ncx.child("navMap").child("navPoint"); point;
         point = point.next_sibling("navPoint")) {
        ++order;
        check(point.attribute("playOrder").as_int() == order, "playOrder out of sequence");
    }
    check(order == book.pageCount + cover, "the NCX has the wrong number of navigation points");
}

void checkArchiveName(const std::string& title) {
    const std::string name = qb::archiveFileName(title);
    check(name.size() == title.size() + 5 || (name == "_.epub" && (title == "." || title == "..")),
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
    book.pageCount = input.ConsumeIntegralInRange(0, 24);
    book.title = input.ConsumeRandomLengthString(256);
    book.author = input.ConsumeRandomLengthString(256);
    book.identifier = input.ConsumeRandomLengthString(64);
    book.date = input.ConsumeRandomLengthString(32);
    if (input.ConsumeBool()) {
        book.coverPath = input.ConsumeRandomLengthString(256);
        book.coverMediaType = input.ConsumeRandomLengthString(32);
    }
    const std::string pageTitle = input.ConsumeRandomLengthString(64);
    // The language tag comes from the locale name, which the user's environment sets.
    std::string localeName = input.ConsumeRandomLengthString(32);
    localeName = localeName.substr(0, localeName.find('\0'));
    ::unsetenv("LC_ALL");
    ::setenv("LC_MESSAGES", localeName.c_str(), 1);

    qb::writePackageDocument(book);
    checkPackageDocument(book);
    qb::writeNavigationControlFile(book);
    checkNavigationControlFile(book);

    const std::string pictureName = qb::fileNamePart(book.coverPath);
    qb::writeCoverPage(*scratch / "cover.html", pictureName);
    {
        const pugi::xml_document cover = parseBookFile(*scratch / "cover.html");
        checkText(
            cover.child("html").child("body").child("div").child("img").attribute("src").value(),
            pictureName, "the cover picture's src");
    }

    qb::fuzz::writeFile(*scratch / "empty.txt", "");
    qb::writePage(*scratch / "empty.txt", *scratch / "page1.html", pageTitle);
    {
        const pugi::xml_document page = parseBookFile(*scratch / "page1.html");
        const std::string title = page.child("html").child("head").child_value("title");
        check(title == " " + expectedXmlText(pageTitle) + " ", "the page title");
    }

    checkArchiveName(book.title);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    return 0;
}
