// Any bytes as a text file, through decoding, line splitting and the page writer: the page must
// always be well-formed XML and hold one paragraph for every line, with nothing of a line lost
// but what XML cannot hold. Split at a small cap, the pages' paragraphs joined give the text
// back; as blocks with chapter headings, nothing but blanks moves.
//
// Input: one mode byte, then the file's bytes. The mode's low four bits choose the charset
// (mostly the automatic choice), the next three the locale (mostly UTF-8; else one whose
// charset is a legacy one), and its high bit repeats the bytes past 64 KiB, so that the
// decoders' piece boundaries fall inside characters and lines.

#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "book/page_writer.h"
#include "fuzz/fuzz_support.h"
#include "platform/blank.h"
#include "platform/errors.h"
#include "platform/text_decoding.h"

namespace {

using qb::fuzz::check;

const char* const kCharsets[] = {
    "",
    "",
    "",
    "",
    "UTF-8",
    "UTF-16LE",
    "UTF-16BE",
    "WINDOWS-1252",
    "GBK",
    "SHIFT_JIS",
    "ISO-2022-JP",
    "UTF-32LE",
    "UTF-7",
    "BIG5",
    "KOI8-R",
    "",
};
constexpr std::size_t kCharsetCount = sizeof kCharsets / sizeof kCharsets[0];
static_assert(kCharsetCount == 16);
// Locales that are not installed still name their charset, which text without a mark is read
// in; the UTF-8 one comes first and most often.
const char* const kLocales[] = {
    "C.UTF-8", "C.UTF-8",      "C.UTF-8",    "C.UTF-8",
    "C.UTF-8", "ru_RU.KOI8-R", "ja_JP.SJIS", "de_DE.ISO-8859-15@euro",
};
constexpr std::size_t kPieceLimit = 64 * 1024 + 4;

const qb::fuzz::ScratchFolder* scratch = nullptr;

std::string_view cutAtNul(std::string_view s) {
    const std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// UTF-8 with each byte outside a well-formed sequence as U+FFFD.
std::string repairedUtf8(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const qb::fuzz::Decoded d = qb::fuzz::decodeAt(s, i);
        if (d.length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s.substr(i, d.length));
            i += d.length;
        }
    }
    return out;
}

void appendCodePoint(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 with unpaired surrogates left out and an odd last byte as U+FFFD.
std::string decodedUtf16(std::string_view s, bool bigEndian) {
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        const auto a = static_cast<unsigned char>(s[i]);
        const auto b = static_cast<unsigned char>(s[i + 1]);
        units.push_back(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    std::string out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const std::uint32_t u = units[k];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] <= 0xDFFF) {
                appendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (units[k + 1] - 0xDC00));
                ++k;
            }
        } else if (u < 0xDC00 || u > 0xDFFF) {
            appendCodePoint(out, u);
        }
    }
    if (s.size() % 2 != 0) out += "\xEF\xBF\xBD";
    return out;
}

// UTF-32 with values that are no character, and a cut-off last unit, as U+FFFD.
std::string decodedUtf32(std::string_view s, bool bigEndian) {
    std::string out;
    for (std::size_t i = 0; i + 3 < s.size(); i += 4) {
        const auto* u = reinterpret_cast<const unsigned char*>(s.data() + i);
        const std::uint32_t c = bigEndian
                                    ? std::uint32_t(u[0]) << 24 | u[1] << 16 | u[2] << 8 | u[3]
                                    : std::uint32_t(u[3]) << 24 | u[2] << 16 | u[1] << 8 | u[0];
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += "\xEF\xBF\xBD";
        } else {
            appendCodePoint(out, c);
        }
    }
    if (s.size() % 4 != 0) out += "\xEF\xBF\xBD";
    return out;
}

std::string decodedByIconv(std::string_view bytes, const std::string& charset) {
    std::string decoded;
    qb::decodeText(qb::planDecoding(bytes, charset),
                   [&](std::string_view piece) { decoded.append(piece); });
    check(qb::fuzz::isWellFormedUtf8(decoded), "decoded text is not well-formed UTF-8");
    return decoded;
}

