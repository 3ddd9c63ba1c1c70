#pragma once
// A text file's bytes decoded whole, as the page writer gets them piece by piece: for tests
// that check decoding by what comes out rather than by the pages it makes. Header only, since
// the support library links nothing of the core.

#include <string>
#include <string_view>
#include <vector>

#include "platform/line_splitter.h"
#include "platform/text_decoding.h"
#include "platform/text_file.h"

namespace qb::test {

// Both decoding steps into one string. Raises what planDecoding raises.
inline std::string decodedText(std::string_view bytes, const std::string& charset = "") {
    const TextPlan plan = planDecoding(bytes, charset);
    std::string out;
    decodeText(plan, [&](std::string_view piece) { out.append(piece); });
    return out;
}

// A file read, decoded and split into lines (CR LF, lone CR, lone LF end one; a break at the
// very end adds no empty line). Raises what readFileBytes and planDecoding raise.
inline std::vector<std::string> decodedLines(const std::string& path,
                                             const std::string& charset = "") {
    class Collector : public LineHandler {
      public:
        std::vector<std::string> lines;
        void lineText(std::string_view text) override { m_current.append(text); }
        void lineEnd() override { lines.push_back(std::exchange(m_current, {})); }

      private:
        std::string m_current;
    };
    const std::string bytes = readFileBytes(path);
    const TextPlan plan = planDecoding(bytes, charset, path);
    Collector collector;
    LineSplitter splitter(collector);
    decodeText(plan, [&](std::string_view piece) { splitter.feed(piece); });
    splitter.finish();
    return std::move(collector.lines);
}

}  // namespace qb::test
