// The walk over a node map, and the traffic between rows and nodes.
#include "nodeview/feature_tree.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <thread>

#include <strings.h>

#include "nodeview/nodeview_log.h"

namespace nodeview {
namespace {

using namespace GenApi;
using Clock = std::chrono::steady_clock;

bool equalsIgnoringCase(const std::string& a, const char* b) {
  return ::strcasecmp(a.c_str(), b) == 0;
}

std::string withName(const char* format, const char* first, const std::string& second) {
  char text[1024];
  std::snprintf(text, sizeof text, format, first, second.c_str());
  return text;
}

std::vector<std::string> splitTabs(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\t', start);
    std::string part = text.substr(start, end == std::string::npos ? end : end - start);
    if (!part.empty()) {
      parts.push_back(part);
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return parts;
}

// The available entries of an enumeration in the node's own order.
std::vector<IEnumEntry*> availableEntries(IEnumeration* enumeration) {
  NodeList_t nodes;
  enumeration->GetEntries(nodes);
  std::vector<IEnumEntry*> entries;
  for (INode* node : nodes) {
    auto* entry = dynamic_cast<IEnumEntry*>(node);
    if (entry && IsAvailable(node)) {
      entries.push_back(entry);
    }
  }
  return entries;
}

// The debug line of the exception being handled where no one feature is to blame: its text,
// or the error line of a transport layer's code. Call it only from a catch block.
void debugCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    debugLinef("%s\n", e.what());
  } catch (int code) {
    debugLinef("%s\n", gcErrorLine(code).c_str());
  } catch (...) {
    debugLine("[Quorvane SDK Exception] : Unknown Exception.\n");
  }
}

// A readable number's value and range, into the row's fields of its type.
template <class Number, class T> void readRange(Number* number, T& value, T& min, T& max) {
  value = number->GetValue(false, false);
  min = number->GetMin();
  max = number->GetMax();
}

// Writes `value` clamped into the number's range: the camera's when the row is readable, else
// the range the row last read. The range is read even when the number is not writable.
template <class Number, class T>
bool setClamped(Number* number, T value, bool readable, T rowMin, T rowMax, bool writable) {
  T low = readable ? number->GetMin() : rowMin;
  T high = readable ? number->GetMax() : rowMax;
  if (!writable) {
    return false;
  }
  number->SetValue(std::clamp(value, low, std::max(low, high)), true);
  return true;
}

} // namespace

const char* accessModeText(EAccessMode mode) {
  // The node map names the five modes as the panes do; anything else the panes call UNKNOWN,
  // where the node map says "(undefined)".
  switch (mode) {
  case NI:
  case NA:
  case WO:
  case RO:
  case RW:
    return AccessModeName(mode);
  default:
    return "UNKNOWN";
  }
}

const char* PropertyRow::interfaceName() const {
  switch (kind) {
  case RowKind::Integer:
  case RowKind::IntegerSlider:
  case RowKind::IntegerText:
    return "IInteger";
  case RowKind::Float:
  case RowKind::FloatSlider:
    return "IFloat";
  case RowKind::Boolean:
    return "IBoolean";
  case RowKind::Enumeration:
    return "IEnumeration";
  case RowKind::String:
    return "IString";
  case RowKind::Command:
    return "ICommand";
  case RowKind::Group:
    break;
  }
  return "";
}

std::string PropertyRow::valueText() const {
  if (unreadable && kind != RowKind::Group && kind != RowKind::Command) {
    return kUnreadableValue;
  }
  switch (kind) {
  case RowKind::Integer:
  case RowKind::IntegerSlider:
    return std::to_string(intValue);
  case RowKind::Float:
  case RowKind::FloatSlider:
    return formatFloat(floatValue);
  case RowKind::Boolean:
    return checked ? "TRUE" : "FALSE";
  case RowKind::Group:
    return kGroupValue;
  case RowKind::Command:
    return kCommandValue;
  case RowKind::IntegerText:
  case RowKind::Enumeration:
  case RowKind::String:
    break;
  }
  return text;
}

