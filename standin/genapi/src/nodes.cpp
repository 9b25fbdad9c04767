// The node objects: INode from our XML reading, values through the GenICam engine.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include <arv.h>

#include <strings.h>

#include "node_map_impl.h"

namespace kelpax::genapi {

using namespace GenApi;

namespace {

EAccessMode fromArv(ArvGcAccessMode m) {
  switch (m) {
  case ARV_GC_ACCESS_MODE_RO:
    return RO;
  case ARV_GC_ACCESS_MODE_WO:
    return WO;
  case ARV_GC_ACCESS_MODE_RW:
    return RW;
  default:
    return _UndefinedAccesMode;
  }
}

// Both must allow an access for the combination to allow it.
EAccessMode combine(EAccessMode a, EAccessMode b) {
  if (a == NI || b == NI)
    return NI;
  if (a == NA || b == NA)
    return NA;
  bool r = IsReadable(a) && IsReadable(b);
  bool w = IsWritable(a) && IsWritable(b);
  return r && w ? RW : r ? RO : w ? WO : NA;
}

// Plain decimal, as the camera's own tools write floats.
std::string formatDouble(double v) {
  if (!std::isfinite(v))
    return std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf";
  char buf[1200];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0");
}

bool parseDouble(const std::string& text, double& v) {
  if (text.empty())
    return false;
  char* end = nullptr;
  v = std::strtod(text.c_str(), &end);
  return end && *end == '\0';
}

bool equalsNoCase(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

} // namespace

// ---- NodeImpl ------------------------------------------------------------------------------

NodeImpl::NodeImpl(NodeMapImpl& map, size_t index, ArvGcNode* arv)
    : map_(map), index_(index), arv_(arv) {}

NodeImpl::~NodeImpl() = default;

const XmlNode& NodeImpl::xml() const {
  return map_.model().nodes[index_];
}

gcstring NodeImpl::GetName(bool fullQualified) const {
  if (!fullQualified)
    return xml().name;
  return (xml().nameSpace == "Standard" ? "Std::" : "Cust::") + xml().name;
}

gcstring NodeImpl::GetDisplayName() const {
  std::string d = xml().text("DisplayName");
  return d.empty() ? xml().name : d;
}

gcstring NodeImpl::GetToolTip() const {
  return xml().text("ToolTip");
}
gcstring NodeImpl::GetDescription() const {
  return xml().text("Description");
}

EVisibility NodeImpl::GetVisibility() const {
  std::string v = xml().text("Visibility");
  if (v == "Expert")
    return Expert;
  if (v == "Guru")
    return Guru;
  if (v == "Invisible")
    return Invisible;
  return Beginner;
}

ENameSpace NodeImpl::GetNameSpace() const {
  return xml().nameSpace == "Standard" ? Standard : Custom;
}

EInterfaceType NodeImpl::GetPrincipalInterfaceType() const {
  return interface_;
}
gcstring NodeImpl::GetNodeKind() const {
  return xml().kind;
}

int64_t NodeImpl::GetPollingTime() const {
  int64_t v = -1;
  if (!parseXmlInteger(xml().text("PollingTime"), v))
    return -1;
  return v;
}

bool NodeImpl::IsFeature() const {
  return map_.isFeature(index_);
}

void NodeImpl::GetPropertyNames(gcstring_vector& names) const {
  names.clear();
  for (const XmlElement& p : xml().properties)
    if (std::find(names.begin(), names.end(), p.tag) == names.end())
      names.push_back(p.tag);
}

bool NodeImpl::GetProperty(const gcstring& name, gcstring& value, gcstring& attribute) const {
  bool found = false;
  value.clear();
  attribute.clear();
  for (const XmlElement& p : xml().properties) {
    if (p.tag != name)
      continue;
    if (found)
      value += '\t';
    value += p.text;
    for (const auto& [k, v] : p.attributes) {
      if (!attribute.empty())
        attribute += '\t';
      attribute += k + "=" + v;
    }
    found = true;
  }
  return found;
}

gcstring NodeImpl::GetPropertyText(const gcstring& name) const {
  return xml().text(name);
}

bool NodeImpl::IsSelector() const {
  return xml().has("pSelected");
}

void NodeImpl::GetSelectedFeatures(FeatureList_t& features) const {
  features.clear();
  for (const XmlElement& p : xml().properties)
    if (p.tag == "pSelected")
      if (NodeImpl* n = map_.find(p.text))
        features.push_back(n);
}

void NodeImpl::GetSelectingFeatures(FeatureList_t& features) const {
  features.clear();
  for (size_t i : map_.dependencies(index_)) {
    NodeImpl* n = map_.node(i);
    for (const XmlElement& p : n->xml().properties)
      if (p.tag == "pSelected" && p.text == xml().name) {
        features.push_back(n);
        break;
      }
  }
}

void NodeImpl::GetChildren(NodeList_t& children) const {
  children.clear();
  for (size_t i : map_.dependencies(index_))
    children.push_back(map_.node(i));
}

void NodeImpl::GetParents(NodeList_t& parents) const {
  parents.clear();
  for (size_t i : map_.dependents(index_))
    parents.push_back(map_.node(i));
}

void NodeImpl::InvalidateNode() {
  MapGuard guard(map_);
  map_.changed(index_);
}

INodeMap* NodeImpl::GetNodeMap() const {
  return &map_;
}

EAccessMode NodeImpl::baseAccessMode() const {
  if (!arv_ || !ARV_IS_GC_FEATURE_NODE(arv_))
    return RO;
  EAccessMode m = fromArv(arv_gc_feature_node_get_actual_access_mode(ARV_GC_FEATURE_NODE(arv_)));
  return m == _UndefinedAccesMode ? RO : m;
}

EAccessMode NodeImpl::GetAccessMode() const {
  if (!arv_ || !ARV_IS_GC_FEATURE_NODE(arv_))
    return NI;
  MapGuard guard(map_);
  auto* f = ARV_GC_FEATURE_NODE(arv_);
  GError* e = nullptr;
  // A condition that cannot be read (port failing or missing) leaves the node unavailable.
  gboolean implemented = arv_gc_feature_node_is_implemented(f, &e);
  if (e) {
    g_error_free(e);
    return NA;
  }
  if (!implemented)
    return NI;
  gboolean available = arv_gc_feature_node_is_available(f, &e);
  if (e) {
    g_error_free(e);
    return NA;
  }
  if (!available)
    return NA;
  EAccessMode mode = baseAccessMode();
  if (xml().has("pIsLocked") && IsWritable(mode)) {
    gboolean locked = arv_gc_feature_node_is_locked(f, &e);
    if (e) {
      g_error_free(e);
      return NA;
    }
    if (locked)
      mode = mode == RW ? RO : NA;
  }
  // A value node is no more accessible than the node holding its value.
  if (NodeImpl* target = map_.find(xml().text("pValue"))) {
    static thread_local int depth = 0;
    if (depth < 32) {
      ++depth;
      EAccessMode t = target->GetAccessMode();
      --depth;
      mode = combine(mode, t);
    }
  }
  std::string imposed = xml().text("ImposedAccessMode");
  if (imposed == "RO")
    mode = combine(mode, RO);
  else if (imposed == "WO")
    mode = combine(mode, WO);
  return mode;
}

gcstring NodeImpl::ToString(bool, bool) {
  throw GenICam::LogicalErrorException("Feature '" + xml().name + "' (" + xml().kind +
                                       ") has no value text");
}

void NodeImpl::FromString(const gcstring&, bool) {
  throw GenICam::LogicalErrorException("Feature '" + xml().name + "' (" + xml().kind +
                                       ") takes no value");
}

void NodeImpl::requireReadable() const {
  EAccessMode m = GetAccessMode();
  if (!IsReadable(m))
    throw GenICam::AccessException("Feature '" + xml().name + "' is not readable (access mode " +
                                   AccessModeName(m) + ")");
}

void NodeImpl::requireWritable() const {
  EAccessMode m = GetAccessMode();
  if (!IsWritable(m))
    throw GenICam::AccessException("Feature '" + xml().name + "' is not writable (access mode " +
                                   AccessModeName(m) + ")");
}

void NodeImpl::fail(GError* error) const {
  std::string message = error ? error->message : "failed";
  if (error)
    g_error_free(error);
  // A port that threw an integer code: the caller sees the code, as from the transport layer.
  if (std::optional<int> code = takePortErrorCode(message))
    throw *code;
  throw GenICam::AccessException("Feature '" + xml().name + "': " + message);
}

bool NodeImpl::isUndefinedProperty(const GError* error) {
  return error->domain == ARV_GC_ERROR && error->code == ARV_GC_ERROR_PROPERTY_NOT_DEFINED;
}

void NodeImpl::freeError(GError* error) {
  g_error_free(error);
}

void NodeImpl::checkRegisterLength(int64_t length) const {
  if (length < 0 || uint64_t(length) > kMaxRegisterLength)
    outOfRange("the register's length " + std::to_string(length) + " is outside 0 .. " +
               std::to_string(kMaxRegisterLength) + " bytes");
}

void NodeImpl::outOfRange(const std::string& what) const {
  throw GenICam::OutOfRangeException("Feature '" + xml().name + "': " + what);
}

void NodeImpl::changed() {
  map_.changed(index_);
}

namespace {

// ---- typed nodes ---------------------------------------------------------------------------

class GenericNode final : public NodeImpl {
public:
  using NodeImpl::NodeImpl;
};

class IntegerNode final : public NodeImpl, public virtual IInteger {
public:
  IntegerNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIInteger);
  }
  ArvGcInteger* i() const { return ARV_GC_INTEGER(arv()); }

