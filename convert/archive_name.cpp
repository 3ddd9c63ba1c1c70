#include "convert/archive_name.h"

#include <cstring>

#include "platform/utf8.h"

namespace qb {

std::string archiveFileName(const std::string& title) {
    std::string name = title;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr) c = '_';
    }
    if (name == "." || name == "..") name = "_";
    // A file name may hold 255 bytes; a longer title is cut before the character that would
    // pass that, never inside one, so the name stays valid UTF-8.
    constexpr std::size_t kMaxNameBytes = 255 - 5;
    if (name.size() > kMaxNameBytes) name.resize(utf8CutBefore(name, kMaxNameBytes));
    return name + ".epub";
}

std::string numberedArchiveName(const std::string& title, int n) {
    std::string stem = archiveFileName(title);
    stem.resize(stem.size() - 5);
    const std::string number = " (" + std::to_string(n) + ")";
    constexpr std::size_t kMaxStemBytes = 255 - 5;
    if (stem.size() + number.size() > kMaxStemBytes)
        stem.resize(utf8CutBefore(stem, kMaxStemBytes - number.size()));
    return stem + number + ".epub";
}

}  // namespace qb
