// Reads a register description with libxml2 into the node list the layer keeps beside the engine.
#include "xml_model.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "GenICam/GCException.h"

namespace kelpax::genapi {
namespace {

std::string trim(const std::string& s) {
  const char* ws = " \t\r\n";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos)
    return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

std::string name(const xmlNode* n) {
  return reinterpret_cast<const char*>(n->name);
}

bool named(const xmlNode* n, const char* tag) {
  return std::strcmp(reinterpret_cast<const char*>(n->name), tag) == 0;
}

std::string attributeValue(xmlNode* n, xmlAttr* a) {
  // A plain value is one text node: taken as it is, without the copy xmlGetProp makes.
  if (a->children && !a->children->next && a->children->type == XML_TEXT_NODE)
    return a->children->content ? reinterpret_cast<const char*>(a->children->content) : "";
  xmlChar* v = xmlNodeListGetString(n->doc, a->children, 1);
  std::string s = v ? reinterpret_cast<const char*>(v) : "";
  xmlFree(v);
  return s;
}

std::string attribute(xmlNode* n, const char* attr) {
  for (xmlAttr* a = n->properties; a; a = a->next)
    if (std::strcmp(reinterpret_cast<const char*>(a->name), attr) == 0)
      return attributeValue(n, a);
  return {};
}

// Text directly inside the element (not that of nested elements).
std::string ownText(const xmlNode* n) {
  const xmlNode* only = n->children;
  if (only && !only->next && only->type == XML_TEXT_NODE && only->content) {
    const char* t = reinterpret_cast<const char*>(only->content);
    size_t length = std::strlen(t);
    if (length == 0 || (!std::isspace(static_cast<unsigned char>(t[0])) &&
                        !std::isspace(static_cast<unsigned char>(t[length - 1]))))
      return std::string(t, length); // already trimmed: the common case
  }
  std::string s;
  for (const xmlNode* c = n->children; c; c = c->next)
    if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content)
      s += reinterpret_cast<const char*>(c->content);
  return trim(s);
}

XmlElement readElement(xmlNode* n) {
  XmlElement e;
  e.tag = name(n);
  e.text = ownText(n);
  for (xmlAttr* a = n->properties; a; a = a->next)
    e.attributes.emplace_back(reinterpret_cast<const char*>(a->name), attributeValue(n, a));
  for (xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE)
      e.children.push_back(readElement(c));
  return e;
}

bool isNestedNode(const xmlNode* n) {
  return named(n, "EnumEntry") || named(n, "StructEntry");
}

void readNode(xmlNode* n, int parent, XmlModel& model, std::vector<xmlNode*>& elements) {
  XmlNode node;
  node.kind = name(n);
  node.name = attribute(n, "Name");
  node.nameSpace = attribute(n, "NameSpace");
  node.parent = parent;
  if (parent >= 0 && node.kind == "StructEntry") {
    // A struct entry shares the register of its StructReg: take its properties first.
    for (const XmlElement& p : model.nodes[static_cast<size_t>(parent)].properties)
      node.properties.push_back(p);
  }
  std::vector<xmlNode*> nested;
  for (xmlNode* c = n->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE)
      continue;
    if (isNestedNode(c) && !attribute(c, "Name").empty())
      nested.push_back(c);
    else
      node.properties.push_back(readElement(c));
  }
  if (node.name.empty())
    return;
  // Entries belong to their enumeration: two enumerations may both have an entry "Off", and an
  // entry may share its name with a feature ("AcquisitionStart"). Only other nodes are global.
  bool scoped = parent >= 0 && node.kind == "EnumEntry";
  if (!scoped && model.byName.count(node.name))
    throw GenICam::RuntimeException("Node '" + node.name + "' is defined twice in the XML");
  size_t index = model.nodes.size();
  if (!scoped)
    model.byName.emplace(node.name, index);
  model.nodes.push_back(std::move(node));
  elements.push_back(n);
  for (xmlNode* c : nested)
    readNode(c, static_cast<int>(index), model, elements);
}

void readContainer(xmlNode* container, XmlModel& model, std::vector<xmlNode*>& elements) {
  for (xmlNode* c = container->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE)
      continue;
    if (named(c, "Group"))
      readContainer(c, model, elements);
    else
      readNode(c, -1, model, elements);
  }
}

xmlNode* childElement(xmlNode* n, const char* tag) {
  for (xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && name(c) == tag)
      return c;
  return nullptr;
}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

