// "Camera Info": the connected camera's name, serial number and firmware versions, and the
// program's version.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <string>

class QLabel;

namespace kelpax {

class CAboutDlg : public QDialog {
  Q_OBJECT

public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // Each field takes an answer with its echo already removed; line ends and the prompt are
  // not shown.
  void setCameraName(const std::string& text) { setField(name_, text); }
  void setSerialNumber(const std::string& text) { setField(serial_, text); }
  void setFpgaVersion(const std::string& text) { setField(fpga_, text); }
  void setMcuVersion(const std::string& text) { setField(mcu_, text); }
  void setVersionText(const QString& text);

  QString cameraName() const { return name_->text(); }
  QString serialNumber() const { return serial_->text(); }
  QString fpgaVersion() const { return fpga_->text(); }
  QString mcuVersion() const { return mcu_->text(); }
  QString versionText() const;

private:
  static void setField(QLineEdit* field, const std::string& text);

  QLineEdit* name_ = nullptr;
  QLineEdit* serial_ = nullptr;
  QLineEdit* fpga_ = nullptr;
  QLineEdit* mcu_ = nullptr;
  QLabel* version_ = nullptr;
};

} // namespace kelpax
