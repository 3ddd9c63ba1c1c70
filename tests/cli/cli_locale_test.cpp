// quirebind-cli in a locale whose charset is not UTF-8: title and author typed there reach the
// book as the characters they are, while file and folder names stay the bytes they are, and the
// archive's name is written in the locale's charset.

#include <filesystem>
#include <memory>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

class CliLocaleTest : public CliTest {
  protected:
    // The locale is compiled into a folder of the test's own, so the test needs neither root
    // nor the locale installed on the machine, only glibc's locale sources.
    static bool makeLocale(const std::string& source, const std::string& charset) {
        if (!s_locales) s_locales = std::make_unique<TempFolder>();
        const std::string folder = *s_locales / (source + "." + charset);
        // Exit status 1: made, with warnings about the locale's sources.
        const ProgramResult r = runProgram({"localedef", "-i", source, "-f", charset, folder});
        return (r.exitStatus == 0 || r.exitStatus == 1) && fs::exists(folder + "/LC_CTYPE");
    }
    static void TearDownTestSuite() { s_locales.reset(); }

    // Builds a book under LANG=locale from texts typed in the locale's charset.
    void expectBookInLocale(const std::string& source, const std::string& charset,
                            const std::string& title, const std::string& author,
                            const std::string& textName, const std::string& folderName) {
        const std::string locale = source + "." + charset;
        if (!makeLocale(source, charset)) GTEST_SKIP() << "localedef could not make " << locale;
        const std::string typedTitle = encodeText(title, charset);
        const std::string typedAuthor = encodeText(author, charset);
        const std::string text = file(encodeText(textName, charset), "Hello\n");
        const std::string out = path(encodeText(folderName, charset));

        ProgramOptions options = cliOptions();
        options.environment.push_back({"LC_ALL", ""});
        options.environment.push_back({"LANG", locale});
        options.environment.push_back({"LOCPATH", s_locales->path()});
        const ProgramResult r =
            cli({"-t", typedTitle, "-a", typedAuthor, "-o", out, "-q", text}, options);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        // The archive's name in the locale's charset, as the folder's is.
        const std::string archive = out + "/" + encodeText(title, charset) + ".epub";
        EXPECT_EQ(r.out, archive + "\n");

        const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
        EXPECT_NE(opf.find("<dc:title>" + title + "</dc:title>"), std::string::npos) << opf;
        EXPECT_NE(opf.find(">" + author + "</dc:creator>"), std::string::npos) << opf;
        EXPECT_EQ(opf.find("\xEF\xBF\xBD"), std::string::npos) << opf;
        const std::string ncx = archiveMember(archive, "OEBPS/fb.ncx");
        EXPECT_NE(ncx.find("<text>" + title + "</text>"), std::string::npos) << ncx;
        EXPECT_NE(ncx.find("<text>" + author + "</text>"), std::string::npos) << ncx;
    }

    static inline std::unique_ptr<TempFolder> s_locales;
};

TEST_F(CliLocaleTest, GbkTitleAndAuthor) {
    expectBookInLocale("zh_CN", "GBK", "\xE6\x98\xA5\xE7\x9C\xA0",  // 春眠
                       "\xE5\xAD\x9F\xE6\xB5\xA9\xE7\x84\xB6",      // 孟浩然
                       "\xE7\xAB\xA0\xE4\xB8\x80.txt",              // 章一.txt
                       "\xE4\xB9\xA6\xE5\xBA\x93");                 // 书库
}

TEST_F(CliLocaleTest, Latin1TitleAndAuthor) {
    expectBookInLocale("de_DE", "ISO-8859-1",
                       "M\xC3\xA4rchen \xC3\xBC"
                       "ber Stra\xC3\x9F"
                       "e",
                       "J\xC3\xBCrgen Gro\xC3\x9F",
                       "Gr\xC3\xBC\xC3\x9F"
                       "e.txt",
                       "B\xC3\xBC"
                       "cher");
}

}  // namespace
}  // namespace qb::test
