// The operator's way to move files between the PC and the camera: the camera's files (the
// entries of "FileSelector"), what to do, the file on the PC, and the progress.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace nodeview {

class CPropertiesViewBar;

class CFileAccessDialog : public QDialog {
  Q_OBJECT

public:
  explicit CFileAccessDialog(CPropertiesViewBar* pane);

  QComboBox* deviceFiles() const { return files_; }
  QLineEdit* localPath() const { return path_; }
  QRadioButton* modeButton(int mode) const;
  QPushButton* startButton() const { return start_; }
  QProgressBar* progress() const { return progress_; }
  QLabel* result() const { return result_; }
  // Starts the chosen transfer; false when the request is refused before it starts.
  bool start();

private:
  void finished(int code);

  CPropertiesViewBar* pane_;
  QComboBox* files_;
  QRadioButton* modes_[3];
  QLineEdit* path_;
  QPushButton* start_;
  QProgressBar* progress_;
  QLabel* result_;
};

} // namespace nodeview
