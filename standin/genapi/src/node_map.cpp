// CNodeMapRef and the node map behind it: loading, the port bridge, callbacks and polling.
#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include <arv.h>

#include "GenICam/BoundedFile.h"
#include "node_map_impl.h"

namespace kelpax::genapi {
namespace {

// Process-wide: handles are unique across node maps, so Deregister needs no node map.
struct CallbackRegistry {
  std::mutex mutex;
  std::unordered_map<GenApi::CallbackHandleType, NodeImpl*> owners;
  GenApi::CallbackHandleType next = 1;
};

CallbackRegistry& registry() {
  static CallbackRegistry* r = new CallbackRegistry; // never destroyed: used until exit
  return *r;
}

std::string portErrorText(int code) {
  return "Transport layer error code " + std::to_string(code);
}

thread_local std::optional<PortErrorCode> lastPortErrorCode;

} // namespace

void rememberPortErrorCode(int code, const std::string& text) {
  lastPortErrorCode = PortErrorCode{code, text};
}

std::optional<int> takePortErrorCode(const std::string& message) {
  std::optional<PortErrorCode> last;
  last.swap(lastPortErrorCode);
  if (last && message.find(last->text) != std::string::npos) {
    return last->code;
  }
  return std::nullopt;
}

namespace {

bool isLinkTag(const std::string& tag) {
  return tag.size() > 1 && tag[0] == 'p' && std::isupper(static_cast<unsigned char>(tag[1])) &&
         tag != "pFeature" && tag != "pSelected" && tag != "pInvalidator" && tag != "pPort" &&
         tag != "pError";
}

void collectLinks(const XmlElement& e, std::vector<const std::string*>& out) {
  if (isLinkTag(e.tag) && !e.text.empty())
    out.push_back(&e.text);
  for (const XmlElement& c : e.children)
    collectLinks(c, out);
}

} // namespace

NodeMapImpl::NodeMapImpl(std::string deviceName, XmlModel model)
    : deviceName_(std::move(deviceName)), model_(std::move(model)) {
  const size_t n = model_.nodes.size();
  device_ = newPortDevice(this);
  gc_ = arv_gc_new(device_, model_.engineXml.data(), model_.engineXml.size());
  if (!gc_) {
    g_object_unref(device_);
    throw GenICam::RuntimeException("The GenICam engine refused the XML description");
  }
  // Every read goes to the port: values the camera changes by itself (self-clearing
  // registers, status) must be seen, and range and access are checked here, not twice.
  arv_gc_set_register_cache_policy(gc_, ARV_REGISTER_CACHE_POLICY_DISABLE);
  arv_gc_set_range_check_policy(gc_, ARV_RANGE_CHECK_POLICY_DISABLE);
  arv_gc_set_access_check_policy(gc_, ARV_ACCESS_CHECK_POLICY_DISABLE);

  dependents_.resize(n);
  dependencies_.resize(n);
  feature_.assign(n, false);
  isPending_.assign(n, false);
  eventData_.resize(model_.eventPorts.size());
  nodes_.reserve(n);
  for (size_t i = 0; i < n; ++i)
    nodes_.push_back(makeNode(*this, i, engineNode(i)));

  std::vector<const std::string*> links;
  for (size_t i = 0; i < n; ++i) {
    const XmlNode& x = model_.nodes[i];
    links.clear();
    for (const XmlElement& p : x.properties)
      collectLinks(p, links);
    for (const std::string* target : links)
      if (auto it = model_.byName.find(*target); it != model_.byName.end())
        addLink(it->second, i);
    for (const XmlElement& p : x.properties) {
      bool invalidator = p.tag == "pInvalidator";
      if (!invalidator && p.tag != "pSelected")
        continue;
      auto it = model_.byName.find(p.text);
      if (it == model_.byName.end())
        continue;
      if (invalidator)
        addLink(it->second, i);
      else
        addLink(i, it->second);
    }
    if (x.parent >= 0 && x.kind == "EnumEntry")
      addLink(i, static_cast<size_t>(x.parent));
  }

  // Features: what categories reach from "Root" (or from every category when there is none).
  std::deque<size_t> todo;
  if (auto it = model_.byName.find("Root"); it != model_.byName.end())
    todo.push_back(it->second);
  else
    for (size_t i = 0; i < n; ++i)
      if (model_.nodes[i].kind == "Category")
        todo.push_back(i);
  for (size_t i : todo)
    feature_[i] = true;
  while (!todo.empty()) {
    size_t c = todo.front();
    todo.pop_front();
    for (const XmlElement& p : model_.nodes[c].properties) {
      if (p.tag != "pFeature")
        continue;
      auto it = model_.byName.find(p.text);
      if (it == model_.byName.end() || feature_[it->second])
        continue;
      feature_[it->second] = true;
      if (model_.nodes[it->second].kind == "Category")
        todo.push_back(it->second);
    }
  }
}

ArvGcNode* NodeMapImpl::engineNode(size_t index) const {
  const XmlNode& x = model_.nodes[index];
  // The engine does not list enum entries by name; its enumeration holds them. An entry's
  // name may also be a feature's ("AcquisitionStart"): never take the feature for the entry.
  if (x.kind != "EnumEntry" || x.parent < 0)
    return arv_gc_get_node(gc_, x.name.c_str());
  ArvGcNode* parent = arv_gc_get_node(gc_, model_.nodes[size_t(x.parent)].name.c_str());
  if (!parent || !ARV_IS_GC_ENUMERATION(parent))
    return nullptr;
  for (const GSList* e = arv_gc_enumeration_get_entries(ARV_GC_ENUMERATION(parent)); e;
       e = e->next) {
    const char* name = arv_gc_feature_node_get_name(ARV_GC_FEATURE_NODE(e->data));
    if (name && x.name == name)
      return ARV_GC_NODE(e->data);
  }
  return nullptr;
}

NodeMapImpl::~NodeMapImpl() {
  {
    CallbackRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto& node : nodes_)
      for (auto& [handle, cb] : node->callbacks)
        r.owners.erase(handle);
  }
  nodes_.clear();
  g_object_unref(gc_);
  g_object_unref(device_);
}