// Element nesting, counted without recursion: the readers above recurse once per level.
void checkDepth(xmlNode* root) {
  std::vector<std::pair<xmlNode*, size_t>> todo{{root, 1}};
  while (!todo.empty()) {
    auto [n, depth] = todo.back();
    todo.pop_back();
    if (depth > kMaxElementDepth)
      throw GenICam::RuntimeException("The XML description nests elements more than " +
                                      std::to_string(kMaxElementDepth) + " levels deep (line " +
                                      std::to_string(xmlGetLineNo(n)) + ")");
    for (xmlNode* c = n->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE)
        todo.emplace_back(c, depth + 1);
  }
}

// Many cameras write values on lines of their own ("<pPort>\n  Device\n</pPort>"). A value's
// blanks are not part of it, but the engine would look for a port named "\n  Device\n": the
// texts of elements without child elements are trimmed in the document the engine gets.
// Gives whether any text changed.
bool trimValueTexts(xmlNode* root) {
  bool changed = false;
  std::vector<xmlNode*> todo{root};
  while (!todo.empty()) {
    xmlNode* n = todo.back();
    todo.pop_back();
    bool hasElements = false;
    for (xmlNode* c = n->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) {
        hasElements = true;
        todo.push_back(c);
      }
    if (hasElements)
      continue;
    for (xmlNode* c = n->children; c; c = c->next) {
      if (c->type != XML_TEXT_NODE || !c->content)
        continue;
      const char* raw = reinterpret_cast<const char*>(c->content);
      size_t length = std::strlen(raw);
      if (length == 0 || (!std::isspace(static_cast<unsigned char>(raw[0])) &&
                          !std::isspace(static_cast<unsigned char>(raw[length - 1]))))
        continue; // nothing to trim: the common case, without a copy
      size_t b = 0, e = length;
      while (b < e && std::isspace(static_cast<unsigned char>(raw[b])))
        ++b;
      while (e > b && std::isspace(static_cast<unsigned char>(raw[e - 1])))
        --e;
      if (c->doc && c->doc->dict && xmlDictOwns(c->doc->dict, c->content)) {
        // Shared with other nodes by the parser's dictionary: replaced, not changed.
        xmlChar* trimmed = xmlStrndup(c->content + b, int(e - b));
        xmlNodeSetContent(c, trimmed);
        xmlFree(trimmed);
      } else {
        // The node's own text: shortened where it is.
        std::memmove(c->content, c->content + b, e - b);
        c->content[e - b] = 0;
      }
      changed = true;
    }
  }
  return changed;
}

[[noreturn]] void refuse(const XmlNode& n, const std::string& why) {
  throw GenICam::RuntimeException("Node '" + n.name + "' (" + n.kind + "): " + why);
}

// The links along which the engine evaluates one node from another: every p-element except
// those that only list (pFeature, pSelected), announce (pInvalidator) or name a port.
bool isEvaluationLink(const std::string& tag) {
  return tag.size() > 1 && tag[0] == 'p' && std::isupper(static_cast<unsigned char>(tag[1])) &&
         tag != "pFeature" && tag != "pSelected" && tag != "pInvalidator" && tag != "pPort";
}

void collectEvaluationLinks(const XmlElement& e, std::vector<const std::string*>& out) {
  std::vector<const XmlElement*> todo{&e};
  while (!todo.empty()) {
    const XmlElement* x = todo.back();
    todo.pop_back();
    if (isEvaluationLink(x->tag) && !x->text.empty())
      out.push_back(&x->text);
    for (const XmlElement& c : x->children)
      todo.push_back(&c);
  }
}

// The node kinds a description holds. The engine makes nodes of most of them, and keeps by
// name those `isEngineNodeKind` lists.
bool isNodeKind(const std::string& tag) {
  static const std::unordered_set<std::string> kinds = {
      "Node",           "Category",    "Integer",       "IntReg",  "MaskedIntReg", "Boolean",
      "Command",        "Enumeration", "EnumEntry",     "Float",   "FloatReg",     "Converter",
      "IntConverter",   "SwissKnife",  "IntSwissKnife", "String",  "StringReg",    "Register",
      "StructReg",      "StructEntry", "Port",          "ConfRom", "TextDesc",     "IntKey",
      "AdvFeatureLock", "SmartFeature"};
  return kinds.count(tag) != 0;
}

