#pragma once
// Small UTF-8 helpers shared by the decoders and the XML text filter.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

// The length (1 to 4) of the well-formed UTF-8 sequence at s[pos], or 0 when the bytes there
// are not one (a stray continuation byte, an overlong form, a surrogate, a cut-off sequence,
// a value above U+10FFFF).
inline std::size_t utf8SequenceLength(std::string_view s, std::size_t pos) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + pos;
    std::size_t left = s.size() - pos;
    unsigned char b0 = p[0];
    if (b0 < 0x80) return 1;
    auto cont = [&](std::size_t i) { return i < left && (p[i] & 0xC0) == 0x80; };
    if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        if (!cont(1) || !cont(2)) return 0;
        if (b0 == 0xE0 && p[1] < 0xA0) return 0;   // overlong
        if (b0 == 0xED && p[1] >= 0xA0) return 0;  // surrogate
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (b0 == 0xF0 && p[1] < 0x90) return 0;   // overlong
        if (b0 == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

// The code point of the well-formed sequence of len bytes (utf8SequenceLength) at s[pos].
inline std::uint32_t utf8CodePointAt(std::string_view s, std::size_t pos, std::size_t len) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + pos;
    switch (len) {
        case 1:
            return p[0];
        case 2:
            return (std::uint32_t(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
        case 3:
            return (std::uint32_t(p[0] & 0x0F) << 12) | (std::uint32_t(p[1] & 0x3F) << 6) |
                   (p[2] & 0x3F);
        default:
            return (std::uint32_t(p[0] & 0x07) << 18) | (std::uint32_t(p[1] & 0x3F) << 12) |
                   (std::uint32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
    }
}

// True for the bytes that continue a UTF-8 sequence (10xxxxxx).
inline bool isUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// U+FFFD, the replacement character: what text decoded here shows where its bytes or values
// are no character.
inline constexpr char32_t kReplacementChar = 0xFFFD;

// The code point at s[pos] and its length in bytes; an ill-formed byte reads as U+FFFD, 1 byte.
inline char32_t utf8At(std::string_view s, std::size_t pos, std::size_t& length) {
    length = utf8SequenceLength(s, pos);
    if (length == 0) {
        length = 1;
        return kReplacementChar;
    }
    return utf8CodePointAt(s, pos, length);
}

// The nearest place at or before pos where the text may be cut without splitting a
// character; s.size() when pos is past the end.
inline std::size_t utf8CutBefore(std::string_view s, std::size_t pos) {
    if (pos >= s.size()) return s.size();
    while (pos > 0 && isUtf8Continuation(s[pos])) --pos;
    return pos;
}

// The number of characters in well-formed UTF-8 text.
std::size_t utf8CharCount(std::string_view s);

// The bytes that the first count characters of well-formed UTF-8 text take (all of it when it
// has fewer).
std::size_t utf8BytesOfChars(std::string_view s, std::size_t count);

// The text without a sequence that its end cuts short or leaves ill-formed: what a sample cut
// at any byte holds of whole characters.
std::string_view withoutCutUtf8Tail(std::string_view s);

// True when the whole text is well-formed UTF-8.
bool isValidUtf8(std::string_view s);

// True when the text reads as UTF-8 with a few stray bytes at most: its non-ASCII bytes make
// one well-formed sequence at least, and twenty for each byte that is not part of one.
bool isMostlyUtf8(std::string_view s);

// Appends s to out with each ill-formed sequence as one U+FFFD: a lead byte together with the
// continuation bytes it announces (the 5- and 6-byte forms, values past U+10FFFF, surrogates,
// overlong forms, a sequence cut short), or a stray continuation byte on its own.
void appendRepairedUtf8(std::string& out, std::string_view s);

// Appends the code point as UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);

// U+FFFD, the replacement character, in UTF-8.
inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

}  // namespace qb
