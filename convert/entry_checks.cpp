#include "convert/entry_checks.h"

#include <cstdint>
#include <string_view>

#include "platform/folders.h"
#include "platform/utf8.h"

namespace qb {

namespace {

// Unicode white space (and the invisible zero-width space and byte-order mark) at s[pos].
std::size_t blankLength(std::string_view s, std::size_t pos) {
    const auto c = static_cast<unsigned char>(s[pos]);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
    const std::size_t n = utf8SequenceLength(s, pos);
    if (n < 2) return 0;
    std::uint32_t cp = c & (0xFF >> (n + 1));
    for (std::size_t i = 1; i < n; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    const bool blank = cp == 0x85 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200B) ||
                       cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F ||
                       cp == 0x3000 || cp == 0xFEFF;
    return blank ? n : 0;
}

bool isBlank(std::string_view s) {
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t n = blankLength(s, pos);
        if (n == 0) return false;
        pos += n;
    }
    return true;
}

}  // namespace

std::string entryProblem(const BookProject& project, const std::string& workFolder) {
    if (project.outputFolder.empty()) return "Please set the saving path!";
    if (isBlank(project.title)) return "Please set the book title!";
    if (project.author.empty()) return "Please set the author name!";
    // Every run replaces the work folder's content: a book kept below it would be deleted by
    // the next run, or packed into itself.
    if (liesWithin(project.outputFolder, workFolder)) {
        return "The output folder \"" + project.outputFolder + "\" lies inside the work folder \"" +
               workFolder + "\", which every run empties. Please choose another folder.";
    }
    return {};
}

}  // namespace qb