FeatureTree::FeatureTree(TreeHooks hooks) : hooks_(std::move(hooks)) {}

FeatureTree::~FeatureTree() {
  clear();
  waitForWorkers();
}

void FeatureTree::notify(const char* category, const std::string& line) const {
  if (hooks_.notify) {
    hooks_.notify(category, line);
  }
}

void FeatureTree::reportFeatureError(const std::string& name, const std::string& description) {
  char line[2048];
  std::snprintf(line, sizeof line, "%s : Feature '%s' : %s", name.c_str(), name.c_str(),
                description.c_str());
  notify("Error", line);
  NODEVIEW_LOG(kLogError, "%s", line);
}

void FeatureTree::reportCurrentException(const std::string& name) {
  try {
    throw;
  } catch (const GenICam::GenericException& e) {
    reportFeatureError(name, e.GetDescription());
  } catch (int code) {
    // The transport layer's own error codes.
    notify("Error", gcErrorLine(code));
    if (code == kGcWriteProtect && hooks_.error) {
      hooks_.error("Error", "Can't write to a this section.");
    }
  } catch (const std::exception& e) {
    reportFeatureError(name, e.what());
  } catch (...) {
    reportFeatureError(name, "Unknown Exception.");
  }
}

void FeatureTree::reportOnce(const std::string& name) {
  if (reported_.insert(name).second) {
    reportCurrentException(name);
  }
}

void FeatureTree::clear() {
  for (auto handle : callbacks_) {
    Deregister(handle);
  }
  callbacks_.clear();
  eventPorts_.clear();
  properties_.clear();
  eventNames_.clear();
  root_.reset();
}

void FeatureTree::rebuild() {
  clear();
  if (!nodeMap_ || !nodeMap_->_IsLoaded()) {
    return;
  }
  try {
    INode* rootNode = nodeMap_->_GetNode("Root");
    CEnumerationPtr eventSelector = nodeMap_->_GetNode("EventSelector");
    if (eventSelector) {
      for (IEnumEntry* entry : availableEntries(eventSelector)) {
        eventNames_.push_back(entry->GetSymbolic());
      }
    }
    auto* category = dynamic_cast<ICategory*>(rootNode);
    if (rootNode && category && rootNode->GetVisibility() != Invisible && IsAvailable(rootNode)) {
      root_ = std::make_unique<PropertyRow>();
      root_->kind = RowKind::Group;
      root_->name = category->ToString();
      walk(category, root_.get());
      root_->visibility = rootNode->GetVisibility();
    }
  } catch (...) {
    debugCurrentException();
  }
}

void FeatureTree::walk(ICategory* category, PropertyRow* group) {
  try {
    FeatureList_t features;
    category->GetFeatures(features);
    for (IValue* value : features) {
      INode* node = value->GetNode();
      std::string name = node->GetName();
      // One feature that fails (a broken value chain, a port error) costs its own row only,
      // never the rows after it.
      try {
        for (const auto& eventName : eventNames_) {
          if (name.find("Event" + eventName) != std::string::npos) {
            auto port = std::make_unique<CEventPort>();
            if (port->AttachNode(node)) {
              eventPorts_.push_back(std::move(port));
            }
          }
        }
        EAccessMode access = node->GetAccessMode();
        EInterfaceType type = node->GetPrincipalInterfaceType();
        if (type == intfICategory) {
          if (access >= _UndefinedAccesMode) {
            continue;
          }
          auto sub = std::make_unique<PropertyRow>();
          sub->kind = RowKind::Group;
          sub->name = name;
          sub->parent = group;
          sub->visibility = node->GetVisibility();
          walk(dynamic_cast<ICategory*>(node), sub.get());
          group->children.push_back(std::move(sub));
          continue;
        }
        bool featureType = type == intfIInteger || type == intfIFloat || type == intfIEnumeration ||
                           type == intfIBoolean || type == intfIString || type == intfICommand;
        if (!featureType || access == NI || access >= _UndefinedAccesMode) {
          continue;
        }
        if (auto row = makeRow(node)) {
          addFeature(group, std::move(row));
        }
        callbacks_.push_back(Register(node, [hook = hooks_.nodeChanged](INode* changed) {
          if (hook) {
            hook(changed);
          }
        }));
      } catch (...) {
        reportOnce(name);
      }
    }
  } catch (const std::exception& e) {
    debugLinef("%s\n", e.what());
  } catch (...) {
  }
}

