#include "platform/text_decoding.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/utf8.h"

namespace qb {
namespace {

constexpr std::size_t kPieceSize = 64 * 1024;

std::string_view cutAtNul(std::string_view s) {
    const void* nul = std::memchr(s.data(), 0, s.size());
    if (!nul) return s;
    return s.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - s.data()));
}

// Unit k of a text in units of Width bytes (2 for UTF-16, 4 for UTF-32) in the given order.
template <std::size_t Width>
std::uint32_t unitAt(std::string_view s, std::size_t k, bool bigEndian) {
    const auto* u = reinterpret_cast<const unsigned char*>(s.data()) + Width * k;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < Width; ++i) value = value << 8 | u[bigEndian ? i : Width - 1 - i];
    return value;
}

// A value that no text may hold as a character: a surrogate, or past U+10FFFF.
bool isNoCharacter(std::uint32_t c) {
    return c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF);
}

// UTF-8 as it stands, except that each byte outside a well-formed sequence becomes U+FFFD.
void decodeUtf8(std::string_view s, const TextSink& sink) {
    std::size_t start = 0;  // first byte not yet handed on
    std::size_t i = 0;
    while (i < s.size()) {
        // Plain ASCII is most text: step over eight bytes at a time.
        while (i + 8 <= s.size() && i - start < kPieceSize) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + i, 8);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= s.size()) break;
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : utf8SequenceLength(s, i);
        if (len == 0) {
            if (i > start) sink(s.substr(start, i - start));
            sink(kUtf8Replacement);
            start = ++i;
            continue;
        }
        i += len;
        if (i - start >= kPieceSize) {
            sink(s.substr(start, i - start));
            start = i;
        }
    }
    if (i > start) sink(s.substr(start, i - start));
}

// Well-formed UTF-8 is handed on as it stands, in pieces cut between characters.
void passOnUtf8(std::string_view s, const TextSink& sink) {
    while (s.size() > kPieceSize) {
        const std::size_t cut = utf8CutBefore(s, kPieceSize);
        sink(s.substr(0, cut));
        s.remove_prefix(cut);
    }
    if (!s.empty()) sink(s);
}

// Decoded characters, handed on as UTF-8 in pieces of about kPieceSize bytes.
class PieceWriter {
  public:
    explicit PieceWriter(const TextSink& sink) : m_sink(sink) { m_out.reserve(kPieceSize + 8); }

    void put(std::uint32_t c) {
        if (c < 0x80) {
            m_out += static_cast<char>(c);
        } else {
            appendUtf8(m_out, c);
        }
        if (m_out.size() >= kPieceSize) {
            m_sink(m_out);
            m_out.clear();
        }
    }
    // The end of the text; a last unit cut short shows as U+FFFD.
    void finish(bool cutShort) {
        if (cutShort) m_out.append(kUtf8Replacement);
        if (!m_out.empty()) m_sink(m_out);
    }

  private:
    const TextSink& m_sink;
    std::string m_out;
};

// UTF-16 decoded here rather than through iconv so that an unpaired surrogate, which no XML
// file may hold, is simply left out, and an odd last byte becomes U+FFFD.
void decodeUtf16(std::string_view s, bool bigEndian, const TextSink& sink) {
    PieceWriter out(sink);
    const std::size_t units = s.size() / 2;
    auto unit = [&](std::size_t k) { return unitAt<2>(s, k, bigEndian); };
    for (std::size_t k = 0; k < units; ++k) {
        std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (k + 1 < units) {
                std::uint32_t low = unit(k + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    out.put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    ++k;
                }
            }
        } else if (u < 0xDC00 || u > 0xDFFF) {
            out.put(u);
        }
    }
    out.finish(s.size() % 2 != 0);
}

// UTF-32 decoded here too: a value that is no character (a surrogate, past U+10FFFF) and a
// cut-off last unit become U+FFFD rather than whatever iconv makes of them.
void decodeUtf32(std::string_view s, bool bigEndian, const TextSink& sink) {
    PieceWriter out(sink);
    const std::size_t units = s.size() / 4;
    for (std::size_t k = 0; k < units; ++k) {
        const std::uint32_t c = unitAt<4>(s, k, bigEndian);
        out.put(isNoCharacter(c) ? kReplacementChar : c);
    }
    out.finish(s.size() % 4 != 0);
}

