// CEventPort: event data from the camera into the features of its event.
#include "GenApi/EventPort.h"
#include "node_map_impl.h"

namespace GenApi {

using kelpax::genapi::NodeImpl;

namespace {

// Index of the event port that serves `node`, or -1.
long eventPortOf(NodeImpl& node) {
  const auto& ports = node.map().model().eventPorts;
  auto indexOf = [&](const std::string& portName) -> long {
    for (size_t i = 0; i < ports.size(); ++i)
      if (ports[i].first == portName)
        return long(i);
    return -1;
  };
  if (long i = indexOf(node.GetName()); i >= 0)
    return i;
  if (long i = indexOf(node.xml().text("pPort")); i >= 0)
    return i;
  // The integer feature whose value is the event's ID (EventExposureEnd and the like).
  if (auto* value = dynamic_cast<IInteger*>(&node); value && IsReadable(value)) {
    try {
      int64_t id = value->GetValue();
      for (size_t i = 0; i < ports.size(); ++i)
        if (std::strtoll(ports[i].second.c_str(), nullptr, 16) == id)
          return long(i);
    } catch (const GenICam::GenericException&) {
    }
  }
  return -1;
}

} // namespace

CEventPort::CEventPort(INode* node) {
  if (node)
    AttachNode(node);
}

CEventPort::~CEventPort() = default;

bool CEventPort::AttachNode(INode* node) {
  auto* impl = dynamic_cast<NodeImpl*>(node);
  if (!impl)
    return false;
  long i = eventPortOf(*impl);
  if (i < 0)
    return false;
  node_ = impl->map().find(impl->map().model().eventPorts[size_t(i)].first);
  return node_ != nullptr;
}

void CEventPort::DetachNode() {
  node_ = nullptr;
}

gcstring CEventPort::GetEventIDText() const {
  auto* impl = dynamic_cast<NodeImpl*>(node_);
  return impl ? impl->xml().text("EventID") : gcstring();
}

int64_t CEventPort::GetEventID() const {
  gcstring text = GetEventIDText();
  return text.empty() ? -1 : std::strtoll(text.c_str(), nullptr, 16);
}

void CEventPort::DeliverMessage(const uint8_t* data, uint32_t length) {
  auto* impl = dynamic_cast<NodeImpl*>(node_);
  if (!impl)
    throw GenICam::AccessException("The event port is attached to no node");
  if (!data && length > 0)
    throw GenICam::InvalidArgumentException("Event data is null");
  const auto& ports = impl->map().model().eventPorts;
  for (size_t i = 0; i < ports.size(); ++i)
    if (ports[i].first == impl->GetName())
      impl->map().setEventData(i, data, length);
}

} // namespace GenApi