void FeatureTree::addFeature(PropertyRow* group, std::unique_ptr<PropertyRow> row) {
  char line[512];
  std::snprintf(line, sizeof line, "Adding %s type, %s", row->interfaceName(), row->name.c_str());
  notify("Info", line);
  row->parent = group;
  properties_.push_back(row.get());
  group->children.push_back(std::move(row));
}

IntegerDisplay FeatureTree::integerDisplay(IInteger* integer, const std::string& name) const {
  if (isGevIPv4Feature(name)) {
    return IntegerDisplay::IPv4;
  }
  if (isGevMacFeature(name)) {
    return IntegerDisplay::Mac;
  }
  switch (integer->GetRepresentation()) {
  case HexNumber:
    return IntegerDisplay::Hex;
  case IPV4Address:
    return IntegerDisplay::IPv4;
  case MACAddress:
    return IntegerDisplay::Mac;
  case Linear:
  case Logarithmic:
  case PureNumber:
    return IntegerDisplay::Number;
  default:
    return IntegerDisplay::NoRow;
  }
}

std::unique_ptr<PropertyRow> FeatureTree::makeRow(INode* node) {
  auto row = std::make_unique<PropertyRow>();
  row->node = node;
  row->name = node->GetName();
  row->description = node->GetToolTip();
  EAccessMode access = node->GetAccessMode();
  row->readable = IsReadable(access);
  switch (node->GetPrincipalInterfaceType()) {
  case intfIInteger: {
    auto* integer = dynamic_cast<IInteger*>(node);
    row->display = integerDisplay(integer, row->name);
    if (row->display == IntegerDisplay::NoRow) {
      return nullptr;
    }
    if (row->display != IntegerDisplay::Number) {
      row->kind = RowKind::IntegerText;
    } else {
      std::int64_t inc = 0;
      if (row->readable) {
        try {
          inc = integer->GetInc();
        } catch (...) {
          reportOnce(row->name);
          row->unreadable = true;
        }
      }
      row->kind = inc > 0 && row->name != "Focus" ? RowKind::IntegerSlider : RowKind::Integer;
    }
    break;
  }
  case intfIFloat: {
    gcstring value, attribute;
    row->kind = node->GetProperty("Inc", value, attribute) ? RowKind::FloatSlider : RowKind::Float;
    break;
  }
  case intfIEnumeration:
    row->kind = RowKind::Enumeration;
    if (equalsIgnoringCase(row->name, "GevGVSPExtendedIDMode") && row->readable) {
      auto* enumeration = dynamic_cast<IEnumeration*>(node);
      try {
        if (equalsIgnoringCase(enumeration->ToString(), "On")) {
          notify("Error", withName("Error '%s' is not supported", row->name.c_str(), ""));
          enumeration->SetIntValue(0, true);
        }
      } catch (...) {
        // The row stays, showing what the camera holds; the rest of the category follows.
        reportCurrentException(row->name);
      }
    }
    break;
  case intfIBoolean:
    row->kind = RowKind::Boolean;
    break;
  case intfIString:
    row->kind = RowKind::String;
    break;
  case intfICommand:
    row->kind = RowKind::Command;
    row->text = kCommandValue;
    break;
  default:
    return nullptr;
  }
  try {
    readRow(*row, false);
  } catch (...) {
    // One feature the camera answers badly must not hide the rest of its category: the row
    // stays, shown as unreadable, so the operator can set a good one.
    reportOnce(row->name);
    row->readable = false;
    row->unreadable = true;
  }
  row->visibility = node->GetVisibility();
  return row;
}

