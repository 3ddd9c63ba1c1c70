// Any bytes as a text file, through decoding, line splitting and the page writer: the page must
// always be well-formed XML and hold one paragraph for every line, with nothing of a line lost
// but what XML cannot hold.
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

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

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
    std::string decoded = qb::decodeToUtf8(bytes, charset);
    check(qb::fuzz::isWellFormedUtf8(decoded), "decoded text is not well-formed UTF-8");
    return decoded;
}

// The text the page must show, worked out without the converter's decoders where the rules
// are simple enough to restate; iconv charsets are taken from decodeToUtf8 and only checked
// for well-formedness.
std::string expectedText(std::string_view bytes, const std::string& charset) {
    if (charset.empty()) {
        if (startsWith(bytes, "\xEF\xBB\xBF")) return repairedUtf8(cutAtNul(bytes.substr(3)));
        if (startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)))
            return decodedUtf32(bytes.substr(4), false);
        if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4)))
            return decodedUtf32(bytes.substr(4), true);
        if (startsWith(bytes, "\xFF\xFE")) return decodedUtf16(bytes.substr(2), false);
        if (startsWith(bytes, "\xFE\xFF")) return decodedUtf16(bytes.substr(2), true);
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

std::string expectedParagraph(const std::string& line) {
    std::string text = qb::fuzz::expectedXmlText(line);
    for (char& c : text) {
        if (c == '<') c = '(';
        if (c == '>') c = ')';
        if (c == '&') c = '$';
    }
    return text + " ";
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

const qb::fuzz::ScratchFolder* scratch = nullptr;

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
    const std::string pagePath = *scratch / "page1.html";
    qb::fuzz::writeFile(source, bytes);
    std::filesystem::remove(pagePath);
    try {
        qb::writePage(source, pagePath, "page1", charset);
    } catch (const qb::ENotTextError& e) {
        // Refused before anything is written, and for the file's own path.
        check(!std::filesystem::exists(pagePath), "a page was written for a file that is no text");
        check(e.path() == source, "the refusal names another path");
        return 0;
    }
    checkPieces(bytes, charset);

    const std::string page = qb::fuzz::readFile(pagePath);
    check(qb::fuzz::holdsOnlyXmlChars(page), "the page holds a character XML cannot hold");
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(
        page.data(), page.size(), pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_utf8);
    check(bool(parsed), std::string("the page is not well-formed: ") + parsed.description());

    const pugi::xml_node div = doc.child("html").child("body").child("div");
    check(bool(div), "the page has no html/body/div");
    std::vector<std::string> paragraphs;
    for (pugi::xml_node child = div.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        check(std::string(child.name()) == "p", "the page's div holds something but paragraphs");
        check(!child.first_child() || !child.first_child().next_sibling(),
              "a paragraph holds more than its text");
        paragraphs.push_back(child.child_value());
    }

    const std::vector<std::string> lines = splitLines(expectedText(bytes, charset));
    check(paragraphs.size() == lines.size(), "the page has " + std::to_string(paragraphs.size()) +
                                                 " paragraphs for " + std::to_string(lines.size()) +
                                                 " lines");
    for (std::size_t k = 0; k < lines.size(); ++k) {
        check(paragraphs[k] == expectedParagraph(lines[k]),
              "paragraph " + std::to_string(k + 1) + " differs from its line");
    }
    return 0;
}
