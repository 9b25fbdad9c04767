// Camera descriptions: any text either loads into a node map or is refused with an
// exception; a loaded map connected to registers in memory reads every readable value and
// writes each writable one back, throwing only the layer's own exceptions.
#include <memory>
#include <string>

#include "GenApi/GenApi.h"
#include "GenICam/GCException.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const GenApi::gcstring xml(reinterpret_cast<const char*>(data), size);
  GenApi::CNodeMapRef map;
  try {
    map._LoadXMLFromString(xml);
  } catch (const GenICam::GenericException&) {
    return 0;
  }
  std::unique_ptr<GenApi::MemoryPort> port;
  try {
    port = GenApi::MemoryPort::ForXml(xml);
  } catch (const GenICam::GenericException&) {
    return 0;
  }
  map._Connect(port.get());
  GenApi::NodeList_t nodes;
  map._GetNodes(nodes);
  for (GenApi::INode* node : nodes) {
    try {
      auto* value = dynamic_cast<GenApi::IValue*>(node);
      if (value == nullptr || !GenApi::IsReadable(node->GetAccessMode()))
        continue;
      const GenApi::gcstring text = value->ToString();
      if (GenApi::IsWritable(node->GetAccessMode()) &&
          dynamic_cast<GenApi::ICommand*>(node) == nullptr)
        value->FromString(text);
    } catch (const GenICam::GenericException&) {
    }
  }
  return 0;
}
