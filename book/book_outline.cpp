#include "book/book_outline.h"

#include "book/xml/xml_text.h"
#include "platform/blank.h"

namespace qb {

std::string contentsLabel(const TocEntry& entry) {
    std::string text = xmlChars(entry.label);
    return isBlank(text) ? xmlChars(entry.id) : text;
}

}  // namespace qb
