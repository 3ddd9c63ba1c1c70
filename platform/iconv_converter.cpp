#include "platform/iconv_converter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string_view>

#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/utf8.h"

namespace qb {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
constexpr std::size_t kChunkSize = 64 * 1024;

// How many bytes the charset spends on one more "A": the size of its code unit. Asked as a
// difference so that a byte-order mark the charset writes first does not count.
std::size_t unitSize(const std::string& charset) {
    iconv_t h = iconv_open(charset.c_str(), "UTF-8");
    if (h == kNoHandle) return 1;
    auto written = [h](std::string_view text) -> std::size_t {
        std::string inBuf(text);
        char outBuf[32];
        char* in = inBuf.data();
        std::size_t inLeft = inBuf.size();
        char* out = outBuf;
        std::size_t outLeft = sizeof outBuf;
        iconv(h, nullptr, nullptr, nullptr, nullptr);
        if (iconv(h, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return 0;
        iconv(h, nullptr, nullptr, &out, &outLeft);
        return static_cast<std::size_t>(out - outBuf);
    };
    const std::size_t one = written("A");
    const std::size_t two = written("AA");
    iconv_close(h);
    return two > one && two - one <= 4 ? two - one : 1;
}

}  // namespace

IconvConverter::IconvConverter(const std::string& fromCharset)
    : m_charset(fromCharset), m_handle(iconv_open("UTF-8", fromCharset.c_str())) {
    if (m_handle == kNoHandle) throw Error("Unknown charset \"" + fromCharset + "\"");
    m_unitSize = unitSize(fromCharset);
}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : m_charset(std::move(other.m_charset)),
      m_handle(other.m_handle),
      m_unitSize(other.m_unitSize) {
    other.m_handle = kNoHandle;
}

IconvConverter::~IconvConverter() {
    if (m_handle != kNoHandle) iconv_close(m_handle);
}

bool IconvConverter::knows(const std::string& charset) {
    // The characters of iconv's names ("ISO_8859-1:1987", "UTF-8", "CP1252"), leading with a
    // letter or digit. "/" and "," are left out too: they would add error handlers
    // ("//IGNORE"), not name a charset.
    if (charset.empty() || !isAsciiAlnum(charset.front())) return false;
    for (const char c : charset) {
        if (!isAsciiAlnum(c) && std::string_view("-_.:+()").find(c) == std::string_view::npos)
            return false;
    }
    iconv_t h = iconv_open("UTF-8", charset.c_str());
    if (h == kNoHandle) return false;
    iconv_close(h);
    return true;
}

void IconvConverter::convert(std::string_view input, const TextSink& sink) {
    iconv(m_handle, nullptr, nullptr, nullptr, nullptr);  // start from the initial shift state
    char out[kChunkSize];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* outPos = out;
    std::size_t outLeft = sizeof out;

    auto flush = [&] {
        if (outPos != out) sink(std::string_view(out, static_cast<std::size_t>(outPos - out)));
        outPos = out;
        outLeft = sizeof out;
    };
    auto replace = [&] {
        if (outLeft < kUtf8Replacement.size()) flush();
        for (char c : kUtf8Replacement) *outPos++ = c;
        outLeft -= kUtf8Replacement.size();
    };

    while (inLeft > 0) {
        std::size_t r = iconv(m_handle, &in, &inLeft, &outPos, &outLeft);
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            flush();
        } else if (errno == EILSEQ || errno == EINVAL) {
            // A byte the charset cannot read here (EINVAL: the text ends inside a character).
            // Mark it and go on with the next: what follows may well be readable.
            replace();
            const std::size_t skip = std::min(m_unitSize, inLeft);
            in += skip;
            inLeft -= skip;
            iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        } else {
            throw Error("Cannot convert text from " + m_charset);
        }
    }
    // Stateful charsets may have to return to their initial state at the end.
    if (outLeft < 16) flush();
    iconv(m_handle, nullptr, nullptr, &outPos, &outLeft);
    flush();
}

std::string IconvConverter::convert(std::string_view input) {
    std::string result;
    result.reserve(input.size());
    convert(input, [&](std::string_view piece) { result.append(piece); });
    return result;
}

bool isUtf8CharsetName(const std::string& charset) {
    std::string s;
    for (char c : upperAscii(charset)) {
        if (c != '-' && c != '_') s += c;
    }
    return s == "UTF8";
}

bool isByteOrientedCharset(const std::string& charset) {
    if (isUtf8CharsetName(charset)) return true;
    // Ask iconv how it writes "A": one byte means an 8-bit (or ASCII-based multibyte) charset.
    iconv_t h = iconv_open(charset.c_str(), "UTF-8");
    if (h == kNoHandle) return true;
    char inBuf[] = "A";
    char outBuf[16];
    char* in = inBuf;
    std::size_t inLeft = 1;
    char* out = outBuf;
    std::size_t outLeft = sizeof outBuf;
    std::size_t r = iconv(h, &in, &inLeft, &out, &outLeft);
    iconv(h, nullptr, nullptr, &out, &outLeft);
    iconv_close(h);
    return r != static_cast<std::size_t>(-1) && out - outBuf == 1;
}

std::vector<std::string> encodeCharacters(std::string_view utf8, const std::string& charset) {
    iconv_t h = iconv_open(charset.c_str(), "UTF-8");
    if (h == kNoHandle) throw Error("Unknown charset \"" + charset + "\"");
    std::vector<std::string> encoded;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t length = utf8SequenceLength(utf8, at);
        if (length == 0) {
            encoded.emplace_back();
            ++at;
            continue;
        }
        std::string character(utf8.substr(at, length));
        at += length;
        char outBuf[16];
        char* in = character.data();
        std::size_t inLeft = character.size();
        char* out = outBuf;
        std::size_t outLeft = sizeof outBuf;
        // Each character from the initial state, with the state's closing bytes, so that each
        // one stands on its own.
        iconv(h, nullptr, nullptr, nullptr, nullptr);
        const bool done =
            iconv(h, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1) &&
            iconv(h, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
        encoded.emplace_back(done ? std::string(outBuf, out) : std::string());
    }
    iconv_close(h);
    return encoded;
}

}  // namespace qb