  int64_t GetValue(bool, bool) override {
    MapGuard guard(map());
    requireReadable();
    return checked(arv_gc_integer_get_value, i());
  }
  void SetValue(int64_t v, bool) override {
    MapGuard guard(map());
    requireWritable();
    int64_t mn = GetMin(), mx = GetMax();
    if (v < mn || v > mx)
      outOfRange("value " + std::to_string(v) + " is outside " + std::to_string(mn) + " .. " +
                 std::to_string(mx));
    int64_t inc = GetInc();
    if (inc > 1 && (v - mn) % inc != 0)
      outOfRange("value " + std::to_string(v) + " is not the minimum " + std::to_string(mn) +
                 " plus a multiple of the increment " + std::to_string(inc));
    checked(arv_gc_integer_set_value, i(), v);
    changed();
  }
  // A value chain without Min, Max or Inc (a SwissKnife, a Converter, a MaskedIntReg) has the
  // type's limits and an increment of 1.
  int64_t GetMin() override { return bound(arv_gc_integer_get_min, INT64_MIN); }
  int64_t GetMax() override { return bound(arv_gc_integer_get_max, INT64_MAX); }
  EIncMode GetIncMode() override { return fixedIncrement; }
  int64_t GetInc() override {
    int64_t inc = bound(arv_gc_integer_get_inc, 1);
    return inc > 0 ? inc : 1;
  }
  ERepresentation GetRepresentation() override {
    MapGuard guard(map());
    switch (arv_gc_integer_get_representation(i())) {
    case ARV_GC_REPRESENTATION_LINEAR:
      return Linear;
    case ARV_GC_REPRESENTATION_LOGARITHMIC:
      return Logarithmic;
    case ARV_GC_REPRESENTATION_BOOLEAN:
      return Boolean;
    case ARV_GC_REPRESENTATION_HEX_NUMBER:
      return HexNumber;
    case ARV_GC_REPRESENTATION_IPV4_ADDRESS:
      return IPV4Address;
    case ARV_GC_REPRESENTATION_MAC_ADDRESS:
      return MACAddress;
    default:
      return PureNumber; // also when the node names none
    }
  }
  gcstring GetUnit() const override {
    MapGuard guard(map());
    const char* u = arv_gc_integer_get_unit(i());
    return u ? u : "";
  }
  gcstring ToString(bool verify, bool ignoreCache) override {
    return std::to_string(GetValue(verify, ignoreCache));
  }
  void FromString(const gcstring& text, bool verify) override {
    int64_t v = 0;
    if (!parseXmlInteger(text, v))
      throw GenICam::InvalidArgumentException("Feature '" + GetName() + "': '" + text +
                                              "' is no integer");
    SetValue(v, verify);
  }

private:
  int64_t bound(gint64 (*get)(ArvGcInteger*, GError**), int64_t missing) {
    MapGuard guard(map());
    return orMissing(get, i(), missing);
  }
};

class FloatNode final : public NodeImpl, public virtual IFloat {
public:
  FloatNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIFloat);
  }
  ArvGcFloat* f() const { return ARV_GC_FLOAT(arv()); }

  double GetValue(bool, bool) override {
    MapGuard guard(map());
    requireReadable();
    return checked(arv_gc_float_get_value, f());
  }
  void SetValue(double v, bool) override {
    MapGuard guard(map());
    requireWritable();
    if (!std::isfinite(v))
      outOfRange("the value is not a finite number");
    double mn = GetMin(), mx = GetMax();
    if (v < mn || v > mx)
      outOfRange("value " + formatDouble(v) + " is outside " + formatDouble(mn) + " .. " +
                 formatDouble(mx));
    checked(arv_gc_float_set_value, f(), v);
    changed();
  }
  double GetMin() override { return bound(arv_gc_float_get_min, -DBL_MAX); }
  double GetMax() override { return bound(arv_gc_float_get_max, DBL_MAX); }
  bool HasInc() override { return xml().has("Inc") || xml().has("pInc"); }
  EIncMode GetIncMode() override { return HasInc() ? fixedIncrement : noIncrement; }
  double GetInc() override {
    if (!HasInc())
      throw GenICam::LogicalErrorException("Feature '" + GetName() + "' has no increment");
    return bound(arv_gc_float_get_inc, 0);
  }
  ERepresentation GetRepresentation() override {
    MapGuard guard(map());
    switch (arv_gc_float_get_representation(f())) {
    case ARV_GC_REPRESENTATION_LINEAR:
      return Linear;
    case ARV_GC_REPRESENTATION_LOGARITHMIC:
      return Logarithmic;
    default:
      return PureNumber;
    }
  }
  gcstring GetUnit() const override {
    MapGuard guard(map());
    const char* u = arv_gc_float_get_unit(f());
    return u ? u : "";
  }
  EDisplayNotation GetDisplayNotation() const override {
    MapGuard guard(map());
    switch (arv_gc_float_get_display_notation(f())) {
    case ARV_GC_DISPLAY_NOTATION_FIXED:
      return fnFixed;
    case ARV_GC_DISPLAY_NOTATION_SCIENTIFIC:
      return fnScientific;
    default:
      return fnAutomatic;
    }
  }
  int64_t GetDisplayPrecision() const override {
    int64_t p = 6;
    parseXmlInteger(xml().text("DisplayPrecision"), p);
    return p;
  }
  gcstring ToString(bool verify, bool ignoreCache) override {
    return formatDouble(GetValue(verify, ignoreCache));
  }
  void FromString(const gcstring& text, bool verify) override {
    double v = 0;
    if (!parseDouble(text, v))
      throw GenICam::InvalidArgumentException("Feature '" + GetName() + "': '" + text +
                                              "' is no number");
    SetValue(v, verify);
  }

