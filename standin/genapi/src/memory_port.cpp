// MemoryPort: registers in a byte array, with the camera's side of self-clearing registers and
// of the file protocol played in software.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include <strings.h>

#include "GenApi/MemoryPort.h"
#include "GenICam/BoundedFile.h"
#include "node_map_impl.h"
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
  std::string text;
  std::string why = GenICam::readBoundedFile(path, GenICam::kMaxDescriptionBytes, text);
  if (!why.empty())
    throw GenICam::RuntimeException("Cannot read the XML file: " + why);
  return text;
}

} // namespace

namespace {

FileAccessLayout layoutOf(const XmlModel& model) {
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

uint64_t highestAddress(const XmlModel& model) {
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

} // namespace

FileAccessLayout FileAccessLayout::FromXml(const gcstring& xml) {
  return layoutOf(kelpax::genapi::parseXmlModel(xml));
}

FileAccessLayout FileAccessLayout::FromNodeMap(INodeMap& map) {
  auto node = [&](const char* name) -> INode* {
    INode* n = map.GetNode(name);
    if (!n)
      throw GenICam::RuntimeException(std::string("The file-access feature '") + name +
                                      "' is missing");
    return n;
  };
  auto reg = [&](const char* name, uint64_t& address, uint64_t* length = nullptr) {
    kelpax::genapi::RegisterPlace place;
    if (!kelpax::genapi::registerOfFeature(node(name), place))
      throw GenICam::RuntimeException(std::string("The file-access feature '") + name +
                                      "' holds its value in no register the camera answers");
    address = place.address;
    if (length)
      *length = place.length;
    return place;
  };
  auto entry = [&](const char* enumeration, const char* symbolic, int64_t fallback) {
    auto* e = dynamic_cast<IEnumeration*>(node(enumeration));
    IEnumEntry* found = e ? e->GetEntryByName(symbolic) : nullptr;
    return found ? found->GetValue() : fallback;
  };
  FileAccessLayout l;
  uint64_t length = 0;
  kelpax::genapi::RegisterPlace selector = reg("FileSelector", l.selectorAddress, &length);
  l.registerLength = unsigned(length);
  l.bigEndian = selector.bigEndian;
  reg("FileOpenMode", l.openModeAddress);
  l.opOpen = entry("FileOperationSelector", "Open", l.opOpen);
  l.opClose = entry("FileOperationSelector", "Close", l.opClose);
  l.opRead = entry("FileOperationSelector", "Read", l.opRead);
  l.opWrite = entry("FileOperationSelector", "Write", l.opWrite);
  l.opDelete = entry("FileOperationSelector", "Delete", l.opDelete);
  l.modeRead = entry("FileOpenMode", "Read", l.modeRead);
  l.modeWrite = entry("FileOpenMode", "Write", l.modeWrite);
  l.modeReadWrite = entry("FileOpenMode", "ReadWrite", l.modeReadWrite);
  l.statusSuccess = entry("FileOperationStatus", "Success", l.statusSuccess);
  l.statusFailure = entry("FileOperationStatus", "Failure", l.statusFailure);

  // Each operation's registers, as the node map computes them with the operation selected.
  INode* operations = node("FileOperationSelector");
  std::optional<int64_t> before = kelpax::genapi::enumerationValue(operations);
  for (int64_t op : {l.opOpen, l.opClose, l.opRead, l.opWrite, l.opDelete}) {
    kelpax::genapi::setEnumerationValue(operations, op);
    OperationRegisters r;
    reg("FileOperationExecute", r.execute);
    reg("FileAccessOffset", r.offset);
    reg("FileAccessLength", r.length);
    reg("FileOperationStatus", r.status);
    reg("FileOperationResult", r.result);
    reg("FileSize", r.size);
    reg("FileAccessBuffer", r.buffer, &r.bufferLength);
    if (r.bufferLength == 0)
      throw GenICam::RuntimeException("The camera's FileAccessBuffer has no length");
    l.operations[op] = r;
  }
  if (before)
    kelpax::genapi::setEnumerationValue(operations, *before);
  const OperationRegisters& read = l.operations[l.opRead];
  l.executeAddress = read.execute;
  l.offsetAddress = read.offset;
  l.lengthAddress = read.length;
  l.statusAddress = read.status;
  l.resultAddress = read.result;
  l.sizeAddress = read.size;
  l.bufferAddress = read.buffer;
  l.bufferLength = read.bufferLength;
  l.operationSelectorAddress = l.selectorAddress; // unused: the execute register tells
  return l;
}

MemoryPort::MemoryPort(uint64_t size, bool bigEndian) : extent_(size), bigEndian_(bigEndian) {}

void MemoryPort::copyOut(uint64_t address, void* data, size_t length) const {
  auto* out = static_cast<uint8_t*>(data);
  while (length > 0) {
    uint64_t page = address / kPageSize, offset = address % kPageSize;
    size_t n = size_t(std::min<uint64_t>(length, kPageSize - offset));
    auto it = pages_.find(page);
    if (it == pages_.end())
      std::memset(out, 0, n);
    else
      std::memcpy(out, it->second.get() + offset, n);
    out += n;
    address += n;
    length -= n;
  }
}

void MemoryPort::copyIn(uint64_t address, const void* data, size_t length) {
  auto* in = static_cast<const uint8_t*>(data);
  while (length > 0) {
    uint64_t page = address / kPageSize, offset = address % kPageSize;
    size_t n = size_t(std::min<uint64_t>(length, kPageSize - offset));
    auto it = pages_.find(page);
    if (it == pages_.end()) {
      if (std::all_of(in, in + n, [](uint8_t b) { return b == 0; })) {
        in += n; // zeros where nothing was written yet: nothing to keep
        address += n;
        length -= n;
        continue;
      }
      if ((pages_.size() + 1) * kPageSize > kMaxHeldBytes)
        throw GenICam::AccessException("The memory port already holds " +
                                       std::to_string(kMaxHeldBytes) +
                                       " bytes of written registers");
      auto fresh = std::make_unique<uint8_t[]>(kPageSize);
      std::memset(fresh.get(), 0, kPageSize);
      it = pages_.emplace(page, std::move(fresh)).first;
    }
    std::memcpy(it->second.get() + offset, in, n);
    in += n;
    address += n;
    length -= n;
  }
}

void MemoryPort::zero(uint64_t address, size_t length) {
  uint8_t zeros[64] = {};
  while (length > 0) {
    size_t n = std::min(length, sizeof zeros);
    copyIn(address, zeros, n);
    address += n;
    length -= n;
  }
}

uint64_t MemoryPort::HighestAddress(const gcstring& xml) {
  return highestAddress(kelpax::genapi::parseXmlModel(xml));
}

std::unique_ptr<MemoryPort> MemoryPort::ForXml(const gcstring& xml, unsigned readsBeforeClear) {
  XmlModel model = kelpax::genapi::parseXmlModel(xml);
  // The port spans the whole device address space, up to where event data is served: many
  // registers lie at addresses the description computes (pAddress, pIndex), which no reading
  // of the text can bound. Only what is written takes memory.
  uint64_t size = kelpax::genapi::kEventSpaceBase;
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
  // A camera whose file-access registers lie at computed addresses gets its file protocol
  // from emulateFileAccess(INodeMap&) once the node map is connected.
  if (model.find("FileSelector") && model.find("FileOperationExecute")) {
    std::optional<FileAccessLayout> layout;
    try {
      layout = layoutOf(model);
    } catch (const GenICam::RuntimeException&) {
    }
    if (layout)
      port->emulateFileAccess(*layout, readsBeforeClear);
  }
  return port;
}

std::unique_ptr<MemoryPort> MemoryPort::ForXmlFile(const gcstring& path,
                                                   unsigned readsBeforeClear) {
  return ForXml(readFile(path), readsBeforeClear);
}

void MemoryPort::checkRange(int64_t address, int64_t length) const {
  if (address >= 0 && length >= 0 && uint64_t(length) <= kMaxAccessBytes &&
      uint64_t(address) <= extent_ && uint64_t(length) <= extent_ - uint64_t(address))
    return;
  char text[200];
  std::snprintf(text, sizeof text,
                "Port access at 0x%llx (%lld bytes) lies outside the 0x%llx bytes of the port "
                "or is longer than %llu bytes",
                static_cast<unsigned long long>(address), static_cast<long long>(length),
                static_cast<unsigned long long>(extent_),
                static_cast<unsigned long long>(kMaxAccessBytes));
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
      zero(at, sc.length);
      sc.armed = false;
    }
  }
  copyOut(uint64_t(address), buffer, size_t(length));
}

