// The generic settings page: pending radios, one value path, snap back to the cache.
#include "pages/settings_page.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "camera/tables/command_vocabulary.h"
#include "camera/tables/model_rules.h"
#include "pages/exposure_format.h"
#include "pages/page_rules.h"

namespace kelpax {

int32_t SettingsPage::RadioGroup::valueOf(size_t index) const {
  if (!decl.values.empty())
    return index < decl.values.size() ? decl.values[index] : decl.values.front();
  return decl.firstValue + static_cast<int32_t>(index);
}

std::optional<size_t> SettingsPage::RadioGroup::indexFromCache(int32_t cached) const {
  if (!decl.values.empty()) {
    auto it = std::find(decl.values.begin(), decl.values.end(), cached);
    if (it == decl.values.end())
      return decl.onlyKnownValues ? std::nullopt : std::optional<size_t>(0);
    return static_cast<size_t>(it - decl.values.begin());
  }
  return static_cast<size_t>(
      radioIndexFromCache(cached, decl.firstValue, static_cast<int>(buttons.size())));
}

SettingsPage::SettingsPage(PageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  markAsNotificationReceiver(this);
}

SettingsPage::RadioGroup& SettingsPage::addRadioGroup(RadioGroupDecl decl) {
  RadioGroup& group = groups_.emplace_back();
  group.box = new QGroupBox(decl.title, this);
  auto* layout = new QVBoxLayout(group.box);
  for (const QString& label : decl.labels) {
    auto* button = new CMButton(label, group.box);
    layout->addWidget(button);
    group.buttons.push_back(button);
  }
  layout->addStretch();
  group.decl = std::move(decl);
  return group;
}

SettingsPage::CheckBox& SettingsPage::addCheckBox(CheckBoxDecl decl) {
  CheckBox& check = checks_.emplace_back();
  check.box = new CMCheckBox(decl.label, this);
  check.decl = std::move(decl);
  return check;
}

SettingsPage::Value& SettingsPage::addValue(ValueDecl decl) {
  Value& value = values_.emplace_back();
  const int id = nextControlId_++;
  value.edit = new CIntegerEdit(this);
  value.edit->setControlId(id);
  value.edit->setWheelStep(decl.spinStep);
  value.spin = new CMySpinCtrl(this);
  value.spin->setControlId(id);
  if (decl.slider != SliderMap::None) {
    value.slider = new CMySlierCtrl(this);
    value.slider->setControlId(id);
    if (decl.slider == SliderMap::ExposureLog)
      value.slider->setRange(0, kExposureSliderMax);
    else if (decl.slider == SliderMap::StrobeLog)
      value.slider->setRange(0, kStrobeSliderMax);
    if (decl.sliderTick > 0)
      value.slider->setTickInterval(decl.sliderTick);
  }
  value.decl = std::move(decl);
  return value;
}

SettingsPage::RealValue& SettingsPage::addRealValue(RealValueDecl decl) {
  RealValue& value = reals_.emplace_back();
  const int id = nextControlId_++;
  value.edit = new CFloatEdit(this);
  value.edit->setControlId(id);
  value.edit->setWheelStep(decl.spinStep);
  value.spin = new CMySpinCtrl(this);
  value.spin->setControlId(id);
  if (decl.slider) {
    value.slider = new CMySlierCtrl(this);
    value.slider->setControlId(id);
    value.slider->setOrientation(Qt::Horizontal);
    value.slider->setRange(0, std::max(1, decl.sliderSteps));
    value.slider->setTickInterval(std::max(1, decl.sliderSteps / 10));
  }
  value.decl = std::move(decl);
  return value;
}

CMyButton* SettingsPage::addButton(ButtonDecl decl) {
  auto* button = new CMyButton(decl.label, this);
  button->setControlId(nextButtonId_++);
  button->setReceiver(this);
  buttons_.emplace_back(button, std::move(decl.action));
  return button;
}

QWidget* SettingsPage::addSection() {
  auto* stack = qobject_cast<QStackedLayout*>(layout());
  if (!stack)
    stack = new QStackedLayout(this);
  auto* section = new QWidget(this);
  stack->addWidget(section);
  sections_.push_back(section);
  if (shownSection_ < 0)
    shownSection_ = 0;
  return section;
}

void SettingsPage::showSection(int index) {
  if (index < 0 || index >= sectionCount())
    return;
  shownSection_ = index;
  if (auto* stack = qobject_cast<QStackedLayout*>(layout()))
    stack->setCurrentWidget(sections_[static_cast<size_t>(index)]);
}

QWidget* SettingsPage::section(int index) const {
  return index >= 0 && index < sectionCount() ? sections_[static_cast<size_t>(index)] : nullptr;
}

SettingsPage::RealValue* SettingsPage::realValue(std::string_view stem) {
  auto it = std::find_if(reals_.begin(), reals_.end(),
                         [&](const RealValue& v) { return v.decl.stem == stem; });
  return it == reals_.end() ? nullptr : &*it;
}

CMyButton* SettingsPage::button(const QString& label) const {
  for (const auto& [button, action] : buttons_) {
    if (button->text() == label)
      return button;
  }
  return nullptr;
}

SettingsPage::RadioGroup* SettingsPage::radioGroup(std::string_view stem) {
  auto it = std::find_if(groups_.begin(), groups_.end(),
                         [&](const RadioGroup& g) { return g.decl.stem == stem; });
  return it == groups_.end() ? nullptr : &*it;
}

SettingsPage::CheckBox* SettingsPage::checkBox(std::string_view stem) {
  auto it = std::find_if(checks_.begin(), checks_.end(),
                         [&](const CheckBox& c) { return c.decl.stem == stem; });
  return it == checks_.end() ? nullptr : &*it;
}

SettingsPage::Value* SettingsPage::value(std::string_view stem) {
  auto it = std::find_if(values_.begin(), values_.end(),
                         [&](const Value& v) { return v.decl.stem == stem; });
  return it == values_.end() ? nullptr : &*it;
}

SettingsPage::Value* SettingsPage::value(std::string_view stem, int valueIndex) {
  auto it = std::find_if(values_.begin(), values_.end(), [&](const Value& v) {
    return v.decl.stem == stem && v.decl.valueIndex == valueIndex;
  });
  return it == values_.end() ? nullptr : &*it;
}

std::optional<int32_t> SettingsPage::cachedValue(const std::string& stem) const {
  if (!host_.parameterCache().holdsValue(stem))
    return std::nullopt;
  return host_.cacheInt(stem);
}

std::optional<int32_t> SettingsPage::cachedValue(const Value& value) const {
  if (value.decl.valueIndex == 0)
    return cachedValue(value.decl.stem);
  const ParameterEntry* entry = host_.parameterCache().find(value.decl.stem);
  if (!entry || !host_.parameterCache().holdsValue(value.decl.stem) || value.decl.valueIndex < 0 ||
      value.decl.valueIndex >= entry->valueCount)
    return std::nullopt;
  return host_.cacheInt(value.decl.stem, value.decl.valueIndex);
}

bool SettingsPage::send(const std::string& command, uint32_t timeoutMs) {
  if (command.empty())
    return false;
  return host_.sendCommand(command, {.timeoutMs = timeoutMs, .shown = true}).accepted();
}

void SettingsPage::setControlsFromCache() {
  adaptToModel();
  for (RadioGroup& group : groups_) {
    if (group.buttons.empty())
      continue;
    if (const auto index = group.indexFromCache(host_.cacheInt(group.decl.stem))) {
      group.buttons[*index]->setChecked(true);
    } else {
      for (CMButton* button : group.buttons) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
      }
    }
  }
  for (CheckBox& check : checks_)
    check.box->setChecked(cachedValue(check.decl.stem).value_or(0) != 0);
  for (Value& value : values_) {
    if (const auto cached = cachedValue(value))
      value.edit->setValueFromCode(*cached);
  }
  for (RealValue& value : reals_) {
    if (const auto cached = cachedReal(value.decl.stem))
      value.edit->setValueFromCode(*cached, value.decl.format.decimals);
  }
  setOwnControlsFromCache();
  updateEnabling();
}

