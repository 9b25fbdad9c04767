// What a simulated camera of a given model answers: its family's stems with plausible values
// and ranges, its sensor size, and which identification queries it knows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/regions.h"

namespace sim {

enum class StemType { Integer, Real };

// A stem ("et", "ag 1", "np x") is queried with "g" + stem and set with "s" + stem + values.
// Every value is checked against [min, max].
struct StemDef {
  std::string stem;
  StemType type = StemType::Integer;
  int valueCount = 1;
  double min = 0;
  double max = 0;
  std::vector<double> defaults; // one per value
};

struct SimModel {
  std::string name;
  int sensorWidth = 0;
  int sensorHeight = 0;
  // Older firmware does not know "gsw"/"gsh": the size is then read with "gccd" at the
  // privileged level.
  bool answersSensorSize = true;
  bool supportsRegions = false; // answers "groi"
  // The multi-region cameras' region table.
  RegionCommands regionCommands = RegionCommands::None;
  int regionCount = 0;
  bool colour = false; // keeps red, green and blue gains ("grg r", "srg r %f")
  // Ke line-scan cameras: colour correction coefficients ("gscc N"), trigger statistics
  // ("gitr"...) and the all-dark generation ("gdda").
  bool lineScanTdi = false;
  // Ka cameras generate and save column correction data ("gpdc", "spdc"); the Ka 43M also
  // switches its column PRNU correction ("sprnuc", "gprnuc").
  bool columnData = false;
  bool columnPrnu = false;
  // Ky cameras drive a lens: focus ("mfa", "mfi", "mfz", "mfl", position "gfp") and aperture
  // ("mpa", "mpi", "mpo", "mpc").
  bool motorLens = false;
  // Area cameras with flat-field correction: "gfd", "sfd", "lfd" (generate, store in flash,
  // load from flash). Ku line-scan cameras: dark and PRNU generation ("gdd", "gpd N").
  bool flatField = false;
  bool lineScanKu = false;
  std::vector<StemDef> stems;
};

SimModel simModelFor(std::string_view modelName);

} // namespace sim