private:
  double bound(double (*get)(ArvGcFloat*, GError**), double missing) {
    MapGuard guard(map());
    return orMissing(get, f(), missing);
  }
};

class BooleanNode final : public NodeImpl, public virtual IBoolean {
public:
  BooleanNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIBoolean);
  }
  void SetValue(bool v, bool) override {
    MapGuard guard(map());
    requireWritable();
    checked(arv_gc_boolean_set_value, ARV_GC_BOOLEAN(arv()), v);
    changed();
  }
  bool GetValue(bool, bool) const override {
    MapGuard guard(map());
    requireReadable();
    return checked(arv_gc_boolean_get_value, ARV_GC_BOOLEAN(arv()));
  }
  gcstring ToString(bool verify, bool ignoreCache) override {
    return GetValue(verify, ignoreCache) ? "1" : "0";
  }
  void FromString(const gcstring& text, bool verify) override {
    if (text == "1" || equalsNoCase(text, "true"))
      SetValue(true, verify);
    else if (text == "0" || equalsNoCase(text, "false"))
      SetValue(false, verify);
    else
      throw GenICam::InvalidArgumentException("Feature '" + GetName() + "': '" + text +
                                              "' is no boolean (1, 0, true, false)");
  }
};

class StringNode final : public NodeImpl, public virtual IString {
public:
  StringNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIString);
  }
  void SetValue(const gcstring& v, bool) override {
    MapGuard guard(map());
    requireWritable();
    if (static_cast<int64_t>(v.size()) > GetMaxLength())
      outOfRange("the text is " + std::to_string(v.size()) + " characters long, at most " +
                 std::to_string(GetMaxLength()) + " fit");
    checked(arv_gc_string_set_value, ARV_GC_STRING(arv()), v.c_str());
    changed();
  }
  gcstring GetValue(bool, bool) override {
    MapGuard guard(map());
    requireReadable();
    // The engine allocates the register's whole length before it reads.
    if (ARV_IS_GC_REGISTER(arv()))
      checkRegisterLength(int64_t(checked(arv_gc_register_get_length, ARV_GC_REGISTER(arv()))));
    const char* v = checked(arv_gc_string_get_value, ARV_GC_STRING(arv()));
    return v ? v : "";
  }
  int64_t GetMaxLength() override {
    MapGuard guard(map());
    return checked(arv_gc_string_get_max_length, ARV_GC_STRING(arv()));
  }
  gcstring ToString(bool verify, bool ignoreCache) override {
    return GetValue(verify, ignoreCache);
  }
  void FromString(const gcstring& text, bool verify) override { SetValue(text, verify); }
};

