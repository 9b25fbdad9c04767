// MemoryPort: registers in a byte array, with the camera's side of self-clearing registers and
// of the file protocol played in software.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include <strings.h>

#include "GenApi/MemoryPort.h"
#include "xml_model.h"

namespace GenApi {

using kelpax::genapi::parseXmlInteger;
using kelpax::genapi::XmlModel;
using kelpax::genapi::XmlNode;

namespace {

// The register holding a feature's value: follows pValue links to a node with an Address.
const XmlNode* registerOf(const XmlModel& model, const std::string& feature) {
  const XmlNode* n = model.find(feature);
  for (int depth = 0; n && depth < 8; ++depth) {
    if (n->has("Address") && n->has("Length"))
      return n;
    n = model.find(n->text("pValue"));
  }
  return nullptr;
}

int64_t integerOf(const XmlNode& n, const char* tag) {
  int64_t v = 0;
  if (!parseXmlInteger(n.text(tag), v))
    throw GenICam::RuntimeException("Node '" + n.name + "' has no numeric " + tag);
  return v;
}

bool isEventRegister(const XmlModel& model, const XmlNode& n) {
  const std::string port = n.text("pPort");
  return std::any_of(model.eventPorts.begin(), model.eventPorts.end(),
                     [&](const auto& p) { return p.first == port; });
}

std::string symbolicOf(const XmlModel& model, const XmlNode& entry) {
  std::string s = entry.text("Symbolic");
  if (!s.empty())
    return s;
  std::string prefix = "EnumEntry_" + model.nodes[size_t(entry.parent)].name + "_";
  if (entry.name.compare(0, prefix.size(), prefix) == 0)
    return entry.name.substr(prefix.size());
  return entry.name;
}

// Value of the entry `symbolic` of enumeration `feature`; `fallback` when there is none.
int64_t entryValue(const XmlModel& model, const std::string& feature, const char* symbolic,
                   int64_t fallback) {
  auto it = model.byName.find(feature);
  if (it == model.byName.end())
    return fallback;
  for (const XmlNode& n : model.nodes)
    if (n.parent == static_cast<int>(it->second) && symbolicOf(model, n) == symbolic) {
      int64_t v = fallback;
      parseXmlInteger(n.text("Value"), v);
      return v;
    }
  return fallback;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw GenICam::RuntimeException("Cannot open the XML file '" + path + "'");
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

FileAccessLayout FileAccessLayout::FromXml(const gcstring& xml) {
  XmlModel model = kelpax::genapi::parseXmlModel(xml);
  auto reg = [&](const char* feature) -> const XmlNode& {
    const XmlNode* n = registerOf(model, feature);
    if (!n)
      throw GenICam::RuntimeException(std::string("The file-access feature '") + feature +
                                      "' is missing or not a register with an Address");
    return *n;
  };
  FileAccessLayout l;
  const XmlNode& selector = reg("FileSelector");
  l.selectorAddress = uint64_t(integerOf(selector, "Address"));
  l.registerLength = unsigned(integerOf(selector, "Length"));
  l.bigEndian = selector.text("Endianess") == "BigEndian";
  l.operationSelectorAddress = uint64_t(integerOf(reg("FileOperationSelector"), "Address"));
  l.openModeAddress = uint64_t(integerOf(reg("FileOpenMode"), "Address"));
  l.executeAddress = uint64_t(integerOf(reg("FileOperationExecute"), "Address"));
  l.offsetAddress = uint64_t(integerOf(reg("FileAccessOffset"), "Address"));
  l.lengthAddress = uint64_t(integerOf(reg("FileAccessLength"), "Address"));
  l.statusAddress = uint64_t(integerOf(reg("FileOperationStatus"), "Address"));
  l.resultAddress = uint64_t(integerOf(reg("FileOperationResult"), "Address"));
  l.sizeAddress = uint64_t(integerOf(reg("FileSize"), "Address"));
  const XmlNode& buffer = reg("FileAccessBuffer");
  l.bufferAddress = uint64_t(integerOf(buffer, "Address"));
  l.bufferLength = uint64_t(integerOf(buffer, "Length"));
  l.opOpen = entryValue(model, "FileOperationSelector", "Open", l.opOpen);
  l.opClose = entryValue(model, "FileOperationSelector", "Close", l.opClose);
  l.opRead = entryValue(model, "FileOperationSelector", "Read", l.opRead);
  l.opWrite = entryValue(model, "FileOperationSelector", "Write", l.opWrite);
  l.opDelete = entryValue(model, "FileOperationSelector", "Delete", l.opDelete);
  l.modeRead = entryValue(model, "FileOpenMode", "Read", l.modeRead);
  l.modeWrite = entryValue(model, "FileOpenMode", "Write", l.modeWrite);
  l.modeReadWrite = entryValue(model, "FileOpenMode", "ReadWrite", l.modeReadWrite);
  l.statusSuccess = entryValue(model, "FileOperationStatus", "Success", l.statusSuccess);
  l.statusFailure = entryValue(model, "FileOperationStatus", "Failure", l.statusFailure);
  return l;
}

MemoryPort::MemoryPort(size_t size, bool bigEndian) : memory_(size, 0), bigEndian_(bigEndian) {}

uint64_t MemoryPort::HighestAddress(const gcstring& xml) {
  XmlModel model = kelpax::genapi::parseXmlModel(xml);
  uint64_t top = 0;
  for (const XmlNode& n : model.nodes) {
    int64_t address = 0, length = 0;
    if (!parseXmlInteger(n.text("Address"), address) || !parseXmlInteger(n.text("Length"), length))
      continue;
    if (address < 0 || length <= 0 || isEventRegister(model, n))
      continue;
    top = std::max(top, uint64_t(address) + uint64_t(length));
  }
  return top;
}

std::unique_ptr<MemoryPort> MemoryPort::ForXml(const gcstring& xml, unsigned readsBeforeClear,
                                               size_t minSize) {
  XmlModel model = kelpax::genapi::parseXmlModel(xml);
  uint64_t top = HighestAddress(xml);
  constexpr uint64_t kLargest = uint64_t{64} << 20;
  if (top > kLargest)
    throw GenICam::OutOfRangeException("The registers of the description reach byte " +
                                       std::to_string(top) +
                                       ", beyond the 64 MiB a memory port holds");
  size_t size = std::max<size_t>(minSize, size_t((top + 15) / 16 * 16));
  bool bigEndian = false;
  for (const XmlNode& n : model.nodes)
    if (n.has("Endianess")) {
      bigEndian = n.text("Endianess") == "BigEndian";
      break;
    }
  auto port = std::make_unique<MemoryPort>(size, bigEndian);
  auto selfClearing = [&](const std::string& feature) {
    if (const XmlNode* r = registerOf(model, feature))
      port->emulateSelfClearing(uint64_t(integerOf(*r, "Address")),
                                unsigned(integerOf(*r, "Length")), readsBeforeClear);
  };
  for (const XmlNode& n : model.nodes) {
    if (n.kind == "Command")
      selfClearing(n.text("pValue"));
    else if (strcasecmp(n.text("IsSelfClearing").c_str(), "Yes") == 0)
      selfClearing(n.parent >= 0 ? model.nodes[size_t(n.parent)].name : n.name);
  }
  if (model.find("FileSelector") && model.find("FileOperationExecute"))
    port->emulateFileAccess(FileAccessLayout::FromXml(xml), readsBeforeClear);
  return port;
}

std::unique_ptr<MemoryPort> MemoryPort::ForXmlFile(const gcstring& path,
                                                   unsigned readsBeforeClear) {
  return ForXml(readFile(path), readsBeforeClear);
}

void MemoryPort::checkRange(int64_t address, int64_t length) const {
  if (address >= 0 && length >= 0 && uint64_t(address) + uint64_t(length) <= memory_.size())
    return;
  char text[160];
  std::snprintf(text, sizeof text,
                "Port access at 0x%llx (%lld bytes) lies outside the %zu bytes of the port",
                static_cast<unsigned long long>(address), static_cast<long long>(length),
                memory_.size());
  throw GenICam::AccessException(text);
}

void MemoryPort::Read(void* buffer, int64_t address, int64_t length) {
  std::lock_guard lock(mutex_);
  if (failing_)
    throw GenICam::AccessException("The port does not answer");
  if (!IsReadable(accessMode_))
    throw GenICam::AccessException("The port is not readable");
  checkRange(address, length);
  ++reads_;
  uint64_t begin = uint64_t(address), end = begin + uint64_t(length);
  for (auto& [at, sc] : selfClearing_) {
    if (!sc.armed || at >= end || at + sc.length <= begin)
      continue;
    if (sc.readsLeft > 0) {
      --sc.readsLeft;
    } else {
      std::memset(memory_.data() + at, 0, sc.length);
      sc.armed = false;
    }
  }
  std::memcpy(buffer, memory_.data() + address, size_t(length));
}

void MemoryPort::Write(const void* buffer, int64_t address, int64_t length) {
  std::lock_guard lock(mutex_);
  if (failing_)
    throw GenICam::AccessException("The port does not answer");
  if (!IsWritable(accessMode_))
    throw GenICam::AccessException("The port is not writable");
  checkRange(address, length);
  ++writes_;
  std::memcpy(memory_.data() + address, buffer, size_t(length));
  uint64_t begin = uint64_t(address), end = begin + uint64_t(length);
  if (fileLayout_) {
    const FileAccessLayout& l = *fileLayout_;
    bool hits = l.executeAddress < end && l.executeAddress + l.registerLength > begin;
    if (hits && getReg(l.executeAddress) != 0)
      runFileOperation();
    else if (l.selectorAddress < end && l.selectorAddress + l.registerLength > begin)
      setReg(l.sizeAddress, int64_t(files_[getReg(l.selectorAddress)].size()));
  }
  for (auto& [at, sc] : selfClearing_) {
    if (at >= end || at + sc.length <= begin)
      continue;
    bool nonZero = std::any_of(memory_.begin() + long(at), memory_.begin() + long(at + sc.length),
                               [](uint8_t b) { return b != 0; });
    if (nonZero && sc.readsBeforeClear == 0) {
      std::memset(memory_.data() + at, 0, sc.length);
      sc.armed = false;
    } else {
      sc.armed = nonZero;
      sc.readsLeft = sc.readsBeforeClear;
    }
  }
}

EAccessMode MemoryPort::GetAccessMode() const {
  std::lock_guard lock(mutex_);
  return failing_ ? NA : accessMode_;
}

size_t MemoryPort::size() const {
  std::lock_guard lock(mutex_);
  return memory_.size();
}

void MemoryPort::poke(uint64_t address, const void* data, size_t length) {
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), int64_t(length));
  std::memcpy(memory_.data() + address, data, length);
}

void MemoryPort::peek(uint64_t address, void* data, size_t length) const {
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), int64_t(length));
  std::memcpy(data, memory_.data() + address, length);
}