void SettingsPage::refreshAll() {
  for (const Value& value : values_)
    showValue(value);
  for (const RealValue& value : reals_)
    showRealValue(value);
}

std::optional<double> SettingsPage::cachedReal(const std::string& stem) const {
  if (!host_.parameterCache().holdsValue(stem))
    return std::nullopt;
  return static_cast<double>(host_.cacheFloat(stem));
}

int SettingsPage::realSliderPosition(const RealValue& value, double shown) const {
  if (value.decl.toSlider)
    return value.decl.toSlider(shown);
  if (!value.decl.range)
    return 0;
  const RealRange range = value.decl.range();
  if (!(range.max > range.min))
    return 0;
  const double fraction = std::clamp((shown - range.min) / (range.max - range.min), 0.0, 1.0);
  return static_cast<int>(std::lround(fraction * value.slider->maximum()));
}

double SettingsPage::realOfSliderPosition(const RealValue& value, int position) const {
  if (value.decl.fromSlider)
    return value.decl.fromSlider(position);
  if (!value.decl.range)
    return position;
  const RealRange range = value.decl.range();
  const double value01 = double(position) / std::max(1, value.slider->maximum());
  // Rounded to what the command carries, so the slider's end lands on the range's end.
  const double scale = std::pow(10.0, value.decl.format.decimals);
  return std::round((range.min + value01 * (range.max - range.min)) * scale) / scale;
}