class RegisterNode final : public NodeImpl, public virtual IRegister {
public:
  RegisterNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIRegister);
  }
  ArvGcRegister* r() const { return ARV_GC_REGISTER(arv()); }
  void Set(const uint8_t* buffer, int64_t length, bool) override {
    MapGuard guard(map());
    requireWritable();
    int64_t full = GetLength();
    if (!buffer || length < 0 || length > full)
      outOfRange("cannot write " + std::to_string(length) + " bytes to a register of " +
                 std::to_string(full));
    std::vector<uint8_t> data(static_cast<size_t>(full));
    if (length < full && IsReadable(GetAccessMode()))
      get(data.data(), full);
    std::memcpy(data.data(), buffer, static_cast<size_t>(length));
    checked(arv_gc_register_set, r(), data.data(), static_cast<guint64>(full));
    changed();
  }
  void Get(uint8_t* buffer, int64_t length, bool, bool) override {
    MapGuard guard(map());
    requireReadable();
    int64_t full = GetLength();
    if (!buffer || length < 0 || length > full)
      outOfRange("cannot read " + std::to_string(length) + " bytes from a register of " +
                 std::to_string(full));
    std::vector<uint8_t> data(static_cast<size_t>(full));
    get(data.data(), full);
    std::memcpy(buffer, data.data(), static_cast<size_t>(length));
  }
  int64_t GetLength() override {
    MapGuard guard(map());
    int64_t length = static_cast<int64_t>(checked(arv_gc_register_get_length, r()));
    checkRegisterLength(length);
    return length;
  }
  int64_t GetAddress() override {
    MapGuard guard(map());
    return static_cast<int64_t>(checked(arv_gc_register_get_address, r()));
  }
  gcstring ToString(bool, bool) override {
    int64_t n = GetLength();
    std::vector<uint8_t> data(static_cast<size_t>(n));
    Get(data.data(), n, false, false);
    std::string s;
    char hex[3];
    for (uint8_t b : data) {
      std::snprintf(hex, sizeof hex, "%02x", b);
      s += hex;
    }
    return s;
  }

