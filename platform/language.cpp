#include "platform/language.h"

// CLD2's public header uses FILE without including its declaration.
#include <cstdio>

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace qb {
namespace {

constexpr auto isAlpha = isAsciiLetter<char>;
constexpr auto isDigit = isAsciiDigit<char>;
constexpr auto isAlnum = isAsciiAlnum<char>;
bool allOf(std::string_view s, bool (*pred)(char)) {
    return std::all_of(s.begin(), s.end(), pred);
}
bool isLetters(std::string_view s, std::size_t min, std::size_t max) {
    return s.size() >= min && s.size() <= max && allOf(s, isAlpha);
}

// Tags from before today's syntax that must be taken as they stand: some do not fit it at all
// ("i-klingon", "en-GB-oed", "sgn-BE-FR"), the others fit it but are listed all the same.
constexpr std::array<std::string_view, 26> kGrandfathered = {
    "en-gb-oed", "i-ami",     "i-bnn",     "i-default",  "i-enochian",  "i-hak",  "i-klingon",
    "i-lux",     "i-mingo",   "i-navajo",  "i-pwn",      "i-tao",       "i-tay",  "i-tsu",
    "sgn-be-fr", "sgn-be-nl", "sgn-ch-de", "art-lojban", "cel-gaulish", "no-bok", "no-nyn",
    "zh-guoyu",  "zh-hakka",  "zh-min",    "zh-min-nan", "zh-xiang",
};

std::vector<std::string_view> splitSubtags(std::string_view tag) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dash = tag.find('-', start);
        parts.push_back(tag.substr(start, dash == std::string_view::npos ? dash : dash - start));
        if (dash == std::string_view::npos) return parts;
        start = dash + 1;
    }
}

// A private-use sequence: "x" and one or more subtags of 1 to 8 letters or digits.
bool isPrivateUse(const std::vector<std::string>& parts, std::size_t from) {
    if (from + 1 >= parts.size()) return false;
    for (std::size_t i = from + 1; i < parts.size(); ++i) {
        if (parts[i].size() > 8) return false;
    }
    return true;
}

// Skips (in CLD2's names) what is no language of a book: unknown text, script-only guesses
// ("xx-Latn"), and the joke languages of its extended set.
bool isRealLanguage(std::string_view code) {
    return !code.empty() && code != "un" && code != "xxx" && code.substr(0, 2) != "xx" &&
           code.substr(0, 2) != "zz";
}

// Reading systems pick fonts for CJK text from the book's language, and the Chinese ones from
// the region form: Adobe's engine and the devices built on it (Kobo, many Android readers),
// Kindle's conversion and Apple Books all know "zh-CN" and "zh-TW", while a script subtag
// ("zh-Hans") is read as a region by the older ones and dropped to plain "zh" at best, which
// several show in Japanese forms. The region forms are also what the locale gives this program
// on a Chinese system. Hebrew and Javanese have new codes since CLD2 took its list.
std::string bookTag(const char* cldCode) {
    const std::string_view code = cldCode ? cldCode : "";
    if (code == "zh") return "zh-CN";
    if (code == "zh-Hant" || code == "zh-TW") return "zh-TW";
    if (code == "iw") return "he";
    if (code == "jw") return "jv";
    if (!isRealLanguage(code) || !isLanguageTag(code)) return {};
    return std::string(code);
}

// Whether the code point is one CLD2 refuses as not "interchange-valid": controls other than
// tab, line feed, form feed and carriage return, and the non-characters.
bool isInterchangeInvalid(std::uint32_t c) {
    if (c < 0x20) return c != '\t' && c != '\n' && c != '\f' && c != '\r';
    if (c >= 0x7F && c <= 0x9F) return true;
    if (c >= 0xFDD0 && c <= 0xFDEF) return true;
    return (c & 0xFFFE) == 0xFFFE;
}

// The sample as CLD2 takes it: a character cut off at the end left out (a sample is cut
// anywhere), what is not UTF-8 as U+FFFD, and the characters CLD2 refuses as blanks, which
// carry no language anyway. CLD2 gives up on the whole text at the first byte it refuses.
std::string cleanSample(std::string_view s) {
    s = withoutCutUtf8Tail(s);
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) {
            out.append(kUtf8Replacement);
            ++i;
            continue;
        }
        if (isInterchangeInvalid(utf8CodePointAt(s, i, len))) {
            out += ' ';
        } else {
            out.append(s.substr(i, len));
        }
        i += len;
    }
    return out;
}

}  // namespace