void FeatureTree::readRow(PropertyRow& row, bool report) {
  INode* node = row.node;
  EAccessMode access = node->GetAccessMode();
  row.readable = IsReadable(access);
  row.unreadable = false;
  row.enabled = IsWritable(access) && mode_ != kModeReadOnly;
  switch (row.kind) {
  case RowKind::Integer:
  case RowKind::IntegerSlider:
  case RowKind::IntegerText: {
    auto* integer = dynamic_cast<IInteger*>(node);
    if (row.readable) {
      readRange(integer, row.intValue, row.intMin, row.intMax);
      row.intInc = integer->GetInc();
    }
    if (row.kind == RowKind::IntegerText) {
      row.text = formatInteger(row.display, row.intValue, row.name);
    }
    checkWidth(row);
    break;
  }
  case RowKind::Float:
  case RowKind::FloatSlider: {
    auto* number = dynamic_cast<IFloat*>(node);
    if (row.readable) {
      readRange(number, row.floatValue, row.floatMin, row.floatMax);
      row.floatInc = number->HasInc() ? number->GetInc() : 0;
    }
    break;
  }
  case RowKind::Enumeration: {
    auto* enumeration = dynamic_cast<IEnumeration*>(node);
    row.options.clear();
    for (IEnumEntry* entry : availableEntries(enumeration)) {
      row.options.push_back(entry->GetSymbolic());
    }
    if (row.readable) {
      row.text = enumeration->ToString();
    }
    break;
  }
  case RowKind::Boolean:
    if (row.readable) {
      row.checked = dynamic_cast<IBoolean*>(node)->GetValue(false, false);
    }
    break;
  case RowKind::String:
    if (row.readable) {
      row.text = dynamic_cast<IString*>(node)->GetValue(false, false);
    }
    break;
  case RowKind::Command:
  case RowKind::Group:
    break;
  }
  if (report) {
    notify("Info", "Refreshed " + row.name);
  }
}

void FeatureTree::checkWidth(const PropertyRow& row) {
  if (row.name == "Width" && row.readable && (row.intValue % 4 != 0 || row.intValue < 4)) {
    notify("Error", "Width must be a multiple of 4!");
  }
}

PropertyRow* FeatureTree::rowForNode(const INode* node) const {
  for (PropertyRow* row : properties_) {
    if (row->node == node) {
      return row;
    }
  }
  return nullptr;
}

PropertyRow* FeatureTree::rowNamed(const std::string& name) const {
  for (PropertyRow* row : properties_) {
    if (row->name == name) {
      return row;
    }
  }
  return nullptr;
}

void FeatureTree::refreshRow(PropertyRow& row) {
  if (!row.node) {
    return;
  }
  try {
    readRow(row, true);
  } catch (...) {
    row.unreadable = true;
    reportCurrentException(row.name);
  }
}

std::int64_t FeatureTree::pollingTimeOf(const INode* node, const INodeMap* map) {
  std::int64_t own = node->GetPollingTime();
  if (own > 0) {
    return own;
  }
  std::string valueName = node->GetPropertyText("pValue");
  if (valueName.empty() || !map) {
    return own;
  }
  INode* valueNode = map->GetNode(valueName);
  if (!valueNode) {
    return own;
  }
  return parseDecimal(valueNode->GetPropertyText("PollingTime")).value_or(own);
}

void FeatureTree::startPolling(const INode* node) {
  std::int64_t time = pollingTimeOf(node, nodeMap_ ? nodeMap_->_Ptr : nullptr);
  if (time > 0) {
    lastPollingTime_ = time;
    if (hooks_.startPollTimer) {
      hooks_.startPollTimer(time);
    }
  }
}

