// A walk of the bare engine, with none of the node-map layer between it and the port.
#include <unordered_set>

#include <arv.h>

#include "GenApi/EngineWalk.h"
#include "GenApi/Nodes.h"
#include "GenICam/GCException.h"
#include "arv_port_device.h"

namespace GenApi {
namespace {

class DirectBridge final : public kelpax::genapi::PortBridge {
public:
  explicit DirectBridge(IPort* port) : port_(port) {}
  bool readMemory(uint64_t address, uint32_t size, void* buffer, std::string& error) override {
    return access(error, [&] { port_->Read(buffer, int64_t(address), size); });
  }
  bool writeMemory(uint64_t address, uint32_t size, const void* buffer,
                   std::string& error) override {
    return access(error, [&] { port_->Write(buffer, int64_t(address), size); });
  }

private:
  template <class F> bool access(std::string& error, F f) {
    try {
      f();
      return true;
    } catch (const GenICam::GenericException& e) {
      error = e.GetDescription();
    } catch (...) {
      error = "The port failed";
    }
    return false;
  }
  IPort* port_;
};

void readValue(ArvGcNode* node) {
  GError* e = nullptr;
  if (ARV_IS_GC_ENUMERATION(node)) {
    arv_gc_enumeration_get_string_value(ARV_GC_ENUMERATION(node), &e);
  } else if (ARV_IS_GC_INTEGER(node)) {
    arv_gc_integer_get_value(ARV_GC_INTEGER(node), &e);
    g_clear_error(&e);
    arv_gc_integer_get_min(ARV_GC_INTEGER(node), &e);
    g_clear_error(&e);
    arv_gc_integer_get_max(ARV_GC_INTEGER(node), &e);
  } else if (ARV_IS_GC_FLOAT(node)) {
    arv_gc_float_get_value(ARV_GC_FLOAT(node), &e);
    g_clear_error(&e);
    arv_gc_float_get_min(ARV_GC_FLOAT(node), &e);
    g_clear_error(&e);
    arv_gc_float_get_max(ARV_GC_FLOAT(node), &e);
  } else if (ARV_IS_GC_BOOLEAN(node)) {
    arv_gc_boolean_get_value(ARV_GC_BOOLEAN(node), &e);
  } else if (ARV_IS_GC_STRING(node)) {
    arv_gc_string_get_value(ARV_GC_STRING(node), &e);
  }
  g_clear_error(&e);
}

} // namespace

std::vector<std::string> EngineImplementedFeatures(const gcstring& xml, IPort* port,
                                                   bool readValues) {
  DirectBridge bridge(port);
  ArvDevice* device = kelpax::genapi::newPortDevice(&bridge);
  ArvGc* gc = arv_gc_new(device, xml.data(), xml.size());
  if (!gc) {
    g_object_unref(device);
    throw GenICam::RuntimeException("The GenICam engine refused the XML description");
  }
  std::vector<std::string> implemented;
  std::unordered_set<std::string> seen{"Root"};
  std::vector<ArvGcNode*> todo;
  if (ArvGcNode* root = arv_gc_get_node(gc, "Root"))
    todo.push_back(root);
  while (!todo.empty()) {
    ArvGcNode* category = todo.back();
    todo.pop_back();
    if (!ARV_IS_GC_CATEGORY(category))
      continue;
    std::vector<ArvGcNode*> subcategories;
    for (const GSList* f = arv_gc_category_get_features(ARV_GC_CATEGORY(category)); f;
         f = f->next) {
      const char* name = static_cast<const char*>(f->data);
      if (!name || !seen.insert(name).second)
        continue;
      ArvGcNode* node = arv_gc_get_node(gc, name);
      if (!node || !ARV_IS_GC_FEATURE_NODE(node))
        continue;
      GError* e = nullptr;
      gboolean yes = arv_gc_feature_node_is_implemented(ARV_GC_FEATURE_NODE(node), &e);
      if (e) {
        g_clear_error(&e);
        yes = FALSE;
      }
      if (!yes)
        continue;
      if (ARV_IS_GC_CATEGORY(node)) {
        subcategories.push_back(node);
        continue;
      }
      implemented.push_back(name);
      if (readValues)
        readValue(node);
    }
    // Depth first, in document order.
    todo.insert(todo.end(), subcategories.rbegin(), subcategories.rend());
  }
  g_object_unref(gc);
  g_object_unref(device);
  return implemented;
}

} // namespace GenApi
