#include "convert/archive_name.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace qb {

namespace {

// A file name may hold 255 bytes, ".epub" included.
constexpr std::size_t kMaxNameBytes = 255 - 5;

// FNV-1a: short, stable across runs and machines, and plenty to tell titles apart that share
// their first 240 bytes.
std::string titleHash(std::string_view title) {
    std::uint32_t hash = 2166136261u;
    for (const char c : title) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    static const char hex[] = "0123456789abcdef";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, hash >>= 4) text[i] = hex[hash & 0xF];
    return text;
}

// The title's characters, each as the bytes it takes in the file name.
std::vector<std::string> nameCharacters(const std::string& title, const std::string& charset) {
    std::string safe = title;
    for (char& c : safe) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr) c = '_';
    }
    if (safe == "." || safe == "..") safe = "_";
    std::vector<std::string> characters;
    if (isUtf8CharsetName(charset)) {
        for (std::size_t at = 0; at < safe.size();) {
            const std::size_t length = std::max<std::size_t>(utf8SequenceLength(safe, at), 1);
            characters.push_back(safe.substr(at, length));
            at += length;
        }
        return characters;
    }
    characters = encodeCharacters(safe, charset);
    for (std::string& c : characters) {
        // "/" and NUL can only come from a charset that is no file-name charset at all.
        if (c.empty() || c.find_first_of(std::string_view("/\0", 2)) != std::string::npos) c = "_";
    }
    return characters;
}

}  // namespace

namespace {

// The name without ".epub", in at most limit bytes: when the whole title does not fit, it is cut
// at a character boundary and ends in "~" and the hash of the whole title.
std::string nameStem(const std::string& title, const std::string& charset, std::size_t limit) {
    const std::vector<std::string> characters = nameCharacters(title, charset);
    std::string name;
    for (const std::string& c : characters) name += c;
    if (name.size() <= limit) return name;
    const std::string mark = "~" + titleHash(title);
    name.clear();
    for (const std::string& c : characters) {
        if (name.size() + c.size() > limit - mark.size()) break;
        name += c;
    }
    return name + mark;
}

}  // namespace

std::string archiveFileName(const std::string& title, const std::string& charset) {
    return nameStem(title, charset, kMaxNameBytes) + ".epub";
}

std::string numberedArchiveName(const std::string& title, int n, const std::string& charset) {
    const std::string number = " (" + std::to_string(n) + ")";
    return nameStem(title, charset, kMaxNameBytes - number.size()) + number + ".epub";
}

}  // namespace qb