void FeatureTree::pollOnce() {
  if (nodeMap_ && nodeMap_->_IsLoaded()) {
    try {
      nodeMap_->_Poll(lastPollingTime_);
    } catch (...) {
      reportCurrentException(nodeMap_->_GetDeviceName());
    }
  }
}

void FeatureTree::writeRow(PropertyRow& row, const std::string& text) {
  INode* node = row.node;
  if (!node || !nodeMap_) {
    return;
  }
  char line[512];
  std::snprintf(line, sizeof line, "Updating %s type, %s", row.interfaceName(), row.name.c_str());
  try {
    bool writable = IsWritable(node);
    // Writes a parsed number clamped into its range; text that did not parse is reported.
    auto commitNumber = [&](auto* number, const auto& value, auto rowMin, auto rowMax) {
      if (!value) {
        notify("Error", "Input value is in invalid format.");
      } else if (setClamped(number, *value, row.readable, rowMin, rowMax, writable)) {
        startPolling(node);
      }
    };
    switch (row.kind) {
    case RowKind::IntegerText:
    case RowKind::Integer:
    case RowKind::IntegerSlider:
      notify("Info", line);
      commitNumber(dynamic_cast<IInteger*>(node),
                   row.kind == RowKind::IntegerText ? parseIntegerText(row.display, text)
                                                    : parseDecimal(text),
                   row.intMin, row.intMax);
      break;
    case RowKind::Float:
    case RowKind::FloatSlider:
      notify("Info", line);
      commitNumber(dynamic_cast<IFloat*>(node), parseDouble(text), row.floatMin, row.floatMax);
      break;
    case RowKind::Enumeration: {
      notify("Info", line);
      auto* enumeration = dynamic_cast<IEnumeration*>(node);
      IEnumEntry* entry = enumeration->GetEntryByName(text);
      if (!entry) {
        notify("Error", "Input value is in invalid format.");
        break;
      }
      std::int64_t value = entry->GetValue();
      if (equalsIgnoringCase(row.name, "GevGVSPExtendedIDMode") && row.readable) {
        IEnumEntry* current = enumeration->GetCurrentEntry();
        if (current && equalsIgnoringCase(current->GetSymbolic(), "Off") &&
            current->GetValue() != value) {
          notify("Error", withName("Error '%s' is not supported", row.name.c_str(), ""));
          value = current->GetValue();
        }
      }
      enumeration->SetIntValue(value, true);
      std::int64_t time = pollingTimeOf(node, nodeMap_->_Ptr);
      startPolling(node);
      std::string valueName = node->GetPropertyText("pValue");
      INode* valueNode = valueName.empty() ? nullptr : nodeMap_->_GetNode(valueName);
      if (time > 0 && valueNode &&
          equalsIgnoringCase(valueNode->GetPropertyText("IsSelfClearing"), "YES")) {
        startSelfClearingWait(enumeration, value, time);
      }
      break;
    }
    case RowKind::Boolean: {
      bool value = text == "1" || text == "TRUE" || equalsIgnoringCase(text, "true");
      std::snprintf(line, sizeof line, "Updating %s type, %s = %s", row.interfaceName(),
                    row.name.c_str(), value ? "True" : "False");
      notify("Info", line);
      dynamic_cast<IBoolean*>(node)->SetValue(value, true);
      startPolling(node);
      break;
    }
    case RowKind::String:
      notify("Info", line);
      dynamic_cast<IString*>(node)->SetValue(text, true);
      startPolling(node);
      break;
    case RowKind::Command:
    case RowKind::Group:
      break;
    }
  } catch (...) {
    reportCurrentException(row.name);
  }
  refreshRow(row);
}

