// The generic settings page. A page declares its controls (radio groups, check boxes,
// values with edit, spin and slider); this class turns each operator action into one set
// command and shows what the camera's value cache holds afterwards.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "camera/tables/command_vocabulary.h"
#include "pages/control_widgets.h"
#include "pages/edit_widgets.h"
#include "pages/page_host.h"

namespace kelpax {

class SettingsPage : public QWidget {
  Q_OBJECT

public:
  static constexpr uint32_t kCommandTimeoutMs = 3000;

  // One radio per choice; the button's index picks the value sent.
  struct RadioGroupDecl {
    QString title{};
    CommandSpec format{}; // cmd::kTriggerMode
    std::string stem{};   // cached as "tm"
    QStringList labels{};
    // Button i sends firstValue + i, or values[i] when values are given.
    int32_t firstValue = 0;
    std::vector<int32_t> values{};
    // A cached value that is none of `values` checks no button (instead of the first), so
    // the operator can still send the page's choice.
    bool onlyKnownValues = false;
  };
  struct RadioGroup {
    RadioGroupDecl decl;
    QGroupBox* box = nullptr;
    std::vector<CMButton*> buttons;
    int32_t valueOf(size_t index) const;
    // The button the cached value selects; none when onlyKnownValues and it selects none.
    std::optional<size_t> indexFromCache(int32_t cached) const;
  };

  // Sends 1 to switch on, 0 to switch off; checked while the cache holds a value not 0.
  struct CheckBoxDecl {
    QString label{};
    CommandSpec format{}; // cmd::kAsyncReset
    std::string stem{};
  };
  struct CheckBox {
    CheckBoxDecl decl;
    CMCheckBox* box = nullptr;
  };

  enum class SliderMap { None, Linear, ExposureLog, StrobeLog };
  struct ValueDecl {
    CommandSpec format{}; // cmd::kExposureTime; "sha" carries two values
    std::string stem{};   // "et"
    int32_t spinStep = 1;
    // What may be sent; read at the time of sending. Not given: the model's range for the
    // stem, or any value when the model sets none.
    std::function<ValueRange()> range{};
    SliderMap slider = SliderMap::None;
    int sliderTick = 0;
    std::function<uint32_t()> timeoutMs{}; // kCommandTimeoutMs when not given
    // Commands that carry several values ("sha 0 1023"): this edit holds value valueIndex
    // of the stem, the others are sent as the cache holds them. A set whose other values
    // the cache does not hold is not sent.
    int valueIndex = 0;
    // The whole set of values must pass this check too (for example a region's first and
    // last column); none given: the range alone decides.
    std::function<bool(const std::vector<int32_t>&)> acceptValues{};
  };
  struct Value {
    ValueDecl decl;
    CIntegerEdit* edit = nullptr;
    CMySpinCtrl* spin = nullptr;
    CMySlierCtrl* slider = nullptr; // only with a slider map
    // Shows unit labels for the cached value (nothing when the cache holds none).
    std::function<void(std::optional<int32_t>)> showLabels;
  };

  // The real-valued twin of Value: "sdg %.3f", "set %0.2f". The edit shows the cached real
  // with the format's decimals; a linear slider runs over the range in sliderSteps steps.
  struct RealRange {
    double min = 0;
    double max = 0;
    bool contains(double value) const { return value >= min && value <= max; }
  };
  struct RealValueDecl {
    CommandSpec format{}; // kind Real, with the camera's decimals
    std::string stem{};
    double spinStep = 1.0;
    // What may be sent; none: any value.
    std::function<RealRange()> range{};
    bool slider = false;
    int sliderSteps = 1000;
    // A slider of the page's own scale (the Ka 43M gain): position from value and back.
    std::function<int(double)> toSlider{};
    std::function<double(int)> fromSlider{};
    std::function<uint32_t()> timeoutMs{};
  };
  struct RealValue {
    RealValueDecl decl;
    CFloatEdit* edit = nullptr;
    CMySpinCtrl* spin = nullptr;
    CMySlierCtrl* slider = nullptr;
    std::function<void(std::optional<double>)> showLabels;
  };

  // A push button with what it does.
  struct ButtonDecl {
    QString label{};
    std::function<void()> action{};
  };

  explicit SettingsPage(PageHost& host, QWidget* parent = nullptr);

  PageHost& host() const { return host_; }

  // The main window's refresh: radios, check boxes and edits from the cache, then the
  // enabling. It posts RefreshAll afterwards (postRefreshAll).
  void setControlsFromCache();
  // Every value's edit, slider and labels from the cache; nothing is sent.
  virtual void refreshAll();
  void postRefreshAll();

  // A front-end page commits its focused edit when the page background is clicked.
  void setCommitOnBackgroundClick(bool on) { commitOnBackgroundClick_ = on; }

