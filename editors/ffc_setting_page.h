// The flat-field correction pages of the area cameras: generate, store and load the camera's
// correction data, move it to and from ".ffc" files, set its offset level and frame count.
// CFFCSettingXML is the reduced form, CFFCSelectorSetting adds the data selector and the Ko-Ki
// 101 / 151 page adds the sequencer.
#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QString>
#include <functional>
#include <string>

#include "pages/settings_page.h"

namespace kelpax {

class SliderMarks;

// What a page asks the operator through dialogs; tests answer without showing any.
struct PageDialogs {
  // The chosen file, empty when cancelled; `filter` is a Qt file dialog filter.
  std::function<QString(const QString& filter)> openFile;
  std::function<QString(const QString& filter)> saveFile;
  // A plain message box.
  std::function<void(const QString& text)> message;
};

// Whether the main window has a port scan or a transfer running: a data button then does
// nothing, since its command would meet a port being probed or a transfer under way. None set:
// never busy.
class ChannelBusyCheck {
public:
  void set(std::function<bool()> busy) { busy_ = std::move(busy); }
  bool operator()() const { return busy_ && busy_(); }

private:
  std::function<bool()> busy_;
};

class CFFCSetting : public SettingsPage {
  Q_OBJECT

public:
  explicit CFFCSetting(PageHost& host, QWidget* parent = nullptr);

  PageDialogs& dialogs() { return dialogs_; }
  // The page's buttons do nothing while this says the channel is busy.
  void setBusyCheck(std::function<bool()> busy) { busy_.set(std::move(busy)); }
  QGroupBox* offsetGroup() const { return offsetGroup_; }
  QGroupBox* framesGroup() const { return framesGroup_; }
  // The "Selector:" list; hidden on the pages without one.
  QComboBox* selector() const { return selector_; }

  // The buttons' actions, as a click runs them.
  void generate();
  void saveToFlash();
  void loadFromFlash();
  void downloadToCamera();
  void uploadToPc();

protected:
  void setOwnControlsFromCache() override;
  void showSelector(bool shown);
  // The page's box for controls the variants add under the data groups.
  QWidget* extraArea() const { return extra_; }

private:
  void runFlash(int action);
  bool busy() const { return busy_(); }
  void onSelectorChosen(int index);
  void showMessage(const std::string& text);
  // The transfer engine for a file button: none while the main window is busy (nothing is
  // said) or when the camera has no transfer channel (the operator is told).
  BinaryTransfer* idleTransfer();

  PageDialogs dialogs_;
  ChannelBusyCheck busy_;
  QGroupBox* offsetGroup_ = nullptr;
  QGroupBox* framesGroup_ = nullptr;
  QGroupBox* selectorGroup_ = nullptr;
  QComboBox* selector_ = nullptr;
  QWidget* extra_ = nullptr;
};

// Offset level and frame controls hidden; "Generate" takes their place.
class CFFCSettingXML : public CFFCSetting {
  Q_OBJECT

public:
  explicit CFFCSettingXML(PageHost& host, QWidget* parent = nullptr);
};

class CFFCSelectorSetting : public CFFCSetting {
  Q_OBJECT

public:
  explicit CFFCSelectorSetting(PageHost& host, QWidget* parent = nullptr);
};

// The Ko-Ki 101 and 151 MC page: the selector and the sequencer of data sets.
class CKoKi101_151MC_FFC : public CFFCSetting {
  Q_OBJECT

public:
  explicit CKoKi101_151MC_FFC(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