// The node kinds the engine keeps by name: a link naming anything else finds nothing there.
bool isEngineNodeKind(const std::string& tag) {
  static const std::unordered_set<std::string> kinds = {
      "Category",    "Command",      "Converter",     "IntConverter", "Register",
      "IntReg",      "MaskedIntReg", "FloatReg",      "String",       "StringReg",
      "StructReg",   "StructEntry",  "Integer",       "Float",        "Boolean",
      "Enumeration", "SwissKnife",   "IntSwissKnife", "Port"};
  return kinds.count(tag) != 0;
}

// The links a value is written through.
bool isWrittenLink(const std::string& tag) {
  return tag == "pValue" || tag == "pValueIndexed" || tag == "pValueDefault";
}

bool isRegisterKind(const std::string& tag) {
  return tag == "IntReg" || tag == "MaskedIntReg" || tag == "FloatReg" || tag == "StringReg" ||
         tag == "Register" || tag == "StructReg";
}

// The named elements the engine makes nodes of that the model holds no node for: anywhere
// below the root except the model's own node elements.
std::vector<XmlNode> embeddedNodes(xmlNode* root, const std::vector<xmlNode*>& elements) {
  const std::unordered_set<const xmlNode*> modelled(elements.begin(), elements.end());
  std::vector<XmlNode> found;
  std::vector<xmlNode*> todo{root};
  while (!todo.empty()) {
    xmlNode* n = todo.back();
    todo.pop_back();
    for (xmlNode* c = n->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE)
        todo.push_back(c);
    if (n == root)
      continue;
    // The engine makes nodes of these wherever they stand and then follows links between
    // them that never end; a description has them only at its top level or in a group,
    // entries in their enumeration or struct, and an address's IntSwissKnife in its register.
    const std::string tag = name(n);
    const std::string holder = name(n->parent);
    if (isNodeKind(tag) && n->parent != root && holder != "Group" &&
        !(tag == "EnumEntry" && holder == "Enumeration") &&
        !(tag == "StructEntry" && holder == "StructReg") &&
        !(tag == "IntSwissKnife" && isRegisterKind(holder)))
      throw GenICam::RuntimeException("A <" + tag + "> element stands inside <" + holder +
                                      ">, where a description has no node");
    if (modelled.count(n))
      continue;
    std::string nodeName = attribute(n, "Name");
    if (nodeName.empty() || !isNodeKind(tag))
      continue;
    found.push_back(XmlNode{tag, nodeName, {}, readElement(n).children});
  }
  return found;
}

// Depth first over `links`, without recursion: a link back to a node still on the path is a
// cycle; the longest path is the deepest recursion of whoever follows the links.
void checkGraph(const std::vector<const XmlNode*>& nodes,
                const std::vector<std::vector<size_t>>& links, const std::string& cycleText,
                size_t maxDepth, const std::string& depthText) {
  enum : uint8_t { kNew, kOnPath, kDone };
  const size_t count = links.size();
  std::vector<uint8_t> state(count, kNew);
  std::vector<size_t> height(count, 0);
  for (size_t start = 0; start < count; ++start) {
    if (state[start] != kNew)
      continue;
    std::vector<std::pair<size_t, size_t>> path{{start, 0}}; // node, next link to follow
    state[start] = kOnPath;
    while (!path.empty()) {
      size_t node = path.back().first;
      size_t& next = path.back().second;
      if (next < links[node].size()) {
        size_t to = links[node][next++];
        if (state[to] == kOnPath) {
          std::string cycle = nodes[to]->name;
          for (size_t k = path.size(); k-- > 0;) {
            cycle = nodes[path[k].first]->name + " -> " + cycle;
            if (path[k].first == to)
              break;
          }
          refuse(*nodes[to], cycleText + " (" + cycle + ")");
        }
        if (state[to] == kNew) {
          state[to] = kOnPath;
          path.emplace_back(to, 0);
        }
        continue;
      }
      size_t h = 0;
      for (size_t to : links[node])
        h = std::max(h, height[to] + 1);
      height[node] = h;
      state[node] = kDone;
      if (h > maxDepth)
        refuse(*nodes[node], depthText);
      path.pop_back();
    }
  }
}

