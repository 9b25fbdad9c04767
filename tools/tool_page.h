// What the main window asks of a service tool page: show the camera's cached values, and show
// or hide the controls of the tuning form.
#pragma once

#include <QString>
#include <functional>

namespace kelpax {

class ToolPage {
public:
  virtual ~ToolPage() = default;
  virtual void refreshFromCache() = 0;
  virtual void setTuningForm(bool on) = 0;
};

// Asks for the file a run writes; empty is Cancel. Tests substitute it.
using CsvFileChooser = std::function<QString()>;

} // namespace kelpax
