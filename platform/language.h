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
std::string detectLanguage(std::string_view utf8Text);

}  // namespace qb
