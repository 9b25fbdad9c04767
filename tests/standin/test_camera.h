// The test camera: its description loaded into a node map connected to a memory port.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "GenApi/GenApi.h"

namespace kelpax::test {

inline std::string dataPath(const std::string& file) {
  return std::string(KELPAX_STANDIN_DATA) + "/" + file;
}

inline std::string readData(const std::string& file) {
  std::ifstream in(dataPath(file), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct TestCamera {
  explicit TestCamera(unsigned readsBeforeClear = 0, const char* file = "kelpax_camera.xml")
      : xml(readData(file)), port(GenApi::MemoryPort::ForXml(xml, readsBeforeClear)) {
    map._LoadXMLFromString(xml);
    map._Connect(port.get(), "Device");
  }
  template <class T> T* get(const char* name) {
    auto* p = dynamic_cast<T*>(map._GetNode(name));
    if (!p)
      throw GenICam::LogicalErrorException(std::string("test camera lacks ") + name);
    return p;
  }
  std::string xml;
  std::unique_ptr<GenApi::MemoryPort> port;
  GenApi::CNodeMapRef map;
};

} // namespace kelpax::test
