#pragma once
// Charset conversion to UTF-8 through iconv.

#include <iconv.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// Receives converted text in pieces. Every piece ends on a character boundary.
using TextSink = std::function<void(std::string_view)>;

// An iconv handle that converts from one charset to UTF-8. Bytes that cannot be converted
// become U+FFFD, one per byte (one per code unit in UTF-16 and UCS-4), so no text is lost
// around them. The result is as iconv gives it: glibc writes UCS-4 values past U+10FFFF as
// 5- and 6-byte forms, which the caller must still check.
class IconvConverter {
  public:
    // Raises Error "Unknown charset "<name>"" when iconv does not know the charset.
    explicit IconvConverter(const std::string& fromCharset);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;
    IconvConverter(IconvConverter&& other) noexcept;
    IconvConverter& operator=(IconvConverter&&) = delete;

    // Converts all of input, handing the UTF-8 result to sink in pieces of bounded size.
    void convert(std::string_view input, const TextSink& sink);
    // Converts all of input into one string.
    std::string convert(std::string_view input);

    const std::string& charset() const { return m_charset; }

    // True when charset is a charset name iconv knows (in any case) and can convert from to
    // UTF-8. Names of blanks or punctuation are not: iconv drops what no name holds and would
    // read the rest, nothing, as the locale's charset.
    static bool knows(const std::string& charset);

  private:
    std::string m_charset;
    iconv_t m_handle;
    // The bytes of one code unit (2 for UTF-16, 4 for UCS-4), skipped together where a unit
    // cannot be read, so that what follows stays in step.
    std::size_t m_unitSize = 1;
};

// True when the charset writes every ASCII character as one byte (so a NUL byte is the NUL
// character and ends 8-bit text); false for UTF-16, UTF-32 and the like.
bool isByteOrientedCharset(const std::string& charset);

// Each character of UTF-8 text in charset, one string per character in order: empty for a
// character the charset cannot hold and for each byte of an ill-formed sequence. Kept apart so
// that the caller can cut the result between characters. Raises Error for a charset iconv
// does not know.
std::vector<std::string> encodeCharacters(std::string_view utf8, const std::string& charset);

// True when the name denotes UTF-8 ("UTF-8", "utf8", ...).
bool isUtf8CharsetName(const std::string& charset);

}  // namespace qb