void SettingsPage::showRealValue(const RealValue& value) {
  const std::optional<double> cached = cachedReal(value.decl.stem);
  if (cached) {
    value.edit->setValueFromCode(*cached, value.decl.format.decimals);
  } else {
    value.edit->clear(); // nothing known: an empty field rather than a made-up number
  }
  if (value.slider) {
    const QSignalBlocker block(value.slider);
    value.slider->setValue(cached ? realSliderPosition(value, *cached) : value.slider->minimum());
  }
  if (value.showLabels)
    value.showLabels(cached);
}

bool SettingsPage::commitRealValue(RealValue& value, std::optional<double> candidate) {
  bool sent = false;
  bool accepted = false;
  const bool inRange = candidate && std::isfinite(*candidate) &&
                       (!value.decl.range || value.decl.range().contains(*candidate));
  if (inRange) {
    const uint32_t timeout = value.decl.timeoutMs ? value.decl.timeoutMs() : kCommandTimeoutMs;
    const std::string command = formatCommand(value.decl.format, {*candidate});
    sent = !command.empty();
    accepted = sent && send(command, timeout);
  }
  showRealValue(value);
  if (sent)
    realValueCommitted(value, accepted);
  return accepted;
}

void SettingsPage::postRefreshAll() {
  postNotification(this, Notification::RefreshAll);
}

int SettingsPage::sliderPosition(const Value& value, int32_t shown) const {
  switch (value.decl.slider) {
  case SliderMap::Linear:
    return shown;
  case SliderMap::ExposureLog: {
    const ValueRange range = rangeOf(value);
    return exposureSliderPosition(shown, range.min, range.max);
  }
  case SliderMap::StrobeLog:
    return strobeSliderPosition(shown);
  case SliderMap::None:
    break;
  }
  return 0;
}

int32_t SettingsPage::valueOfSliderPosition(const Value& value, int position) const {
  switch (value.decl.slider) {
  case SliderMap::Linear:
    return position;
  case SliderMap::ExposureLog: {
    const ValueRange range = rangeOf(value);
    return exposureFromSliderPosition(position, range.min, range.max);
  }
  case SliderMap::StrobeLog:
    return strobeFromSliderPosition(position, host_.cacheInt(value.decl.stem));
  case SliderMap::None:
    break;
  }
  return position;
}

