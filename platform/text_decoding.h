#pragma once
// Decoding the bytes of a text file to UTF-8.
//
// With no charset named: a byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE) decides and is
// dropped; UTF-16 text is decoded whole. Without a mark the first NUL byte ends the text and
// the locale charset applies; in a UTF-8 locale a text that is not valid UTF-8 is read in the
// charset that uchardet detects. A named charset overrides all of that: every byte is decoded
// in it (the first NUL byte still ends 8-bit text). Whatever cannot be decoded becomes U+FFFD.

#include <string>
#include <string_view>

#include "platform/iconv_converter.h"

namespace qb {

// What decodeText will do with a file's bytes.
struct TextPlan {
    std::string_view text;   // the bytes to decode: no byte-order mark, cut at a NUL where due
    std::string charset;     // "UTF-8", "UTF-16LE", "UTF-16BE" or another iconv name
    bool validUtf8 = false;  // the text is known to be well-formed UTF-8 already
    bool detected = false;   // charset is uchardet's guess, not a mark, a choice or the locale's
    // Where a NUL byte cut 8-bit text short, its offset in the file's bytes; npos when none did.
    std::size_t nulOffset = std::string_view::npos;
};

// Decides how to decode bytes (see above). Raises Error for a named charset iconv lacks.
TextPlan planDecoding(std::string_view bytes, const std::string& charset = "");

// Decodes the planned bytes, handing UTF-8 to sink in pieces of at most 64 KiB (plus one
// character) that end on character boundaries.
void decodeText(const TextPlan& plan, const TextSink& sink);

// Both steps, into one string.
std::string decodeToUtf8(std::string_view bytes, const std::string& charset = "");

// The charset uchardet finds for 8-bit text, as an iconv name; empty when it finds none.
// ISO-8859-1 is reported as WINDOWS-1252, its superset in everyday files.
std::string detectCharset(std::string_view bytes);

}  // namespace qb