private:
  void get(uint8_t* data, int64_t length) {
    checked(arv_gc_register_get, r(), data, static_cast<guint64>(length));
  }
};

class CategoryNode final : public NodeImpl, public virtual ICategory {
public:
  CategoryNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfICategory);
  }
  void GetFeatures(FeatureList_t& features) const override {
    features.clear();
    for (const XmlElement& p : xml().properties)
      if (p.tag == "pFeature")
        if (NodeImpl* n = map().find(p.text))
          features.push_back(n);
  }
  gcstring ToString(bool, bool) override { return GetName(); }

protected:
  EAccessMode baseAccessMode() const override { return RO; }
};

class PortNode final : public NodeImpl, public virtual IPort {
public:
  PortNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIPort);
  }
  void Read(void* buffer, int64_t address, int64_t length) override {
    MapGuard guard(map());
    checked(arv_gc_port_read, ARV_GC_PORT(arv()), buffer, static_cast<guint64>(address),
            static_cast<guint64>(length));
  }
  void Write(const void* buffer, int64_t address, int64_t length) override {
    MapGuard guard(map());
    checked(arv_gc_port_write, ARV_GC_PORT(arv()), const_cast<void*>(buffer),
            static_cast<guint64>(address), static_cast<guint64>(length));
  }

protected:
  EAccessMode baseAccessMode() const override { return RW; }
};

