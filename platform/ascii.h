#pragma once
// ASCII-only character classes and case folding. Names, charsets, language tags and answers
// are compared this way on purpose: the C library's versions follow the locale, and a Turkish
// one turns "I" into something that is not "i".

#include <string>
#include <string_view>

namespace qb {

template <class C>
constexpr bool isAsciiUpper(C c) {
    return c >= 'A' && c <= 'Z';
}
template <class C>
constexpr bool isAsciiLower(C c) {
    return c >= 'a' && c <= 'z';
}
template <class C>
constexpr bool isAsciiLetter(C c) {
    return isAsciiUpper(c) || isAsciiLower(c);
}
template <class C>
constexpr bool isAsciiDigit(C c) {
    return c >= '0' && c <= '9';
}
template <class C>
constexpr bool isAsciiAlnum(C c) {
    return isAsciiLetter(c) || isAsciiDigit(c);
}

// Every character but A-Z (a-z) comes back as it was, UTF-8 bytes included.
template <class C>
constexpr C toAsciiLower(C c) {
    return isAsciiUpper(c) ? static_cast<C>(c - 'A' + 'a') : c;
}
template <class C>
constexpr C toAsciiUpper(C c) {
    return isAsciiLower(c) ? static_cast<C>(c - 'a' + 'A') : c;
}

inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toAsciiLower(c);
    return out;
}
inline std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = toAsciiUpper(c);
    return out;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (toAsciiLower(a[i]) != toAsciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace qb
