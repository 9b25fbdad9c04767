// Forwards event data the camera sends into the node map, where the event's features read it.
#pragma once

#include <cstdint>
#include <vector>

#include "GenApi/Nodes.h"

namespace GenApi {

// An event port serves the registers of one event: the features whose pPort names a Port node
// with <EventID>. Attach it to such a Port node, to a feature read through it, or to the
// integer feature whose value is the event ID (EventExposureEnd and the like); then every
// DeliverMessage replaces the event data, fires the callbacks of the event's features, and
// reading them returns the new data (Address counts from the start of the data).
class CEventPort {
public:
  explicit CEventPort(INode* node = nullptr);
  ~CEventPort();
  CEventPort(const CEventPort&) = delete;
  CEventPort& operator=(const CEventPort&) = delete;

  // False when no event port can be found for the node.
  bool AttachNode(INode* node);
  void DetachNode();
  bool IsAttached() const { return node_ != nullptr; }
  // The event ID of the attached port as its XML names it (hex digits), "" when detached.
  gcstring GetEventIDText() const;
  int64_t GetEventID() const;
  // Event data for the attached event. Throws GenICam::AccessException when detached.
  void DeliverMessage(const uint8_t* data, uint32_t length);

private:
  INode* node_ = nullptr; // the Port node with the EventID
};

} // namespace GenApi
