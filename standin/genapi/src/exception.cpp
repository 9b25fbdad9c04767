// The exception base of the node-map layer and the names of its enumerations.
#include "GenApi/Types.h"
#include "GenICam/GCException.h"

namespace GenICam {

GenericException::GenericException(std::string description, const char* sourceFile,
                                   unsigned sourceLine)
    : description_(std::move(description)), sourceFile_(sourceFile ? sourceFile : ""),
      sourceLine_(sourceLine) {}

} // namespace GenICam

namespace GenApi {

const char* AccessModeName(EAccessMode mode) {
  switch (mode) {
  case NI:
    return "NI";
  case NA:
    return "NA";
  case WO:
    return "WO";
  case RO:
    return "RO";
  case RW:
    return "RW";
  default:
    return "(undefined)";
  }
}

const char* InterfaceTypeName(EInterfaceType type) {
  static const char* const names[] = {"IValue",    "IBase",        "IInteger",   "IBoolean",
                                      "ICommand",  "IFloat",       "IString",    "IRegister",
                                      "ICategory", "IEnumeration", "IEnumEntry", "IPort"};
  auto i = static_cast<unsigned>(type);
  return i < sizeof names / sizeof names[0] ? names[i] : "(unknown)";
}

} // namespace GenApi