bool isLanguageTag(std::string_view tag) {
    if (tag.empty() ||
        !std::all_of(tag.begin(), tag.end(), [](char c) { return isAlnum(c) || c == '-'; })) {
        return false;
    }
    const std::string lowered = lowerAscii(tag);
    if (std::find(kGrandfathered.begin(), kGrandfathered.end(), lowered) != kGrandfathered.end())
        return true;

    std::vector<std::string> parts;
    for (std::string_view part : splitSubtags(lowered)) {
        if (part.empty()) return false;
        parts.emplace_back(part);
    }
    std::size_t i = 0;
    if (parts[0] == "x") return isPrivateUse(parts, 0);

    // language: 2-3 letters with up to three extended subtags of 3 letters, or 4-8 letters
    if (isLetters(parts[i], 2, 3)) {
        ++i;
        for (int ext = 0; ext < 3 && i < parts.size() && isLetters(parts[i], 3, 3); ++ext) ++i;
    } else if (isLetters(parts[i], 4, 8)) {
        ++i;
    } else {
        return false;
    }
    // script: 4 letters
    if (i < parts.size() && isLetters(parts[i], 4, 4)) ++i;
    // region: 2 letters or 3 digits
    if (i < parts.size() &&
        (isLetters(parts[i], 2, 2) || (parts[i].size() == 3 && allOf(parts[i], isDigit)))) {
        ++i;
    }
    // variants: 5-8 letters or digits, or a digit and 3 more; each once
    std::vector<std::string_view> variants;
    while (i < parts.size()) {
        const std::string& p = parts[i];
        const bool variant = allOf(p, isAlnum) &&
                             ((p.size() >= 5 && p.size() <= 8) || (p.size() == 4 && isDigit(p[0])));
        if (!variant) break;
        if (std::find(variants.begin(), variants.end(), p) != variants.end()) return false;
        variants.push_back(p);
        ++i;
    }
    // extensions: a singleton other than "x", then subtags of 2-8; each singleton once
    std::vector<char> singletons;
    while (i < parts.size() && parts[i].size() == 1 && parts[i] != "x") {
        const char singleton = parts[i][0];
        if (std::find(singletons.begin(), singletons.end(), singleton) != singletons.end())
            return false;
        singletons.push_back(singleton);
        ++i;
        const std::size_t first = i;
        while (i < parts.size() && parts[i].size() >= 2 && parts[i].size() <= 8) ++i;
        if (i == first) return false;
    }
    // private use at the end
    if (i < parts.size() && parts[i] == "x") return isPrivateUse(parts, i);
    return i == parts.size();
}

namespace {

#include "platform/chinese_forms.inc"

// The basic plane of a table as one bit a code point, built by the compiler: a text sample
// holds tens of thousands of Han characters, and a bit test is far cheaper than a search.
struct PlaneBits {
    std::array<std::uint64_t, 0x10000 / 64> words{};

    bool has(char32_t c) const { return (words[c >> 6] >> (c & 63)) & 1; }
};

template <std::size_t N>
constexpr PlaneBits planeBits(const char32_t (&table)[N]) {
    PlaneBits bits;
    for (const char32_t c : table) {
        if (c < 0x10000) bits.words[c >> 6] |= std::uint64_t{1} << (c & 63);
    }
    return bits;
}

constexpr PlaneBits kSimplifiedPlane = planeBits(kSimplifiedOnly);
constexpr PlaneBits kTraditionalPlane = planeBits(kTraditionalOnly);

bool inTable(const char32_t* begin, const char32_t* end, const PlaneBits& plane, char32_t c) {
    return c < 0x10000 ? plane.has(c) : std::binary_search(begin, end, c);
}

}  // namespace

std::string chineseRegionTag(std::string_view utf8Text) {
    std::size_t simplified = 0;
    std::size_t traditional = 0;
    const std::string_view text = withoutCutUtf8Tail(utf8Text);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = utf8SequenceLength(text, i);
        if (len < 3) {
            i += len == 0 ? 1 : len;
            continue;
        }
        const char32_t c = utf8CodePointAt(text, i, len);
        if (inTable(std::begin(kSimplifiedOnly), std::end(kSimplifiedOnly), kSimplifiedPlane, c))
            ++simplified;
        if (inTable(std::begin(kTraditionalOnly), std::end(kTraditionalOnly), kTraditionalPlane, c))
            ++traditional;
        i += len;
    }
    // A text of shared characters, or a tie, is read in the simplified region: GBK texts,
    // the commonest by far, hold no traditional-only character at all.
    return traditional > simplified ? "zh-TW" : "zh-CN";
}

