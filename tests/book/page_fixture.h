#pragma once
// What a page file holds, written out by hand for whole-file comparisons.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

namespace qb::test {

using Lines = std::vector<std::string>;

inline std::string pageHeadText(const std::string& title = "page1",
                                const std::string& lang = "en-US") {
    return "<?xml version='1.0' encoding='utf-8'?>\r\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" +
           lang +
           "\"> \r\n"
           "<head>\r\n"
           "<title> " +
           title +
           " </title> \r\n"
           "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>\r\n"
           "</head>\r\n"
           "<body>\r\n"
           "<div>\r\n";
}

inline const std::string kPageTailText = "</div>\r\n</body>\r\n</html>\r\n";

// A page of whole element lines ("<p>text </p> \r\n", "<h2>...").
inline std::string pageOf(const Lines& elements, const std::string& title = "page1",
                          const std::string& lang = "en-US") {
    std::string s = pageHeadText(title, lang);
    for (const std::string& e : elements) s += e;
    return s + kPageTailText;
}

inline std::string paragraphLine(const std::string& text) {
    return "<p>" + text + " </p> \r\n";
}

inline std::string headingLine(const std::string& tag, const std::string& text) {
    return "<" + tag + ">" + text + " </" + tag + "> \r\n";
}

// A page of paragraphs, one per escaped text.
inline std::string pageText(const Lines& paragraphs, const std::string& title = "page1",
                            const std::string& lang = "en-US") {
    Lines elements;
    for (const std::string& p : paragraphs) elements.push_back(paragraphLine(p));
    return pageOf(elements, title, lang);
}

// Checks that a written file is well-formed XML in the XHTML namespace.
inline void expectXhtml(const std::string& path) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(path.c_str());
    ASSERT_TRUE(result) << result.description() << " in " << path;
    pugi::xml_node html = doc.document_element();
    EXPECT_STREQ(html.name(), "html");
    EXPECT_STREQ(html.attribute("xmlns").value(), "http://www.w3.org/1999/xhtml");
}

}  // namespace qb::test
