#include "book/cover_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>

#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/text_file.h"

namespace qb {

void writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag, int epubVersion, bool styled) {
    // The manifest and the spine name this page whenever there is a cover, so a book without
    // it would be broken: a failure here ends the run like any other.
    std::vector<std::string> lines = pagePrologLines(epubVersion);
    const std::string rest[] = {
        pageRootStartTag(languageTag, epubVersion),
        "<head>",
        "<title> cover </title> ",
        std::string(kStylesheetLink) + " ",
        "</head>",
        styled ? "<body class=\"cover\">" : "<body>",
        styled ? "<div class=\"cover\">" : "<div>",
        "<img src=\"" + escapedAttribute(xmlChars(pictureName)) + "\" alt=\"cover\" />",
        "</div>",
        "</body>",
        "</html>",
    };
    lines.insert(lines.end(), std::begin(rest), std::end(rest));
    writeTextLines(coverPagePath, lines);
}

std::string pictureMediaType(std::string_view bytes) {
    const auto starts = [bytes](std::string_view head) {
        return bytes.substr(0, head.size()) == head;
    };
    if (starts("\xFF\xD8\xFF")) return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n")) return "image/png";
    if (starts("GIF87a") || starts("GIF89a")) return "image/gif";
    return {};
}

std::string coverFileName(const std::string& coverPath, const std::string& mediaType) {
    const std::string name = fileNamePart(coverPath);
    bool safe = !name.empty() && name[0] != '.';
    for (const char c : name) {
        const bool plain = isAsciiAlnum(c) || c == '.' || c == '_' || c == '-';
        if (!plain) safe = false;
    }
    const std::string lower = lowerAscii(name);
    const auto endsWith = [&lower](std::string_view end) {
        return lower.size() >= end.size() &&
               lower.compare(lower.size() - end.size(), end.size(), end) == 0;
    };
    const bool fitting = mediaType == "image/png"   ? endsWith(".png")
                         : mediaType == "image/gif" ? endsWith(".gif")
                                                    : endsWith(".jpg") || endsWith(".jpeg");
    if (safe && fitting) return name;
    if (mediaType == "image/png") return "cover.png";
    if (mediaType == "image/gif") return "cover.gif";
    return "cover.jpg";
}

void writeCoverCopy(const std::string& bytes, const std::string& to) {
    std::error_code ec;
    if (std::filesystem::exists(to, ec)) throw EFCreateError(to, std::strerror(EEXIST));
    OutputFile out(to);
    out.write(bytes);
    out.close();
}

}  // namespace qb