// Register sizes and addresses in range, and no node whose value depends on itself: the engine
// allocates what a Length says and follows links by recursion, so either would bring the
// program down instead of giving an error. Categories neither list themselves nor nest
// without end: the feature tree is walked along them.
void validateModel(const XmlModel& model, const std::vector<XmlNode>& embedded) {
  for (const XmlNode& n : model.nodes) {
    for (const XmlElement& p : n.properties) {
      if (p.tag != "Address" && p.tag != "Length")
        continue;
      int64_t v = 0;
      if (!parseXmlInteger(p.text, v))
        refuse(n, "<" + p.tag + "> '" + p.text + "' is no number");
      if (p.tag == "Address" && (v < 0 || uint64_t(v) >= kEventSpaceBase))
        refuse(n, "<Address> " + p.text + " lies outside the port's address space");
      if (p.tag == "Length") {
        bool integer = n.kind == "IntReg" || n.kind == "MaskedIntReg";
        int64_t most = integer ? 8 : int64_t(kMaxRegisterLength);
        if (v < 1 || v > most)
          refuse(n, "<Length> " + p.text + " is outside 1 .. " + std::to_string(most) + " bytes");
      }
    }
  }
  // A named node written inside another element (an IntSwissKnife giving a register's
  // address, or anything a hostile text puts there, even inside an element without a name) is
  // a node to the engine as well: its links count, though the model keeps no node for it.
  std::vector<const XmlNode*> nodes;
  for (const XmlNode& n : model.nodes)
    nodes.push_back(&n);
  std::unordered_map<std::string, size_t> byName(model.byName.begin(), model.byName.end());
  for (const XmlNode& n : embedded) {
    // The engine would take this node for the other of its name.
    if (!byName.emplace(n.name, nodes.size()).second)
      throw GenICam::RuntimeException("Node '" + n.name + "' is defined twice in the XML");
    nodes.push_back(&n);
  }
  // A value written through a link that finds no node replaces the link's text: the node then
  // names another node, one that may lead back to it, and the engine follows the two for ever.
  for (const XmlNode* n : nodes)
    for (const XmlElement& p : n->properties) {
      if (!isWrittenLink(p.tag) || p.text.empty())
        continue;
      auto it = byName.find(p.text);
      if (it == byName.end() || !isEngineNodeKind(nodes[it->second]->kind))
        refuse(*n, "<" + p.tag + "> names '" + p.text + "', which is no node of the description");
    }
  // The links along which the engine evaluates, and those along which categories list
  // categories (the tree is walked along them).
  const size_t count = nodes.size();
  std::vector<std::vector<size_t>> evaluation(count), listing(count);
  std::vector<const std::string*> names;
  for (size_t i = 0; i < count; ++i) {
    const XmlNode& n = *nodes[i];
    names.clear();
    for (const XmlElement& p : n.properties)
      collectEvaluationLinks(p, names);
    for (const std::string* name : names)
      if (auto it = byName.find(*name); it != byName.end())
        evaluation[i].push_back(it->second);
    if (n.kind != "Category")
      continue;
    for (const XmlElement& p : n.properties)
      if (p.tag == "pFeature")
        if (auto it = byName.find(p.text);
            it != byName.end() && nodes[it->second]->kind == "Category")
          listing[i].push_back(it->second);
  }
  checkGraph(nodes, evaluation, "its value depends on itself", kMaxLinkDepth,
             "its value is reached through more than " + std::to_string(kMaxLinkDepth) + " nodes");
  checkGraph(nodes, listing, "the category lists itself", kMaxCategoryDepth,
             "categories nest more than " + std::to_string(kMaxCategoryDepth) + " levels");
}

} // namespace

const XmlElement* XmlNode::property(const std::string& tag) const {
  for (const XmlElement& p : properties)
    if (p.tag == tag)
      return &p;
  return nullptr;
}

std::string XmlNode::text(const std::string& tag) const {
  const XmlElement* p = property(tag);
  return p ? p->text : std::string();
}

const XmlNode* XmlModel::find(const std::string& nodeName) const {
  auto it = byName.find(nodeName);
  return it == byName.end() ? nullptr : &nodes[it->second];
}

bool parseXmlInteger(const std::string& text, int64_t& value) {
  std::string t = trim(text);
  if (t.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  bool negative = t[0] == '-';
  const char* digits = t.c_str() + (negative || t[0] == '+' ? 1 : 0);
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits += 2;
  }
  if (!*digits)
    return false;
  unsigned long long u = std::strtoull(digits, &end, base);
  if (*end != '\0' || errno == ERANGE || !std::isxdigit(static_cast<unsigned char>(digits[0])))
    return false;
  constexpr unsigned long long kMagnitudeOfMin = 0x8000000000000000ull;
  if (negative) {
    if (u > kMagnitudeOfMin)
      return false;
    // -0x8000000000000000 is the one negative number whose magnitude has no int64_t.
    value = u == kMagnitudeOfMin ? INT64_MIN : -static_cast<int64_t>(u);
  } else {
    value = static_cast<int64_t>(u); // 0x8000... and above wrap, as the engine reads them
  }
  return true;
}

