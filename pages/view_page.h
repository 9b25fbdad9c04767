// The image pages: read-out mode, binning, test image, Camera Link output, data bits,
// look-up table, image processing and the region of interest. CViewSetting serves the older
// families, CKo_ViewSetting the Ko family with its dark-image data, CKo3_ViewSetting the
// Ko 10M with its flips and pixel clock.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <optional>

#include "pages/settings_page.h"

namespace kelpax {

// What every image page has: the region edits (first and last column, first and last line)
// with their "Full" button, and message boxes the tests can catch.
class ImageSettingsPage : public SettingsPage {
  Q_OBJECT

public:
  CMyButton* fullButton() const { return full_; }

protected:
  ImageSettingsPage(PageHost& host, QWidget* parent);

  // The region group: columns ("sha %d %d", cached "ha") and lines ("sva %d %d", "va").
  QGroupBox* buildRegionBox();
  // Columns 0 to width - 1 and lines 0 to height - 1 of the model's sensor.
  void sendFullFrame();
  void onButtonClicked(int controlId) override;

  // A message box with an OK button; tests replace it.
  virtual void showMessage(const QString& text);

  QGroupBox* regionBox_ = nullptr;

private:
  CMyButton* full_ = nullptr;
};

class CViewSetting : public ImageSettingsPage {
  Q_OBJECT

public:
  explicit CViewSetting(PageHost& host, QWidget* parent = nullptr);
};

class CKo_ViewSetting : public ImageSettingsPage {
  Q_OBJECT

public:
  explicit CKo_ViewSetting(PageHost& host, QWidget* parent = nullptr);

  // The region layout: the "Multi ROI" read-out mode and the region number are shown only
  // for cameras that keep regions. setControlsFromCache chooses it from the model.
  void setRegionLayout(bool regions);
  bool regionLayout() const { return regionLayout_; }

  // The pointer over a region graph, in sensor pixels, and the region under it (none: the
  // label is hidden).
  void showPointer(double x, double y);
  void showRegionNumber(std::optional<int> region);

  CMyButton* generateButton() const { return generate_; }
  CMyButton* saveButton() const { return save_; }
  QLabel* pointerLabel() const { return pointerLabel_; }
  QLabel* regionNumberLabel() const { return regionNumberLabel_; }

  // The dark-image buttons' work (also what a click runs).
  void generateDarkData();
  void saveDarkData();

Q_SIGNALS:
  // The operator chose the "Multi ROI" read-out mode (or pressed it again): the region table
  // should open. Emitted from the event loop, after the mode button shows the choice.
  void multiRoiRequested();

protected:
  struct Wording {
    QStringList taps{};
    std::vector<int32_t> tapValues{};
    QStringList dataBits{};
    std::vector<int32_t> dataBitValues{};
    bool ko3 = false; // vertical flip, reverse X/Y and the pixel clock
  };
  CKo_ViewSetting(PageHost& host, const Wording& wording, QWidget* parent);

  void adaptToModel() override;
  bool radioChoiceAllowed(const RadioGroup& group, size_t index) override;
  void radioChosen(const RadioGroup& group, size_t index) override;
  void onButtonClicked(int controlId) override;

private:
  void build(const Wording& wording);
  // Disables both dark-image buttons while one of them works.
  void setDarkButtonsEnabled(bool enabled);

  Wording wording_;
  CMyButton* generate_ = nullptr;
  CMyButton* save_ = nullptr;
  QLabel* pointerLabel_ = nullptr;
  QLabel* regionNumberLabel_ = nullptr;
  bool regionLayout_ = true;
  bool darkDataBusy_ = false;
};

class CKo3_ViewSetting : public CKo_ViewSetting {
  Q_OBJECT

public:
  explicit CKo3_ViewSetting(PageHost& host, QWidget* parent = nullptr);
};

} // namespace kelpax
