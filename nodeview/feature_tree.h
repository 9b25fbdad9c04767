// The feature tree of one pane: the walk over a node map that makes the grid's rows, and
// everything that moves values between rows and nodes (writes, commands, refreshes, feature
// files). No window here: the pane (properties_view_bar) shows the rows and supplies the
// hooks for notifications, timers, questions and node callbacks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "GenApi/GenApi.h"
#include "nodeview/feature_file.h"
#include "nodeview/value_format.h"

namespace nodeview {

// How a row is shown and edited.
enum class RowKind {
  Group,         // a category
  Integer,       // a number row holding a 64-bit value
  IntegerSlider, // an integer with an increment
  IntegerText,   // hexadecimal, IPv4 or MAC text
  Float,         // a number row holding a double
  FloatSlider,   // a float whose XML names an increment
  Boolean,       // a check box
  Enumeration,   // a list of the available entries
  String,        // a text
  Command,       // an "Execute" button
};

struct PropertyRow {
  RowKind kind = RowKind::Group;
  std::string name;
  std::string description;
  GenApi::INode* node = nullptr; // null for groups
  int visibility = GenApi::_UndefinedVisibility;
  bool enabled = false;
  bool readable = false;
  bool unreadable = false; // readable, but reading it failed: shown as kUnreadableValue

  std::int64_t intValue = 0, intMin = 0, intMax = 0, intInc = 0;
  double floatValue = 0, floatMin = 0, floatMax = 0, floatInc = 0;
  bool checked = false;
  IntegerDisplay display = IntegerDisplay::Number;
  std::string text; // value of text, enumeration and command rows
  std::vector<std::string> options;

  PropertyRow* parent = nullptr;
  std::vector<std::unique_ptr<PropertyRow>> children;

  // "IInteger", "IFloat", ...; "" for groups.
  const char* interfaceName() const;
  // The value as the grid shows it (and as feature files hold it, booleans "TRUE"/"FALSE").
  std::string valueText() const;
  bool isFeature() const { return kind != RowKind::Group; }
};

// What the tree needs from the window around it.
struct TreeHooks {
  // "Info" or "Error" and the line; the owner sees it before the call returns.
  std::function<void(const char* category, const std::string& line)> notify;
  // Called from any thread when a feature's node changed.
  std::function<void(GenApi::INode*)> nodeChanged;
  // Start the one-shot poll timer with this time in ms.
  std::function<void(std::int64_t)> startPollTimer;
  // Yes/No question; true for Yes. Used for commands in feature files.
  std::function<bool(const std::string& caption, const std::string& text)> ask;
  // A message box with the error icon.
  std::function<void(const std::string& caption, const std::string& text)> error;
};

// What a row whose value could not be read shows instead of a value.
inline constexpr char kUnreadableValue[] = "(unreadable)";

// Read-only mode of a pane's module data.
inline constexpr std::uint32_t kModeReadOnly = 4;

class FeatureTree {
public:
  explicit FeatureTree(TreeHooks hooks);
  ~FeatureTree();
  FeatureTree(const FeatureTree&) = delete;
  FeatureTree& operator=(const FeatureTree&) = delete;

  void setNodeMap(GenApi::CNodeMapRef* nodeMap) {
    if (nodeMap != nodeMap_) {
      reported_.clear();
    }
    nodeMap_ = nodeMap;
  }
  GenApi::CNodeMapRef* nodeMap() const { return nodeMap_; }
  void setMode(std::uint32_t mode) { mode_ = mode; }
  std::uint32_t mode() const { return mode_; }

  // Throws the old rows away and walks the node map again; registers a callback per feature.
  void rebuild();
  // Deregisters all callbacks and empties the tree.
  void clear();

  PropertyRow* root() const { return root_.get(); }
  const std::vector<PropertyRow*>& properties() const { return properties_; }
  const std::vector<std::string>& eventNames() const { return eventNames_; }
  // The event ports attached to features named after an event.
  std::size_t eventPortCount() const { return eventPorts_.size(); }
  GenApi::CEventPort* eventPort(std::size_t i) const { return eventPorts_.at(i).get(); }
  std::size_t callbackCount() const { return callbacks_.size(); }
  PropertyRow* rowForNode(const GenApi::INode* node) const;
  PropertyRow* rowNamed(const std::string& name) const;