std::string skipToXml(const std::string& text) {
  size_t start = text.find("<?xml");
  if (start == std::string::npos)
    start = text.find('<');
  if (start == std::string::npos)
    throw GenICam::RuntimeException(text.empty() ? "The XML text is empty"
                                                 : "The text holds no XML description");
  return text.substr(start);
}

XmlModel parseXmlModel(const std::string& text) {
  if (text.size() > kMaxDescriptionSize)
    throw GenICam::RuntimeException("The XML description is " + std::to_string(text.size()) +
                                    " bytes long, more than the " +
                                    std::to_string(kMaxDescriptionSize) + " a camera's may be");
  std::string xml = skipToXml(text);
  // A camera description has no document type. Entities declared in one could expand a small
  // file into gigabytes, in our parser or in the engine's, so such a text is refused unread.
  if (xml.find("<!DOCTYPE") != std::string::npos || xml.find("<!ENTITY") != std::string::npos)
    throw GenICam::RuntimeException(
        "The XML description declares a document type or entities, which no camera "
        "description has; it is refused");
  xmlResetLastError();
  // No XML_PARSE_HUGE: the parser's own limits on depth and text size stay in force.
  std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(
      xml.data(), static_cast<int>(xml.size()), "description.xml", nullptr,
      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS));
  if (!doc) {
    const xmlError* err = xmlGetLastError();
    std::string why = err && err->message ? trim(err->message) : "unknown parser error";
    // The parser's advice to lift its limits is not for the user: the limits stay.
    if (size_t advice = why.find(" use XML_PARSE_HUGE option"); advice != std::string::npos)
      why.erase(advice);
    int line = err ? err->line : 0;
    throw GenICam::RuntimeException("The XML description does not parse (line " +
                                    std::to_string(line) + "): " + why);
  }
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || name(root) != "RegisterDescription")
    throw GenICam::RuntimeException("The XML is no GenICam register description (root is '" +
                                    (root ? name(root) : std::string()) + "')");
  checkDepth(root);
  bool rewritten = trimValueTexts(root);
  XmlModel model;
  std::vector<xmlNode*> elements;
  readContainer(root, model, elements);
  validateModel(model, embeddedNodes(root, elements));

  // Event ports: features read through a Port with an EventID are moved onto the device
  // port, at an address the port bridge recognises, because the engine reads every port
  // through the device.
  std::string devicePort;
  for (const XmlNode& n : model.nodes)
    if (n.kind == "Port" && !n.has("EventID") && !n.has("ChunkID")) {
      devicePort = n.name;
      break;
    }
  std::unordered_map<std::string, size_t> eventIndex;
  for (const XmlNode& n : model.nodes)
    if (n.kind == "Port" && n.has("EventID")) {
      eventIndex.emplace(n.name, model.eventPorts.size());
      model.eventPorts.emplace_back(n.name, n.text("EventID"));
    }
  if (!eventIndex.empty() && !devicePort.empty()) {
    for (size_t i = 0; i < model.nodes.size(); ++i) {
      auto it = eventIndex.find(model.nodes[i].text("pPort"));
      if (it == eventIndex.end())
        continue;
      xmlNode* element = elements[i];
      xmlNode* pPort = childElement(element, "pPort");
      xmlNodeSetContent(pPort, reinterpret_cast<const xmlChar*>(devicePort.c_str()));
      char address[32];
      std::snprintf(address, sizeof address, "0x%llx",
                    static_cast<unsigned long long>(eventSpaceBase(it->second)));
      xmlNode* extra = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("Address"));
      xmlNodeSetContent(extra, reinterpret_cast<const xmlChar*>(address));
      xmlAddNextSibling(pPort, extra);
      rewritten = true;
    }
  }
  if (rewritten) {
    xmlChar* mem = nullptr;
    int size = 0;
    xmlDocDumpMemory(doc.get(), &mem, &size);
    model.engineXml.assign(reinterpret_cast<const char*>(mem), static_cast<size_t>(size));
    xmlFree(mem);
  } else {
    model.engineXml = std::move(xml);
  }
  return model;
}

} // namespace kelpax::genapi