void MemoryPort::Write(const void* buffer, int64_t address, int64_t length) {
  std::lock_guard lock(mutex_);
  if (failing_)
    throw GenICam::AccessException("The port does not answer");
  if (!IsWritable(accessMode_))
    throw GenICam::AccessException("The port is not writable");
  checkRange(address, length);
  ++writes_;
  copyIn(uint64_t(address), buffer, size_t(length));
  uint64_t begin = uint64_t(address), end = begin + uint64_t(length);
  if (fileLayout_) {
    const FileAccessLayout& l = *fileLayout_;
    auto hits = [&](uint64_t at) { return at < end && at + l.registerLength > begin; };
    bool ran = false;
    if (l.operations.empty()) {
      if (hits(l.executeAddress) && getReg(l.executeAddress) != 0) {
        runFileOperation(getReg(l.operationSelectorAddress), sharedRegisters());
        ran = true;
      }
    } else {
      // Each operation has its own execute register: the one written says which it is.
      for (const auto& [op, r] : l.operations)
        if (hits(r.execute) && getReg(r.execute) != 0) {
          runFileOperation(op, r);
          ran = true;
          break;
        }
    }
    if (!ran && hits(l.selectorAddress))
      updateFileSize(getReg(l.selectorAddress));
  }
  for (auto& [at, sc] : selfClearing_) {
    if (at >= end || at + sc.length <= begin)
      continue;
    uint8_t held[8] = {};
    copyOut(at, held, std::min<size_t>(sc.length, sizeof held));
    bool nonZero = std::any_of(held, held + sizeof held, [](uint8_t b) { return b != 0; });
    if (nonZero && sc.readsBeforeClear == 0) {
      zero(at, sc.length);
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

uint64_t MemoryPort::size() const {
  std::lock_guard lock(mutex_);
  return extent_;
}

uint64_t MemoryPort::heldBytes() const {
  std::lock_guard lock(mutex_);
  return pages_.size() * kPageSize;
}

void MemoryPort::poke(uint64_t address, const void* data, size_t length) {
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), int64_t(length));
  copyIn(address, data, length);
}

void MemoryPort::peek(uint64_t address, void* data, size_t length) const {
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), int64_t(length));
  copyOut(address, data, length);
}

