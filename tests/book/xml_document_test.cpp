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

TEST_F(XmlDocumentTest, NewDocumentOptions) {
    TXMLDocument doc;
    EXPECT_FALSE(doc.active());
    EXPECT_TRUE(doc.hasOption(TXMLDocOption::doAutoPrefix));
    EXPECT_TRUE(doc.hasOption(TXMLDocOption::doNamespaceDecl));
    EXPECT_FALSE(doc.hasOption(TXMLDocOption::doNodeAutoIndent));
    EXPECT_THROW(doc.documentNode(), EXMLDocError);
}

TEST_F(XmlDocumentTest, DeclarationItemsKeepTheirOrder) {
    EXPECT_EQ(m_doc.version(), "1.0");
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
    EXPECT_EQ(m_doc.documentNode().childCount(), 2);
    EXPECT_EQ(m_doc.standAlone(), "");
    EXPECT_EQ(m_doc.encoding(), "ISO-8859-1");
}

TEST_F(XmlDocumentTest, IndentationByLevel) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    TXMLNode a = root.addChild("a");
    TXMLNode b = a.addChild("b");
    b.addChild("c").setText("deep");
    b.addChild("empty");
    a.addChild("leaf").setText("text");
    root.addChild("z");
    EXPECT_EQ(root.level(), 1);
    EXPECT_EQ(b.level(), 3);
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
    EXPECT_EQ(root.attributeName(0), "xmlns");
    EXPECT_EQ(root.attribute("xmlns"), kA);
    EXPECT_EQ(root.namespaceURI(), kA);

    // In the default namespace of an ancestor: no declaration; compared ignoring case.
    TXMLNode same = root.addChild("same", "URN:TEST:A");
    EXPECT_EQ(same.attributeCount(), 0);
    EXPECT_EQ(same.nodeName(), "same");

    // A namespace nothing declares: declared on the new element, with its own prefix.
    TXMLNode other = root.addChild("x:other", kB);
    EXPECT_EQ(other.attributeName(0), "xmlns:x");
    EXPECT_EQ(other.attribute("xmlns:x"), kB);
    // Below it, a plain name in that namespace takes the declared prefix.
    TXMLNode inner = other.addChild("inner", kB);
    EXPECT_EQ(inner.nodeName(), "x:inner");
    EXPECT_EQ(inner.attributeCount(), 0);

    // By tag: a prefixed tag takes the namespace bound in scope, a plain one its parent's.
    TXMLNode tagged = other.addChild("x:tagged");
    EXPECT_EQ(tagged.namespaceURI(), kB);
    TXMLNode plain = other.addChild("plain");
    EXPECT_EQ(plain.nodeName(), "x:plain");
    EXPECT_EQ(plain.namespaceURI(), kB);
    TXMLNode unbound = root.addChild("y:unbound");
    EXPECT_EQ(unbound.namespaceURI(), "");
    EXPECT_EQ(unbound.attributeCount(), 0);

    // Namespaced attributes take the prefix of the declaration in scope.
    inner.setAttributeNS("attr", kB, "v");
    EXPECT_EQ(inner.attributeName(0), "x:attr");
    inner.setAttributeNS("plain", "", "w");
    EXPECT_EQ(inner.attributeName(1), "plain");

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
    EXPECT_EQ(e.childCount(), 1);
    EXPECT_EQ(e.text(), "second & <third>");
    TXMLNode empty = root.addChild("empty");
    empty.setText("");
    EXPECT_EQ(empty.childCount(), 1);
    EXPECT_EQ(m_doc.saveToString(),
              "<root>\r\n\t<e>second &amp; &lt;third&gt;</e>\r\n\t<empty></empty>\r\n</root>\r\n");

    try {
        root.setText("x");
        FAIL() << "no error";
    } catch (const EXMLDocError& err) {
        EXPECT_STREQ(err.what(), "Element does not contain a single text node");
    }
    EXPECT_EQ(root.childCount(), 7);  // nothing changed
}

TEST_F(XmlDocumentTest, TextIsFilteredAndReadsBackExactly) {
    TXMLNode root = m_doc.documentNode().addChild("root");
    root.setText(
        std::string("a\x01"
                    "b\rc\xEF\xBF\xBF"
                    "d",
                    10));
    std::string saved = m_doc.saveToString();
    EXPECT_EQ(saved, "<root>ab&#13;cd</root>\r\n");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(saved.c_str()));
    EXPECT_STREQ(parsed.document_element().text().get(), "ab\rcd");
}

TEST_F(XmlDocumentTest, SaveToFileReplacesAndReportsErrors) {
    test::TempFolder dir;
    m_doc.setVersion("1.0");
    m_doc.documentNode().addChild("r");
    std::string path = dir / "out.xml";
    test::writeFile(path, std::string(1000, 'x'));
    m_doc.saveToFile(path);
    EXPECT_EQ(test::readFile(path), "<?xml version=\"1.0\"?>\r\n<r/>\r\n");
    EXPECT_THROW(m_doc.saveToFile(dir / "no/out.xml"), EFCreateError);
    EXPECT_THROW(m_doc.saveToFile("/dev/full"), EWriteError);
}

}  // namespace
}  // namespace qb