// What a single-byte charset makes of each byte, as UTF-8: iconv's own answer, byte by byte
// (U+FFFD for a byte it refuses, as when it reads a whole text). glibc's converters spend over
// a hundred instructions a byte, most of the time a legacy text takes to read; a table lookup
// gives the same characters. Only charsets known to read each byte alone are listed:
// windows-1255 and windows-1258 put a letter and the accent after it together as one.
struct ByteTable {
    std::array<std::string, 256> utf8;
};

bool readsEachByteAlone(const std::string& upper) {
    static const std::string_view names[] = {
        "WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1254",
        "WINDOWS-1256", "WINDOWS-1257", "CP1250",       "CP1251",       "CP1252",
        "CP1253",       "CP1254",       "CP1256",       "CP1257",       "KOI8-R",
        "KOI8-U",       "CP866",        "IBM866"};
    if (upper.starts_with("ISO-8859-")) return true;
    return std::find(std::begin(names), std::end(names), upper) != std::end(names);
}

const ByteTable* singleByteTable(const std::string& charset) {
    const std::string upper = upperAscii(charset);
    if (!readsEachByteAlone(upper)) return nullptr;
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<ByteTable>> tables;
    const std::lock_guard lock(mutex);
    auto [found, added] = tables.try_emplace(upper);
    if (!added) return found->second.get();
    auto table = std::make_unique<ByteTable>();
    IconvConverter converter(charset);
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        std::string& utf8 = table->utf8[static_cast<std::size_t>(b)];
        utf8 = converter.convert(std::string_view(&c, 1));
        // Anything but one well-formed character for each byte, and ASCII as it stands (copied
        // in runs), leaves the text to iconv.
        if (utf8.empty() || utf8SequenceLength(utf8, 0) != utf8.size()) return nullptr;
        if (b < 0x80 && utf8 != std::string_view(&c, 1)) return nullptr;
    }
    found->second = std::move(table);
    return found->second.get();
}

void decodeSingleByte(std::string_view s, const ByteTable& table, const TextSink& sink) {
    std::string out;
    out.reserve(kPieceSize + 8);
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    for (std::size_t i = 0; i < s.size();) {
        // Runs of ASCII, most of such a text, are copied whole.
        const std::size_t limit = std::min(s.size(), i + (kPieceSize - out.size()));
        std::size_t end = i;
        while (end < limit && p[end] < 0x80) ++end;
        out.append(s.substr(i, end - i));
        i = end;
        if (i < s.size() && p[i] >= 0x80) out += table.utf8[p[i++]];
        if (out.size() >= kPieceSize) {
            sink(out);
            out.clear();
        }
    }
    if (!out.empty()) sink(out);
}

// Hands iconv's output on with anything that is not well-formed UTF-8 as U+FFFD: glibc writes
// UCS-4 values past U+10FFFF as 5- and 6-byte forms, which no XML parser accepts.
TextSink checkedUtf8(const TextSink& sink) {
    return [&sink](std::string_view piece) {
        if (isValidUtf8(piece)) {
            sink(piece);
            return;
        }
        std::string repaired;
        repaired.reserve(piece.size() + 8);
        appendRepairedUtf8(repaired, piece);
        sink(repaired);
    };
}

// A UTF-16 or UTF-32 charset named with its byte order ("UTF-16LE", "UTF32BE"): the width of
// its units in bits and the order; bits is 0 for every other name.
struct WideCharset {
    int bits = 0;
    bool bigEndian = false;

    std::string name() const { return "UTF-" + std::to_string(bits) + (bigEndian ? "BE" : "LE"); }
    std::string_view mark() const {
        if (bits == 16) return bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        return bigEndian ? std::string_view("\0\0\xFE\xFF", 4)
                         : std::string_view("\xFF\xFE\0\0", 4);
    }
};

WideCharset wideCharset(const std::string& upper) {
    for (const int bits : {16, 32}) {
        for (const bool bigEndian : {false, true}) {
            const WideCharset wide{bits, bigEndian};
            if (upper == wide.name() || upper == "UTF" + wide.name().substr(4)) return wide;
        }
    }
    return {};
}