void MemoryPort::pokeInteger(uint64_t address, unsigned length, int64_t value) {
  if (length == 0 || length > 8)
    throw GenICam::InvalidArgumentException("pokeInteger: length must be 1 to 8 bytes");
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), length);
  auto u = uint64_t(value);
  uint8_t bytes[8];
  for (unsigned k = 0; k < length; ++k) {
    unsigned shift = 8 * (bigEndian_ ? length - 1 - k : k);
    bytes[k] = uint8_t(u >> shift);
  }
  copyIn(address, bytes, length);
}

int64_t MemoryPort::peekInteger(uint64_t address, unsigned length) const {
  if (length == 0 || length > 8)
    throw GenICam::InvalidArgumentException("peekInteger: length must be 1 to 8 bytes");
  std::lock_guard lock(mutex_);
  checkRange(int64_t(address), length);
  uint64_t u = 0;
  uint8_t bytes[8];
  copyOut(address, bytes, length);
  for (unsigned k = 0; k < length; ++k) {
    unsigned shift = 8 * (bigEndian_ ? length - 1 - k : k);
    u |= uint64_t(bytes[k]) << shift;
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
    for (const auto& [op, r] : layout.operations) {
      for (uint64_t a : {r.execute, r.offset, r.length, r.status, r.result, r.size})
        checkRange(int64_t(a), layout.registerLength);
      checkRange(int64_t(r.buffer), int64_t(r.bufferLength));
    }
    fileLayout_ = layout;
  }
  emulateSelfClearing(layout.executeAddress, layout.registerLength, readsBeforeClear);
  for (const auto& [op, r] : layout.operations)
    emulateSelfClearing(r.execute, layout.registerLength, readsBeforeClear);
}

