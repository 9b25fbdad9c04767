// The trigger groups the area cameras' own pages share: where the trigger comes from
// ("Source"), which edge starts the exposure ("Activation") and the exposure time. The
// models differ in the source names and in the order they list the edges.
#pragma once

#include "pages/settings_page.h"

namespace kelpax::trigger {

// The source numbers start at 1: the first choice (CC1) sends "sts 1".
SettingsPage::RadioGroupDecl source(QStringList labels = {"CC1", "External"});

// Choice i sends "stp i"; the camera's edge 0 is the first one listed.
enum class FirstEdge { Rising, Falling };
SettingsPage::RadioGroupDecl activation(FirstEdge first);

// Microseconds on a logarithmic slider over the model's exposure range, stepped by 10.
SettingsPage::ValueDecl exposureTime(std::function<uint32_t()> timeoutMs = {});

} // namespace kelpax::trigger
