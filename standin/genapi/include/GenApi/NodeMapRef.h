// A node map built from a camera's XML description and connected to the camera's port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "GenApi/Nodes.h"

namespace GenApi {

class INodeMap {
public:
  virtual ~INodeMap() = default;
  // Every node in document order (enum entries follow their enumeration).
  virtual void GetNodes(NodeList_t& nodes) const = 0;
  virtual INode* GetNode(const gcstring& name) const = 0; // nullptr when there is none
  // Drops every cached value so the next read goes to the port. Fires no callbacks.
  virtual void InvalidateNodes() const = 0;
  // Connects the Port node `portName` (usually "Device") to `port`. False when the
  // description has no Port node of that name; the port must outlive the node map.
  virtual bool Connect(IPort* port, const gcstring& portName) const = 0;
  virtual gcstring GetDeviceName() = 0;
  // Advances the clock of every node that has a PollingTime; a node whose time has run out
  // is invalidated and its callbacks (and those of its dependents) fire.
  virtual void Poll(int64_t elapsedTimeMs) = 0;
  // The lock every node access takes; recursive. Callbacks run after it is released.
  virtual void Lock() const = 0;
  virtual void Unlock() const = 0;
};

// Owns one node map. Load a description once (a second load is refused with
// GenICam::RuntimeException "DLL already loaded"), then connect it to a port.
class CNodeMapRef {
public:
  explicit CNodeMapRef(const gcstring& deviceName = "Device");
  ~CNodeMapRef();
  CNodeMapRef(const CNodeMapRef&) = delete;
  CNodeMapRef& operator=(const CNodeMapRef&) = delete;

  // XML text; bytes before "<?xml" (a leading line, a byte-order mark) are skipped. XML that
  // does not parse or is no register description throws GenICam::RuntimeException.
  void _LoadXMLFromString(const gcstring& xml);
  void _LoadXMLFromFile(const gcstring& path);
  bool _IsLoaded() const;
  // Throws GenICam::AccessException when nothing is loaded; false for an unknown port name.
  bool _Connect(IPort* port, const gcstring& portName) const;
  bool _Connect(IPort* port) const { return _Connect(port, "Device"); }
  gcstring _GetDeviceName() const { return deviceName_; }
  INode* _GetNode(const gcstring& name) const;
  void _GetNodes(NodeList_t& nodes) const;
  void _InvalidateNodes() const;
  void _Poll(int64_t elapsedTimeMs);

  // The same without the underscore.
  INode* GetNode(const gcstring& name) const { return _GetNode(name); }
  void GetNodes(NodeList_t& nodes) const { _GetNodes(nodes); }
  void InvalidateNodes() const { _InvalidateNodes(); }
  void Poll(int64_t elapsedTimeMs) { _Poll(elapsedTimeMs); }

  // The node map itself; nullptr until a description is loaded.
  INodeMap* _Ptr = nullptr;
  operator INodeMap*() const { return _Ptr; } // NOLINT

private:
  gcstring deviceName_;
  std::unique_ptr<INodeMap> map_;
};

// Node callbacks. The callback runs after a change of the node: a write to it or to any node
// its value depends on (pValue, pMin, pMax, pInc, pIsAvailable, pIsImplemented, pIsLocked,
// pAddress, pIndex, pVariable links, transitively), a pInvalidator naming a written node, a
// selector (pSelected) that was written, InvalidateNode(), or Poll() when its PollingTime ran
// out. It runs on the thread that made the change, after the node map's lock is released.
using NodeCallback = std::function<void(INode*)>;
CallbackHandleType Register(INode* node, NodeCallback callback,
                            ECallbackType type = cbPostOutsideLock);
// GenApi style: Register(node, *this, &Pane::onNodeChanged).
template <class Client, class Member>
CallbackHandleType Register(INode* node, Client& client, Member member,
                            ECallbackType type = cbPostOutsideLock) {
  return Register(
      node, [&client, member](INode* changed) { (client.*member)(changed); }, type);
}
// False for an unknown or already removed handle. Safe to call from inside a callback.
bool Deregister(CallbackHandleType handle);

} // namespace GenApi
