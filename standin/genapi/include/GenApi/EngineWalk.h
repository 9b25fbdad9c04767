// The GenICam engine on its own over a description: what it shows as implemented, and the time
// it takes, for comparing the node-map layer with it (the description check, the benchmark).
#pragma once

#include <string>
#include <vector>

#include "GenApi/Types.h"

namespace GenApi {

class IPort;

// Loads `xml` into a bare engine on `port` and walks the categories from "Root" depth first, as
// the engine's own tools list features. Gives the names of the features (not categories) it
// reports as implemented, each once, in walk order. With `readValues`, also reads the value,
// minimum and maximum of every implemented number, enumeration, boolean and string, ignoring
// failures. Throws GenICam::RuntimeException when the engine refuses the description.
std::vector<std::string> EngineImplementedFeatures(const gcstring& xml, IPort* port,
                                                   bool readValues = false);

} // namespace GenApi
