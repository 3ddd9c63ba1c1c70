#include "platform/text_decoding.h"

#include <uchardet/uchardet.h>

#include <cstring>
#include <memory>

#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/utf8.h"

namespace qb {
namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

std::string_view cutAtNul(std::string_view s) {
    const void* nul = std::memchr(s.data(), 0, s.size());
    if (!nul) return s;
    return s.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - s.data()));
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// UTF-8 as it stands, except that each byte outside a well-formed sequence becomes U+FFFD.
void decodeUtf8(std::string_view s, const TextSink& sink) {
    std::size_t start = 0;  // first byte not yet handed on
    std::size_t i = 0;
    while (i < s.size()) {
        // Plain ASCII is most text: step over eight bytes at a time.
        while (i + 8 <= s.size() && i - start < kPieceSize) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= s.size()) break;
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : utf8SequenceLength(s, i);
        if (len == 0) {
            if (i > start) sink(s.substr(start, i - start));
            sink(kUtf8Replacement);
            start = ++i;
            continue;
        }
        i += len;
        if (i - start >= kPieceSize) {
            sink(s.substr(start, i - start));
            start = i;
        }
    }
    if (i > start) sink(s.substr(start, i - start));
}

// Well-formed UTF-8 is handed on as it stands, in pieces cut between characters.
void passOnUtf8(std::string_view s, const TextSink& sink) {
    while (s.size() > kPieceSize) {
        std::size_t cut = kPieceSize;
        while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
        sink(s.substr(0, cut));
        s.remove_prefix(cut);
    }
    if (!s.empty()) sink(s);
}

// UTF-16 decoded here rather than through iconv so that an unpaired surrogate, which no XML
// file may hold, is simply left out, and an odd last byte becomes U+FFFD.
void decodeUtf16(std::string_view s, bool bigEndian, const TextSink& sink) {
    std::string out;
    out.reserve(kPieceSize + 8);
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t units = s.size() / 2;
    auto unit = [&](std::size_t k) -> std::uint32_t {
        return bigEndian ? (std::uint32_t(p[2 * k]) << 8) | p[2 * k + 1]
                         : (std::uint32_t(p[2 * k + 1]) << 8) | p[2 * k];
    };
    for (std::size_t k = 0; k < units; ++k) {
        std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 < units) {
                std::uint32_t low = unit(k + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    ++k;
                }
            }
        } else if (u < 0xDC00 || u > 0xDFFF) {
            if (u < 0x80) {
                out += static_cast<char>(u);
            } else {
                appendUtf8(out, u);
            }
        }
        if (out.size() >= kPieceSize) {
            sink(out);
            out.clear();
        }
    }
    if (s.size() % 2 != 0) out.append(kUtf8Replacement);
    if (!out.empty()) sink(out);
}

// UTF-8 text with a few stray bytes (a file cut in the middle of a character, one pasted
// legacy character) is still UTF-8: reading all of it in a detected 8-bit charset would garble
// every other character. Legacy text, on the other hand, seldom forms UTF-8 sequences by chance.
bool isMostlyUtf8(std::string_view s) {
    std::size_t valid = 0;
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) {
            ++invalid;
            ++i;
        } else {
            ++valid;
            i += len;
        }
    }
    return valid > 0 && invalid * 20 <= valid;
}

std::string upperAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

bool isUtf16Name(const std::string& upper, bool& bigEndian) {
    if (upper == "UTF-16LE" || upper == "UTF16LE") {
        bigEndian = false;
        return true;
    }
    if (upper == "UTF-16BE" || upper == "UTF16BE") {
        bigEndian = true;
        return true;
    }
    return false;
}

}  // namespace

std::string detectCharset(std::string_view bytes) {
    // uchardet learns nothing from plain ASCII: feed it the blocks that hold other bytes,
    // up to a quarter of a megabyte: that settles the charset of any real text, and keeps the
    // guess from costing more than the conversion itself on large files.
    constexpr std::size_t kBlock = 64 * 1024;
    constexpr std::size_t kEnough = 256 * 1024;
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector) return {};
    std::size_t fed = 0;
    for (std::size_t pos = 0; pos < bytes.size() && fed < kEnough; pos += kBlock) {
        std::string_view block = bytes.substr(pos, kBlock);
        bool high = false;
        for (char c : block) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                high = true;
                break;
            }
        }
        if (!high) continue;
        if (uchardet_handle_data(detector.get(), block.data(), block.size()) != 0) break;
        fed += block.size();
    }
    uchardet_data_end(detector.get());
    const char* found = uchardet_get_charset(detector.get());
    std::string cs = found ? upperAscii(found) : std::string();
    if (cs == "ISO-8859-1" || cs == "ASCII" || cs == "US-ASCII") cs = "WINDOWS-1252";
    if (cs.empty() || !IconvConverter::knows(cs) || !isByteOrientedCharset(cs)) return {};
    return cs;
}

TextPlan planDecoding(std::string_view bytes, const std::string& charset) {
    if (!charset.empty()) {
        if (!IconvConverter::knows(charset)) throw Error("Unknown charset \"" + charset + "\"");
        if (isUtf8CharsetName(charset)) return {cutAtNul(bytes), "UTF-8"};
        std::string upper = upperAscii(charset);
        bool bigEndian = false;
        if (isUtf16Name(upper, bigEndian)) return {bytes, bigEndian ? "UTF-16BE" : "UTF-16LE"};
        return {isByteOrientedCharset(charset) ? cutAtNul(bytes) : bytes, charset};
    }
    if (startsWith(bytes, "\xEF\xBB\xBF")) return {cutAtNul(bytes.substr(3)), "UTF-8"};
    if (startsWith(bytes, "\xFF\xFE")) return {bytes.substr(2), "UTF-16LE"};
    if (startsWith(bytes, "\xFE\xFF")) return {bytes.substr(2), "UTF-16BE"};

    std::string_view text = cutAtNul(bytes);
    std::string cs = localeCharset();
    if (!isUtf8CharsetName(cs)) {
        if (IconvConverter::knows(cs)) return {text, cs};
        cs = "UTF-8";
    }
    if (isValidUtf8(text)) return {text, "UTF-8", true};
    if (isMostlyUtf8(text)) return {text, "UTF-8"};
    std::string detected = detectCharset(text);
    if (detected.empty() || isUtf8CharsetName(detected)) return {text, "UTF-8"};
    TextPlan plan{text, detected};
    plan.detected = true;
    return plan;
}

void decodeText(const TextPlan& plan, const TextSink& sink) {
    if (plan.text.empty()) return;
    if (plan.validUtf8) {
        passOnUtf8(plan.text, sink);
        return;
    }
    if (isUtf8CharsetName(plan.charset)) {
        decodeUtf8(plan.text, sink);
        return;
    }
    bool bigEndian = false;
    if (isUtf16Name(upperAscii(plan.charset), bigEndian)) {
        decodeUtf16(plan.text, bigEndian, sink);
        return;
    }
    IconvConverter converter(plan.charset);
    converter.convert(plan.text, sink);
}

std::string decodeToUtf8(std::string_view bytes, const std::string& charset) {
    TextPlan plan = planDecoding(bytes, charset);
    std::string out;
    out.reserve(plan.text.size());
    decodeText(plan, [&](std::string_view piece) { out.append(piece); });
    return out;
}

}  // namespace qb