std::string scriptLanguageTag(std::string_view utf8Text) {
    enum Script { Han, Kana, Hangul, Cyrillic, Greek, Thai, Arabic, Hebrew, Latin, Count };
    std::size_t counts[Count] = {};
    const std::string_view text = withoutCutUtf8Tail(utf8Text);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = utf8SequenceLength(text, i);
        if (len == 0) {
            ++i;
            continue;
        }
        const char32_t c = utf8CodePointAt(text, i, len);
        i += len;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0x24F))
            ++counts[Latin];
        else if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
                 (c >= 0x20000 && c <= 0x3FFFF) || (c >= 0xF900 && c <= 0xFAFF))
            ++counts[Han];
        else if ((c >= 0x3041 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF))
            ++counts[Kana];
        else if ((c >= 0xAC00 && c <= 0xD7AF) || (c >= 0x1100 && c <= 0x11FF))
            ++counts[Hangul];
        else if (c >= 0x400 && c <= 0x52F)
            ++counts[Cyrillic];
        else if (c >= 0x370 && c <= 0x3FF)
            ++counts[Greek];
        else if (c >= 0xE00 && c <= 0xE7F)
            ++counts[Thai];
        else if (c >= 0x600 && c <= 0x6FF)
            ++counts[Arabic];
        else if (c >= 0x590 && c <= 0x5FF)
            ++counts[Hebrew];
    }
    // One script must hold two thirds of the letters: a text in two scripts, or letters at
    // random, names no language.
    const std::size_t cjk = counts[Han] + counts[Kana] + counts[Hangul];
    std::size_t total = cjk;
    std::size_t best = Latin;
    for (std::size_t script : {Latin, Cyrillic, Greek, Thai, Arabic, Hebrew}) {
        total += counts[script];
        if (counts[script] > counts[best]) best = script;
    }
    if (cjk >= counts[best]) {
        if (cjk < 10 || cjk * 3 < total * 2) return {};
        if (counts[Hangul] * 2 > cjk) return "ko";
        // Japanese writes kana between its kanji; Chinese texts hold a stray one at most.
        if (counts[Kana] * 10 >= cjk) return "ja";
        if (counts[Han] > 0) return chineseRegionTag(text);
        return {};
    }
    if (counts[best] < 20 || counts[best] * 3 < total * 2) return {};
    switch (best) {
        case Cyrillic:
            return "ru";
        case Greek:
            return "el";
        case Thai:
            return "th";
        case Arabic:
            return "ar";
        case Hebrew:
            return "he";
        default:
            return {};
    }
}

std::string detectLanguage(std::string_view utf8Text) {
    // A sample of a megabyte settles the language of any book; more only costs time.
    constexpr std::size_t kMostSampleBytes = 1 << 20;
    // Fewer letters than this (some 40 English words, 70 Chinese characters) give CLD2 too
    // little to go on: it then calls many short texts English, reliably.
    constexpr int kLeastLetterBytes = 200;

    std::string sample = cleanSample(utf8Text.substr(0, kMostSampleBytes));
    if (sample.size() < static_cast<std::size_t>(kLeastLetterBytes)) return {};

    const CLD2::CLDHints hints{nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language top3[3] = {CLD2::UNKNOWN_LANGUAGE, CLD2::UNKNOWN_LANGUAGE,
                              CLD2::UNKNOWN_LANGUAGE};
    int percent3[3] = {0, 0, 0};
    double scores3[3] = {0, 0, 0};
    int letterBytes = 0;
    bool reliable = false;
    int validPrefix = 0;
    int length = static_cast<int>(std::min<std::size_t>(sample.size(), INT_MAX));
    CLD2::Language found = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        sample.data(), length, true, &hints, 0, top3, percent3, scores3, nullptr, &letterBytes,
        &reliable, &validPrefix);
    if (validPrefix < length) {
        // Cleaned above, so this is only for whatever else CLD2 might refuse.
        length = validPrefix;
        reliable = false;
        letterBytes = 0;
        found = CLD2::ExtDetectLanguageSummaryCheckUTF8(sample.data(), length, true, &hints, 0,
                                                        top3, percent3, scores3, nullptr,
                                                        &letterBytes, &reliable, &validPrefix);
    }
    std::string tag;
    if (reliable && letterBytes >= kLeastLetterBytes) tag = bookTag(CLD2::LanguageCode(found));
    // The script most letters are written in tells what the detector could not.
    if (tag.empty()) tag = scriptLanguageTag(sample);
    if (tag.rfind("zh", 0) == 0) tag = chineseRegionTag(sample);
    return tag;
}

}  // namespace qb
