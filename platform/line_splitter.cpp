#include "platform/line_splitter.h"

#include <cstdint>
#include <cstring>

namespace qb {
namespace {

// The position of the first CR or LF at or after i, or n. Both are below 0x0E, so eight bytes
// at a time are skipped when none of them is.
std::size_t findBreak(const char* s, std::size_t i, std::size_t n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (((word - kOnes * 0x0E) & ~word & kHigh) != 0) {
            for (std::size_t j = i; j < i + 8; ++j) {
                if (s[j] == '\r' || s[j] == '\n') return j;
            }
        }
        i += 8;
    }
    for (; i < n; ++i) {
        if (s[i] == '\r' || s[i] == '\n') return i;
    }
    return n;
}

}  // namespace

void LineSplitter::feed(std::string_view text) {
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = findBreak(text.data(), 0, n); i < n;
         i = findBreak(text.data(), i + 1, n)) {
        char c = text[i];
        if (i > start) m_handler.lineText(text.substr(start, i - start));
        if (c == '\n' && m_afterCr && i == start) {
            // The LF of a CR LF pair: the CR already ended the line.
            m_afterCr = false;
        } else {
            m_handler.lineEnd();
            m_afterCr = (c == '\r');
        }
        m_open = false;
        start = i + 1;
    }
    if (n > start) {
        m_handler.lineText(text.substr(start));
        m_open = true;
        m_afterCr = false;
    }
}

void LineSplitter::finish() {
    if (m_open) m_handler.lineEnd();
    m_open = false;
    m_afterCr = false;
}

}  // namespace qb