// Signatures of files that are plainly no text, whatever bytes follow.
bool hasBinarySignature(std::string_view s) {
    static constexpr std::string_view kSignatures[] = {
        std::string_view("\x7F"
                         "ELF"),
        std::string_view("\x89PNG\r\n\x1A\n"),
        std::string_view("\xFF\xD8\xFF"),  // JPEG
        std::string_view("GIF87a"),
        std::string_view("GIF89a"),
        std::string_view("%PDF-"),
        std::string_view("PK\x03\x04"),  // zip, and so EPUB, ODF, OOXML, JAR
        std::string_view("PK\x05\x06"),  // an empty zip
        std::string_view("PK\x07\x08"),  // a spanned zip
        std::string_view("\x1F\x8B"),    // gzip
        std::string_view("BZh"),         // bzip2, checked further below
        std::string_view("\xFD"
                         "7zXZ\0",
                         6),
        std::string_view("\x28\xB5\x2F\xFD"),  // zstd
        std::string_view("7z\xBC\xAF\x27\x1C"),
        std::string_view("Rar!\x1A\x07"),
        std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"),  // old MS Office
        std::string_view("\xCA\xFE\xBA\xBE"),                  // Java class, Mach-O fat
        std::string_view("\xCF\xFA\xED\xFE"),                  // Mach-O
        std::string_view("\0asm", 4),                          // WebAssembly
        std::string_view("SQLite format 3\0", 16),
        std::string_view("II*\0", 4),  // TIFF
        std::string_view("MM\0*", 4),
        std::string_view("OggS\0", 5),
        std::string_view("fLaC"),
        std::string_view("!<arch>\n"),
    };
    for (std::string_view sig : kSignatures) {
        if (!s.starts_with(sig)) continue;
        // "BZh" is a fine start for a text; bzip2 follows it with a block size and a magic.
        if (sig == "BZh")
            return s.size() >= 10 && s[3] >= '1' && s[3] <= '9' && s.substr(4, 6) == "1AY&SY";
        return true;
    }
    // RIFF containers: WebP, WAVE, AVI.
    if (s.starts_with("RIFF") && s.size() >= 12) {
        std::string_view form = s.substr(8, 4);
        if (form == "WEBP" || form == "WAVE" || form == "AVI ") return true;
    }
    // BMP: "BM", the file size, then four reserved bytes that are zero.
    if (s.starts_with("BM") && s.size() >= 14 && s.substr(6, 4) == std::string_view("\0\0\0\0", 4))
        return true;
    // MP4 and its kin: a box size (big-endian, so a NUL first), then "ftyp".
    if (s.size() >= 12 && s[0] == 0 && s.substr(4, 4) == "ftyp") return true;
    // ID3-tagged MP3: "ID3", a version byte, a revision byte that is zero.
    if (s.starts_with("ID3") && s.size() >= 5 && s[3] <= 0x05 && s[4] == 0) return true;
    // Windows and DOS programs: "MZ", and a PE header where the DOS header says.
    if (s.starts_with("MZ") && s.size() >= 0x40) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t pe = std::size_t(p[0x3C]) | std::size_t(p[0x3D]) << 8 |
                               std::size_t(p[0x3E]) << 16 | std::size_t(p[0x3F]) << 24;
        if (pe + 4 <= s.size() && s.substr(pe, 4) == std::string_view("PE\0\0", 4)) return true;
    }
    // tar: "ustar" and a NUL (POSIX) or two blanks and a NUL (GNU) at offset 257; a text may
    // well have "gustar" there.
    if (s.size() >= 265 && (s.substr(257, 6) == std::string_view("ustar\0", 6) ||
                            s.substr(257, 8) == std::string_view("ustar  \0", 8)))
        return true;
    return false;
}

// How many bytes of a file its first look takes: enough to tell text from a program or a
// picture, and to see the pattern of NUL bytes that wide charsets leave.
constexpr std::size_t kSampleSize = 64 * 1024;

bool isControlByte(unsigned char b) {
    // Tab, line feed, form feed, carriage return and escape (terminal colours) are in text;
    // backspace too (overstruck manual pages); Ctrl-Z ends old DOS files.
    return (b < 0x20 && b != 0 && b != '\t' && b != '\n' && b != '\f' && b != '\r' && b != 0x1B &&
            b != 0x08 && b != 0x1A) ||
           b == 0x7F;
}

// What the first look at bytes without a byte-order mark finds.
struct SampleStats {
    std::size_t size = 0;
    std::size_t nulBytes = 0;
    std::size_t nulRuns = 0;  // stretches of NUL bytes, however long each
    std::size_t nulsAtEven = 0;
    std::size_t nulsAtOdd = 0;
    std::size_t controls = 0;  // control bytes that text does not hold, NUL aside
};