void NodeMapImpl::addLink(size_t from, size_t to) {
  if (from == to)
    return;
  auto& d = dependents_[from];
  if (std::find(d.begin(), d.end(), to) == d.end()) {
    d.push_back(to);
    dependencies_[to].push_back(from);
  }
}

NodeImpl* NodeMapImpl::find(const std::string& name) const {
  auto it = model_.byName.find(name);
  return it == model_.byName.end() ? nullptr : nodes_[it->second].get();
}

void NodeMapImpl::GetNodes(GenApi::NodeList_t& nodes) const {
  nodes.clear();
  nodes.reserve(nodes_.size());
  for (const auto& n : nodes_)
    nodes.push_back(n.get());
}

GenApi::INode* NodeMapImpl::GetNode(const GenApi::gcstring& name) const {
  return find(name);
}

void NodeMapImpl::InvalidateNodes() const {
  // The engine keeps no register cache (see the constructor); only the polling clocks restart.
  MapGuard guard(*this);
  for (const auto& n : nodes_)
    n->pollClock = 0;
}

bool NodeMapImpl::Connect(GenApi::IPort* port, const GenApi::gcstring& portName) const {
  if (!port)
    throw GenICam::InvalidArgumentException("Connect: the port is null");
  const XmlNode* p = model_.find(portName);
  if (!p || p->kind != "Port")
    return false;
  MapGuard guard(*this);
  port_ = port;
  return true;
}

namespace {

// Runs one access of the port. Nothing may unwind through the engine's C frames: every failure
// gives false, its reason in `error`.
template <class Access> bool accessPort(GenApi::IPort* port, std::string& error, Access access) {
  if (!port) {
    error = "The node map is not connected to a port";
    return false;
  }
  try {
    access(*port);
    return true;
  } catch (const GenICam::GenericException& e) {
    error = e.GetDescription();
  } catch (const std::exception& e) {
    error = e.what();
  } catch (int code) {
    error = portErrorText(code);
    rememberPortErrorCode(code, error);
  } catch (...) {
    error = "The port failed";
  }
  return false;
}

} // namespace

bool NodeMapImpl::readMemory(uint64_t address, uint32_t size, void* buffer, std::string& error) {
  if (address >= kEventSpaceBase) {
    size_t port = static_cast<size_t>((address - kEventSpaceBase) >> 32);
    uint64_t offset = address & 0xffffffffu;
    if (port >= eventData_.size()) {
      error = "Read outside every event port";
      return false;
    }
    const auto& data = eventData_[port];
    std::memset(buffer, 0, size);
    if (offset < data.size())
      std::memcpy(buffer, data.data() + offset, std::min<uint64_t>(size, data.size() - offset));
    return true;
  }
  const bool small = depth_ > 0 && size <= sizeof(SmallRead::bytes);
  if (small) {
    for (const SmallRead& read : smallReads_)
      if (read.address == address && read.size == size) {
        std::memcpy(buffer, read.bytes, size);
        return true;
      }
  }
  const bool ok = accessPort(port_, error, [&](GenApi::IPort& port) {
    port.Read(buffer, static_cast<int64_t>(address), size);
  });
  if (ok && small) {
    SmallRead read{address, size, {}};
    std::memcpy(read.bytes, buffer, size);
    smallReads_.push_back(read);
  }
  return ok;
}

bool NodeMapImpl::writeMemory(uint64_t address, uint32_t size, const void* buffer,
                              std::string& error) {
  if (address >= kEventSpaceBase) {
    error = "Event data cannot be written";
    return false;
  }
  smallReads_.clear();
  return accessPort(port_, error, [&](GenApi::IPort& port) {
    port.Write(buffer, static_cast<int64_t>(address), size);
  });
}

