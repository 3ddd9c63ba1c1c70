#include "platform/locale.h"

#include <gtest/gtest.h>

#include "tests/support/env_guard.h"

namespace qb {
namespace {

std::string tagFor(const std::optional<std::string>& lang) {
    test::EnvGuard env;
    env.locale(lang);
    return languageTag();
}

TEST(LanguageTag, LanguageAndCountry) {
    EXPECT_EQ(tagFor("en_US.UTF-8"), "en-US");
    EXPECT_EQ(tagFor("de_DE"), "de-DE");
    EXPECT_EQ(tagFor("zh_CN.GBK"), "zh-CN");
    EXPECT_EQ(tagFor("sr_RS@latin"), "sr-RS");
    EXPECT_EQ(tagFor("ca_ES.UTF-8@valencia"), "ca-ES");
    EXPECT_EQ(tagFor("es_419.UTF-8"), "es-419");
}

TEST(LanguageTag, NoCountryGivesLanguageAlone) {
    EXPECT_EQ(tagFor("fr"), "fr");
    EXPECT_EQ(tagFor("eo.UTF-8"), "eo");
    EXPECT_EQ(tagFor("en_"), "en");  // never a dangling hyphen
    EXPECT_EQ(tagFor("en_?.UTF-8"), "en");
}

TEST(LanguageTag, EmptyCOrPosixGiveEnUs) {
    EXPECT_EQ(tagFor(std::nullopt), "en-US");
    EXPECT_EQ(tagFor(""), "en-US");
    EXPECT_EQ(tagFor("C"), "en-US");
    EXPECT_EQ(tagFor("POSIX"), "en-US");
    EXPECT_EQ(tagFor("C.UTF-8"), "en-US");
    EXPECT_EQ(tagFor("C.utf8"), "en-US");
    EXPECT_EQ(tagFor("_US"), "en-US");
    EXPECT_EQ(tagFor("/usr/lib/locale/x"), "en-US");
}

TEST(LanguageTag, LcAllThenLcMessagesThenLang) {
    test::EnvGuard env;
    env.locale("de_DE.UTF-8");
    EXPECT_EQ(languageTag(), "de-DE");
    env.set("LC_MESSAGES", "fr_FR.UTF-8");
    EXPECT_EQ(languageTag(), "fr-FR");
    env.set("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(languageTag(), "ja-JP");
    env.set("LC_ALL", "");  // an empty variable counts as unset
    EXPECT_EQ(languageTag(), "fr-FR");
}

TEST(LocaleCharset, CPosixAndEmptyReadAsUtf8) {
    test::EnvGuard env;
    env.locale(std::nullopt);
    EXPECT_EQ(localeCharset(), "UTF-8");
    env.locale("C");
    EXPECT_EQ(localeCharset(), "UTF-8");
    env.locale("POSIX");
    EXPECT_EQ(localeCharset(), "UTF-8");
    env.locale("C.UTF-8");
    EXPECT_EQ(localeCharset(), "UTF-8");
}

TEST(LocaleCharset, CharsetOfALocaleNotInstalledComesFromItsName) {
    test::EnvGuard env;
    env.locale("zh_CN.GBK");
    EXPECT_EQ(localeCharset(), "GBK");
    env.set("LC_ALL", "ru_RU.KOI8-R");
    EXPECT_EQ(localeCharset(), "KOI8-R");
    env.set("LC_ALL", "xx_XX.NO-SUCH-CHARSET");
    EXPECT_EQ(localeCharset(), "UTF-8");
}

}  // namespace
}  // namespace qb