// The text the page must show, worked out without the converter's decoders where the rules
// are simple enough to restate; iconv charsets are taken from the decoders and only checked
// for well-formedness.
std::string expectedText(std::string_view bytes, const std::string& charset) {
    if (charset.empty()) {
        if (bytes.starts_with("\xEF\xBB\xBF")) return repairedUtf8(cutAtNul(bytes.substr(3)));
        if (bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4)))
            return decodedUtf32(bytes.substr(4), false);
        if (bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
            return decodedUtf32(bytes.substr(4), true);
        if (bytes.starts_with("\xFF\xFE")) return decodedUtf16(bytes.substr(2), false);
        if (bytes.starts_with("\xFE\xFF")) return decodedUtf16(bytes.substr(2), true);
        const qb::TextPlan plan = qb::planDecoding(bytes, charset);
        // Wide charsets guessed from the NUL bytes are decoded whole.
        if (plan.charset == "UTF-16LE" || plan.charset == "UTF-16BE" ||
            plan.charset == "UTF-32LE" || plan.charset == "UTF-32BE") {
            check(plan.detected && plan.text == bytes && plan.nulOffset == std::string_view::npos,
                  "a wide charset guess does not take the whole file");
            const bool bigEndian = plan.charset.ends_with("BE");
            return plan.charset.find("16") != std::string::npos ? decodedUtf16(bytes, bigEndian)
                                                                : decodedUtf32(bytes, bigEndian);
        }
        check(plan.text == cutAtNul(bytes), "the text does not end at the first NUL");
        check(plan.nulOffset == bytes.find('\0'), "the NUL offset is not the first NUL's");
        if (plan.charset == "UTF-8") return repairedUtf8(plan.text);
        return decodedByIconv(bytes, charset);
    }
    if (charset == "UTF-8") return repairedUtf8(cutAtNul(bytes));
    if (charset == "UTF-16LE") return decodedUtf16(bytes, false);
    if (charset == "UTF-16BE") return decodedUtf16(bytes, true);
    if (charset == "UTF-32LE") return decodedUtf32(bytes, false);
    return decodedByIconv(bytes, charset);
}

// Lines end at CR LF, lone CR or lone LF; a break at the very end adds no empty line.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            open = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open) lines.push_back(std::move(current));
    return lines;
}

// Markup characters are escaped, so a reader gets the line back as it was.
std::string expectedParagraph(const std::string& line) {
    return qb::fuzz::expectedXmlText(line) + " ";
}

// The page's elements (paragraphs and headings) and their text as a reader gets it.
std::vector<std::pair<std::string, std::string>> pageElements(const std::string& page,
                                                              std::size_t cap) {
    check(cap == 0 || page.size() <= cap, "a page passes the cap");
    check(qb::fuzz::holdsOnlyXmlChars(page), "the page holds a character XML cannot hold");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(
        page.data(), page.size(), pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_utf8);
    check(bool(parsed), std::string("the page is not well-formed: ") + parsed.description());
    check(std::string(doc.child("html").child("head").child_value("title")) == " page1 ",
          "the page's title");
    const pugi::xml_node div = doc.child("html").child("body").child("div");
    check(bool(div), "the page has no html/body/div");
    std::vector<std::pair<std::string, std::string>> elements;
    for (pugi::xml_node child = div.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        const std::string name = child.name();
        check(name == "p" || name == "h1" || name == "h2", "the page's div holds " + name);
        check(!child.first_child() || !child.first_child().next_sibling(),
              "an element holds more than its text");
        const std::string text = child.child_value();
        check(!text.empty() && text.back() == ' ', "an element's text lacks its closing space");
        elements.emplace_back(name, text);
    }
    return elements;
}

// The elements of all page files of text file 1, in reading order.
std::vector<std::pair<std::string, std::string>> bookElements(const qb::TextPages& pages,
                                                              std::size_t cap) {
    check(!pages.pages.empty() && pages.pages[0].href == "page1.html", "no page1.html");
    std::vector<std::pair<std::string, std::string>> all;
    for (std::size_t j = 0; j < pages.pages.size(); ++j) {
        const std::string id = j == 0 ? "page1" : "page1-" + std::to_string(j + 1);
        check(pages.pages[j].id == id && pages.pages[j].href == id + ".html",
              "page files are not named page1, page1-2, ...");
        for (auto& e : pageElements(qb::fuzz::readFile(*scratch / pages.pages[j].href), cap))
            all.push_back(std::move(e));
    }
    return all;
}

