// The Ky 29C window selection and automatic-function pages.
#include <QGridLayout>

#include "camera/tables/command_vocabulary.h"
#include "pages/ky/ky29c_pages.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

struct WindowCommands {
  const char* stems[4];
  CommandSpec formats[4];
};
// The exposure, focus and white-balance windows: offset X, offset Y, width, height.
const WindowCommands kWindows[] = {
    {{"ex", "ey", "ew", "eh"},
     {cmd::kExposureWindowX, cmd::kExposureWindowY, cmd::kExposureWindowWidth,
      cmd::kExposureWindowHeight}},
    {{"fx", "fy", "fw", "fh"},
     {cmd::kFocusWindowX, cmd::kFocusWindowY, cmd::kFocusWindowWidth, cmd::kFocusWindowHeight}},
    {{"wx", "wy", "ww", "wh"},
     {cmd::kWindowX, cmd::kWindowY, cmd::kWindowWidth, cmd::kWindowHeight}},
};

constexpr int kFocusStepId = 2601;
constexpr int kApertureTargetId = 2602;
constexpr int kApertureStepId = 2603;

} // namespace

CKy29CROIDlg::CKy29CROIDlg(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  RadioGroup& selection = addRadioGroup({.title = "ROI Selection",
                                         .format = cmd::kWindowSelect,
                                         .stem = "rd",
                                         .labels = {"Off", "Exposure", "Focus", "White Balance"}});
  windows_ = new QStackedWidget(this);
  // "Off": no window to edit.
  auto* none = new QLabel("No window is chosen.", windows_);
  none->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  windows_->addWidget(none);
  // Offsets run to the last column and line, sizes from one pixel to the whole sensor.
  auto range = [this](int field) {
    return [this, field] {
      const ModelDescriptor& m = this->host().modelDescriptor();
      const int32_t last = std::max(0, field % 2 == 0 ? m.aoiMaxX : m.aoiMaxY);
      return field < 2 ? ValueRange{0, last} : ValueRange{1, last + 1};
    };
  };
  static const char* const kCaptions[] = {"OffsetX:", "OffsetY:", "Width:", "Height:"};
  for (const WindowCommands& window : kWindows) {
    auto* page = new QWidget(windows_);
    auto* layout = new QVBoxLayout(page);
    for (int field = 0; field < 4; ++field) {
      Value& v = addValue({.format = window.formats[field],
                           .stem = window.stems[field],
                           .range = range(field),
                           .slider = SliderMap::None});
      v.edit->setParent(page);
      v.spin->setParent(page);
      layout->addLayout(valueBlock(v, kCaptions[field]));
    }
    layout->addStretch();
    windows_->addWidget(page);
  }
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(selection.box);
  row->addWidget(groupBox("Window", {windows_}, this), 1);
  column->addLayout(row);
  column->addStretch();
}

SettingsPage::Value* CKy29CROIDlg::windowValue(int window, int field) {
  if (window < kExposure || window > kWhiteBalance || field < 0 || field > 3)
    return nullptr;
  return value(kWindows[window - 1].stems[field]);
}

void CKy29CROIDlg::updateEnabling() {
  // The camera's choice decides which window the edits show.
  const int32_t chosen = host().cacheInt("rd");
  windows_->setCurrentIndex(chosen >= kExposure && chosen <= kWhiteBalance ? chosen : kOff);
}

void CKy29CROIDlg::showEvent(QShowEvent* event) {
  SettingsPage::showEvent(event);
  if (initialised_)
    return;
  initialised_ = true;
  setControlsFromCache();
  refreshAll();
}