void FeatureTree::startSelfClearingWait(IEnumeration* enumeration, std::int64_t written,
                                        std::int64_t pollingTime) {
  auto workers = workers_;
  INodeMap* map = nodeMap_->_Ptr;
  std::int64_t limit = waitLimitMs_;
  {
    std::lock_guard lock(workers->mutex);
    ++workers->running;
  }
  std::thread([workers, map, enumeration, written, pollingTime, limit] {
    auto start = Clock::now();
    try {
      while (!workers->stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollingTime));
        map->Poll(pollingTime);
        if (enumeration->GetIntValue(false, true) != written ||
            Clock::now() - start >= std::chrono::milliseconds(limit)) {
          break;
        }
      }
    } catch (...) {
      debugCurrentException();
    }
    std::lock_guard lock(workers->mutex);
    --workers->running;
    workers->idle.notify_all();
  }).detach();
}

void FeatureTree::waitForWorkers() {
  workers_->stop = true;
  std::unique_lock lock(workers_->mutex);
  workers_->idle.wait(lock, [this] { return workers_->running == 0; });
  workers_->stop = false;
}

void FeatureTree::waitUntilDone(ICommand* command, std::int64_t pollingTime) {
  auto start = Clock::now();
  while (!command->IsDone(true)) {
    if (Clock::now() - start >= std::chrono::milliseconds(waitLimitMs_)) {
      break;
    }
    if (pollingTime > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pollingTime));
    }
    nodeMap_->_Poll(pollingTime);
  }
}

FeatureTree::AfterCommand FeatureTree::executeCommand(PropertyRow& row) {
  INode* node = row.node;
  auto* command = dynamic_cast<ICommand*>(node);
  if (!command || !nodeMap_) {
    return AfterCommand::Nothing;
  }
  try {
    std::string registerName = node->GetPropertyText("pValue");
    INode* registerNode = registerName.empty() ? nullptr : nodeMap_->_GetNode(registerName);
    gcstring registerAccess, bit, attribute;
    bool hasBit = false;
    if (registerNode) {
      registerAccess = registerNode->GetPropertyText("AccessMode");
      hasBit = registerNode->GetProperty("Bit", bit, attribute);
    }
    if (row.name == "UserSetSave") {
      CEnumerationPtr selector = nodeMap_->_GetNode("UserSetSelector");
      if (!selector || !IsReadable(selector->GetNode())) {
        return AfterCommand::Nothing;
      }
    }
    if (IsWritable(node)) {
      if (registerAccess != "RW" && hasBit) {
        notify("Error", "Execution failed, IExecution");
      } else {
        command->Execute(true);
        std::int64_t time = pollingTimeOf(node, nodeMap_->_Ptr);
        lastPollingTime_ = time;
        waitUntilDone(command, time);
        if (time > 0 && hooks_.startPollTimer) {
          hooks_.startPollTimer(time);
        }
        notify("Info", withName("Executing %s type, %s", "IExecution", row.name));
      }
    }
    if (node->IsSelector()) {
      FeatureList_t selected;
      node->GetSelectedFeatures(selected);
      for (IValue* value : selected) {
        if (PropertyRow* target = rowForNode(value->GetNode())) {
          refreshRow(*target);
        }
      }
    }
    if (row.name == "UserSetLoad") {
      NodeList_t nodes;
      nodeMap_->_GetNodes(nodes);
      for (INode* each : nodes) {
        each->InvalidateNode();
      }
      for (PropertyRow* each : properties_) {
        refreshRow(*each);
      }
      return AfterCommand::Rebuild;
    }
  } catch (...) {
    reportCurrentException(row.name);
    refreshRow(row);
  }
  return AfterCommand::Nothing;
}

