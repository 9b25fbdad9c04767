// Our own reading of a register description: every node with its child elements in document
// order, which the GenICam engine does not keep (properties, PollingTime, pInvalidator, ...).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kelpax::genapi {

struct XmlElement {
  std::string tag;
  std::string text; // the element's own text, trimmed
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<XmlElement> children;
};

struct XmlNode {
  std::string kind; // element name: "Integer", "IntReg", "EnumEntry", ...
  std::string name;
  std::string nameSpace;
  std::vector<XmlElement> properties; // child elements except nested nodes
  int parent = -1;                    // index of the Enumeration/StructReg holding this node

  const XmlElement* property(const std::string& tag) const;
  std::string text(const std::string& tag) const; // "" when missing
  bool has(const std::string& tag) const { return property(tag) != nullptr; }
};

struct XmlModel {
  std::vector<XmlNode> nodes; // document order
  std::unordered_map<std::string, size_t> byName;
  // The description handed to the engine: from "<?xml" on, with event ports rewritten.
  std::string engineXml;
  // Port nodes that carry an EventID, in document order, and the event ID text of each.
  std::vector<std::pair<std::string, std::string>> eventPorts;

  const XmlNode* find(const std::string& name) const;
};

// The base address under which the registers of event port `index` are served to the engine:
// features read through an event port are moved onto the device port at this offset.
constexpr uint64_t kEventSpaceBase = uint64_t{1} << 48;
constexpr uint64_t eventSpaceBase(size_t index) {
  return kEventSpaceBase + (uint64_t{index} << 32);
}

// Limits a description must keep; beyond them it is refused before the engine sees it.
constexpr size_t kMaxDescriptionSize = size_t{64} << 20;
constexpr size_t kMaxElementDepth = 64;  // real descriptions nest fewer than 10 levels
constexpr size_t kMaxLinkDepth = 256;    // nodes between a feature and its register
constexpr size_t kMaxCategoryDepth = 64; // categories within categories
constexpr uint64_t kMaxRegisterLength = uint64_t{16} << 20; // bytes of one Register, StringReg

// Skips whatever precedes "<?xml" (a leading line, a byte-order mark). Throws
// GenICam::RuntimeException for text that is empty or has no XML at all.
std::string skipToXml(const std::string& text);

// Parses the description. Throws GenICam::RuntimeException with the parser's message and
// line for text that is not well-formed XML or whose root is not RegisterDescription, and
// with the node and the reason for a description outside the limits above: a document type,
// too deep a nesting, a register length or address out of range, a node whose value depends
// on itself.
XmlModel parseXmlModel(const std::string& text);

// Parses a GenICam integer literal ("0x1F", "-5", "12"); false when the text is none.
bool parseXmlInteger(const std::string& text, int64_t& value);

} // namespace kelpax::genapi
