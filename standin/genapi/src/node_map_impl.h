// The node map behind CNodeMapRef: the engine's document, our node objects, the dependency
// graph that drives callbacks, polling clocks and event data.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "GenApi/NodeMapRef.h"
#include "arv_port_device.h"
#include "xml_model.h"

typedef struct _ArvGc ArvGc;
typedef struct _ArvGcNode ArvGcNode;
typedef struct _GError GError;

namespace kelpax::genapi {

class NodeMapImpl;

// Base of every node object. Values go through the engine node `arv()`; names, properties
// and links come from our own XML reading `xml()`.
class NodeImpl : public virtual GenApi::INode, public virtual GenApi::IValue {
public:
  NodeImpl(NodeMapImpl& map, size_t index, ArvGcNode* arv);
  ~NodeImpl() override;

  GenApi::gcstring GetName(bool fullQualified = false) const override;
  GenApi::gcstring GetDisplayName() const override;
  GenApi::gcstring GetToolTip() const override;
  GenApi::gcstring GetDescription() const override;
  GenApi::EVisibility GetVisibility() const override;
  GenApi::ENameSpace GetNameSpace() const override;
  GenApi::EInterfaceType GetPrincipalInterfaceType() const override;
  GenApi::gcstring GetNodeKind() const override;
  int64_t GetPollingTime() const override;
  bool IsFeature() const override;
  void GetPropertyNames(GenApi::gcstring_vector& names) const override;
  bool GetProperty(const GenApi::gcstring& name, GenApi::gcstring& value,
                   GenApi::gcstring& attribute) const override;
  GenApi::gcstring GetPropertyText(const GenApi::gcstring& name) const override;
  bool IsSelector() const override;
  void GetSelectedFeatures(GenApi::FeatureList_t& features) const override;
  void GetSelectingFeatures(GenApi::FeatureList_t& features) const override;
  void GetChildren(GenApi::NodeList_t& children) const override;
  void GetParents(GenApi::NodeList_t& parents) const override;
  void InvalidateNode() override;
  GenApi::INodeMap* GetNodeMap() const override;
  GenApi::EAccessMode GetAccessMode() const override;

  GenApi::INode* GetNode() override { return this; }
  GenApi::gcstring ToString(bool verify = false, bool ignoreCache = false) override;
  void FromString(const GenApi::gcstring& value, bool verify = true) override;
  bool IsValueCacheValid() const override { return false; }

  const XmlNode& xml() const;
  ArvGcNode* arv() const { return arv_; }
  size_t index() const { return index_; }
  NodeMapImpl& map() const { return map_; }
  void setInterfaceType(GenApi::EInterfaceType type) { interface_ = type; }

  // Callbacks of this node, guarded by the process-wide callback registry.
  std::map<GenApi::CallbackHandleType, std::shared_ptr<GenApi::NodeCallback>> callbacks;
  int64_t pollClock = 0;

protected:
  // The engine's access mode without implemented/available, RO when it names none.
  virtual GenApi::EAccessMode baseAccessMode() const;
  void requireReadable() const;
  void requireWritable() const;
  // Throws the GError's text as an AccessException naming this feature; frees the error.
  [[noreturn]] void fail(GError* error) const;
  // Calls an engine function whose last parameter takes its GError; a failure it reports is
  // thrown as fail() throws it. Gives what the function returns.
  template <class Result, class... Params, class... Args>
  Result checked(Result (*function)(Params...), Args... args) const {
    GError* e = nullptr;
    if constexpr (std::is_void_v<Result>) {
      function(args..., &e);
      if (e)
        fail(e);
    } else {
      Result v = function(args..., &e);
      if (e)
        fail(e);
      return v;
    }
  }
  // As checked(), but a property the node's value chain does not define (Min, Max, Inc)
  // gives `missing` instead of an error.
  template <class Result, class Object>
  Result orMissing(Result (*function)(Object*, GError**), Object* object, Result missing) const {
    GError* e = nullptr;
    Result v = function(object, &e);
    if (e && isUndefinedProperty(e)) {
      freeError(e);
      return missing;
    }
    if (e)
      fail(e);
    return v;
  }
  static bool isUndefinedProperty(const GError* error);
  static void freeError(GError* error);
  // A register length read at run time (pLength) that no buffer should be made for.
  void checkRegisterLength(int64_t length) const;
  [[noreturn]] void outOfRange(const std::string& what) const;
  void changed();

private:
  NodeMapImpl& map_;
  size_t index_;
  ArvGcNode* arv_;
  GenApi::EInterfaceType interface_ = GenApi::intfIBase;
};

class NodeMapImpl final : public GenApi::INodeMap, public PortBridge {
public:
  NodeMapImpl(std::string deviceName, XmlModel model);
  ~NodeMapImpl() override;

