#include "book/xml/xml_document.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

const std::string kA = "urn:test:a";
const std::string kB = "urn:test:b";

class XmlDocumentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_doc.setActive(true);
        m_doc.setNodeIndentStr("\t");
        m_doc.addOption(TXMLDocOption::doNodeAutoIndent);
    }
    TXMLDocument m_doc;
};

// A new document is inactive; once active it declares namespaces and prefixes names by
// itself, and indents nothing.
TEST_F(XmlDocumentTest, NewDocumentOptions) {
    TXMLDocument doc;
    EXPECT_THROW(doc.documentNode(), EXMLDocError);
    doc.setActive(true);
    doc.documentNode().addChild("x:root", kA).addChild("inner", kA);
    EXPECT_EQ(doc.saveToString(), "<x:root xmlns:x=\"urn:test:a\"><x:inner/></x:root>\r\n");
}

TEST_F(XmlDocumentTest, DeclarationItemsKeepTheirOrder) {
    m_doc.setStandAlone("yes");
    m_doc.setVersion("1.0");
    m_doc.setEncoding("UTF-8");
    m_doc.documentNode().addChild("r");
    EXPECT_EQ(m_doc.saveToString(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<r/>\r\n");
    // Setting an item again keeps one occurrence; an empty one is left out.
    m_doc.setEncoding("ISO-8859-1");
    m_doc.setStandAlone("");
    EXPECT_EQ(m_doc.saveToString(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<r/>\r\n");
    // Without a version the declaration still says 1.0.
    TXMLDocument doc;
    doc.setActive(true);
    doc.setEncoding("UTF-8");
    EXPECT_EQ(doc.saveToString(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
}

TEST_F(XmlDocumentTest, IndentationByLevel) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    TXMLNode a = root.addChild("a");
    TXMLNode b = a.addChild("b");
    b.addChild("c").setText("deep");
    b.addChild("empty");
    a.addChild("leaf").setText("text");
    root.addChild("z");
    EXPECT_EQ(m_doc.saveToString(),
              "<root>\r\n"
              "\t<a>\r\n"
              "\t\t<b>\r\n"
              "\t\t\t<c>deep</c>\r\n"
              "\t\t\t<empty/>\r\n"
              "\t\t</b>\r\n"
              "\t\t<leaf>text</leaf>\r\n"
              "\t</a>\r\n"
              "\t<z/>\r\n"
              "</root>\r\n");
}

TEST_F(XmlDocumentTest, NoIndentationWithoutTheOption) {
    TXMLDocument doc;
    doc.setActive(true);
    TXMLNode root = doc.documentNode().addChild("root");
    root.addChild("a").addChild("b");
    EXPECT_EQ(doc.saveToString(), "<root><a><b/></a></root>\r\n");
}

TEST_F(XmlDocumentTest, NamespaceDeclarationsLandWhereNeeded) {
    TXMLNode root = m_doc.documentNode().addChild("root", kA);
    EXPECT_EQ(root.namespaceURI(), kA);
    // In the default namespace of an ancestor: no declaration.
    root.addChild("same", kA);
    // Namespace names compare exactly, as XML has them: "URN:TEST:A" is another namespace,
    // declared where it is used.
    EXPECT_EQ(root.addChild("upper", "URN:TEST:A").namespaceURI(), "URN:TEST:A");

    // A namespace nothing declares: declared on the new element, with its own prefix.
    TXMLNode other = root.addChild("x:other", kB);
    // Below it, a plain name in that namespace takes the declared prefix.
    TXMLNode inner = other.addChild("inner", kB);

    // By tag: a prefixed tag takes the namespace bound in scope, a plain one its parent's.
    EXPECT_EQ(other.addChild("x:tagged").namespaceURI(), kB);
    EXPECT_EQ(other.addChild("plain").namespaceURI(), kB);
    EXPECT_EQ(root.addChild("y:unbound").namespaceURI(), "");

    // Namespaced attributes take the prefix of the declaration in scope.
    inner.setAttributeNS("attr", kB, "v");
    inner.setAttributeNS("plain", "", "w");
    EXPECT_EQ(m_doc.saveToString(),
              "<root xmlns=\"urn:test:a\">\r\n"
              "\t<same/>\r\n"
              "\t<upper xmlns=\"URN:TEST:A\"/>\r\n"
              "\t<x:other xmlns:x=\"urn:test:b\">\r\n"
              "\t\t<x:inner x:attr=\"v\" plain=\"w\"/>\r\n"
              "\t\t<x:tagged/>\r\n"
              "\t\t<x:plain/>\r\n"
              "\t</x:other>\r\n"
              "\t<y:unbound/>\r\n"
              "</root>\r\n");

    // Every namespace resolves for an independent reader.
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(m_doc.saveToString().c_str()));
    pugi::xml_node px = parsed.document_element().child("x:other");
    ASSERT_TRUE(px);
    EXPECT_STREQ(px.attribute("xmlns:x").value(), kB.c_str());
    EXPECT_TRUE(px.child("x:inner"));
}

TEST_F(XmlDocumentTest, AttributesInTheOrderSet) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    root.setAttribute("b", "1");
    root.setAttribute("a", "2");
    root.setAttribute("c", "x & \"y\" <z>\t");
    root.setAttribute("b", "3");  // an existing attribute keeps its place
    EXPECT_EQ(m_doc.saveToString(),
              "<root b=\"3\" a=\"2\" c=\"x &amp; &quot;y&quot; &lt;z&gt;&#9;\"/>\r\n");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(m_doc.saveToString().c_str()));
    EXPECT_STREQ(parsed.document_element().attribute("c").value(), "x & \"y\" <z>\t");
}

TEST_F(XmlDocumentTest, SetText) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    TXMLNode e = root.addChild("e");
    e.setText("first");
    e.setText("second & <third>");
    TXMLNode empty = root.addChild("empty");
    empty.setText("");
    const std::string saved =
        "<root>\r\n\t<e>second &amp; &lt;third&gt;</e>\r\n\t<empty></empty>\r\n</root>\r\n";
    EXPECT_EQ(m_doc.saveToString(), saved);

    try {
        root.setText("x");
        FAIL() << "no error";
    } catch (const EXMLDocError& err) {
        EXPECT_STREQ(err.what(), "Element does not contain a single text node");
    }
    EXPECT_EQ(m_doc.saveToString(), saved);  // nothing changed
}

TEST_F(XmlDocumentTest, TextIsFilteredAndReadsBackExactly) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    // A NUL is dropped like any other control, not taken for the end of the value.
    root.setText(
        std::string("a\x01"
                    "b\rc\xEF\xBF\xBF"
                    "d\0",
                    11));
    root.setAttribute("v", std::string("1\0\x02"
                                       "2",
                                       4));
    std::string saved = m_doc.saveToString();
    EXPECT_EQ(saved, "<root v=\"12\">ab&#13;cd</root>\r\n");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(saved.c_str()));
    EXPECT_STREQ(parsed.document_element().text().get(), "ab\rcd");
}

TEST_F(XmlDocumentTest, SaveToFileReplaces) {
    test::TempFolder dir;
    m_doc.setVersion("1.0");
    m_doc.documentNode().addChild("r");
    std::string path = dir / "out.xml";
    test::writeFile(path, std::string(1000, 'x'));
    m_doc.saveToFile(path);
    EXPECT_EQ(test::readFile(path), "<?xml version=\"1.0\"?>\r\n<r/>\r\n");
}

}  // namespace
}  // namespace qb
