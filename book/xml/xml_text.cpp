#include "book/xml/xml_text.h"

#include <cstdint>
#include <cstring>

#include "platform/utf8.h"

namespace qb {
namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

inline std::uint64_t hasZeroByte(std::uint64_t v) {
    return (v - kOnes) & ~v & kHigh;
}

// True when one of the eight bytes needs a closer look: below 0x20, at or above 0x80 (only
// 0xEF, which starts U+FFFE and U+FFFF, in text known to be UTF-8), or (for paragraph text)
// one of the markup characters to escape.
template <bool kParagraph>
inline bool needsLook(std::uint64_t word) {
    std::uint64_t below20 = (word - kOnes * 0x20) & ~word & kHigh;
    std::uint64_t flags = below20;
    if constexpr (kParagraph) {
        flags |= hasZeroByte(word ^ (kOnes * 0xEF));
    } else {
        flags |= word & kHigh;
    }
    if constexpr (kParagraph) {
        flags |= hasZeroByte(word ^ (kOnes * '<')) | hasZeroByte(word ^ (kOnes * '>')) |
                 hasZeroByte(word ^ (kOnes * '&'));
    }
    return flags != 0;
}

// kParagraph: the text comes from the decoders and is well-formed UTF-8 already, so only the
// characters to drop or escape are looked for.
template <bool kParagraph>
void appendFiltered(std::string& out, std::string_view text) {
    const std::size_t n = text.size();
    std::size_t start = 0;  // first byte not yet appended
    std::size_t i = 0;
    auto skip = [&](std::string_view instead) {
        out.append(text.substr(start, i - start));
        out.append(instead);
        start = ++i;
    };
    while (i < n) {
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (needsLook<kParagraph>(word)) break;
            i += 8;
        }
        if (i >= n) break;
        auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x80) {
            if constexpr (kParagraph) {
                // Paragraphs are plain text: markup characters are written as what they are.
                if (b == '<') {
                    skip("&lt;");
                    continue;
                }
                if (b == '>') {
                    skip("&gt;");
                    continue;
                }
                if (b == '&') {
                    skip("&amp;");
                    continue;
                }
            }
            ++i;
            continue;
        }
        if (b < 0x20) {
            if (b == '\t' || b == '\n' || b == '\r') {
                ++i;
            } else {
                skip("");
            }
            continue;
        }
        if constexpr (kParagraph) {
            if (b != 0xEF) {
                ++i;
                continue;
            }
        }
        std::size_t len = utf8SequenceLength(text, i);
        if (len == 0) {
            skip(kUtf8Replacement);
            continue;
        }
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF; surrogates never pass utf8SequenceLength.
        if (len == 3 && b == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            static_cast<unsigned char>(text[i + 2]) >= 0xBE) {
            out.append(text.substr(start, i - start));
            i += 3;
            start = i;
            continue;
        }
        i += len;
    }
    out.append(text.substr(start, n - start));
}

}  // namespace

void appendXmlChars(std::string& out, std::string_view text) {
    appendFiltered<false>(out, text);
}

void appendParagraphChars(std::string& out, std::string_view text) {
    appendFiltered<true>(out, text);
}

std::string xmlChars(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendXmlChars(out, text);
    return out;
}

namespace {

// Text needs &, < and > escaped (and CR, which a reader would otherwise fold into LF); an
// attribute value also its quote, and tab and LF, which a reader would turn into blanks.
void appendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace

void appendEscapedText(std::string& out, std::string_view text) {
    appendEscaped(out, text, false);
}

void appendEscapedAttribute(std::string& out, std::string_view text) {
    appendEscaped(out, text, true);
}

std::string escapedAttribute(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendEscapedAttribute(out, text);
    return out;
}

}  // namespace qb