void SettingsPage::showValue(const Value& value) {
  const std::optional<int32_t> cached = cachedValue(value);
  if (cached) {
    value.edit->setValueFromCode(*cached);
  } else {
    // Nothing known about this value: an empty field rather than a made-up number.
    value.edit->setValueFromCode(-1);
    value.edit->clear();
  }
  if (value.slider) {
    if (value.decl.slider == SliderMap::Linear) {
      const ValueRange range = rangeOf(value);
      value.slider->setRange(range.min, range.max);
    }
    value.slider->setValue(cached ? sliderPosition(value, *cached) : value.slider->minimum());
  }
  if (value.showLabels)
    value.showLabels(cached);
}

bool SettingsPage::commitValue(Value& value, std::optional<int64_t> candidate) {
  const ValueRange range = rangeOf(value);
  bool sent = false;
  bool accepted = false;
  if (candidate && range.contains(*candidate)) {
    const uint32_t timeout = value.decl.timeoutMs ? value.decl.timeoutMs() : kCommandTimeoutMs;
    if (value.decl.format.valueCount <= 1 && !value.decl.acceptValues) {
      sent = true;
      accepted = send(formatCommand(value.decl.format, {double(*candidate)}), timeout);
    } else if (const auto values = valuesWith(value, static_cast<int32_t>(*candidate));
               values && (!value.decl.acceptValues || value.decl.acceptValues(*values))) {
      sent = true;
      accepted =
          send(values->size() == 2
                   ? formatCommand(value.decl.format, {double((*values)[0]), double((*values)[1])})
                   : formatCommand(value.decl.format, {double((*values)[0])}),
               timeout);
    }
  }
  showValue(value);
  if (sent)
    valueCommitted(value, accepted);
  return accepted;
}

std::optional<std::vector<int32_t>> SettingsPage::valuesWith(const Value& value,
                                                             int32_t candidate) const {
  const int count = std::clamp(value.decl.format.valueCount, 1, 2);
  std::vector<int32_t> values;
  for (int i = 0; i < count; ++i) {
    if (i == value.decl.valueIndex) {
      values.push_back(candidate);
      continue;
    }
    const ParameterEntry* entry = host_.parameterCache().find(value.decl.stem);
    if (!entry || !host_.parameterCache().holdsValue(value.decl.stem) || i >= entry->valueCount)
      return std::nullopt; // the other value is not known: nothing to send it with
    values.push_back(host_.cacheInt(value.decl.stem, i));
  }
  return values;
}

ValueRange SettingsPage::rangeOf(const Value& value) const {
  if (value.decl.range)
    return value.decl.range();
  return modelRange(host_.modelDescriptor(), value.decl.stem)
      .value_or(ValueRange{INT32_MIN, INT32_MAX});
}

void SettingsPage::onValueCommitted(int controlId) {
  for (Value& value : values_) {
    if (value.edit->controlId() == controlId) {
      commitValue(value, value.edit->value());
      return;
    }
  }
  for (RealValue& value : reals_) {
    if (value.edit->controlId() == controlId) {
      // An empty or unreadable field is no value to send.
      const QString text = value.edit->text().trimmed();
      bool readable = false;
      text.toDouble(&readable);
      commitRealValue(value, readable ? std::optional<double>(value.edit->value()) : std::nullopt);
      return;
    }
  }
  onOwnValueCommitted(controlId);
}

void SettingsPage::onSpinStepped(bool raise) {
  for (Value& value : values_) {
    if (!value.spin->inUse())
      continue;
    value.spin->clearInUse();
    std::optional<int64_t> candidate;
    if (const auto cached = cachedValue(value))
      candidate = int64_t{*cached} + (raise ? value.decl.spinStep : -value.decl.spinStep);
    commitValue(value, candidate);
    return;
  }
  for (RealValue& value : reals_) {
    if (!value.spin->inUse())
      continue;
    value.spin->clearInUse();
    std::optional<double> candidate;
    if (const auto cached = cachedReal(value.decl.stem)) {
      // Stepped from the value as shown, so a float's last bits do not creep into the step.
      const double scale = std::pow(10.0, value.decl.format.decimals);
      const double shown = std::round(*cached * scale) / scale;
      candidate =
          std::round((shown + (raise ? value.decl.spinStep : -value.decl.spinStep)) * scale) /
          scale;
    }
    commitRealValue(value, candidate);
    return;
  }
}