void NodeMapImpl::changed(size_t index) const {
  std::lock_guard lock(mutex_);
  std::deque<size_t> todo{index};
  std::vector<bool> seen(nodes_.size(), false);
  seen[index] = true;
  while (!todo.empty()) {
    size_t i = todo.front();
    todo.pop_front();
    if (!isPending_[i]) {
      isPending_[i] = true;
      pending_.push_back(i);
    }
    for (size_t d : dependents_[i])
      if (!seen[d]) {
        seen[d] = true;
        todo.push_back(d);
      }
  }
}

void NodeMapImpl::setEventData(size_t eventPort, const uint8_t* data, size_t length) {
  MapGuard guard(*this);
  eventData_.at(eventPort).assign(data, data + length);
  const std::string& portName = model_.eventPorts[eventPort].first;
  // The engine's copy of these features names the device port; ours keeps the event port.
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const XmlNode& x = model_.nodes[i];
    if (x.text("pPort") == portName || x.name == portName)
      changed(i);
  }
}

void NodeMapImpl::enter() const {
  mutex_.lock();
  ++depth_;
}

void NodeMapImpl::leave() const {
  if (depth_ == 1)
    smallReads_.clear();
  if (--depth_ > 0 || pending_.empty()) {
    mutex_.unlock();
    return;
  }
  std::vector<size_t> fire;
  fire.swap(pending_);
  for (size_t i : fire)
    isPending_[i] = false;
  mutex_.unlock();

  CallbackRegistry& r = registry();
  for (size_t i : fire) {
    std::vector<std::shared_ptr<GenApi::NodeCallback>> cbs;
    {
      std::lock_guard lock(r.mutex);
      for (auto& [handle, cb] : nodes_[i]->callbacks)
        cbs.push_back(cb);
    }
    for (auto& cb : cbs)
      (*cb)(nodes_[i].get());
  }
}

void NodeMapImpl::Poll(int64_t elapsedTimeMs) {
  MapGuard guard(*this);
  for (size_t i = 0; i < nodes_.size(); ++i) {
    int64_t period = nodes_[i]->GetPollingTime();
    if (period <= 0)
      continue;
    nodes_[i]->pollClock += elapsedTimeMs;
    if (nodes_[i]->pollClock >= period) {
      nodes_[i]->pollClock = 0;
      changed(i);
    }
  }
}

} // namespace kelpax::genapi

namespace GenApi {

using kelpax::genapi::NodeImpl;
using kelpax::genapi::NodeMapImpl;

CNodeMapRef::CNodeMapRef(const gcstring& deviceName) : deviceName_(deviceName) {}

CNodeMapRef::~CNodeMapRef() = default;

void CNodeMapRef::_LoadXMLFromString(const gcstring& xml) {
  if (map_)
    throw GenICam::RuntimeException("DLL already loaded: the node map already holds a description");
  map_ = std::make_unique<NodeMapImpl>(deviceName_, kelpax::genapi::parseXmlModel(xml));
  _Ptr = map_.get();
}

void CNodeMapRef::_LoadXMLFromFile(const gcstring& path) {
  std::string text;
  std::string why = GenICam::readBoundedFile(path, GenICam::kMaxDescriptionBytes, text);
  if (!why.empty())
    throw GenICam::RuntimeException("Cannot read the XML file: " + why);
  _LoadXMLFromString(text);
}

bool CNodeMapRef::_IsLoaded() const {
  return map_ != nullptr;
}

bool CNodeMapRef::_Connect(IPort* port, const gcstring& portName) const {
  if (!map_)
    throw GenICam::AccessException("Connect: no XML description is loaded");
  return map_->Connect(port, portName);
}

INode* CNodeMapRef::_GetNode(const gcstring& name) const {
  return map_ ? map_->GetNode(name) : nullptr;
}

void CNodeMapRef::_GetNodes(NodeList_t& nodes) const {
  nodes.clear();
  if (map_)
    map_->GetNodes(nodes);
}

void CNodeMapRef::_InvalidateNodes() const {
  if (map_)
    map_->InvalidateNodes();
}

void CNodeMapRef::_Poll(int64_t elapsedTimeMs) {
  if (map_)
    map_->Poll(elapsedTimeMs);
}

CallbackHandleType Register(INode* node, NodeCallback callback, ECallbackType) {
  auto* impl = dynamic_cast<NodeImpl*>(node);
  if (!impl)
    throw GenICam::InvalidArgumentException("Register: the node is null or of no node map");
  if (!callback)
    throw GenICam::InvalidArgumentException("Register: the callback is empty");
  auto& r = kelpax::genapi::registry();
  std::lock_guard lock(r.mutex);
  CallbackHandleType handle = r.next++;
  impl->callbacks.emplace(handle, std::make_shared<NodeCallback>(std::move(callback)));
  r.owners.emplace(handle, impl);
  return handle;
}

bool Deregister(CallbackHandleType handle) {
  auto& r = kelpax::genapi::registry();
  std::lock_guard lock(r.mutex);
  auto it = r.owners.find(handle);
  if (it == r.owners.end())
    return false;
  it->second->callbacks.erase(handle);
  r.owners.erase(it);
  return true;
}

} // namespace GenApi
