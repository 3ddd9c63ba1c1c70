#include "convert/book_title.h"

#include <pugixml.hpp>

#include <cstring>
#include <exception>

#include "package/zip_directory.h"

namespace qb {

namespace {

// Far above what a package document of a book with tens of thousands of pages takes, and small
// enough that the file at the path, whatever it is, costs little to look into.
constexpr std::size_t kMaxContainerBytes = 64 * 1024;
constexpr std::size_t kMaxPackageBytes = 16 * 1024 * 1024;

// The element's name without its prefix.
const char* localName(const pugi::xml_node& node) {
    const char* name = node.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node childNamed(const pugi::xml_node& parent, const char* local) {
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && std::strcmp(localName(child), local) == 0)
            return child;
    }
    return {};
}

}  // namespace

std::string titleOfBook(const std::string& archivePath) {
    try {
        const std::string container =
            readZipMember(archivePath, "META-INF/container.xml", kMaxContainerBytes);
        pugi::xml_document containerDoc;
        if (!containerDoc.load_buffer(container.data(), container.size())) return {};
        const std::string packagePath =
            childNamed(childNamed(childNamed(containerDoc, "container"), "rootfiles"), "rootfile")
                .attribute("full-path")
                .value();
        if (packagePath.empty()) return {};
        const std::string package = readZipMember(archivePath, packagePath, kMaxPackageBytes);
        pugi::xml_document packageDoc;
        if (!packageDoc.load_buffer(package.data(), package.size())) return {};
        return childNamed(childNamed(childNamed(packageDoc, "package"), "metadata"), "title")
            .text()
            .as_string();
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace qb