  void GetNodes(GenApi::NodeList_t& nodes) const override;
  GenApi::INode* GetNode(const GenApi::gcstring& name) const override;
  void InvalidateNodes() const override;
  bool Connect(GenApi::IPort* port, const GenApi::gcstring& portName) const override;
  GenApi::gcstring GetDeviceName() override { return deviceName_; }
  void Poll(int64_t elapsedTimeMs) override;
  void Lock() const override { enter(); }
  void Unlock() const override { leave(); }

  bool readMemory(uint64_t address, uint32_t size, void* buffer, std::string& error) override;
  bool writeMemory(uint64_t address, uint32_t size, const void* buffer,
                   std::string& error) override;

  const XmlModel& model() const { return model_; }
  NodeImpl* node(size_t index) const { return nodes_[index].get(); }
  NodeImpl* find(const std::string& name) const;
  bool isFeature(size_t index) const { return feature_[index]; }
  const std::vector<size_t>& dependents(size_t index) const { return dependents_[index]; }
  const std::vector<size_t>& dependencies(size_t index) const { return dependencies_[index]; }

  // Queues the callbacks of node `index` and of everything that depends on it; they fire when
  // the outermost lock is released.
  void changed(size_t index) const;
  void setEventData(size_t eventPort, const uint8_t* data, size_t length);

  void enter() const;
  void leave() const;

private:
  void addLink(size_t from, size_t to);
  ArvGcNode* engineNode(size_t index) const;

  std::string deviceName_;
  XmlModel model_;
  ArvDevice* device_ = nullptr;
  ArvGc* gc_ = nullptr;
  std::vector<std::unique_ptr<NodeImpl>> nodes_;
  std::vector<std::vector<size_t>> dependents_;
  std::vector<std::vector<size_t>> dependencies_;
  std::vector<bool> feature_;
  std::vector<std::vector<uint8_t>> eventData_;

  mutable std::recursive_mutex mutex_;
  mutable int depth_ = 0;
  // Small reads (integer registers: lengths, addresses, indexes) taken once per outermost lock.
  // The engine evaluates a length again after this layer has checked it, and sizes its buffer
  // by what it gets: a camera answering differently the second time made it allocate whatever
  // that answer said. Any write, and the release of the outermost lock, forgets them.
  struct SmallRead {
    uint64_t address;
    uint32_t size;
    uint8_t bytes[8];
  };
  mutable std::vector<SmallRead> smallReads_;
  mutable std::vector<size_t> pending_;
  mutable std::vector<bool> isPending_;
  mutable GenApi::IPort* port_ = nullptr;
};

// A transport layer reports some failures by throwing its integer error code from the port.
// The engine between the node and the port only passes text, so the code waits here, on the
// thread that called the port, until the node that failed throws it again.
struct PortErrorCode {
  int code;
  std::string text; // the error text the engine was given with it
};
void rememberPortErrorCode(int code, const std::string& text);
// The code remembered with an error text that contains `text`'s marker; forgotten either way.
std::optional<int> takePortErrorCode(const std::string& message);

// Holds the node map's lock for a scope; callbacks queued meanwhile fire on release.
class MapGuard {
public:
  explicit MapGuard(const NodeMapImpl& map) : map_(map) { map_.enter(); }
  ~MapGuard() { map_.leave(); }
  MapGuard(const MapGuard&) = delete;
  MapGuard& operator=(const MapGuard&) = delete;

private:
  const NodeMapImpl& map_;
};

// Where a feature's value lies: the register its value chain (pValue links) ends in, with the
// address and length the engine computes for it now.
struct RegisterPlace {
  uint64_t address = 0;
  uint64_t length = 0;
  bool bigEndian = false;
};
bool registerOfFeature(GenApi::INode* feature, RegisterPlace& place);
// An enumeration's integer value read and written through the engine alone, whatever its
// entries' availability says (for a memory port working out its own layout).
std::optional<int64_t> enumerationValue(GenApi::INode* enumeration);
void setEnumerationValue(GenApi::INode* enumeration, int64_t value);

// Makes the node object for the engine node `arv` of kind `kind`.
std::unique_ptr<NodeImpl> makeNode(NodeMapImpl& map, size_t index, ArvGcNode* arv);

} // namespace kelpax::genapi
