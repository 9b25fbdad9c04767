// The Ko factory page ("Ko Model Factory"): board and sensor serial numbers, gain piece and
// black-level offset, the CMOS bias voltages, the sensor clock, FPGA register reads, writes
// and an aging run, and the sensor information file sent to the camera. Everything it reads
// or writes goes through the camera's privileged level, which is closed again each time.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <array>

#include "pages/ko/ko_factory.h"
#include "pages/settings_page.h"

namespace kelpax {

class CKo_Kosetting : public SettingsPage {
  Q_OBJECT

public:
  explicit CKo_Kosetting(PageHost& host, QWidget* parent = nullptr);

  // How the sensor information frame reaches the camera (the session's transfer engine);
  // without one the download button stays disabled.
  void setSingleFrameSender(SingleFrameSender sender);
  // The defect-pixel map download the main window runs (file choice, transfer, progress);
  // without one "Defect Down" stays disabled.
  void setDefectDownload(std::function<void()> download);

  // "Refresh": every value read again inside the privileged level.
  void readAll();
  // The operator's edits, as Enter in their field runs them.
  void writeSerial(size_t field);
  void writeBias(size_t voltage);
  void writeBlackOffset();
  void writeGainPiece();
  void readRegister();
  void writeRegister();
  void runAging(int reads = kAgingReads);
  // Sends the information file at `path`; what a chosen file in the dialog runs.
  void downloadSensorInfo(const QString& path);

  QLineEdit* serialEdit(size_t field) const { return serials_.at(field); }
  QLineEdit* biasEdit(size_t voltage) const { return bias_.at(voltage); }
  QLineEdit* blackOffsetEdit() const { return blackOffset_; }
  QLineEdit* gainPieceEdit() const { return gainPiece_; }
  QLineEdit* addressEdit() const { return address_; }
  QLineEdit* dataEdit() const { return data_; }
  QLabel* registerResult() const { return registerResult_; }
  QLabel* sensorInfoResult() const { return sensorInfoResult_; }

  static constexpr int kAgingReads = 100;

protected:
  // A message box; tests catch it.
  virtual void showMessage(const QString& text);
  // The file dialog for the information file; empty when the operator cancels.
  virtual QString chooseSensorInfoFile();

private:
  void build();
  Answer quiet(const std::string& command);
  // A set command inside the privileged level, then everything read again.
  void writePrivileged(const std::string& command);

  std::array<QLineEdit*, kKoSerialFields.size()> serials_{};
  std::array<QLineEdit*, kBiasVoltages.size()> bias_{};
  QLineEdit* blackOffset_ = nullptr;
  QLineEdit* gainPiece_ = nullptr;
  QLineEdit* address_ = nullptr;
  QLineEdit* data_ = nullptr;
  QLabel* registerResult_ = nullptr;
  QLabel* sensorInfoResult_ = nullptr;
  CMyButton* download_ = nullptr;
  SingleFrameSender sendFrame_;
  CMyButton* defect_ = nullptr;
  std::function<void()> defectDownload_;
};

} // namespace kelpax