CKy29CAutoCtrlDlg::CKy29CAutoCtrlDlg(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  const QStringList modes{"Off", "Once", "Continuous"};
  auto exposureRange = [this] { return this->host().modelDescriptor().exposureUs; };
  RadioGroup& exposure =
      addRadioGroup({.title = "Mode", .format = cmd::kAutoExposure, .stem = "ea", .labels = modes});
  Value& exposureMin = addValue(
      {.format = cmd::kAutoExposureMin, .stem = "el", .spinStep = 10, .range = exposureRange});
  Value& exposureMax = addValue(
      {.format = cmd::kAutoExposureMax, .stem = "eu", .spinStep = 10, .range = exposureRange});
  Value& tolerance = addValue({.format = cmd::kAutoExposureTolerance, .stem = "tl", .range = [] {
                                 return ValueRange{0, 100};
                               }});
  Value& target = addValue({.format = cmd::kAutoExposureTarget, .stem = "at", .range = [] {
                              return ValueRange{0, 255};
                            }});
  RadioGroup& gain =
      addRadioGroup({.title = "Mode", .format = cmd::kAutoGain, .stem = "ga", .labels = modes});
  RealValue& gainMin =
      addRealValue({.format = cmd::kAutoGainMin, .stem = "gl", .spinStep = 0.5, .range = [] {
                      return kGainLimitRange;
                    }});
  RealValue& gainMax =
      addRealValue({.format = cmd::kAutoGainMax, .stem = "gu", .spinStep = 0.5, .range = [] {
                      return kGainLimitRange;
                    }});
  RadioGroup& focus =
      addRadioGroup({.title = "Mode", .format = cmd::kAutoFocus, .stem = "fa", .labels = modes});
  // The focus position is what "mfa" moves to; the camera reports it as "fp".
  Value& focusAt = addValue({.format = cmd::kFocusAbsolute,
                             .stem = "fp",
                             .spinStep = 10,
                             .range = [] { return kFocusRange; },
                             .timeoutMs = [] { return kLensTimeoutMs; }});
  RadioGroup& aperture =
      addRadioGroup({.title = "Mode", .format = cmd::kAutoAperture, .stem = "pa", .labels = modes});
  Value& apertureLow = addValue(
      {.format = cmd::kApertureLower, .stem = "pl", .range = [] { return kApertureRange; }});
  Value& apertureHigh = addValue(
      {.format = cmd::kApertureUpper, .stem = "pu", .range = [] { return kApertureRange; }});

  auto ownEdit = [this](int id) {
    auto* edit = new CIntegerEdit(this);
    edit->setControlId(id);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance("000000000") + 12);
    return edit;
  };
  focusStep_ = ownEdit(kFocusStepId);
  apertureTarget_ = ownEdit(kApertureTargetId);
  apertureStep_ = ownEdit(kApertureStepId);
  auto editRow = [](const QString& caption, QWidget* edit) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(caption));
    row->addWidget(edit);
    row->addStretch();
    return row;
  };
  auto buttonRow = [](std::initializer_list<QWidget*> buttons) {
    auto* row = new QHBoxLayout;
    for (QWidget* b : buttons)
      row->addWidget(b);
    row->addStretch();
    return row;
  };
  CMyButton* zero =
      addButton({.label = "Zero", .action = [this] { moveLens(formatCommand(cmd::kFocusZero)); }});
  CMyButton* infinite = addButton(
      {.label = "Infinite", .action = [this] { moveLens(formatCommand(cmd::kFocusInfinite)); }});
  CMyButton* open = addButton(
      {.label = "Open", .action = [this] { moveLens(formatCommand(cmd::kApertureOpen)); }});
  CMyButton* close = addButton(
      {.label = "Close", .action = [this] { moveLens(formatCommand(cmd::kApertureClose)); }});
  CMyButton* whiteBalance =
      addButton({.label = "Execute", .action = [this] {
                   send(formatCommand(cmd::kAutoWhiteBalance), kWhiteBalanceTimeoutMs);
                 }});

  auto* grid = new QGridLayout(this);
  grid->addWidget(groupBox("Auto Exposure",
                           {exposure.box, valueBlock(exposureMin, "Min:", "us"),
                            valueBlock(exposureMax, "Max:", "us"),
                            valueBlock(tolerance, "Tolerance:"), valueBlock(target, "Target:")},
                           this),
                  0, 0);
  grid->addWidget(groupBox("Auto Gain",
                           {gain.box, valueBlock(gainMin, "Min:"), valueBlock(gainMax, "Max:")},
                           this),
                  0, 1);
  grid->addWidget(groupBox("Auto White Balance", {whiteBalance}, this), 0, 2);
  grid->addWidget(groupBox("Auto Focus",
                           {focus.box, valueBlock(focusAt, "Absolute:"),
                            editRow("Incremental:", focusStep_), buttonRow({zero, infinite})},
                           this),
                  1, 0);
  grid->addWidget(groupBox("Auto Aperture",
                           {aperture.box, valueBlock(apertureLow, "Min:"),
                            valueBlock(apertureHigh, "Max:"), editRow("Absolute:", apertureTarget_),
                            editRow("Incremental:", apertureStep_), buttonRow({open, close})},
                           this),
                  1, 1);
  grid->setRowStretch(2, 1);
}

void CKy29CAutoCtrlDlg::readFocusPosition() {
  // The answer reaches the value cache, which the focus edit shows.
  host().sendCommand(formatCommand(cmd::kFocusPositionQuery),
                     {.timeoutMs = kCommandTimeoutMs, .shown = false});
  if (Value* focus = value("fp"))
    showValue(*focus);
}

void CKy29CAutoCtrlDlg::moveLens(const std::string& command) {
  send(command, kLensTimeoutMs);
  readFocusPosition();
}

void CKy29CAutoCtrlDlg::valueCommitted(Value& value, bool /*accepted*/) {
  // "mfa" moves the lens; the position it reached is read, not assumed.
  if (value.decl.stem == "fp")
    readFocusPosition();
}

void CKy29CAutoCtrlDlg::onOwnValueCommitted(int controlId) {
  struct Own {
    int id;
    CIntegerEdit* edit;
    CommandSpec format;
    ValueRange range;
  };
  const Own owns[] = {
      {kFocusStepId, focusStep_, cmd::kFocusIncremental, kFocusStepRange},
      {kApertureTargetId, apertureTarget_, cmd::kApertureAbsolute, kApertureRange},
      {kApertureStepId, apertureStep_, cmd::kApertureIncremental, kApertureStepRange},
  };
  for (const Own& own : owns) {
    if (own.id != controlId)
      continue;
    // A move is an action, not a setting: the field empties once it is done or refused.
    const int32_t amount = own.edit->value();
    const bool typed = !own.edit->text().trimmed().isEmpty();
    own.edit->clear();
    if (typed && own.range.contains(amount))
      moveLens(formatCommand(own.format, {double(amount)}));
  }
}

} // namespace kelpax
