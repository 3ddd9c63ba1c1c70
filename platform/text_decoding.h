#pragma once
// Decoding the bytes of a text file to UTF-8.
//
// With no charset named: a byte-order mark (UTF-8, UTF-32 LE/BE, UTF-16 LE/BE) decides and is
// dropped. Without a mark, UTF-32 and UTF-16 (either byte order) are recognised from the
// pattern of NUL bytes they leave, and decoded whole; a file that is plainly not text (a known
// signature such as ELF, PNG, JPEG, GIF, PDF, zip or gzip, NUL bytes in many places, many
// control bytes) is refused. Other text is 8-bit: the first NUL byte ends it and the locale
// charset applies; in a UTF-8 locale a text that is not valid UTF-8 is read in the charset
// that uchardet detects. A named charset overrides all of that: every byte is decoded in it
// (the first NUL byte still ends 8-bit text), and only a known signature refuses the file.
// Whatever cannot be decoded, and whatever a decoder gives that is not well-formed UTF-8
// (values past U+10FFFF, surrogates), becomes U+FFFD.

#include <string>
#include <string_view>

#include "platform/iconv_converter.h"

namespace qb {

// What decodeText will do with a file's bytes.
struct TextPlan {
    std::string_view text;   // the bytes to decode: no byte-order mark, cut at a NUL where due
    std::string charset;     // "UTF-8", "UTF-16LE/BE", "UTF-32LE/BE" or another iconv name
    bool validUtf8 = false;  // the text is known to be well-formed UTF-8 already
    // charset is a guess (uchardet's, or UTF-16/32 from the NUL bytes), not a mark, the
    // user's choice or the locale's
    bool detected = false;
    // Where a NUL byte cut 8-bit text short, its offset in the file's bytes; npos when none did.
    std::size_t nulOffset = std::string_view::npos;
};

// Decides how to decode bytes (see above), before anything is written from them. Raises
// NotTextError naming path for bytes that are plainly not text, and Error for a named charset
// iconv lacks.
TextPlan planDecoding(std::string_view bytes, const std::string& charset = "",
                      const std::string& path = "");

// Decodes the planned bytes, handing UTF-8 to sink in pieces of at most 64 KiB (plus one
// character) that end on character boundaries.
void decodeText(const TextPlan& plan, const TextSink& sink);

// Both steps, into one string. Raises what planDecoding raises.
std::string decodeToUtf8(std::string_view bytes, const std::string& charset = "");

// The charset uchardet finds for 8-bit text, as an iconv name; empty when it finds none.
// A standard charset is reported as the superset real files are written in (whatwgDecoderName).
std::string detectCharset(std::string_view bytes);

// The decoder for a charset label as browsers choose it: Shift_JIS reads as CP932, EUC-KR as
// CP949, GB2312 and GBK as GB18030, Big5 as BIG5-HKSCS, ISO-8859-1 and ASCII as WINDOWS-1252,
// TIS-620 as WINDOWS-874, ISO-8859-9 as WINDOWS-1254; any other label upper-cased as it is.
std::string whatwgDecoderName(std::string_view label);

}  // namespace qb
