#include "book/stylesheet.h"

#include "platform/text_file.h"

namespace qb {

void writeStylesheet(const std::string& path) {
    writeTextLines(path, {
                             "body { margin: 0 2%; }",
                             "p { margin: 0 0 0.6em 0; text-indent: 0; }",
                             "img { max-width: 100%; height: auto; }",
                         });
}

}  // namespace qb
