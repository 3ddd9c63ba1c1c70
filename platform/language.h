#pragma once
// Language tags for the book: checking a tag the user typed, and finding the language of a text.

#include <string>
#include <string_view>

namespace qb {

// True when tag is a well-formed BCP 47 language tag ("de", "zh-CN", "zh-Hant-TW", "sr-Latn",
// "es-419", "en-GB-oxendict", "x-private"). Only the syntax is checked, case-insensitively.
bool isLanguageTag(std::string_view tag);

// The language of a sample of UTF-8 text as a BCP 47 tag ("de", "ja", "zh-CN" for simplified
// and "zh-TW" for traditional Chinese, ...), or empty when the sample holds fewer than 200
// bytes of letters, the detector is not confident, or the language is none it can name. The
// sample may be cut anywhere and hold bytes that are not UTF-8; only its first megabyte counts.
// When the detector is not confident, the script most letters are written in decides
// (scriptLanguageTag); Chinese is always tagged by chineseRegionTag.
std::string detectLanguage(std::string_view utf8Text);

// The main language of the script most letters of a text are written in: ja for Han with
// kana, ko for Hangul, Chinese for Han alone, ru, el, th, ar, he for their alphabets; empty for
// Latin letters (they name no one language) or too few letters.
std::string scriptLanguageTag(std::string_view utf8Text);

// "zh-TW" when a Chinese text holds more characters that exist only in the traditional form
// than only in the simplified one, else "zh-CN".
std::string chineseRegionTag(std::string_view utf8Text);

}  // namespace qb
