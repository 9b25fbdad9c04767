// Walks every node of a large generated camera description, as the feature browser does when
// it builds its tree: names and access modes only, and with the values read from the port.
#include <string>

#include <benchmark/benchmark.h>

#include "GenApi/GenApi.h"

namespace {

// A description with `categories` categories of `perCategory` integer features, each an
// Integer over its own IntReg, plus one enumeration per category.
std::string largeDescription(int categories, int perCategory) {
  std::string x = "<?xml version=\"1.0\"?>\n<RegisterDescription ModelName=\"Big\" "
                  "VendorName=\"Kelpax\">\n<Category Name=\"Root\">";
  for (int c = 0; c < categories; ++c)
    x += "<pFeature>Cat" + std::to_string(c) + "</pFeature>";
  x += "</Category>\n";
  int address = 0;
  for (int c = 0; c < categories; ++c) {
    std::string cat = "Cat" + std::to_string(c);
    x += "<Category Name=\"" + cat + "\">";
    for (int f = 0; f < perCategory; ++f)
      x += "<pFeature>F" + std::to_string(c) + "_" + std::to_string(f) + "</pFeature>";
    x += "<pFeature>Mode" + std::to_string(c) + "</pFeature></Category>\n";
    for (int f = 0; f < perCategory; ++f) {
      std::string n = "F" + std::to_string(c) + "_" + std::to_string(f);
      x += "<Integer Name=\"" + n + "\"><ToolTip>feature " + n + "</ToolTip><pValue>" + n +
           "Reg</pValue><Min>0</Min><Max>100000</Max><Inc>1</Inc></Integer>\n";
      x += "<IntReg Name=\"" + n + "Reg\"><Address>" + std::to_string(address) +
           "</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
           "<Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>\n";
      address += 4;
    }
    std::string m = "Mode" + std::to_string(c);
    x += "<Enumeration Name=\"" + m + "\">";
    for (int e = 0; e < 3; ++e)
      x += "<EnumEntry Name=\"EnumEntry_" + m + "_E" + std::to_string(e) + "\"><Value>" +
           std::to_string(e) + "</Value></EnumEntry>";
    x += "<pValue>" + m + "Reg</pValue></Enumeration>\n<IntReg Name=\"" + m + "Reg\"><Address>" +
         std::to_string(address) +
         "</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
         "<Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>\n";
    address += 4;
  }
  x += "<Port Name=\"Device\"/>\n</RegisterDescription>\n";
  return x;
}

struct Camera {
  Camera() : xml(largeDescription(20, 50)), port(GenApi::MemoryPort::ForXml(xml)) {
    map._LoadXMLFromString(xml);
    map._Connect(port.get());
  }
  std::string xml;
  std::unique_ptr<GenApi::MemoryPort> port;
  GenApi::CNodeMapRef map;
};

void BM_LoadDescription(benchmark::State& state) {
  const std::string xml = largeDescription(20, 50);
  size_t nodes = 0;
  for (auto _ : state) {
    GenApi::CNodeMapRef map;
    map._LoadXMLFromString(xml);
    GenApi::NodeList_t list;
    map._GetNodes(list);
    nodes = list.size();
  }
  state.SetItemsProcessed(int64_t(state.iterations() * nodes));
}

// Names, interface types, access modes: what the tree needs before any value.
void BM_WalkNodesMetadata(benchmark::State& state) {
  Camera cam;
  GenApi::NodeList_t nodes;
  cam.map._GetNodes(nodes);
  for (auto _ : state)
    for (GenApi::INode* n : nodes) {
      benchmark::DoNotOptimize(n->GetName());
      benchmark::DoNotOptimize(n->GetPrincipalInterfaceType());
      benchmark::DoNotOptimize(n->GetAccessMode());
    }
  state.SetItemsProcessed(int64_t(state.iterations() * nodes.size()));
}

// The same plus every readable value, minimum and maximum, read through the port.
void BM_WalkNodesWithValues(benchmark::State& state) {
  Camera cam;
  GenApi::NodeList_t nodes;
  cam.map._GetNodes(nodes);
  uint64_t reads0 = cam.port->readCount();
  for (auto _ : state)
    for (GenApi::INode* n : nodes) {
      benchmark::DoNotOptimize(n->GetAccessMode());
      if (auto* i = dynamic_cast<GenApi::IInteger*>(n); i && GenApi::IsReadable(n)) {
        benchmark::DoNotOptimize(i->GetValue());
        benchmark::DoNotOptimize(i->GetMin());
        benchmark::DoNotOptimize(i->GetMax());
      } else if (auto* e = dynamic_cast<GenApi::IEnumeration*>(n); e && GenApi::IsReadable(n)) {
        benchmark::DoNotOptimize(e->ToString());
      }
    }
  state.SetItemsProcessed(int64_t(state.iterations() * nodes.size()));
  state.counters["port_reads_per_node"] =
      double(cam.port->readCount() - reads0) / double(state.iterations() * nodes.size());
}

BENCHMARK(BM_LoadDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkNodesMetadata)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkNodesWithValues)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
