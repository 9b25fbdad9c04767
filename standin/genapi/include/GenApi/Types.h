// Enumerations and list types of the node-map layer, numbered as GenApi numbers them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GenICam/GCException.h"

namespace GenApi {

using GenICam::gcstring;
using GenICam::gcstring_vector;

// NI not implemented, NA not available, WO write only, RO read only, RW read and write.
enum EAccessMode { NI, NA, WO, RO, RW, _UndefinedAccesMode, _CycleDetectAccesMode };

enum EVisibility { Beginner = 0, Expert = 1, Guru = 2, Invisible = 3, _UndefinedVisibility = 99 };

enum EInterfaceType {
  intfIValue,
  intfIBase,
  intfIInteger,
  intfIBoolean,
  intfICommand,
  intfIFloat,
  intfIString,
  intfIRegister,
  intfICategory,
  intfIEnumeration,
  intfIEnumEntry,
  intfIPort
};

enum ERepresentation {
  Linear,
  Logarithmic,
  Boolean,
  PureNumber,
  HexNumber,
  IPV4Address,
  MACAddress,
  _UndefinedRepresentation
};

enum EDisplayNotation { fnAutomatic, fnFixed, fnScientific, _UndefinedEDisplayNotation };

enum EIncMode { noIncrement, fixedIncrement, listIncrement };

enum ENameSpace { Custom, Standard, _UndefinedNameSpace };

// Callbacks always run after the node map's lock is released; both values behave alike.
enum ECallbackType { cbPostInsideLock = 1, cbPostOutsideLock = 2 };

class INode;
class IValue;
using NodeList_t = std::vector<INode*>;
using FeatureList_t = std::vector<IValue*>;
using StringList_t = gcstring_vector;
using CallbackHandleType = std::intptr_t;

const char* AccessModeName(EAccessMode mode);       // "NI", "NA", "WO", "RO", "RW", "(undefined)"
const char* InterfaceTypeName(EInterfaceType type); // "IInteger", "IFloat", ...

} // namespace GenApi