void MemoryPort::pokeInteger(uint64_t address, unsigned length, int64_t value) {
  if (length == 0 || length > 8)
    throw GenICam::InvalidArgumentException("pokeInteger: length must be 1 to 8 bytes");
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), length);
  auto u = uint64_t(value);
  for (unsigned k = 0; k < length; ++k) {
    unsigned shift = 8 * (bigEndian_ ? length - 1 - k : k);
    memory_[address + k] = uint8_t(u >> shift);
  }
}

int64_t MemoryPort::peekInteger(uint64_t address, unsigned length) const {
  if (length == 0 || length > 8)
    throw GenICam::InvalidArgumentException("peekInteger: length must be 1 to 8 bytes");
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), length);
  uint64_t u = 0;
  for (unsigned k = 0; k < length; ++k) {
    unsigned shift = 8 * (bigEndian_ ? length - 1 - k : k);
    u |= uint64_t(memory_[address + k]) << shift;
  }
  return int64_t(u);
}

void MemoryPort::emulateSelfClearing(uint64_t address, unsigned length, unsigned readsBeforeClear) {
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), length);
  selfClearing_[address] = SelfClearing{length, readsBeforeClear};
}

void MemoryPort::emulateFileAccess(const FileAccessLayout& layout, unsigned readsBeforeClear) {
  if (layout.registerLength == 0 || layout.registerLength > 8)
    throw GenICam::InvalidArgumentException("File-access registers must be 1 to 8 bytes long");
  {
    std::lock_guard lock(mutex_);
    for (uint64_t a :
         {layout.selectorAddress, layout.operationSelectorAddress, layout.openModeAddress,
          layout.executeAddress, layout.offsetAddress, layout.lengthAddress, layout.statusAddress,
          layout.resultAddress, layout.sizeAddress})
      checkRange(int64_t(a), layout.registerLength);
    checkRange(int64_t(layout.bufferAddress), int64_t(layout.bufferLength));
    fileLayout_ = layout;
  }
  emulateSelfClearing(layout.executeAddress, layout.registerLength, readsBeforeClear);
}

