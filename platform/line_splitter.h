#pragma once
// Splits text that arrives in pieces into lines.

#include <string_view>

namespace qb {

// A line ends at CR LF, at a lone CR or at a lone LF; LF followed by CR is two breaks. A last
// line without a break is still a line; a break at the very end adds no empty line. A line
// reaches the handler as any number of lineText() calls (long lines are never gathered into one
// piece) followed by lineEnd().
class LineHandler {
  public:
    virtual ~LineHandler() = default;
    virtual void lineText(std::string_view text) = 0;
    virtual void lineEnd() = 0;
};

class LineSplitter {
  public:
    explicit LineSplitter(LineHandler& handler) : m_handler(handler) {}

    void feed(std::string_view text);
    // Ends the last line if it has no break of its own.
    void finish();

  private:
    LineHandler& m_handler;
    bool m_afterCr = false;  // the last character fed was a CR
    bool m_open = false;     // text has arrived since the last break
};

}  // namespace qb