  // Re-reads a row from its node and says "Refreshed <name>".
  void refreshRow(PropertyRow& row);
  // Writes an edited value to the row's node (text as the grid holds it: decimal numbers,
  // the formatted text of address rows, the entry name, "1"/"0" for check boxes).
  void writeRow(PropertyRow& row, const std::string& text);

  enum class AfterCommand { Nothing, Rebuild };
  // Executes a command row's command and waits for it; Rebuild after "UserSetLoad".
  AfterCommand executeCommand(PropertyRow& row);
  // Polls the node map with the last polling time (the one-shot timer's work).
  void pollOnce();
  std::int64_t lastPollingTime() const { return lastPollingTime_; }
  // How long a command or a self-clearing wait may take; 10000 ms.
  void setWaitLimitMs(std::int64_t ms) { waitLimitMs_ = ms; }
  // Waits until no self-clearing wait runs any more (they stop early when the tree goes).
  void waitForWorkers();

  // Feature-file items in grid order; selected values once per available selector entry.
  std::vector<FeatureItem> collectItems();
  // Sets "UserSetSelector" to "Default" and runs "UserSetLoad", when the camera has them.
  bool resetToDefaultUserSet();
  // Applies items in order; errors are reported and the next item is taken.
  void applyItems(const std::vector<FeatureItem>& items);

  // The polling time that follows a write to this node: its own, or the PollingTime of the
  // node its pValue names; 0 or below when none.
  static std::int64_t pollingTimeOf(const GenApi::INode* node, const GenApi::INodeMap* map);

private:
  void walk(GenApi::ICategory* category, PropertyRow* group);
  std::unique_ptr<PropertyRow> makeRow(GenApi::INode* node);
  void readRow(PropertyRow& row, bool report);
  void addFeature(PropertyRow* group, std::unique_ptr<PropertyRow> row);
  void checkWidth(const PropertyRow& row);
  void notify(const char* category, const std::string& line) const;
  void reportFeatureError(const std::string& name, const std::string& description);
  // Inside a catch block: reports the exception as reportCurrentException() does, but only the
  // first time this feature fails while the tree shows this node map (not once per rebuild).
  void reportOnce(const std::string& name);
  // Gives a feature that a selector selects the selector and its current entry.
  void tagWithSelector(GenApi::INode* node, FeatureItem& item);
  // Inside a catch block: reports the exception in flight as the error of feature `name`
  // (an integer code from the transport layer as its "GC Error" line).
  void reportCurrentException(const std::string& name);
  void startPolling(const GenApi::INode* node);
  void waitUntilDone(GenApi::ICommand* command, std::int64_t pollingTime);
  void startSelfClearingWait(GenApi::IEnumeration* enumeration, std::int64_t written,
                             std::int64_t pollingTime);
  void collectRow(const PropertyRow& row, std::vector<FeatureItem>& items);
  // The selected features' values once per available entry of the selector, which is set back
  // to its entry afterwards.
  void collectSelectedValues(const std::string& selectorName, GenApi::IEnumeration* selector,
                             const std::string& selectedNames, std::vector<FeatureItem>& items);
  void applyItem(const FeatureItem& item);
  IntegerDisplay integerDisplay(GenApi::IInteger* integer, const std::string& name) const;

  TreeHooks hooks_;
  GenApi::CNodeMapRef* nodeMap_ = nullptr;
  std::uint32_t mode_ = 1;
  std::unique_ptr<PropertyRow> root_;
  std::vector<PropertyRow*> properties_;
  std::vector<GenApi::CallbackHandleType> callbacks_;
  std::vector<std::string> eventNames_;
  std::set<std::string> reported_; // features whose failure was already reported
  std::vector<std::unique_ptr<GenApi::CEventPort>> eventPorts_;
  std::int64_t lastPollingTime_ = -1;
  std::int64_t waitLimitMs_ = 10000;

  // Self-clearing waits running on their own threads.
  struct Workers {
    std::mutex mutex; // Protects running
    std::condition_variable idle;
    int running = 0;
    std::atomic<bool> stop{false};
  };
  std::shared_ptr<Workers> workers_ = std::make_shared<Workers>();
};

const char* accessModeText(GenApi::EAccessMode mode);

} // namespace nodeview