SampleStats sampleStats(std::string_view sample) {
    SampleStats st;
    st.size = sample.size();
    bool inRun = false;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const auto b = static_cast<unsigned char>(sample[i]);
        if (b == 0) {
            ++st.nulBytes;
            (i % 2 == 0 ? st.nulsAtEven : st.nulsAtOdd) += 1;
            if (!inRun) ++st.nulRuns;
            inRun = true;
            continue;
        }
        inRun = false;
        if (isControlByte(b)) ++st.controls;
    }
    return st;
}

// A code point that a text in a wide charset would not hold: NUL, controls other than tab,
// line breaks and form feed, and the non-characters that a byte-swapped mark reads as.
bool isOddInText(std::uint32_t c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r') || c == 0xFFFE ||
           c == 0xFFFF;
}

// UTF-32 leaves a NUL in at least one byte of every unit: the sample is UTF-32 when every
// whole unit is a character and hardly any is a control.
bool looksLikeUtf32(std::string_view sample, bool bigEndian) {
    const std::size_t units = sample.size() / 4;
    if (units == 0) return false;
    std::size_t odd = 0;
    for (std::size_t k = 0; k < units; ++k) {
        const std::uint32_t c = unitAt<4>(sample, k, bigEndian);
        if (isNoCharacter(c)) return false;
        if (isOddInText(c)) ++odd;
    }
    return odd * 50 <= units;
}

// How the sample reads as UTF-16 in one byte order.
struct Utf16Reading {
    std::size_t units = 0;
    std::size_t odd = 0;       // NUL, controls, unpaired surrogates, non-characters
    std::size_t latin = 0;     // U+0001 to U+00FF: a NUL in the high byte
    std::size_t private_ = 0;  // private-use characters: CJK text read in the wrong order
};

Utf16Reading readAsUtf16(std::string_view sample, bool bigEndian) {
    Utf16Reading r;
    r.units = sample.size() / 2;
    auto unit = [&](std::size_t k) { return unitAt<2>(sample, k, bigEndian); };
    for (std::size_t k = 0; k < r.units; ++k) {
        const std::uint32_t c = unit(k);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (k + 1 < r.units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
                ++k;
            } else if (k + 1 < r.units) {
                ++r.odd;  // at the very end the pair may just be cut by the sample
            }
        } else if ((c >= 0xDC00 && c <= 0xDFFF) || isOddInText(c)) {
            ++r.odd;
        } else if (c <= 0xFF) {
            ++r.latin;
        } else if (c >= 0xE000 && c <= 0xF8FF) {
            ++r.private_;
        }
    }
    return r;
}

// UTF-16 leaves a NUL in the high byte of every character up to U+00FF: line breaks, spaces
// and digits at least, in any script. A byte order fits when the units read as text and hold
// at least two such characters. It is taken only when the bytes do not read as well as 8-bit
// text with a NUL or two in it: such characters are half the text (no 8-bit text has a NUL
// every few bytes), or the bytes hold many controls as 8-bit text (the high bytes of Cyrillic,
// Greek, Hebrew, the low bytes of CJK characters), or they are not UTF-8 and the NULs are
// more than a few. When both orders fit, the one with more such characters wins, then the one
// with fewer odd and private-use characters (CJK read in the wrong order), then little-endian.
const char* guessUtf16(std::string_view sample, const SampleStats& st) {
    const Utf16Reading le = readAsUtf16(sample, false);
    const Utf16Reading be = readAsUtf16(sample, true);
    auto fits = [](const Utf16Reading& r, std::size_t nulsOnHighSide) {
        return r.units > 0 && r.odd * 50 <= r.units && r.latin >= 2 && nulsOnHighSide >= 2;
    };
    const bool leFits = fits(le, st.nulsAtOdd);
    const bool beFits = fits(be, st.nulsAtEven);
    if (!leFits && !beFits) return nullptr;
    bool bigEndian = !leFits;
    if (leFits && beFits) {
        if (le.latin != be.latin) {
            bigEndian = be.latin > le.latin;
        } else {
            bigEndian = be.odd + be.private_ < le.odd + le.private_;
        }
    }
    const Utf16Reading& r = bigEndian ? be : le;
    const std::size_t nuls = bigEndian ? st.nulsAtEven : st.nulsAtOdd;
    const bool wide =
        r.latin * 2 >= r.units || st.controls * 100 >= st.size ||
        (nuls >= 4 && !isValidUtf8(withoutCutUtf8Tail(sample)) && !isMostlyUtf8(sample));
    if (!wide) return nullptr;
    return bigEndian ? "UTF-16BE" : "UTF-16LE";
}