  RadioGroup* radioGroup(std::string_view stem);
  CheckBox* checkBox(std::string_view stem);
  Value* value(std::string_view stem);
  // The edit of one value of a multi-value stem ("ha" 0 is the first column).
  Value* value(std::string_view stem, int valueIndex);
  RealValue* realValue(std::string_view stem);
  // A push button by its label.
  CMyButton* button(const QString& label) const;

  // Pages that fill several tabs keep one section per tab; the tab shows its section.
  int sectionCount() const { return static_cast<int>(sections_.size()); }
  void showSection(int section);
  int shownSection() const { return shownSection_; }
  QWidget* section(int index) const;

protected:
  // Builders; the page lays the widgets out. Radio buttons come inside their group box.
  RadioGroup& addRadioGroup(RadioGroupDecl decl);
  CheckBox& addCheckBox(CheckBoxDecl decl);
  Value& addValue(ValueDecl decl);
  RealValue& addRealValue(RealValueDecl decl);
  CMyButton* addButton(ButtonDecl decl);
  // A new section (one tab's worth of controls); the page's layout holds them one at a time.
  QWidget* addSection();

  // Sends one command with the status line on; true when the camera accepted it.
  virtual bool send(const std::string& command, uint32_t timeoutMs = kCommandTimeoutMs);
  // The value path every source feeds: a candidate inside the range is sent; then, sent or
  // not, accepted or not, the cached value is shown.
  // Returns whether a command went out and the camera accepted it.
  bool commitValue(Value& value, std::optional<int64_t> candidate);
  void showValue(const Value& value);
  bool commitRealValue(RealValue& value, std::optional<double> candidate);
  void showRealValue(const RealValue& value);
  // The value a real control shows; pages whose values the cache does not keep (colour
  // gains) supply their own.
  virtual std::optional<double> cachedReal(const std::string& stem) const;
  // The values a command of one or two values carries with `candidate` in the edit's place;
  // none when the cache does not hold the others.
  std::optional<std::vector<int32_t>> valuesWith(const Value& value, int32_t candidate) const;
  // The range a value is checked against before it is sent.
  ValueRange rangeOf(const Value& value) const;
  std::optional<int32_t> cachedValue(const std::string& stem) const;
  // The cached value an edit shows: value valueIndex of its stem.
  std::optional<int32_t> cachedValue(const Value& value) const;

  // After an accepted radio or check-box command (queued behind the button's own change).
  virtual void updateEnabling() {}
  // The operator pressed a radio whose choice the camera holds now: accepted just now, or
  // already its setting. Runs before the button shows the change.
  virtual void radioChosen(const RadioGroup& /*group*/, size_t /*index*/) {}
  // Labels, choices and layout that depend on the connected model; the first step of
  // setControlsFromCache, before any control reads the cache.
  virtual void adaptToModel() {}
  // Whether a pressed radio may send its command; a page that refuses says why itself and
  // the group keeps its button.
  virtual bool radioChoiceAllowed(const RadioGroup& /*group*/, size_t /*index*/) { return true; }
  // After a value's command went out (accepted or not) and the cached value is shown.
  virtual void valueCommitted(Value& /*value*/, bool /*accepted*/) {}
  virtual void realValueCommitted(RealValue& /*value*/, bool /*accepted*/) {}
  // Controls the page fills from the cache itself.
  virtual void setOwnControlsFromCache() {}
  virtual void onButtonClicked(int /*controlId*/) {}
  // An edit of the page's own (not a declared value) was committed.
  virtual void onOwnValueCommitted(int /*controlId*/) {}
  virtual void onComboChanged(int /*controlId*/, QWidget* /*combo*/) {}

  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  void onRadioClicked();
  void onValueCommitted(int controlId);
  void onSpinStepped(bool raise);
  void onSliderReleased(int controlId);
  void queueEnablingUpdate();
  int sliderPosition(const Value& value, int32_t shown) const;
  int realSliderPosition(const RealValue& value, double shown) const;
  double realOfSliderPosition(const RealValue& value, int position) const;
  int32_t valueOfSliderPosition(const Value& value, int position) const;

  PageHost& host_;
  // Deques keep the references the builders return valid.
  std::deque<RadioGroup> groups_;
  std::deque<CheckBox> checks_;
  std::deque<Value> values_;
  std::deque<RealValue> reals_;
  std::vector<std::pair<CMyButton*, std::function<void()>>> buttons_;
  std::vector<QWidget*> sections_;
  int shownSection_ = -1;
  int nextControlId_ = 1000;
  int nextButtonId_ = 3000;
  bool commitOnBackgroundClick_ = false;
};

} // namespace kelpax