class EnumEntryNode final : public NodeImpl, public virtual IEnumEntry {
public:
  EnumEntryNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIEnumEntry);
  }
  int64_t GetValue() override {
    int64_t v = 0;
    if (parseXmlInteger(xml().text("Value"), v))
      return v;
    MapGuard guard(map());
    return checked(arv_gc_enum_entry_get_value, ARV_GC_ENUM_ENTRY(arv()));
  }
  gcstring GetSymbolic() const override {
    std::string s = xml().text("Symbolic");
    if (!s.empty())
      return s;
    // Entries are conventionally named EnumEntry_<Enumeration>_<Symbolic>.
    if (xml().parent >= 0) {
      std::string prefix = "EnumEntry_" + map().model().nodes[size_t(xml().parent)].name + "_";
      if (xml().name.size() > prefix.size() && xml().name.compare(0, prefix.size(), prefix) == 0)
        return xml().name.substr(prefix.size());
    }
    return xml().name;
  }
  double GetNumericValue() override {
    double d = 0;
    if (parseDouble(xml().text("NumericValue"), d))
      return d;
    return static_cast<double>(GetValue());
  }
  bool IsSelfClearing() const override { return equalsNoCase(xml().text("IsSelfClearing"), "Yes"); }
  gcstring ToString(bool, bool) override { return GetSymbolic(); }

protected:
  EAccessMode baseAccessMode() const override { return RO; }
};