// Plainly not text: NUL bytes in many places (programs, pictures, databases) or many control
// bytes (compressed data). A text that holds a NUL or two, or ends in a run of them (a file
// padded or cut short by a crash), is still a text.
bool looksBinary(const SampleStats& st) {
    if (st.nulRuns > 4 && st.nulRuns * 1024 > st.size) return true;
    return st.controls >= 8 && st.controls * 50 > st.size;
}

std::size_t nulOffsetIn(std::string_view s, std::size_t base) {
    const void* nul = std::memchr(s.data(), 0, s.size());
    if (!nul) return std::string_view::npos;
    return base + static_cast<std::size_t>(static_cast<const char*>(nul) - s.data());
}

// 8-bit text ends at its first NUL byte; the plan says where that was.
TextPlan eightBitPlan(std::string_view bytes, std::size_t base, std::string charset) {
    TextPlan plan{cutAtNul(bytes), std::move(charset)};
    plan.nulOffset = nulOffsetIn(bytes, base);
    return plan;
}

}  // namespace

std::string whatwgDecoderName(std::string_view label) {
    // Files labelled with the old standard names are written by Windows programs in their
    // supersets: a strict Shift_JIS decoder turns the NEC and IBM extensions (①, ㈱, Ⅱ, 髙)
    // into U+FFFD, and ISO-8859-1 has no curly quotes. Browsers settled on these decoders.
    static const std::pair<std::string_view, std::string_view> supersets[] = {
        {"SHIFT_JIS", "CP932"},
        {"SHIFT-JIS", "CP932"},
        {"SJIS", "CP932"},
        {"MS_KANJI", "CP932"},
        {"WINDOWS-31J", "CP932"},
        {"EUC-KR", "CP949"},
        {"EUCKR", "CP949"},
        {"GB2312", "GB18030"},
        {"GBK", "GB18030"},
        {"EUC-CN", "GB18030"},
        {"HZ-GB-2312", "GB18030"},
        {"BIG5", "BIG5-HKSCS"},
        {"ISO-8859-1", "WINDOWS-1252"},
        {"ASCII", "WINDOWS-1252"},
        {"US-ASCII", "WINDOWS-1252"},
        {"TIS-620", "WINDOWS-874"},
        {"ISO-8859-11", "WINDOWS-874"},
        {"ISO-8859-9", "WINDOWS-1254"},
    };
    const std::string name = upperAscii(std::string(label));
    for (const auto& [from, to] : supersets) {
        if (name == from) return std::string(to);
    }
    return name;
}

std::string detectCharset(std::string_view bytes) {
    // uchardet learns nothing from plain ASCII: feed it the blocks that hold other bytes, up
    // to 64 KiB of them. One such block settles the charset of real texts (GBK, Big5,
    // Shift_JIS, EUC-JP and windows-1252 novels read the same from 16 KiB as from 256 KiB),
    // and uchardet is slow enough that more would cost a large share of the conversion.
    constexpr std::size_t kBlock = 64 * 1024;
    constexpr std::size_t kEnough = 64 * 1024;
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector) return {};
    std::size_t fed = 0;
    for (std::size_t pos = 0; pos < bytes.size() && fed < kEnough; pos += kBlock) {
        std::string_view block = bytes.substr(pos, kBlock);
        bool high = false;
        for (char c : block) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                high = true;
                break;
            }
        }
        if (!high) continue;
        if (uchardet_handle_data(detector.get(), block.data(), block.size()) != 0) break;
        fed += block.size();
    }
    uchardet_data_end(detector.get());
    const char* found = uchardet_get_charset(detector.get());
    std::string cs = whatwgDecoderName(found ? found : "");
    if (cs.empty() || !IconvConverter::knows(cs) || !isByteOrientedCharset(cs)) return {};
    return cs;
}

