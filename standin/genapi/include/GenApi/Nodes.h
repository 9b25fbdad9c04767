// The node interfaces of a node map: INode and the typed value interfaces.
#pragma once

#include <cstdint>
#include <type_traits>

#include "GenApi/Types.h"

namespace GenApi {

class INodeMap;
class IEnumEntry;

class IBase {
public:
  virtual ~IBase() = default;
  virtual EAccessMode GetAccessMode() const = 0;
};

// One node of the node map: a feature, a category, an enum entry, a register, a port or a
// helper node (SwissKnife, Converter, IntReg that no category lists).
class INode : virtual public IBase {
public:
  virtual gcstring GetName(bool fullQualified = false) const = 0;
  virtual gcstring GetDisplayName() const = 0; // falls back to the name
  virtual gcstring GetToolTip() const = 0;
  virtual gcstring GetDescription() const = 0;
  virtual EVisibility GetVisibility() const = 0;
  virtual ENameSpace GetNameSpace() const = 0;
  virtual EInterfaceType GetPrincipalInterfaceType() const = 0;
  // The XML element name: "Integer", "IntReg", "Enumeration", "Category", ...
  virtual gcstring GetNodeKind() const = 0;
  // The node's own PollingTime element in milliseconds, -1 when it has none.
  virtual int64_t GetPollingTime() const = 0;
  // A node listed by a category (directly or below "Root") is a feature.
  virtual bool IsFeature() const = 0;

  // Names of the node's child elements in document order, each once.
  virtual void GetPropertyNames(gcstring_vector& names) const = 0;
  // Text of the child element `name` (several elements of that name are joined with "\t");
  // `attribute` receives its attributes as "Name=Value" joined with "\t". False when the
  // node has no such element.
  virtual bool GetProperty(const gcstring& name, gcstring& value, gcstring& attribute) const = 0;
  // Convenience: the text of the element or "" when missing.
  virtual gcstring GetPropertyText(const gcstring& name) const = 0;

  // Selectors: the features named by pSelected, and the selectors that select this node.
  virtual bool IsSelector() const = 0;
  virtual void GetSelectedFeatures(FeatureList_t& features) const = 0;
  virtual void GetSelectingFeatures(FeatureList_t& features) const = 0;

  // Nodes whose value this node's value depends on (pValue, pMin, pIsAvailable, pAddress,
  // pVariable, ... links) and the nodes that depend on this one, directly.
  virtual void GetChildren(NodeList_t& children) const = 0;
  virtual void GetParents(NodeList_t& parents) const = 0;

