#include "tests/support/run_fixture.h"

#include <filesystem>

#include "tests/support/files.h"

namespace qb::test {

RunFixture::RunFixture(const std::string& base) : m_base(base) {
    std::filesystem::create_directories(work() + "/META-INF");
    writeFile(work() + "/mimetype", "application/epub+zip");
    writeFile(work() + "/META-INF/container.xml",
              "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
              "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
              "<rootfile full-path=\"OEBPS/fb.opf\" "
              "media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
}

std::string RunFixture::text(const std::string& name, const std::string& bytes) const {
    const std::string path = m_base + "/" + name;
    writeFile(path, bytes);
    return path;
}

BookProject RunFixture::project(const std::vector<std::string>& sources) const {
    BookProject project;
    project.sourceFiles = sources;
    project.title = "Book";
    project.author = "A. Writer";
    project.outputFolder = output();
    return project;
}

}  // namespace qb::test
