#pragma once
// The book's structure as writing the pages made it: the page files in reading order and the
// contents entries. The package document, the NCX and the EPUB 3 navigation document are all
// written from it, so none of them guesses page names from the number of text files.

#include <string>
#include <vector>

namespace qb {

struct PageFile {
    std::string id;    // manifest id: "page3", "page3-2", ...
    std::string href;  // file name in the content folder: "page3.html", "page3-2.html", ...
};

struct TocEntry {
    std::string label;               // UTF-8 text shown in the contents
    std::string href;                // the page file it opens, e.g. "page3-2.html"
    std::string id;                  // the manifest id of that page file
    std::vector<TocEntry> children;  // chapters under a volume heading
};

// The text an entry shows in the NCX and in the navigation document alike. A label with
// nothing to show (a file named by control characters alone, a first line of no-break spaces)
// becomes the page's id: checkers reject a contents link without text, and a reader would
// show a line that cannot be tapped.
std::string contentsLabel(const TocEntry& entry);

struct BookOutline {
    std::vector<PageFile> pages;  // spine order, the cover page not included
    std::vector<TocEntry> toc;    // first-level entries, the cover entry not included
};

}  // namespace qb