std::string withoutBlanks(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (const std::size_t blank = qb::blankLengthAt(text, i)) {
            i += blank - 1;
            continue;
        }
        out += text[i];
    }
    return out;
}

void checkPieces(std::string_view bytes, const std::string& charset) {
    const qb::TextPlan plan = qb::planDecoding(bytes, charset);
    qb::decodeText(plan, [](std::string_view piece) {
        check(!piece.empty(), "the decoder handed on an empty piece");
        check(piece.size() <= kPieceLimit, "a decoded piece is larger than 64 KiB");
        for (std::size_t i = 0; i < piece.size();) {
            const std::size_t length = qb::fuzz::decodeAt(piece, i).length;
            check(length != 0, "a decoded piece does not end on a character boundary");
            i += length;
        }
    });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Decisions that hang on the locale must not change from one input to the next.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANG", "en_US.UTF-8", 1);
    scratch = &qb::fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string charset = kCharsets[mode & 0x0F];
    ::setenv("LC_ALL", kLocales[(mode >> 4) & 0x07], 1);
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((mode & 0x80) != 0 && !bytes.empty()) {
        const std::string unit = bytes;
        while (bytes.size() < 70 * 1024) bytes += unit;
    }

    const std::string source = *scratch / "source.txt";
    qb::fuzz::writeFile(source, bytes);
    const std::string pagePath = *scratch / "page1.html";
    std::filesystem::remove(pagePath);
    try {
        qb::SourceText probe(source, charset);
    } catch (const qb::NotTextError& e) {
        // Refused before anything is written, and for the file's own path.
        check(!std::filesystem::exists(pagePath), "a page was written for a file that is no text");
        check(e.path() == source, "the refusal names another path");
        return 0;
    }
    checkPieces(bytes, charset);
    const std::vector<std::string> lines = splitLines(expectedText(bytes, charset));

    // Without a cap: exactly one paragraph for every line.
    qb::PageOptions options;
    options.languageTag = "en-US";
    options.maxPageBytes = 0;
    const qb::TextPages whole =
        qb::fuzz::writePagesOf(source, 1, scratch->path(), options, charset);
    check(whole.pages.size() == 1, "no cap, yet more than one page");
    const auto paragraphs = bookElements(whole, 0);
    check(paragraphs.size() == lines.size(), "the page has " + std::to_string(paragraphs.size()) +
                                                 " paragraphs for " + std::to_string(lines.size()) +
                                                 " lines");
    for (std::size_t k = 0; k < lines.size(); ++k) {
        check(paragraphs[k].first == "p" && paragraphs[k].second == expectedParagraph(lines[k]),
              "paragraph " + std::to_string(k + 1) + " differs from its line");
    }

    // With a small cap: the pieces joined give the text back, and no page passes the cap.
    std::string text;
    for (const std::string& line : lines) text += qb::fuzz::expectedXmlText(line);
    options.maxPageBytes = 1024;
    std::string joined;
    for (const auto& [name, piece] :
         bookElements(qb::fuzz::writePagesOf(source, 1, scratch->path(), options, charset), 1024))
        joined += piece.substr(0, piece.size() - 1);
    check(joined == text, "the pieces of the split pages do not join back to the text");

    // Blocks and chapter headings only move blanks about, and every heading has an entry.
    static const qb::ChapterHeadings chapters;
    options.paragraphs = qb::ParagraphMode::Blocks;
    options.chapters = &chapters;
    options.maxPageBytes = 2048;
    const qb::TextPages headed =
        qb::fuzz::writePagesOf(source, 1, scratch->path(), options, charset);
    std::string content;
    std::size_t headings = 0;
    for (const auto& [name, piece] : bookElements(headed, 2048)) {
        content += piece;
        if (name != "p") ++headings;
    }
    check(withoutBlanks(content) == withoutBlanks(text), "blocks or headings lost text");
    std::size_t entries = 0;
    for (const qb::TocEntry& entry : headed.toc) entries += 1 + entry.children.size();
    check(entries == headings || entries == headings + 1, "a heading without a contents entry");
    return 0;
}
