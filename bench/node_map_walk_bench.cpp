// Walks every node of a large generated camera description, as the feature browser does when
// it builds its tree: names and access modes only, and with the values read from the port; and
// load plus feature tree against the bare GenICam engine on a description built like real ones.
#include <chrono>
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "GenApi/EngineWalk.h"
#include "GenApi/GenApi.h"
#include "GenICam/BoundedFile.h"
#include "nodeview/feature_tree.h"

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

// A description built like real cameras' ones: enumerations sharing entry names ("Off",
// "On", "Once") with each other and with commands, selectors with a register per entry,
// integers over IntSwissKnives, Converters and MaskedIntRegs without Inc, SwissKnives without
// Min or Max, registers above 4 GiB. About 4,000 nodes with categories = 40.
std::string realLikeDescription(int categories) {
  std::string x = "<?xml version=\"1.0\"?>\n<RegisterDescription ModelName=\"RealLike\" "
                  "VendorName=\"Kelpax\">\n<Category Name=\"Root\">";
  for (int c = 0; c < categories; ++c)
    x += "<pFeature>Cat" + std::to_string(c) + "</pFeature>";
  x += "</Category>\n";
  auto reg = [](const std::string& name, uint64_t address, const std::string& extra = "") {
    return "<IntReg Name=\"" + name + "\"><Address>" + std::to_string(address) + "</Address>" +
           extra +
           "<Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
           "<Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess></IntReg>\n";
  };
  uint64_t address = uint64_t{1} << 32;
  for (int c = 0; c < categories; ++c) {
    std::string k = std::to_string(c);
    x += "<Category Name=\"Cat" + k + "\">";
    for (const char* f : {"Mode", "Selector", "Gain", "Knife", "Conv", "Masked", "Temp", "Start"})
      for (int i = 0; i < 5; ++i)
        x += "<pFeature>" + std::string(f) + k + "_" + std::to_string(i) + "</pFeature>";
    x += "</Category>\n";
    for (int i = 0; i < 5; ++i) {
      std::string n = k + "_" + std::to_string(i);
      // Entries named like each other's and like the command Start<n>.
      x += "<Enumeration Name=\"Mode" + n +
           "\"><EnumEntry Name=\"Off\"><Value>0</Value></EnumEntry>"
           "<EnumEntry Name=\"On\"><Value>1</Value></EnumEntry><EnumEntry Name=\"Once\">"
           "<Value>2</Value></EnumEntry><EnumEntry Name=\"Start" +
           n +
           "\"><Value>3</Value>"
           "</EnumEntry><pValue>ModeReg" +
           n + "</pValue></Enumeration>\n" + reg("ModeReg" + n, address);
      x += "<Command Name=\"Start" + n + "\"><pValue>StartReg" + n +
           "</pValue><CommandValue>1</CommandValue></Command>\n" + reg("StartReg" + n, address + 4);
      x += "<Enumeration Name=\"Selector" + n +
           "\"><EnumEntry Name=\"Tap1\"><Value>0</Value>"
           "</EnumEntry><EnumEntry Name=\"Tap2\"><Value>1</Value></EnumEntry><pValue>SelReg" +
           n + "</pValue><pSelected>Gain" + n + "</pSelected></Enumeration>\n" +
           reg("SelReg" + n, address + 8);
      x += "<Integer Name=\"Gain" + n + "\"><pValue>GainReg" + n +
           "</pValue><Min>0</Min>"
           "<pMax>GainMax" +
           n + "</pMax><Inc>1</Inc></Integer>\n" +
           reg("GainReg" + n, address + 16, "<pIndex Offset=\"4\">SelReg" + n + "</pIndex>") +
           "<IntSwissKnife Name=\"GainMax" + n + "\"><pVariable Name=\"S\">SelReg" + n +
           "</pVariable><Formula>1023 + S * 1024</Formula></IntSwissKnife>\n";
      x += "<Integer Name=\"Knife" + n + "\"><pValue>KnifeCalc" + n +
           "</pValue></Integer>\n"
           "<IntSwissKnife Name=\"KnifeCalc" +
           n + "\"><pVariable Name=\"R\">KnifeReg" + n +
           "</pVariable><Formula>R * 2</Formula></IntSwissKnife>\n" +
           reg("KnifeReg" + n, address + 24);
      x += "<Integer Name=\"Conv" + n + "\"><pValue>ConvCalc" + n +
           "</pValue></Integer>\n"
           "<Converter Name=\"ConvCalc" +
           n +
           "\"><FormulaTo>FROM * 4</FormulaTo><FormulaFrom>TO / 4"
           "</FormulaFrom><pValue>ConvReg" +
           n + "</pValue><Slope>Increasing</Slope></Converter>\n" +
           reg("ConvReg" + n, address + 28);
      x += "<Integer Name=\"Masked" + n + "\"><pValue>MaskedReg" + n +
           "</pValue></Integer>\n"
           "<MaskedIntReg Name=\"MaskedReg" +
           n + "\"><Address>" + std::to_string(address + 32) +
           "</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort><LSB>0"
           "</LSB><MSB>11</MSB><Sign>Unsigned</Sign><Endianess>LittleEndian</Endianess>"
           "</MaskedIntReg>\n";
      x += "<SwissKnife Name=\"Temp" + n + "\"><pVariable Name=\"R\">TempReg" + n +
           "</pVariable><Formula>R / 16</Formula></SwissKnife>\n" +
           reg("TempReg" + n, address + 36);
      address += 0x100;
    }
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

// Load plus grid against the bare engine over the same description, timed in turns in the
// same run: the engine loads the description and reads every implemented feature's value and
// range; we load it, connect a memory port and build the feature tree (every row read).
// Counters: ours_ms, engine_ms and their ratio. KELPAX_BENCH_DESCRIPTION=file.xml measures a
// real camera's description instead of the generated one.
void BM_LoadAndGridAgainstEngine(benchmark::State& state) {
  std::string xml = realLikeDescription(40);
  if (const char* path = std::getenv("KELPAX_BENCH_DESCRIPTION")) {
    std::string why = GenICam::readBoundedFile(path, GenICam::kMaxDescriptionBytes, xml);
    if (!why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
  }
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{}, engine{};
  size_t rows = 0, nodes = 0;
  for (auto _ : state) {
    // The ports stand for the camera: made outside the timed parts.
    auto enginePort = GenApi::MemoryPort::ForXml(xml);
    auto port = GenApi::MemoryPort::ForXml(xml);
    auto t0 = Clock::now();
    GenApi::EngineImplementedFeatures(xml, enginePort.get(), true);
    auto t1 = Clock::now();
    {
      GenApi::CNodeMapRef map("Device");
      map._LoadXMLFromString(xml);
      map._Connect(port.get(), "Device");
      nodeview::FeatureTree tree(nodeview::TreeHooks{});
      tree.setNodeMap(&map);
      tree.rebuild();
      rows = tree.properties().size();
      GenApi::NodeList_t list;
      map._GetNodes(list);
      nodes = list.size();
    }
    auto t2 = Clock::now();
    engine += t1 - t0;
    ours += t2 - t1;
  }
  auto ms = [&](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / double(state.iterations());
  };
  state.counters["ours_ms"] = ms(ours);
  state.counters["engine_ms"] = ms(engine);
  state.counters["ratio"] = ms(ours) / ms(engine);
  state.counters["rows"] = double(rows);
  state.counters["nodes"] = double(nodes);
}

BENCHMARK(BM_LoadDescription)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndGridAgainstEngine)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WalkNodesMetadata)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkNodesWithValues)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
