#include "tests/robustness/fault_fixture.h"

#include <algorithm>
#include <random>

#include "tests/package/zip_reader.h"

namespace fs = std::filesystem;

namespace qb::test {

RunFixture::RunFixture(const std::string& base) : m_base(base) {
    fs::create_directories(work() + "/META-INF");
    writeWholeFile(work() + "/mimetype", "application/epub+zip");
    writeWholeFile(work() + "/META-INF/container.xml",
                   "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
                   "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                   "<rootfile full-path=\"OEBPS/fb.opf\" "
                   "media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
}

std::string RunFixture::text(const std::string& name, const std::string& bytes) const {
    const std::string path = m_base + "/" + name;
    writeWholeFile(path, bytes);
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

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().native());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string randomText(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> printable(0x21, 0x7E);
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = i % 80 == 79 ? '\n' : static_cast<char>(printable(random));
    }
    return text;
}

}  // namespace qb::test