// The value text of any feature node, formatted as its row would show it.
static std::string nodeValueText(INode* node) {
  switch (node->GetPrincipalInterfaceType()) {
  case intfIInteger: {
    auto* integer = dynamic_cast<IInteger*>(node);
    std::string name = node->GetName();
    IntegerDisplay display = isGevIPv4Feature(name)  ? IntegerDisplay::IPv4
                             : isGevMacFeature(name) ? IntegerDisplay::Mac
                                                     : IntegerDisplay::Number;
    if (display == IntegerDisplay::Number) {
      switch (integer->GetRepresentation()) {
      case HexNumber:
        display = IntegerDisplay::Hex;
        break;
      case IPV4Address:
        display = IntegerDisplay::IPv4;
        break;
      case MACAddress:
        display = IntegerDisplay::Mac;
        break;
      default:
        break;
      }
    }
    return formatInteger(display, integer->GetValue(), name);
  }
  case intfIFloat:
    return formatFloat(dynamic_cast<IFloat*>(node)->GetValue());
  case intfIBoolean:
    return dynamic_cast<IBoolean*>(node)->GetValue() ? "TRUE" : "FALSE";
  case intfICommand:
    return kCommandValue;
  default:
    return dynamic_cast<IValue*>(node)->ToString();
  }
}

std::vector<FeatureItem> FeatureTree::collectItems() {
  std::vector<FeatureItem> items;
  if (root_) {
    collectRow(*root_, items);
  }
  return items;
}

void FeatureTree::collectRow(const PropertyRow& row, std::vector<FeatureItem>& items) {
  if (row.kind == RowKind::Group) {
    items.push_back({row.name, kGroupValue, false, "", "", ""});
    for (const auto& child : row.children) {
      collectRow(*child, items);
    }
    return;
  }
  INode* node = row.node;
  EAccessMode access = node->GetAccessMode();
  if (access == NI || node->GetVisibility() == Invisible) {
    return;
  }
  FeatureItem own{row.name, row.valueText(), false, "", "", accessModeText(access)};
  // Listed as unreadable; a feature file leaves it out, since loading "" would only fail.
  own.unreadable = row.unreadable;
  tagWithSelector(node, own);
  // Every pSelected element: GetProperty joins them with tabs.
  gcstring selectedNames, attributes;
  node->GetProperty("pSelected", selectedNames, attributes);
  auto* selector = dynamic_cast<IEnumeration*>(node);
  if (selectedNames.empty() || !selector || !IsReadable(access)) {
    items.push_back(std::move(own));
    return;
  }
  collectSelectedValues(row.name, selector, selectedNames, items);
  // A selector's own value comes after the values it selects: loading sets the selector to
  // each entry in turn, so only an item after them leaves it where it was saved.
  items.push_back(std::move(own));
}

void FeatureTree::collectSelectedValues(const std::string& selectorName, IEnumeration* selector,
                                        const std::string& selectedNames,
                                        std::vector<FeatureItem>& items) {
  std::int64_t before = 0;
  try {
    before = selector->GetIntValue(true);
  } catch (...) {
    reportCurrentException(selectorName);
    return;
  }
  for (const std::string& selectedName : splitTabs(selectedNames)) {
    INode* selected = nodeMap_->_GetNode(selectedName);
    if (!selected) {
      continue;
    }
    for (IEnumEntry* entry : availableEntries(selector)) {
      try {
        selector->SetIntValue(entry->GetValue(), true);
        if (!IsReadable(selected)) {
          continue;
        }
        items.push_back({selectedName, nodeValueText(selected), true, selectorName,
                         entry->GetSymbolic(), accessModeText(selected->GetAccessMode())});
      } catch (...) {
        reportCurrentException(selectedName);
      }
    }
  }
  try {
    selector->SetIntValue(before, true);
  } catch (...) {
    reportCurrentException(selectorName);
  }
}

void FeatureTree::tagWithSelector(INode* node, FeatureItem& item) {
  FeatureList_t selecting;
  node->GetSelectingFeatures(selecting);
  for (IValue* value : selecting) {
    auto* selector = dynamic_cast<IEnumeration*>(value);
    if (!selector || !IsReadable(value->GetNode())) {
      continue;
    }
    try {
      IEnumEntry* current = selector->GetCurrentEntry();
      if (current) {
        item.hasSelector = true;
        item.selectorName = value->GetNode()->GetName();
        item.selectorValue = current->GetSymbolic();
        return;
      }
    } catch (...) {
      reportOnce(value->GetNode()->GetName());
    }
  }
}

