#include "pages/trigger_groups.h"

#include "pages/exposure_format.h"

namespace kelpax::trigger {

SettingsPage::RadioGroupDecl source(QStringList labels) {
  return {.title = "Source",
          .format = cmd::kTriggerSource,
          .stem = "ts",
          .labels = std::move(labels),
          .firstValue = 1};
}

SettingsPage::RadioGroupDecl activation(FirstEdge first) {
  const QStringList risingFirst{"Rising Edge", "Falling Edge"};
  const QStringList fallingFirst{"Falling Edge", "Rising Edge"};
  return {.title = "Activation",
          .format = cmd::kTriggerPolarity,
          .stem = "tp",
          .labels = first == FirstEdge::Rising ? risingFirst : fallingFirst};
}

SettingsPage::ValueDecl exposureTime(std::function<uint32_t()> timeoutMs) {
  return {.format = cmd::kExposureTime,
          .stem = "et",
          .spinStep = 10,
          .slider = SettingsPage::SliderMap::ExposureLog,
          .sliderTick = kExposureSliderTick,
          .timeoutMs = std::move(timeoutMs)};
}

} // namespace kelpax::trigger