bool MemoryPort::emulatesFileAccess() const {
  std::lock_guard lock(mutex_);
  return fileLayout_.has_value();
}

FileAccessLayout::OperationRegisters MemoryPort::sharedRegisters() const {
  const FileAccessLayout& l = *fileLayout_;
  return {l.executeAddress, l.offsetAddress, l.lengthAddress, l.statusAddress,
          l.resultAddress,  l.sizeAddress,   l.bufferAddress, l.bufferLength};
}

void MemoryPort::updateFileSize(int64_t selector) {
  const FileAccessLayout& l = *fileLayout_;
  int64_t size = int64_t(files_[selector].size());
  setReg(l.sizeAddress, size);
  for (const auto& [op, r] : l.operations)
    setReg(r.size, size);
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
    updateFileSize(selector);
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
  uint8_t bytes[8];
  copyOut(address, bytes, n);
  for (unsigned k = 0; k < n; ++k)
    u |= uint64_t(bytes[k]) << (8 * (big ? n - 1 - k : k));
  return int64_t(u);
}

void MemoryPort::setReg(uint64_t address, int64_t value) {
  const unsigned n = fileLayout_->registerLength;
  const bool big = fileLayout_->bigEndian;
  uint8_t bytes[8];
  for (unsigned k = 0; k < n; ++k)
    bytes[k] = uint8_t(uint64_t(value) >> (8 * (big ? n - 1 - k : k)));
  copyIn(address, bytes, n);
}

// One file operation as a camera performs it: on the file FileSelector names, with status
// and result in their registers and FileSize kept current.
void MemoryPort::runFileOperation(int64_t op, const FileAccessLayout::OperationRegisters& r) {
  const FileAccessLayout& l = *fileLayout_;
  const int64_t selector = getReg(l.selectorAddress);
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
    int64_t offset = getReg(r.offset), length = getReg(r.length);
    ok = open != openFiles_.end() && open->second != l.modeWrite && offset >= 0 && length >= 0 &&
         uint64_t(length) <= r.bufferLength;
    if (ok) {
      uint64_t from = std::min<uint64_t>(uint64_t(offset), data.size());
      uint64_t n = std::min<uint64_t>(uint64_t(length), data.size() - from);
      if (readCap_ && readsBeforeCap_ > 0) {
        --readsBeforeCap_;
      } else if (readCap_) {
        n = std::min(n, *readCap_);
        readCap_.reset();
      }
      copyIn(r.buffer, data.data() + from, n);
      result = int64_t(n);
    }
  } else if (op == l.opWrite) {
    int64_t offset = getReg(r.offset), length = getReg(r.length);
    ok = open != openFiles_.end() && open->second != l.modeRead && offset >= 0 && length >= 0 &&
         uint64_t(length) <= r.bufferLength && offset <= (int64_t{16} << 20);
    if (ok) {
      if (data.size() < uint64_t(offset + length))
        data.resize(uint64_t(offset + length));
      copyOut(r.buffer, data.data() + offset, size_t(length));
      result = length;
    }
  } else if (op == l.opDelete) {
    ok = open == openFiles_.end();
    if (ok)
      data.clear();
  } else {
    ok = false;
  }
  fileOperations_.push_back(
      FileOperationRecord{selector, op, getReg(r.offset), getReg(r.length), result, ok});
  setReg(r.status, ok ? l.statusSuccess : l.statusFailure);
  setReg(r.result, result);
  updateFileSize(selector);
}

} // namespace GenApi