bool FeatureTree::resetToDefaultUserSet() {
  if (!nodeMap_ || !nodeMap_->_IsLoaded()) {
    return false;
  }
  try {
    CEnumerationPtr selector = nodeMap_->_GetNode("UserSetSelector");
    if (!selector) {
      return false;
    }
    IEnumEntry* entry = selector->GetEntryByName("Default");
    if (!entry || !IsAvailable(entry->GetNode())) {
      return false;
    }
    selector->SetIntValue(entry->GetValue(), true);
    CCommandPtr load = nodeMap_->_GetNode("UserSetLoad");
    if (!load) {
      return false;
    }
    load->Execute(true);
    waitUntilDone(load, pollingTimeOf(load->GetNode(), nodeMap_->_Ptr));
    nodeMap_->_InvalidateNodes();
    return true;
  } catch (...) {
    reportCurrentException("UserSetLoad");
  }
  return false;
}

void FeatureTree::applyItems(const std::vector<FeatureItem>& items) {
  if (!nodeMap_ || !nodeMap_->_IsLoaded()) {
    return;
  }
  for (const auto& item : items) {
    try {
      applyItem(item);
    } catch (...) {
      reportCurrentException(item.name);
    }
  }
}

void FeatureTree::applyItem(const FeatureItem& item) {
  if (item.hasSelector) {
    INode* selectorNode = nodeMap_->_GetNode(item.selectorName);
    auto* selector = dynamic_cast<IEnumeration*>(selectorNode);
    if (selector && IsWritable(selectorNode)) {
      IEnumEntry* entry = selector->GetEntryByName(item.selectorValue);
      // A selector already on the entry is left alone: the entry may be one the camera holds
      // but does not offer (not available), which setting it again would refuse.
      if (entry && (!IsReadable(selectorNode) || selector->GetIntValue() != entry->GetValue())) {
        selector->SetIntValue(entry->GetValue(), true);
      }
    }
  }
  INode* node = nodeMap_->_GetNode(item.name);
  if (!node || !IsWritable(node)) {
    return;
  }
  switch (node->GetPrincipalInterfaceType()) {
  case intfIInteger: {
    auto value = parseFeatureFileInteger(item.value);
    if (!value) {
      reportFeatureError(item.name, "'" + item.value + "' is not an integer value");
      return;
    }
    dynamic_cast<IInteger*>(node)->SetValue(*value, true);
    break;
  }
  case intfIFloat: {
    auto* number = dynamic_cast<IFloat*>(node);
    auto value = parseDouble(item.value);
    if (!value) {
      reportFeatureError(item.name, "'" + item.value + "' is not a number");
      return;
    }
    if (*value < number->GetMin() || *value > number->GetMax()) {
      reportFeatureError(item.name, item.value + " is outside the feature's range");
      return;
    }
    number->SetValue(*value, true);
    break;
  }
  case intfIEnumeration: {
    auto* enumeration = dynamic_cast<IEnumeration*>(node);
    IEnumEntry* entry = enumeration->GetEntryByName(item.value);
    if (!entry) {
      reportFeatureError(item.name, "'" + item.value + "' is not one of its entries");
      return;
    }
    enumeration->SetIntValue(entry->GetValue(), true);
    break;
  }
  case intfIBoolean:
    dynamic_cast<IBoolean*>(node)->SetValue(item.value == "TRUE", true);
    if (PropertyRow* row = rowForNode(node)) {
      refreshRow(*row);
    }
    break;
  case intfIString:
    dynamic_cast<IString*>(node)->SetValue(item.value, true);
    break;
  case intfICommand:
    if (hooks_.ask && hooks_.ask("Warning", "Are you sure you want to execute Command Node?")) {
      auto* command = dynamic_cast<ICommand*>(node);
      command->Execute(true);
      waitUntilDone(command, pollingTimeOf(node, nodeMap_->_Ptr));
    }
    break;
  default:
    break;
  }
}

} // namespace nodeview
