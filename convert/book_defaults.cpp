#include "convert/book_defaults.h"

#include <sys/stat.h>

#include <fstream>

#include "book/text_metadata.h"
#include "platform/paths.h"
#include "platform/text_decoding.h"

namespace qb {
namespace {

std::string textHead(const std::string& path, const std::string& charset) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kMetadataHeadBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    // A file that cannot be decoded is reported by the conversion, with its reason.
    try {
        std::string head = decodeToUtf8(bytes, charset);
        return head.substr(0, kMetadataHeadBytes * 2);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

std::vector<std::string> settleBookDefaults(BookProject& project, const TypedFields& typed) {
    std::vector<std::string> said;
    if (project.sourceFiles.empty()) return said;
    if (typed.title && typed.author && (typed.language || !project.conventions)) return said;
    const std::string& first = project.sourceFiles.front();
    const TextMetadata text = readTextMetadata(textHead(first, project.charset));
    const TextMetadata name = metadataFromFileName(fileNamePart(first));
    if (!typed.title) {
        const bool fromText = !text.title.empty();
        project.title = fromText ? text.title : name.title;
        said.push_back("Title: " + project.title +
                       (fromText ? " (from the text)" : " (from the file name)"));
    }
    if (!typed.author) {
        const char* source = " (from the text)";
        project.author = text.author;
        if (project.author.empty()) {
            project.author = name.author;
            source = " (from the file name)";
        }
        if (project.author.empty()) {
            project.author = "Unknown";
            source = " (named nowhere)";
        }
        said.push_back("Author: " + project.author + source);
    }
    if (!typed.language && project.conventions && !text.language.empty()) {
        project.language = text.language;
        said.push_back("Language: " + project.language + " (from the text)");
    }
    return said;
}

}  // namespace qb
