#include "platform/line_splitter.h"

namespace qb {

void LineSplitter::feed(std::string_view text) {
    std::size_t start = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n') continue;
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