  // Marks the node's cached value stale and fires its callbacks and those of its dependents.
  virtual void InvalidateNode() = 0;
  virtual INodeMap* GetNodeMap() const = 0;
};

class IValue : virtual public IBase {
public:
  virtual INode* GetNode() = 0;
  // Value as text: numbers in decimal, enumerations by symbolic, booleans "1"/"0"
  // (FromString also takes "true"/"false"), registers as hex bytes, categories their name.
  virtual gcstring ToString(bool verify = false, bool ignoreCache = false) = 0;
  virtual void FromString(const gcstring& value, bool verify = true) = 0;
  virtual bool IsValueCacheValid() const = 0;
};

class IInteger : virtual public IValue {
public:
  virtual void SetValue(int64_t value, bool verify = true) = 0;
  virtual int64_t GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual int64_t GetMin() = 0;
  virtual int64_t GetMax() = 0;
  virtual EIncMode GetIncMode() = 0;
  virtual int64_t GetInc() = 0; // 1 when the node names no increment
  virtual ERepresentation GetRepresentation() = 0;
  virtual gcstring GetUnit() const = 0;
  IInteger& operator=(int64_t value) {
    SetValue(value);
    return *this;
  }
  int64_t operator()() { return GetValue(); }
};

class IFloat : virtual public IValue {
public:
  virtual void SetValue(double value, bool verify = true) = 0;
  virtual double GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual double GetMin() = 0;
  virtual double GetMax() = 0;
  virtual bool HasInc() = 0;
  virtual EIncMode GetIncMode() = 0;
  virtual double GetInc() = 0; // throws when HasInc() is false
  virtual ERepresentation GetRepresentation() = 0;
  virtual gcstring GetUnit() const = 0;
  virtual EDisplayNotation GetDisplayNotation() const = 0;
  virtual int64_t GetDisplayPrecision() const = 0; // 6 when the node names none
  IFloat& operator=(double value) {
    SetValue(value);
    return *this;
  }
  double operator()() { return GetValue(); }
};

class IBoolean : virtual public IValue {
public:
  virtual void SetValue(bool value, bool verify = true) = 0;
  virtual bool GetValue(bool verify = false, bool ignoreCache = false) const = 0;
  IBoolean& operator=(bool value) {
    SetValue(value);
    return *this;
  }
  bool operator()() const { return GetValue(); }
};

class IString : virtual public IValue {
public:
  virtual void SetValue(const gcstring& value, bool verify = true) = 0;
  virtual gcstring GetValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual int64_t GetMaxLength() = 0;
  IString& operator=(const gcstring& value) {
    SetValue(value);
    return *this;
  }
  gcstring operator()() { return GetValue(); }
};

class ICommand : virtual public IValue {
public:
  // Writes the command value to the command's register.
  virtual void Execute(bool verify = true) = 0;
  // Reads the command's register back: done once it no longer holds the command value
  // (a self-clearing register the camera has cleared). A write-only register is always done.
  virtual bool IsDone(bool verify = true) = 0;
  void operator()() { Execute(); }
};

class IRegister : virtual public IValue {
public:
  virtual void Set(const uint8_t* buffer, int64_t length, bool verify = true) = 0;
  virtual void Get(uint8_t* buffer, int64_t length, bool verify = false,
                   bool ignoreCache = false) = 0;
  virtual int64_t GetLength() = 0;
  virtual int64_t GetAddress() = 0;
};

class ICategory : virtual public IValue {
public:
  // The pFeature entries in document order; names that match no node are left out.
  virtual void GetFeatures(FeatureList_t& features) const = 0;
};

class IEnumEntry : virtual public IValue {
public:
  virtual int64_t GetValue() = 0;
  virtual gcstring GetSymbolic() const = 0;
  virtual double GetNumericValue() = 0;
  virtual bool IsSelfClearing() const = 0;
};

class IEnumeration : virtual public IValue {
public:
  virtual void GetSymbolics(StringList_t& symbolics) = 0; // available entries only
  // All entries in document order (NI and NA ones included).
  virtual void GetEntries(NodeList_t& entries) = 0;
  virtual void SetIntValue(int64_t value, bool verify = true) = 0;
  virtual int64_t GetIntValue(bool verify = false, bool ignoreCache = false) = 0;
  virtual IEnumEntry* GetEntryByName(const gcstring& symbolic) = 0; // nullptr when none
  virtual IEnumEntry* GetEntry(int64_t value) = 0;                  // nullptr when none
  virtual IEnumEntry* GetCurrentEntry(bool verify = false, bool ignoreCache = false) = 0;
  IEnumeration& operator=(const gcstring& symbolic) {
    FromString(symbolic);
    return *this;
  }
};

// The camera's register space as the node map sees it. Applications implement it for their
// transport (see MemoryPort); Port nodes of a node map implement it too. Read and Write
// throw GenICam::GenericException (usually AccessException) when the access fails.
class IPort : virtual public IBase {
public:
  virtual void Read(void* buffer, int64_t address, int64_t length) = 0;
  virtual void Write(const void* buffer, int64_t address, int64_t length) = 0;
};

// Access-mode helpers as GenApi offers them.
inline bool IsReadable(EAccessMode mode) {
  return mode == RO || mode == RW;
}
inline bool IsWritable(EAccessMode mode) {
  return mode == WO || mode == RW;
}
inline bool IsImplemented(EAccessMode mode) {
  return mode != NI;
}
inline bool IsAvailable(EAccessMode mode) {
  return mode != NI && mode != NA;
}
inline bool IsReadable(const IBase* p) {
  return p && IsReadable(p->GetAccessMode());
}
inline bool IsWritable(const IBase* p) {
  return p && IsWritable(p->GetAccessMode());
}
inline bool IsImplemented(const IBase* p) {
  return p && IsImplemented(p->GetAccessMode());
}
inline bool IsAvailable(const IBase* p) {
  return p && IsAvailable(p->GetAccessMode());
}

// A checked pointer to one interface of a node: CIntegerPtr p = nodeMap._GetNode("Width");
// p.IsValid() is false when the node is missing or has no such interface.
template <class T> class CPointer {
public:
  CPointer() = default;
  CPointer(T* p) : p_(p) {} // NOLINT: implicit like GenApi's smart pointers
  template <class U, class = std::enable_if_t<!std::is_same_v<U, T>>>
  CPointer(U* p) : p_(dynamic_cast<T*>(p)) {} // NOLINT
  bool IsValid() const { return p_ != nullptr; }
  explicit operator bool() const { return p_ != nullptr; }
  T* operator->() const {
    if (!p_)
      throw GenICam::AccessException("Feature not present (reference not valid)");
    return p_;
  }
  T& operator*() const { return *operator->(); }
  operator T*() const { return p_; } // NOLINT
  T* get() const { return p_; }

private:
  T* p_ = nullptr;
};

using CNodePtr = CPointer<INode>;
using CValuePtr = CPointer<IValue>;
using CIntegerPtr = CPointer<IInteger>;
using CFloatPtr = CPointer<IFloat>;
using CBooleanPtr = CPointer<IBoolean>;
using CStringPtr = CPointer<IString>;
using CCommandPtr = CPointer<ICommand>;
using CRegisterPtr = CPointer<IRegister>;
using CCategoryPtr = CPointer<ICategory>;
using CEnumerationPtr = CPointer<IEnumeration>;
using CEnumEntryPtr = CPointer<IEnumEntry>;
using CPortPtr = CPointer<IPort>;

} // namespace GenApi
