#include "book/book_typography.h"

#include <pugixml.hpp>

#include <filesystem>

#include "book/reading_report.h"
#include "platform/errors.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/utf8.h"
#include "typeset/body_font.h"
#include "typeset/cover_drawing.h"

namespace fs = std::filesystem;

namespace qb {
namespace {

void addCharacters(std::string_view text, std::set<char32_t>& characters) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = utf8SequenceLength(text, pos);
        if (n == 0) {
            ++pos;
            continue;
        }
        characters.insert(utf8CodePointAt(text, pos, n));
        pos += n;
    }
}

void addText(pugi::xml_node node, std::set<char32_t>& characters) {
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            addCharacters(child.value(), characters);
        } else if (child.type() == pugi::node_element) {
            addText(child, characters);
        }
    }
}

std::string sizeText(std::uint64_t bytes) {
    if (bytes < 10 * 1024) return std::to_string(bytes) + " bytes";
    if (bytes < 10 * 1024 * 1024) return std::to_string((bytes + 512) / 1024) + " KiB";
    return std::to_string((bytes + (1 << 19)) >> 20) + " MiB";
}

}  // namespace

std::string drawnCoverPicture(const BookProject& project, const std::string& languageTag,
                              ReadingReport& ui) {
    DrawnCover cover = drawCover(project.title, project.author, languageTag);
    if (!cover.missingCharacters.empty()) {
        ui.showWarning("Cover", "No installed font has a glyph for " +
                                    describeCharacters(cover.missingCharacters) +
                                    "; the cover shows a box in their place.");
    }
    return std::move(cover.jpeg);
}

std::set<char32_t> pageCharacters(const std::string& folder) {
    std::set<char32_t> characters;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string extension = it->path().extension().string();
        if (extension != ".html" && extension != ".xhtml") continue;
        const std::string bytes = readFileBytes(it->path().string());
        pugi::xml_document page;
        if (!page.load_buffer(bytes.data(), bytes.size())) {
            throw Error("Cannot read the page \"" + it->path().string() +
                        "\" to find the characters of the book's font");
        }
        addText(page.document_element().child("body"), characters);
    }
    if (ec) throw Error("Cannot list folder \"" + folder + "\". " + ec.message());
    return characters;
}

EmbeddedFontFile embedBodyFont(const BodyFont& font, const std::string& contentFolder,
                               int epubVersion, ReadingReport& ui) {
    const BodyFont::Embedded embedded = font.embedded(pageCharacters(contentFolder));
    EmbeddedFontFile file;
    file.name = "bodyfont." + embedded.extension;
    file.mediaType = fontMediaType(embedded.extension, epubVersion);
    OutputFile out(contentFolder + "/" + file.name);
    out.write(embedded.bytes);
    out.close();

    // Appended rather than written by the stylesheet's own writer: the rules depend only on the
    // font, and come before any stylesheet of the user's, which is linked after this one.
    const std::string stylesheet = contentFolder + "/stylesheet.css";
    std::string css = readFileBytes(stylesheet);
    css += "@font-face { font-family: \"" + font.familyName() + "\"; src: url(" + file.name +
           "); }\r\n";
    css += "body { font-family: \"" + font.familyName() + "\", serif; }\r\n";
    OutputFile rewrite(stylesheet);
    rewrite.write(css);
    rewrite.close();

    const std::string whole = font.subsettable() ? "" : " whole, as its licence forbids subsetting";
    const std::string face = font.collection() ? "#" + std::to_string(font.index()) : "";
    ui.fontEmbedded(font.path() + face + "  " + font.familyName() + "  " +
                    sizeText(embedded.bytes.size()) + " of " + sizeText(font.fileBytes()) + whole);
    return file;
}

}  // namespace qb