std::vector<uint8_t> MemoryPort::file(int64_t selector) const {
  std::lock_guard lock(mutex_);
  auto it = files_.find(selector);
  return it == files_.end() ? std::vector<uint8_t>{} : it->second;
}

void MemoryPort::setFile(int64_t selector, std::vector<uint8_t> contents) {
  std::lock_guard lock(mutex_);
  files_[selector] = std::move(contents);
  if (fileLayout_ && getReg(fileLayout_->selectorAddress) == selector)
    setReg(fileLayout_->sizeAddress, int64_t(files_[selector].size()));
}

std::vector<MemoryPort::FileOperationRecord> MemoryPort::fileOperations() const {
  std::lock_guard lock(mutex_);
  return fileOperations_;
}

void MemoryPort::capFileRead(uint64_t maxBytes, unsigned readsToSkip) {
  std::lock_guard lock(mutex_);
  readCap_ = maxBytes;
  readsBeforeCap_ = readsToSkip;
}

void MemoryPort::setFailing(bool failing) {
  std::lock_guard lock(mutex_);
  failing_ = failing;
}

void MemoryPort::setAccessMode(EAccessMode mode) {
  std::lock_guard lock(mutex_);
  accessMode_ = mode;
}

uint64_t MemoryPort::readCount() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

