#pragma once
// The XML layer behind fb.opf and fb.ncx: a tree of nodes kept by pugixml, with the rules
// the writers rely on laid over it:
//  - the declaration is composed from its items (version, encoding, standalone, in that order);
//  - an element added in a namespace reuses a declaration in scope, found by scanning the
//    xmlns attributes of it and its ancestors, and otherwise declares the namespace on itself;
//  - with doNodeAutoIndent every element appended below the document element is laid out on
//    a line of its own with CR LF and the indentation unit repeated by level;
//  - attributes keep the order in which they were set;
//  - the file is UTF-8 without a byte-order mark, and the serializer adds no whitespace of its
//    own except CR LF after the declaration and after the document element's end tag.
// An element that holds one empty text node is written as a start tag and an end tag:
// <dc:subject></dc:subject>. An element with no node at all is written as <item .../>.
// All texts are UTF-8.

#include <pugixml.hpp>

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/errors.h"

namespace qb {

class EXMLDocError : public Error {
  public:
    using Error::Error;
};

// The switches that shape what the writers get; a new document has doAutoPrefix and
// doNamespaceDecl.
enum class TXMLDocOption {
    doNodeAutoIndent,
    doAutoPrefix,
    doNamespaceDecl,
};

class TXMLDocument;

// A node of a TXMLDocument: a handle that stays valid as long as its document and node do.
class TXMLNode {
  public:
    TXMLNode() = default;

    // The namespace the element was created in; empty for none.
    std::string namespaceURI() const;

    // Adds an element in a namespace (prefix generation is not supported: the writers never
    // ask for it).
    TXMLNode addChild(const std::string& name, const std::string& namespaceURI);
    // Adds an element by tag: a prefixed tag takes the namespace its prefix is bound to in
    // scope; a plain tag takes the parent's prefix and namespace.
    TXMLNode addChild(const std::string& tag);

    void declareNamespace(const std::string& prefix, const std::string& uri);
    // The plain form: the attribute of that qualified name. Values, like texts, pass through
    // xmlChars here, once, so that the file holds nothing an XML reader rejects (and a NUL
    // does not cut the value short).
    void setAttribute(const std::string& name, const std::string& value);
    // The namespaced form: a plain name gets the prefix a declaration of uri has in scope.
    void setAttributeNS(const std::string& name, const std::string& uri, const std::string& value);

    // Sets the element's single text child. Raises EXMLDocError "Element does not contain a
    // single text node" when it holds anything else.
    void setText(const std::string& text);

    bool operator==(const TXMLNode& other) const { return m_node == other.m_node; }

  private:
    friend class TXMLDocument;
    TXMLNode(TXMLDocument* doc, pugi::xml_node node) : m_doc(doc), m_node(node) {}

    // The prefix of the qualified name ("" without one).
    std::string prefix() const;
    // Number of ancestors: 0 for the document node, 1 for the document element.
    int level() const;
    void appendChild(pugi::xml_node child);
    // The attribute that declares uri in scope, starting at this node; null when none does.
    pugi::xml_attribute findNamespaceDeclaration(const std::string& uri) const;
    // The URI bound to prefix in scope; empty when none.
    std::string findPrefixBinding(const std::string& prefix) const;
    TXMLNode createElement(const std::string& name, const std::string& uri);

    TXMLDocument* m_doc = nullptr;
    pugi::xml_node m_node;
};

class TXMLDocument {
  public:
    // A new, inactive document with doAutoPrefix and doNamespaceDecl set.
    TXMLDocument();
    TXMLDocument(const TXMLDocument&) = delete;
    TXMLDocument& operator=(const TXMLDocument&) = delete;

    bool active() const { return m_dom != nullptr; }
    // Activation starts from an empty tree; deactivation drops it.
    void setActive(bool active);

    // Declaration items. Setting one rewrites the declaration with the items in their fixed
    // order, leaving out empty ones.
    void setVersion(const std::string& value);
    void setEncoding(const std::string& value);
    void setStandAlone(const std::string& value);

    void setNodeIndentStr(const std::string& indent) { m_indent = indent; }

    void addOption(TXMLDocOption option) { m_options.insert(option); }

    TXMLNode documentNode();

    // The whole document as it is saved: the declaration, CR LF, the document element and
    // CR LF; UTF-8 without a byte-order mark.
    std::string saveToString() const;
    // Writes saveToString() to the file, replacing it. Raises EFCreateError or EWriteError.
    void saveToFile(const std::string& path) const;

  private:
    friend class TXMLNode;
    bool hasOption(TXMLDocOption option) const { return m_options.count(option) != 0; }
    void requireActive() const;
    void setDeclarationItem(int item, const std::string& value);
    std::string declarationItem(int item) const;
    void writeNode(std::string& out, pugi::xml_node node) const;

    std::unique_ptr<pugi::xml_document> m_dom;
    std::set<TXMLDocOption> m_options;
    std::string m_indent;
    // pugixml has no namespaces of its own: the namespace each element was created in.
    std::unordered_map<pugi::xml_node_struct*, std::string> m_namespaces;
    // The text nodes that automatic indentation made: written as they are, CR and all.
    std::unordered_set<pugi::xml_node_struct*> m_layoutNodes;
};

}  // namespace qb