TextPlan planDecoding(std::string_view bytes, const std::string& charset, const std::string& path) {
    if (!charset.empty()) {
        if (!IconvConverter::knows(charset)) throw Error("Unknown charset \"" + charset + "\"");
        // A charset named by the user is taken at its word, but a program or a picture is no
        // text in any 8-bit charset. (Signatures are left alone for wide charsets: two of them
        // read as Greek in UTF-16.)
        if (isByteOrientedCharset(charset) && hasBinarySignature(bytes.substr(0, kSampleSize)))
            throw NotTextError(path);
        // A byte-order mark of the named family is no part of the text: kept, it would stand
        // as U+FEFF before the first heading and hide it. In a wide charset the mark also
        // says which order the units are in, whatever order was named.
        if (isUtf8CharsetName(charset)) {
            const std::size_t mark = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
            return eightBitPlan(bytes.substr(mark), mark, "UTF-8");
        }
        if (const WideCharset wide = wideCharset(upperAscii(charset)); wide.bits != 0) {
            for (const bool bigEndian : {false, true}) {
                const WideCharset marked{wide.bits, bigEndian};
                if (bytes.starts_with(marked.mark())) {
                    return {bytes.substr(marked.mark().size()), marked.name()};
                }
            }
            return {bytes, wide.name()};
        }
        if (isByteOrientedCharset(charset)) return eightBitPlan(bytes, 0, charset);
        return {bytes, charset};
    }
    if (hasBinarySignature(bytes.substr(0, kSampleSize))) throw NotTextError(path);
    // The UTF-32 LE mark begins with the UTF-16 LE one, so it is looked for first.
    if (bytes.starts_with("\xEF\xBB\xBF")) return eightBitPlan(bytes.substr(3), 3, "UTF-8");
    if (bytes.starts_with(std::string_view("\xFF\xFE\0\0", 4)))
        return {bytes.substr(4), "UTF-32LE"};
    if (bytes.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
        return {bytes.substr(4), "UTF-32BE"};
    if (bytes.starts_with("\xFF\xFE")) return {bytes.substr(2), "UTF-16LE"};
    if (bytes.starts_with("\xFE\xFF")) return {bytes.substr(2), "UTF-16BE"};

    const std::string_view sample = bytes.substr(0, kSampleSize);
    const SampleStats stats = sampleStats(sample);
    if (stats.nulBytes > 0) {
        auto guessed = [&](const char* wide) {
            TextPlan plan{bytes, wide};
            plan.detected = true;
            return plan;
        };
        if (looksLikeUtf32(sample, false)) return guessed("UTF-32LE");
        if (looksLikeUtf32(sample, true)) return guessed("UTF-32BE");
        if (const char* utf16 = guessUtf16(sample, stats)) return guessed(utf16);
    }
    if (looksBinary(stats)) throw NotTextError(path);

    TextPlan plan = eightBitPlan(bytes, 0, localeCharset());
    if (!isUtf8CharsetName(plan.charset) && IconvConverter::knows(plan.charset)) return plan;
    plan.charset = "UTF-8";
    if (isValidUtf8(plan.text)) {
        plan.validUtf8 = true;
        return plan;
    }
    // UTF-8 text with a few stray bytes (a file cut in the middle of a character, one pasted
    // legacy character) is still UTF-8: reading all of it in a detected 8-bit charset would
    // garble every other character. Legacy text seldom forms UTF-8 sequences by chance.
    if (isMostlyUtf8(plan.text)) return plan;
    std::string detected = detectCharset(plan.text);
    if (detected.empty() || isUtf8CharsetName(detected)) return plan;
    plan.charset = detected;
    plan.detected = true;
    return plan;
}

void decodeText(const TextPlan& plan, const TextSink& sink) {
    if (plan.text.empty()) return;
    if (plan.validUtf8) {
        passOnUtf8(plan.text, sink);
        return;
    }
    if (isUtf8CharsetName(plan.charset)) {
        decodeUtf8(plan.text, sink);
        return;
    }
    const WideCharset wide = wideCharset(upperAscii(plan.charset));
    if (wide.bits == 16) return decodeUtf16(plan.text, wide.bigEndian, sink);
    if (wide.bits == 32) return decodeUtf32(plan.text, wide.bigEndian, sink);
    if (const ByteTable* table = singleByteTable(plan.charset))
        return decodeSingleByte(plan.text, *table, sink);
    IconvConverter converter(plan.charset);
    converter.convert(plan.text, checkedUtf8(sink));
}

std::string decodeToUtf8(std::string_view bytes, const std::string& charset) {
    TextPlan plan = planDecoding(bytes, charset);
    std::string out;
    out.reserve(plan.text.size());
    decodeText(plan, [&](std::string_view piece) { out.append(piece); });
    return out;
}

}  // namespace qb
