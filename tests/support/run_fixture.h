#pragma once
// A work folder with the book template, and what a conversion run needs around it.

#include <filesystem>
#include <string>
#include <vector>

#include "book/book_project.h"
#include "tests/support/files.h"

namespace qb::test {

// Below a base folder: work/ (mimetype and META-INF/container.xml, as the program's template
// has them), the text files a test writes, and out/ for the book.
class RunFixture {
  public:
    explicit RunFixture(const std::string& base) : m_base(base) {
        std::filesystem::create_directories(work() + "/META-INF");
        writeFile(work() + "/mimetype", "application/epub+zip");
        writeFile(work() + "/META-INF/container.xml",
                  "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
                  "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                  "<rootfile full-path=\"OEBPS/fb.opf\" "
                  "media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
    }

    std::string work() const { return m_base + "/work"; }
    std::string output() const { return m_base + "/out"; }
    std::string archive() const { return output() + "/Book.epub"; }
    // A text file below the base folder; returns its path.
    std::string text(const std::string& name, const std::string& bytes) const {
        writeFile(m_base + "/" + name, bytes);
        return m_base + "/" + name;
    }
    // "Book" by "A. Writer" into output().
    BookProject project(const std::vector<std::string>& sources) const {
        BookProject project;
        project.sourceFiles = sources;
        project.title = "Book";
        project.author = "A. Writer";
        project.outputFolder = output();
        return project;
    }

  private:
    std::string m_base;
};

}  // namespace qb::test
