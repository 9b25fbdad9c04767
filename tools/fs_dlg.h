// The factory tuning dialog of CCD cameras: the timing words and their files, the offset clamp,
// serial numbers, substrate voltage and calibration values, the factory downloads, the column
// offset dialog and the register soak test.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pages/page_host.h"
#include "tools/factory_tuning.h"

namespace kelpax {

class BinaryTransfer;
class CColumnOffsetDlg;

class CFSDlg : public QDialog {
  Q_OBJECT

public:
  struct Options {
    // The factory downloads; they are greyed without it.
    BinaryTransfer* transfer = nullptr;
    // "addInfo.ini" of the column offset dialog is looked for here.
    std::string workingFolder;
    // File choices; an empty result is Cancel.
    std::function<std::string(const QString& filter)> openFile;
    std::function<std::string(const QString& filter)> saveFile;
    // Message boxes (caption, text); the program's own when empty.
    std::function<void(const std::string& caption, const std::string& text)> message;
    // The main window's status line.
    std::function<void(const std::string& text)> status;
    std::function<void(int hz, int ms)> beeper;
    // "Refresh": the main window's Tool → Factory Setting.
    std::function<void()> refresh;
    // "Close": the main window leaves its tuning mode.
    std::function<void()> closed;
  };

  CFSDlg(PageHost& host, Options options, QWidget* parent = nullptr);
  ~CFSDlg() override;

  // Shows the model's captions, opens the privileged level and reads the page.
  void readFromCamera();

  // --- the controls, for the main window's tests and pictures
  QCheckBox* channelBox(int row) const { return channelBoxes_[size_t(row)]; }
  QSpinBox* channelEdit(int row) const { return channelEdits_[size_t(row)]; }
  QRadioButton* widthRadio() const { return width_; }
  QRadioButton* offsetRadio() const { return offset_; }
  QCheckBox* offsetClamp() const { return clamp_; }
  QLineEdit* serialEdit(SerialField field) const { return serials_[size_t(field)]; }
  QLineEdit* vsubEdit() const { return vsub_; }
  QSpinBox* intEdit(const QString& caption) const;
  QLineEdit* addressEdit() const { return address_; }
  QPushButton* button(const QString& caption) const;
  QLabel* soakLabel() const { return soakLabel_; }
  const TimingSets& sets() const { return sets_; }
  bool soakRunning() const { return soak_ != nullptr; }
  CColumnOffsetDlg* columnOffsetDialog() const { return columnOffset_; }

  // --- the buttons' actions
  void step(int delta);      // "▲" / "▼"
  void wheelStep(int delta); // the mouse wheel: step, beep, send the chosen set
  void checkAll(bool on);    // "ALL" / "Clear"
  void reset();
  void update();
  void save();
  void load();
  void startSoak();
  void stopSoak();

  // "Close", Escape and the window's close box: the soak test stops and the main window
  // leaves its tuning mode.
  void reject() override;

protected:
  void wheelEvent(QWheelEvent* event) override;

private:
  TimingSetKind chosen() const;
  void showChosenSet();
  void storeEdits();
  void tell(const std::string& caption, const std::string& text);
  void status(const std::string& text);
  void beep(int hz, int ms);
  // Shows the answer's outcome; false for a refusal (or a value not sent).
  bool judged(const std::optional<Answer>& answer);
  QSpinBox* addIntEdit(const QString& caption, IntRange range, bool spin);
  void commitInt(QSpinBox* edit, int value);
  void showInt(QSpinBox* edit, std::optional<int> value);
  void commitSerial(SerialField field);
  void commitVsub();
  void toggleClamp();
  void loadSerials();
  void ccdDownload();
  void pixelGainDownload();
  void showColumnOffset();
  void soakStep();

  PageHost& host_;
  Options options_;
  FactoryTuning tuning_;
  TimingSets sets_ = TimingSets::defaults();

  std::array<QCheckBox*, kTimingChannels> channelBoxes_{};
  std::array<QSpinBox*, kTimingChannels> channelEdits_{};
  QRadioButton* width_ = nullptr;
  QRadioButton* offset_ = nullptr;
  QCheckBox* clamp_ = nullptr;
  std::array<QLineEdit*, kSerialFields> serials_{};
  std::array<QString, kSerialFields> acceptedSerials_{};
  QLineEdit* vsub_ = nullptr;
  QString acceptedVsub_;
  std::vector<std::pair<QString, QSpinBox*>> intEdits_;
  // What each integer edit last showed from the camera or from an accepted commit.
  std::map<QSpinBox*, int> accepted_;
  QLineEdit* address_ = nullptr;
  QLabel* soakLabel_ = nullptr;
  QTimer soakTimer_;
  std::unique_ptr<RegisterSoak> soak_;
  CColumnOffsetDlg* columnOffset_ = nullptr;
};

} // namespace kelpax
