#include "platform/utf8.h"

#include <cstring>

namespace qb {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t wordAt(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Plain ASCII is most text, even in most non-Latin files (spaces, digits, line breaks): the
// position after the run of ASCII bytes that starts at i, checked eight bytes at a time.
std::size_t skipAscii(const unsigned char* p, std::size_t i, std::size_t n) {
    while (i + 8 <= n && (wordAt(p + i) & kHighBits) == 0) i += 8;
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i < n) {
        i = skipAscii(p, i, n);
        // Then a run of other characters: CJK text is mostly of the 3-byte forms that need no
        // check beyond their continuation bytes (leads E1-EC and EE-EF), looked at first.
        while (i < n && p[i] >= 0x80) {
            const unsigned char lead = p[i];
            if (i + 2 < n && lead >= 0xE1 && lead <= 0xEF && lead != 0xED &&
                (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
                i += 3;
                continue;
            }
            const std::size_t len = utf8SequenceLength(s, i);
            if (len == 0) return false;
            i += len;
        }
    }
    return true;
}

bool isMostlyUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    std::size_t valid = 0;
    std::size_t invalid = 0;
    for (std::size_t i = skipAscii(p, 0, n); i < n; i = skipAscii(p, i, n)) {
        const std::size_t len = utf8SequenceLength(s, i);
        if (len != 0) {
            ++valid;
            i += len;
            continue;
        }
        ++invalid;
        ++i;
        // Each sequence still to come takes two bytes at least: once even all of them could
        // not outweigh the stray bytes, the rest of a long legacy text need not be read.
        if (invalid * 20 > valid + (n - i) / 2) return false;
    }
    return valid > 0 && invalid * 20 <= valid;
}

std::size_t utf8CharCount(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    // Every byte but a continuation byte (10xxxxxx) starts a character; a word's continuation
    // bytes are those with the top bit set and the next one clear.
    std::size_t continuations = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t word = wordAt(p + i);
        // One bit a byte, summed by the multiplication into the top byte (a popcount
        // instruction is not in every x86-64 processor, and the library call is slower).
        const std::uint64_t marks = (word & ~(word << 1) & kHighBits) >> 7;
        continuations += static_cast<std::size_t>((marks * 0x0101010101010101ULL) >> 56);
    }
    for (; i < n; ++i) {
        if (isUtf8Continuation(static_cast<char>(p[i]))) ++continuations;
    }
    return n - continuations;
}

std::size_t utf8BytesOfChars(std::string_view s, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t chars = 0; end < s.size() && chars < count; ++chars) {
        ++end;
        while (end < s.size() && isUtf8Continuation(s[end])) ++end;
    }
    return end;
}

std::string_view withoutCutUtf8Tail(std::string_view s) {
    for (std::size_t back = 1; back <= 3 && back <= s.size(); ++back) {
        const std::size_t at = s.size() - back;
        if (isUtf8Continuation(s[at])) continue;
        if (static_cast<unsigned char>(s[at]) >= 0xC0 && utf8SequenceLength(s, at) == 0)
            return s.substr(0, at);
        break;
    }
    return s;
}

void appendRepairedUtf8(std::string& out, std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = utf8SequenceLength(s, i);
        if (len > 0) {
            out.append(s.substr(i, len));
            i += len;
            continue;
        }
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t announced = lead >= 0xFC   ? 5
                                      : lead >= 0xF8 ? 4
                                      : lead >= 0xF0 ? 3
                                      : lead >= 0xE0 ? 2
                                      : lead >= 0xC0 ? 1
                                                     : 0;
        std::size_t span = 1;
        while (span <= announced && i + span < s.size() &&
               (static_cast<unsigned char>(s[i + span]) & 0xC0) == 0x80) {
            ++span;
        }
        out.append(kUtf8Replacement);
        i += span;
    }
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace qb