uint64_t MemoryPort::writeCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

int64_t MemoryPort::getReg(uint64_t address) const {
  const unsigned n = fileLayout_->registerLength;
  const bool big = fileLayout_->bigEndian;
  uint64_t u = 0;
  for (unsigned k = 0; k < n; ++k)
    u |= uint64_t(memory_[address + k]) << (8 * (big ? n - 1 - k : k));
  return int64_t(u);
}

void MemoryPort::setReg(uint64_t address, int64_t value) {
  const unsigned n = fileLayout_->registerLength;
  const bool big = fileLayout_->bigEndian;
  for (unsigned k = 0; k < n; ++k)
    memory_[address + k] = uint8_t(uint64_t(value) >> (8 * (big ? n - 1 - k : k)));
}

// One file operation as a camera performs it: on the file FileSelector names, with status
// and result in their registers and FileSize kept current.
void MemoryPort::runFileOperation() {
  const FileAccessLayout& l = *fileLayout_;
  const int64_t selector = getReg(l.selectorAddress);
  const int64_t op = getReg(l.operationSelectorAddress);
  auto open = openFiles_.find(selector);
  bool ok = true;
  int64_t result = 0;
  std::vector<uint8_t>& data = files_[selector];
  if (op == l.opOpen) {
    int64_t mode = getReg(l.openModeAddress);
    ok = open == openFiles_.end() &&
         (mode == l.modeRead || mode == l.modeWrite || mode == l.modeReadWrite);
    if (ok) {
      if (mode == l.modeWrite)
        data.clear();
      openFiles_[selector] = mode;
    }
  } else if (op == l.opClose) {
    ok = open != openFiles_.end();
    if (ok)
      openFiles_.erase(open);
  } else if (op == l.opRead) {
    int64_t offset = getReg(l.offsetAddress), length = getReg(l.lengthAddress);
    ok = open != openFiles_.end() && open->second != l.modeWrite && offset >= 0 && length >= 0 &&
         uint64_t(length) <= l.bufferLength;
    if (ok) {
      uint64_t from = std::min<uint64_t>(uint64_t(offset), data.size());
      uint64_t n = std::min<uint64_t>(uint64_t(length), data.size() - from);
      if (readCap_ && readsBeforeCap_ > 0) {
        --readsBeforeCap_;
      } else if (readCap_) {
        n = std::min(n, *readCap_);
        readCap_.reset();
      }
      std::memcpy(memory_.data() + l.bufferAddress, data.data() + from, n);
      result = int64_t(n);
    }
  } else if (op == l.opWrite) {
    int64_t offset = getReg(l.offsetAddress), length = getReg(l.lengthAddress);
    ok = open != openFiles_.end() && open->second != l.modeRead && offset >= 0 && length >= 0 &&
         uint64_t(length) <= l.bufferLength && offset <= (int64_t{16} << 20);
    if (ok) {
      if (data.size() < uint64_t(offset + length))
        data.resize(uint64_t(offset + length));
      std::memcpy(data.data() + offset, memory_.data() + l.bufferAddress, size_t(length));
      result = length;
    }
  } else if (op == l.opDelete) {
    ok = open == openFiles_.end();
    if (ok)
      data.clear();
  } else {
    ok = false;
  }
  fileOperations_.push_back(FileOperationRecord{selector, op, getReg(l.offsetAddress),
                                                getReg(l.lengthAddress), result, ok});
  setReg(l.statusAddress, ok ? l.statusSuccess : l.statusFailure);
  setReg(l.resultAddress, result);
  setReg(l.sizeAddress, int64_t(data.size()));
}

} // namespace GenApi
