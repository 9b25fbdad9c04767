// GenCP over a paced serial line at 115200, through libclsersim.so as a frame grabber's library:
//  - the camera's zipped description from its memory: achieved against the wire time of its
//    bytes alone (target 0.8 of the line);
//  - one register read and one write: the wire time of the command and its acknowledge against
//    the time taken (target 0.9);
//  - the feature grid for a description of 3,500 features, from the text that has arrived:
//    load into the node map and build the tree (target 150 ms).
// Wire time: 10 bits a byte at the line's rate.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CLProtocol/CLPort.h"
#include "GenApi/GenApi.h"
#include "nodeview/feature_tree.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr double kRate = 115200;
double wireMs(double bytes) {
  return bytes * 10.0 * 1000.0 / kRate;
}
double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string bigDescription(int features) {
  std::string xml = R"(<?xml version="1.0"?>
<RegisterDescription ModelName="Big" VendorName="Kelpax" StandardNameSpace="None"
 SchemaMajorVersion="1" SchemaMinorVersion="1" SchemaSubMinorVersion="0" MajorVersion="1"
 MinorVersion="0" SubMinorVersion="0" ProductGuid="1" VersionGuid="2"
 xmlns="http://www.genicam.org/GenApi/Version_1_1">
<Category Name="Root">)";
  const int groups = features / 100;
  for (int g = 0; g < groups; ++g)
    xml += "<pFeature>Group" + std::to_string(g) + "</pFeature>";
  xml += "</Category>\n";
  for (int g = 0; g < groups; ++g) {
    xml += "<Category Name=\"Group" + std::to_string(g) + "\">";
    for (int f = 0; f < 100; ++f)
      xml += "<pFeature>F" + std::to_string(g * 100 + f) + "</pFeature>";
    xml += "</Category>\n";
  }
  for (int i = 0; i < groups * 100; ++i) {
    const std::string n = std::to_string(i);
    xml += "<Integer Name=\"F" + n + "\"><pValue>R" + n +
           "</pValue><Min>0</Min><Max>1000</Max>"
           "</Integer><IntReg Name=\"R" +
           n + "\"><Address>" + std::to_string(0x1000 + 4 * i) +
           "</Address><Length>4</Length><AccessMode>RW</AccessMode><pPort>Device</pPort>"
           "<Sign>Unsigned</Sign><Endianess>BigEndian</Endianess></IntReg>\n";
  }
  return xml + "<Port Name=\"Device\"/></RegisterDescription>\n";
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gencp_bench CLSERSIM_FOLDER\n");
    return 2;
  }
  setenv("CLSERIALPATH", argv[1], 1);
  setenv("KELPAX_SIM_CAMERAS", "Kg-12M-G40@115200", 1);
  unsetenv("KELPAX_SIM_PACING");
  GenICam::gcstring_vector ids;
  CLProtocol::CCLPort::GetPortIDs(ids);
  std::string id;
  for (const auto& candidate : ids)
    if (candidate.find("Kg-12M-G40") != std::string::npos)
      id = candidate;
  if (id.empty()) {
    std::fprintf(stderr, "gencp_bench: no simulated GenCP camera\n");
    return 1;
  }
  CLProtocol::CCLPort port;
  auto start = Clock::now();
  port.Connect(id, "#libgencp_serial.so#Quorvane");
  const double connectMs = msSince(start);

  start = Clock::now();
  const std::string zipped = port.GetXML(false);
  const double downloadMs = msSince(start);
  std::printf("connect (probe at 115200, identification, limits): %.1f ms\n", connectMs);
  std::printf(
      "description: %zu zipped bytes in %.1f ms, wire time %.1f ms, ratio %.2f (target 0.8)\n",
      zipped.size(), downloadMs, wireMs(double(zipped.size())),
      wireMs(double(zipped.size())) / downloadMs);

  constexpr int kRounds = 50;
  uint8_t value[4] = {0, 0, 0, 7};
  start = Clock::now();
  for (int i = 0; i < kRounds; ++i)
    port.Read(value, 0x30000, 4);
  const double readMs = msSince(start) / kRounds;
  start = Clock::now();
  for (int i = 0; i < kRounds; ++i)
    port.Write(value, 0x3001C, 4);
  const double writeMs = msSince(start) / kRounds;
  // ReadMem: 28 bytes out, 16 + 4 back. WriteMem: 28 out, 16 + 4 back.
  std::printf("register read: %.2f ms, wire time %.2f ms, ratio %.2f (target 0.9)\n", readMs,
              wireMs(48), wireMs(48) / readMs);
  std::printf("register write: %.2f ms, wire time %.2f ms, ratio %.2f (target 0.9)\n", writeMs,
              wireMs(48), wireMs(48) / writeMs);

  const std::string big = bigDescription(3500);
  auto memory = GenApi::MemoryPort::ForXml(big);
  start = Clock::now();
  GenApi::CNodeMapRef map;
  map._LoadXMLFromString(big);
  map._Connect(memory.get(), "Device");
  const double loadMs = msSince(start);
  nodeview::FeatureTree tree({});
  tree.setNodeMap(&map);
  tree.rebuild();
  const double gridMs = msSince(start);
  std::printf("grid of %zu rows from a 3,500-feature description: load %.1f ms, total %.1f ms "
              "(target 150)\n",
              tree.properties().size(), loadMs, gridMs);
  return 0;
}
