#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <string_view>

#include "platform/ascii.h"
#include "platform/iconv_converter.h"

namespace qb {
namespace {

// The value of an environment variable; unset and empty are the same.
std::string envValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool isAsciiLetters(std::string_view s) {
    for (char c : s) {
        if (!isAsciiLetter(c)) return false;
    }
    return !s.empty();
}

bool isAsciiDigits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return !s.empty();
}

// "ll_CC.charset@modifier": everything after the language and country.
std::string_view withoutCharsetAndModifier(std::string_view name) {
    std::size_t cut = name.find_first_of(".@");
    return cut == std::string_view::npos ? name : name.substr(0, cut);
}

// The name of the locale whose charset the process reads text in: the first of LC_ALL,
// LC_CTYPE and LANG that is set.
std::string ctypeLocaleName() {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        std::string v = envValue(var);
        if (!v.empty()) return v;
    }
    return {};
}

// ASCII is what C and POSIX report; text in those locales is read as UTF-8.
std::string normaliseCharset(std::string cs) {
    if (cs.empty() || cs == "ANSI_X3.4-1968" || cs == "ASCII" || cs == "US-ASCII" || cs == "646") {
        return "UTF-8";
    }
    if (isUtf8CharsetName(cs)) return "UTF-8";
    return cs;
}

}  // namespace

std::string languageTag() {
    std::string name;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        name = envValue(var);
        if (!name.empty()) break;
    }
    const std::string fallback = "en-US";
    std::string_view base = withoutCharsetAndModifier(name);
    if (base.empty() || base == "C" || base == "POSIX") return fallback;

    std::string_view language = base;
    std::string_view country;
    std::size_t sep = base.find('_');
    if (sep != std::string_view::npos) {
        language = base.substr(0, sep);
        country = base.substr(sep + 1);
    }
    // Only a real language code makes a tag; anything else (a path, a typo) gets the default.
    if (!isAsciiLetters(language) || language.size() < 2 || language.size() > 8) return fallback;
    std::string tag(language);
    bool countryOk = (country.size() == 2 && isAsciiLetters(country)) ||
                     (country.size() == 3 && isAsciiDigits(country));
    if (countryOk) tag += "-" + std::string(country);
    return tag;
}

std::string localeCharset() {
    // A program that adopted a locale with setlocale() reads text in that locale's charset.
    const char* current = setlocale(LC_CTYPE, nullptr);
    if (current && std::string_view(current) != "C" && std::string_view(current) != "POSIX") {
        return normaliseCharset(nl_langinfo(CODESET));
    }
    // Otherwise the locale the environment names, looked up without changing the process.
    if (locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr))) {
        std::string cs = nl_langinfo_l(CODESET, loc);
        freelocale(loc);
        return normaliseCharset(cs);
    }
    // A locale that is not installed still says which charset its user writes in.
    std::string name = ctypeLocaleName();
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) {
        std::string cs = name.substr(dot + 1);
        std::size_t at = cs.find('@');
        if (at != std::string::npos) cs.resize(at);
        if (IconvConverter::knows(cs)) return normaliseCharset(cs);
    }
    return "UTF-8";
}

}  // namespace qb
