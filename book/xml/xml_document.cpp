#include "book/xml/xml_document.h"

#include "book/xml/xml_text.h"
#include "platform/output_file.h"

namespace qb {
namespace {

const char* const kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";
const char* const kItemNames[3] = {"version", "encoding", "standalone"};
const char* const kSingleTextError = "Element does not contain a single text node";

std::string prefixOf(const std::string& name) {
    std::size_t colon = name.find(':');
    return colon == std::string::npos ? std::string() : name.substr(0, colon);
}

std::string localNameOf(const std::string& name) {
    std::size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

bool isNamespaceDeclaration(const pugi::xml_attribute& attr) {
    std::string name = attr.name();
    return name == "xmlns" || prefixOf(name) == "xmlns";
}

bool isTextNode(const pugi::xml_node& node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The value of one item in declaration data such as version="1.0" encoding='UTF-8'.
std::string findItem(const std::string& data, const std::string& name, bool& found) {
    found = false;
    std::size_t pos = 0;
    while ((pos = data.find(name, pos)) != std::string::npos) {
        std::size_t i = pos + name.size();
        pos = i;
        while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
        if (i >= data.size() || data[i] != '=') continue;
        ++i;
        while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
        if (i >= data.size() || (data[i] != '"' && data[i] != '\'')) continue;
        char quote = data[i++];
        std::size_t end = data.find(quote, i);
        if (end == std::string::npos) continue;
        found = true;
        return data.substr(i, end - i);
    }
    return {};
}

}  // namespace

// ---- TXMLNode ----

std::string TXMLNode::prefix() const {
    return prefixOf(m_node.name());
}
std::string TXMLNode::namespaceURI() const {
    if (!m_doc) return {};
    auto it = m_doc->m_namespaces.find(m_node.internal_object());
    return it == m_doc->m_namespaces.end() ? std::string() : it->second;
}

int TXMLNode::level() const {
    int level = 0;
    for (pugi::xml_node n = m_node.parent(); n; n = n.parent()) ++level;
    return level;
}

pugi::xml_attribute TXMLNode::findNamespaceDeclaration(const std::string& uri) const {
    for (pugi::xml_node n = m_node; n; n = n.parent()) {
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            if (a.value() == uri && isNamespaceDeclaration(a)) return a;
        }
    }
    return {};
}

std::string TXMLNode::findPrefixBinding(const std::string& prefix) const {
    for (pugi::xml_node n = m_node; n; n = n.parent()) {
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            std::string name = a.name();
            if (prefixOf(name) == "xmlns" && localNameOf(name) == prefix) return a.value();
        }
    }
    return {};
}

void TXMLNode::appendChild(pugi::xml_node child) {
    // Called after the child has been made the last child of m_node: the layout text goes
    // around it. The document node's children are never indented.
    pugi::xml_node owner = m_node;
    bool indent = owner.parent() && m_doc->hasOption(TXMLDocOption::doNodeAutoIndent) &&
                  child.type() == pugi::node_element;
    if (!indent) return;
    int parentLevel = TXMLNode(m_doc, owner.parent()).level();
    std::string lineBreak = "\r\n";
    for (int i = 0; i < parentLevel; ++i) lineBreak += m_doc->m_indent;

    auto layout = [&](const std::string& text, bool before) {
        pugi::xml_node t = before ? owner.insert_child_before(pugi::node_pcdata, child)
                                  : owner.append_child(pugi::node_pcdata);
        t.set_value(text.c_str());
        m_doc->m_layoutNodes.insert(t.internal_object());
    };
    if (child == owner.first_child()) layout(lineBreak, true);
    layout(m_doc->m_indent, true);
    layout(lineBreak, false);
}

TXMLNode TXMLNode::createElement(const std::string& name, const std::string& uri) {
    m_doc->requireActive();
    pugi::xml_node element = m_node.append_child(pugi::node_element);
    element.set_name(name.c_str());
    if (!uri.empty()) m_doc->m_namespaces[element.internal_object()] = uri;
    appendChild(element);
    return TXMLNode(m_doc, element);
}

TXMLNode TXMLNode::addChild(const std::string& name, const std::string& namespaceURI) {
    pugi::xml_attribute declaration = findNamespaceDeclaration(namespaceURI);
    std::string qualified = name;
    std::string prefixToDeclare;
    if (declaration) {
        std::string declName = declaration.name();
        if (m_doc->hasOption(TXMLDocOption::doAutoPrefix) && prefixOf(name).empty() &&
            prefixOf(declName) == "xmlns") {
            qualified = localNameOf(declName) + ":" + name;
        }
    } else {
        prefixToDeclare = prefixOf(name);
    }
    TXMLNode element = createElement(qualified, namespaceURI);
    if (!declaration && !namespaceURI.empty() && m_doc->hasOption(TXMLDocOption::doNamespaceDecl)) {
        element.declareNamespace(prefixToDeclare, namespaceURI);
    }
    return element;
}

TXMLNode TXMLNode::addChild(const std::string& tag) {
    std::string tagPrefix = prefixOf(tag);
    if (!tagPrefix.empty()) return createElement(tag, findPrefixBinding(tagPrefix));
    std::string ownPrefix = prefix();
    return createElement(ownPrefix.empty() ? tag : ownPrefix + ":" + tag, namespaceURI());
}

void TXMLNode::declareNamespace(const std::string& prefix, const std::string& uri) {
    setAttributeNS(prefix.empty() ? "xmlns" : "xmlns:" + prefix, kXmlnsNamespace, uri);
}

void TXMLNode::setAttribute(const std::string& name, const std::string& value) {
    m_doc->requireActive();
    pugi::xml_attribute attr = m_node.attribute(name.c_str());
    if (!attr) attr = m_node.append_attribute(name.c_str());
    attr.set_value(xmlChars(value).c_str());
}

void TXMLNode::setAttributeNS(const std::string& name, const std::string& uri,
                              const std::string& value) {
    std::string qualified = name;
    if (m_doc->hasOption(TXMLDocOption::doAutoPrefix) && prefixOf(name).empty()) {
        pugi::xml_attribute declaration = findNamespaceDeclaration(uri);
        if (declaration && prefixOf(declaration.name()) == "xmlns") {
            qualified = localNameOf(declaration.name()) + ":" + name;
        }
    }
    setAttribute(qualified, value);
}

void TXMLNode::setText(const std::string& text) {
    m_doc->requireActive();
    pugi::xml_node first = m_node.first_child();
    if (first && (first.next_sibling() || !isTextNode(first))) {
        throw EXMLDocError(kSingleTextError);
    }
    if (!first) first = m_node.append_child(pugi::node_pcdata);
    first.set_value(xmlChars(text).c_str());
}

// ---- TXMLDocument ----

TXMLDocument::TXMLDocument()
    : m_options{TXMLDocOption::doAutoPrefix, TXMLDocOption::doNamespaceDecl} {}

void TXMLDocument::setActive(bool active) {
    if (active == this->active()) return;
    m_namespaces.clear();
    m_layoutNodes.clear();
    m_dom = active ? std::make_unique<pugi::xml_document>() : nullptr;
}

void TXMLDocument::requireActive() const {
    if (!m_dom) throw EXMLDocError("Operation cannot be performed on an inactive document");
}

TXMLNode TXMLDocument::documentNode() {
    requireActive();
    return TXMLNode(this, *m_dom);
}

std::string TXMLDocument::declarationItem(int item) const {
    requireActive();
    pugi::xml_node first = m_dom->first_child();
    if (first.type() == pugi::node_pi && std::string(first.name()) == "xml") {
        bool found = false;
        std::string value = findItem(first.value(), kItemNames[item], found);
        if (found || item != 0) return value;
    }
    return item == 0 ? "1.0" : "";
}

void TXMLDocument::setDeclarationItem(int item, const std::string& value) {
    requireActive();
    std::string items[3] = {declarationItem(0), declarationItem(1), declarationItem(2)};
    items[item] = value;
    std::string data;
    for (int i = 0; i < 3; ++i) {
        if (items[i].empty()) continue;
        if (!data.empty()) data += ' ';
        data += std::string(kItemNames[i]) + "=\"" + items[i] + "\"";
    }
    pugi::xml_node old = m_dom->first_child();
    bool hadDeclaration = old.type() == pugi::node_pi && std::string(old.name()) == "xml";
    pugi::xml_node declaration = m_dom->prepend_child(pugi::node_pi);
    declaration.set_name("xml");
    declaration.set_value(data.c_str());
    if (hadDeclaration) m_dom->remove_child(old);
}

void TXMLDocument::setVersion(const std::string& value) {
    setDeclarationItem(0, value);
}
void TXMLDocument::setEncoding(const std::string& value) {
    setDeclarationItem(1, value);
}
void TXMLDocument::setStandAlone(const std::string& value) {
    setDeclarationItem(2, value);
}

void TXMLDocument::writeNode(std::string& out, pugi::xml_node node) const {
    switch (node.type()) {
        case pugi::node_element: {
            out += '<';
            out += node.name();
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                out += ' ';
                out += a.name();
                out += "=\"";
                appendEscapedAttribute(out, a.value());
                out += '"';
            }
            if (!node.first_child()) {
                out += "/>";
                return;
            }
            out += '>';
            for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) writeNode(out, c);
            out += "</";
            out += node.name();
            out += '>';
            return;
        }
        case pugi::node_pcdata:
            if (m_layoutNodes.count(node.internal_object())) {
                out += node.value();
            } else {
                appendEscapedText(out, node.value());
            }
            return;
        case pugi::node_cdata:
            out += "<![CDATA[";
            out += node.value();
            out += "]]>";
            return;
        case pugi::node_pi:
            out += "<?";
            out += node.name();
            if (*node.value()) {
                out += ' ';
                out += node.value();
            }
            out += "?>";
            return;
        default:
            return;
    }
}

std::string TXMLDocument::saveToString() const {
    requireActive();
    std::string out;
    for (pugi::xml_node c = m_dom->first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_pi && c.type() != pugi::node_element) continue;
        writeNode(out, c);
        out += "\r\n";
    }
    return out;
}

void TXMLDocument::saveToFile(const std::string& path) const {
    std::string text = saveToString();
    OutputFile file(path);
    file.write(text);
    file.close();
}

}  // namespace qb
