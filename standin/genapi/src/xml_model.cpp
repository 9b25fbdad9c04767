// Reads a register description with libxml2 into the node list the layer keeps beside the engine.
#include "xml_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

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

std::string attribute(xmlNode* n, const char* attr) {
  xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(attr));
  if (!v)
    return {};
  std::string s = reinterpret_cast<const char*>(v);
  xmlFree(v);
  return s;
}

// Text directly inside the element (not that of nested elements).
std::string ownText(const xmlNode* n) {
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
    e.attributes.emplace_back(reinterpret_cast<const char*>(a->name),
                              attribute(n, reinterpret_cast<const char*>(a->name)));
  for (xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE)
      e.children.push_back(readElement(c));
  return e;
}

bool isNestedNode(const std::string& tag) {
  return tag == "EnumEntry" || tag == "StructEntry";
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
    if (isNestedNode(name(c)) && !attribute(c, "Name").empty())
      nested.push_back(c);
    else
      node.properties.push_back(readElement(c));
  }
  if (node.name.empty())
    return;
  if (model.byName.count(node.name))
    throw GenICam::RuntimeException("Node '" + node.name + "' is defined twice in the XML");
  size_t index = model.nodes.size();
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
    if (name(c) == "Group")
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
  if (*end != '\0' || errno == ERANGE)
    return false;
  value = negative ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
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
  std::string xml = skipToXml(text);
  xmlResetLastError();
  std::unique_ptr<xmlDoc, DocFree> doc(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "description.xml", nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
  if (!doc) {
    const xmlError* err = xmlGetLastError();
    std::string why = err && err->message ? trim(err->message) : "unknown parser error";
    int line = err ? err->line : 0;
    throw GenICam::RuntimeException("The XML description does not parse (line " +
                                    std::to_string(line) + "): " + why);
  }
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root || name(root) != "RegisterDescription")
    throw GenICam::RuntimeException("The XML is no GenICam register description (root is '" +
                                    (root ? name(root) : std::string()) + "')");
  XmlModel model;
  std::vector<xmlNode*> elements;
  readContainer(root, model, elements);

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
  bool rewritten = false;
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
