#pragma once
// A work folder with the book template, and what a conversion run needs around it.

#include <string>
#include <vector>

#include "book/book_project.h"

namespace qb::test {

// Below a base folder: work/ (mimetype and META-INF/container.xml, as the program's template
// has them), the text files a test writes, and out/ for the book.
class RunFixture {
  public:
    explicit RunFixture(const std::string& base);

    std::string work() const { return m_base + "/work"; }
    std::string output() const { return m_base + "/out"; }
    std::string archive() const { return output() + "/Book.epub"; }
    // A text file below the base folder; returns its path.
    std::string text(const std::string& name, const std::string& bytes) const;
    // "Book" by "A. Writer" into output().
    BookProject project(const std::vector<std::string>& sources) const;

  private:
    std::string m_base;
};

}  // namespace qb::test