void SettingsPage::onSliderReleased(int controlId) {
  for (Value& value : values_) {
    if (value.slider && value.slider->controlId() == controlId) {
      commitValue(value, valueOfSliderPosition(value, value.slider->value()));
      return;
    }
  }
  for (RealValue& value : reals_) {
    if (value.slider && value.slider->controlId() == controlId) {
      commitRealValue(value, realOfSliderPosition(value, value.slider->value()));
      return;
    }
  }
}

void SettingsPage::queueEnablingUpdate() {
  QMetaObject::invokeMethod(
      this, [this] { updateEnabling(); }, Qt::QueuedConnection);
}

void SettingsPage::onRadioClicked() {
  for (RadioGroup& group : groups_) {
    for (size_t i = 0; i < group.buttons.size(); ++i) {
      CMButton* button = group.buttons[i];
      if (!button->isPending())
        continue;
      button->clearPending();
      if (button->isChecked()) {
        radioChosen(group, i); // already the camera's setting
        return;
      }
      if (!radioChoiceAllowed(group, i))
        return;
      if (send(formatCommand(group.decl.format, {double(group.valueOf(i))}))) {
        button->postPress();
        queueEnablingUpdate();
        radioChosen(group, i);
      }
      return;
    }
  }
  for (CheckBox& check : checks_) {
    if (!check.box->isPending())
      continue;
    check.box->clearPending();
    if (send(formatCommand(check.decl.format, {check.box->isChecked() ? 0.0 : 1.0}))) {
      check.box->postPress();
      queueEnablingUpdate();
    }
    return;
  }
}

bool SettingsPage::event(QEvent* event) {
  if (event->type() != PageNotificationEvent::eventType())
    return QWidget::event(event);
  const auto* notification = static_cast<PageNotificationEvent*>(event);
  switch (notification->kind()) {
  case Notification::ValueCommitted:
    onValueCommitted(notification->payload());
    break;
  case Notification::SpinStepped:
    onSpinStepped(notification->payload() == 1);
    break;
  case Notification::SliderReleased:
    onSliderReleased(notification->payload());
    break;
  case Notification::RefreshAll:
    refreshAll();
    break;
  case Notification::RadioClicked:
    onRadioClicked();
    break;
  case Notification::ComboChanged:
    onComboChanged(notification->payload(), notification->control());
    break;
  case Notification::ButtonClicked: {
    for (const auto& [button, action] : buttons_) {
      if (button->controlId() == notification->payload() && action) {
        action();
        return true;
      }
    }
    onButtonClicked(notification->payload());
    break;
  }
  }
  return true;
}

void SettingsPage::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
  case Qt::Key_Escape:
    refreshAll(); // Escape restores what the camera holds
    event->accept();
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    event->accept(); // Enter never closes a page
    break;
  default:
    QWidget::keyPressEvent(event);
  }
}

void SettingsPage::mousePressEvent(QMouseEvent* event) {
  if (commitOnBackgroundClick_ && event->button() == Qt::LeftButton) {
    QWidget* focused = focusWidget();
    for (Value& value : values_) {
      if (value.edit == focused) {
        if (value.edit->takeText())
          commitValue(value, value.edit->value());
        break;
      }
    }
    for (RealValue& value : reals_) {
      if (value.edit == focused && value.edit->typedCount() > 0) {
        commitRealValue(value, value.edit->value());
        break;
      }
    }
  }
  QWidget::mousePressEvent(event);
}

} // namespace kelpax
