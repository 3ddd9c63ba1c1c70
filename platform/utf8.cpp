#include "platform/utf8.h"

#include <cstring>

namespace qb {

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        // Plain ASCII is most text: check eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= n) break;
        std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::size_t utf8CharCount(std::string_view s) {
    std::size_t count = 0;
    for (const char c : s) {
        if (!isUtf8Continuation(c)) ++count;
    }
    return count;
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
