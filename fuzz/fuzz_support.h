#pragma once
// What the fuzz targets share: a scratch folder for the process, whole-file access, and a
// filter for XML text written from first principles, so the targets check the converter's own
// filter against an independent reading of the rules instead of against itself.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "book/page_writer.h"

namespace qb::fuzz {

// Reads a text file and writes its pages, as a run does for each file.
inline TextPages writePagesOf(const std::string& path, int k, const std::string& folder,
                              const PageOptions& options, const std::string& charset = "") {
    const SourceText source(path, charset);
    return writeTextPages([&](const TextSink& sink) { source.decode(sink); }, k, path, folder,
                          options);
}

// Stops the run with a message libFuzzer keeps beside the input that caused it.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::abort();
}

inline void check(bool condition, const std::string& what) {
    if (!condition) fail(what);
}

// One folder per process, in memory when the system has /dev/shm, removed at exit.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string base = "/dev/shm";
        if (::access(base.c_str(), W_OK) != 0) base = std::filesystem::temp_directory_path();
        std::string pattern = base + "/qb-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) fail("cannot create a scratch folder");
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

// The scratch folder of this process, made on first use and removed when the fuzzer exits
// (it ends through exit(), so nothing is left in memory-backed /dev/shm).
inline const ScratchFolder& scratchFolder() {
    static ScratchFolder folder;
    return folder;
}

inline void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) fail("cannot write " + path);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Decodes one UTF-8 sequence at s[i] by the table of well-formed sequences; returns its code
// point and length, or length 0 for a byte that starts none.
struct Decoded {
    std::uint32_t codePoint = 0;
    std::size_t length = 0;
};

inline Decoded decodeAt(std::string_view s, std::size_t i) {
    auto byte = [&](std::size_t k) -> std::uint32_t {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0x100;
    };
    auto inRange = [](std::uint32_t b, std::uint32_t lo, std::uint32_t hi) {
        return b >= lo && b <= hi;
    };
    const std::uint32_t b0 = byte(0);
    if (b0 < 0x80) return {b0, 1};
    if (inRange(b0, 0xC2, 0xDF) && inRange(byte(1), 0x80, 0xBF))
        return {((b0 & 0x1F) << 6) | (byte(1) & 0x3F), 2};
    std::uint32_t lo1 = 0x80, hi1 = 0xBF;
    if (b0 == 0xE0) lo1 = 0xA0;
    if (b0 == 0xED) hi1 = 0x9F;
    if (inRange(b0, 0xE0, 0xEF) && inRange(byte(1), lo1, hi1) && inRange(byte(2), 0x80, 0xBF))
        return {((b0 & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F), 3};
    lo1 = b0 == 0xF0 ? 0x90 : 0x80;
    hi1 = b0 == 0xF4 ? 0x8F : 0xBF;
    if (inRange(b0, 0xF0, 0xF4) && inRange(byte(1), lo1, hi1) && inRange(byte(2), 0x80, 0xBF) &&
        inRange(byte(3), 0x80, 0xBF))
        return {((b0 & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
                    (byte(3) & 0x3F),
                4};
    return {0, 0};
}

inline bool isXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// What an XML 1.0 file can hold of a text: characters outside the Char production dropped,
// each byte that starts no well-formed sequence replaced by U+FFFD.
inline std::string expectedXmlText(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const Decoded d = decodeAt(s, i);
        if (d.length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (isXmlChar(d.codePoint)) out.append(s.substr(i, d.length));
        i += d.length;
    }
    return out;
}

inline bool isWellFormedUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const Decoded d = decodeAt(s, i);
        if (d.length == 0) return false;
        i += d.length;
    }
    return true;
}

// True when every character of the text may stand in an XML 1.0 file.
inline bool holdsOnlyXmlChars(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const Decoded d = decodeAt(s, i);
        if (d.length == 0 || !isXmlChar(d.codePoint)) return false;
        i += d.length;
    }
    return true;
}

// The text as an XML reader reports it: line ends normalised to LF, as the parser does for
// literal CR (a CR written as a character reference stays a CR).
inline std::string withLfLineEnds(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace qb::fuzz