class EnumerationNode final : public NodeImpl, public virtual IEnumeration {
public:
  EnumerationNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfIEnumeration);
  }
  ArvGcEnumeration* en() const { return ARV_GC_ENUMERATION(arv()); }

  void GetSymbolics(StringList_t& symbolics) override {
    symbolics.clear();
    for (EnumEntryNode* e : entries())
      if (IsAvailable(e))
        symbolics.push_back(e->GetSymbolic());
  }
  void GetEntries(NodeList_t& list) override {
    list.clear();
    for (EnumEntryNode* e : entries())
      list.push_back(e);
  }
  void SetIntValue(int64_t v, bool) override {
    MapGuard guard(map());
    requireWritable();
    EnumEntryNode* entry = find(v);
    if (!entry)
      outOfRange("no entry has the value " + std::to_string(v));
    if (!IsAvailable(entry))
      throw GenICam::AccessException("Feature '" + GetName() + "': entry '" + entry->GetSymbolic() +
                                     "' is not available");
    checked(arv_gc_enumeration_set_int_value, en(), v);
    changed();
  }
  int64_t GetIntValue(bool, bool) override {
    MapGuard guard(map());
    requireReadable();
    return checked(arv_gc_enumeration_get_int_value, en());
  }
  IEnumEntry* GetEntryByName(const gcstring& symbolic) override {
    for (EnumEntryNode* e : entries())
      if (e->GetSymbolic() == symbolic || e->GetName() == symbolic)
        return e;
    return nullptr;
  }
  IEnumEntry* GetEntry(int64_t value) override { return find(value); }
  IEnumEntry* GetCurrentEntry(bool verify, bool ignoreCache) override {
    MapGuard guard(map());
    return find(GetIntValue(verify, ignoreCache));
  }
  gcstring ToString(bool verify, bool ignoreCache) override {
    MapGuard guard(map());
    int64_t v = GetIntValue(verify, ignoreCache);
    EnumEntryNode* entry = find(v);
    if (!entry)
      throw GenICam::OutOfRangeException("Feature '" + GetName() + "': the camera's value " +
                                         std::to_string(v) + " matches no entry");
    return entry->GetSymbolic();
  }
  void FromString(const gcstring& text, bool verify) override {
    IEnumEntry* entry = GetEntryByName(text);
    if (!entry)
      throw GenICam::InvalidArgumentException("Feature '" + GetName() + "' has no entry '" + text +
                                              "'");
    SetIntValue(entry->GetValue(), verify);
  }

private:
  // Entries in document order; the engine hands them out reversed.
  const std::vector<EnumEntryNode*>& entries() {
    std::call_once(once_, [this] {
      for (size_t i = index() + 1; i < map().model().nodes.size(); ++i) {
        const XmlNode& x = map().model().nodes[i];
        if (x.parent != static_cast<int>(index()))
          break;
        if (auto* e = dynamic_cast<EnumEntryNode*>(map().node(i)))
          entries_.push_back(e);
      }
    });
    return entries_;
  }
  EnumEntryNode* find(int64_t v) {
    for (EnumEntryNode* e : entries())
      if (e->GetValue() == v)
        return e;
    return nullptr;
  }
  std::once_flag once_;
  std::vector<EnumEntryNode*> entries_;
};

class CommandNode final : public NodeImpl, public virtual ICommand {
public:
  CommandNode(NodeMapImpl& m, size_t i, ArvGcNode* a) : NodeImpl(m, i, a) {
    setInterfaceType(intfICommand);
  }
  void Execute(bool) override {
    MapGuard guard(map());
    requireWritable();
    checked(arv_gc_command_execute, ARV_GC_COMMAND(arv()));
    executing_ = true;
    changed();
  }
  bool IsDone(bool) override {
    MapGuard guard(map());
    auto* target = dynamic_cast<IInteger*>(map().find(xml().text("pValue")));
    bool done = true;
    if (target && IsReadable(target))
      done = target->GetValue() != commandValue();
    if (done && executing_) {
      // What the command changed (a loaded user set, a file operation) is now to be seen.
      executing_ = false;
      changed();
    }
    return done;
  }
  gcstring ToString(bool, bool) override { return IsDone(true) ? "1" : "0"; }
  void FromString(const gcstring&, bool verify) override { Execute(verify); }

private:
  int64_t commandValue() {
    int64_t v = 1;
    if (parseXmlInteger(xml().text("CommandValue"), v))
      return v;
    if (auto* p = dynamic_cast<IInteger*>(map().find(xml().text("pCommandValue"))))
      return p->GetValue();
    return 1;
  }
  bool executing_ = false;
};

} // namespace

bool registerOfFeature(INode* feature, RegisterPlace& place) {
  auto* n = dynamic_cast<NodeImpl*>(feature);
  if (!n)
    return false;
  MapGuard guard(n->map());
  for (int depth = 0; n && depth < 16; ++depth) {
    ArvGcNode* a = n->arv();
    if (a && ARV_IS_GC_REGISTER(a)) {
      GError* e = nullptr;
      guint64 address = arv_gc_register_get_address(ARV_GC_REGISTER(a), &e);
      if (!e) {
        place.length = arv_gc_register_get_length(ARV_GC_REGISTER(a), &e);
        place.address = address;
      }
      if (e) {
        g_error_free(e);
        return false;
      }
      place.bigEndian = n->xml().text("Endianess") == "BigEndian";
      return true;
    }
    n = n->map().find(n->xml().text("pValue"));
  }
  return false;
}

std::optional<int64_t> enumerationValue(INode* enumeration) {
  auto* n = dynamic_cast<NodeImpl*>(enumeration);
  if (!n || !n->arv() || !ARV_IS_GC_ENUMERATION(n->arv()))
    return std::nullopt;
  MapGuard guard(n->map());
  GError* e = nullptr;
  int64_t v = arv_gc_enumeration_get_int_value(ARV_GC_ENUMERATION(n->arv()), &e);
  if (e) {
    g_error_free(e);
    return std::nullopt;
  }
  return v;
}

void setEnumerationValue(INode* enumeration, int64_t value) {
  auto* n = dynamic_cast<NodeImpl*>(enumeration);
  if (!n || !n->arv() || !ARV_IS_GC_ENUMERATION(n->arv()))
    throw GenICam::LogicalErrorException("setEnumerationValue: not an enumeration");
  MapGuard guard(n->map());
  GError* e = nullptr;
  arv_gc_enumeration_set_int_value(ARV_GC_ENUMERATION(n->arv()), value, &e);
  if (e) {
    std::string why = e->message;
    g_error_free(e);
    throw GenICam::AccessException("Feature '" + n->xml().name + "': " + why);
  }
}

std::unique_ptr<NodeImpl> makeNode(NodeMapImpl& map, size_t index, ArvGcNode* arv) {
  if (!arv)
    return std::make_unique<GenericNode>(map, index, arv);
  if (ARV_IS_GC_ENUMERATION(arv))
    return std::make_unique<EnumerationNode>(map, index, arv);
  if (ARV_IS_GC_ENUM_ENTRY(arv))
    return std::make_unique<EnumEntryNode>(map, index, arv);
  if (ARV_IS_GC_CATEGORY(arv))
    return std::make_unique<CategoryNode>(map, index, arv);
  if (ARV_IS_GC_COMMAND(arv))
    return std::make_unique<CommandNode>(map, index, arv);
  if (ARV_IS_GC_BOOLEAN(arv))
    return std::make_unique<BooleanNode>(map, index, arv);
  if (ARV_IS_GC_PORT(arv))
    return std::make_unique<PortNode>(map, index, arv);
  if (ARV_IS_GC_INTEGER(arv))
    return std::make_unique<IntegerNode>(map, index, arv);
  if (ARV_IS_GC_FLOAT(arv))
    return std::make_unique<FloatNode>(map, index, arv);
  if (ARV_IS_GC_STRING(arv))
    return std::make_unique<StringNode>(map, index, arv);
  if (ARV_IS_GC_REGISTER(arv))
    return std::make_unique<RegisterNode>(map, index, arv);
  auto node = std::make_unique<GenericNode>(map, index, arv);
  node->setInterfaceType(intfIValue);
  return node;
}

} // namespace kelpax::genapi
