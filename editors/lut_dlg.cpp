// The look-up table pages: controls wired to the table, file and transfer calls of the core.
#include "editors/lut_dlg.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>
#include <chrono>

#include "camera/debug_output.h"
#include "editors/lut_graph.h"
#include "pages/edit_widgets.h"
#include "pages/page_notification.h"

namespace kelpax {
namespace {

constexpr int kGammaEditId = 1161;

QString latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QPushButton* addButton(QLayout* layout, const QString& text, const QString& name) {
  auto* button = new QPushButton(text);
  button->setObjectName(name);
  layout->addWidget(button);
  return button;
}

QButtonGroup* addRadios(QWidget* owner, QLayout* layout, std::initializer_list<const char*> texts) {
  auto* group = new QButtonGroup(owner);
  int id = 0;
  for (const char* text : texts) {
    auto* radio = new QRadioButton(QString::fromLatin1(text));
    group->addButton(radio, id++);
    layout->addWidget(radio);
  }
  return group;
}

} // namespace

CLutDlg::CLutDlg(PageHost& host, QWidget* parent, bool ky29c)
    : QWidget(parent), host_(host), ky29c_(ky29c) {
  setObjectName(QStringLiteral("lutPage"));
  setWindowTitle(QStringLiteral("Camera LUT Download / Upload"));
  markAsNotificationReceiver(this);
  auto* layout = new QVBoxLayout(this);

  auto* graphBox = new QGroupBox(QStringLiteral("Graph"));
  auto* graphLayout = new QVBoxLayout(graphBox);
  graph_ = new CLUTGraph(table_, graphBox);
  graphLayout->addWidget(graph_, 1);
  tools_ = new QWidget(graphBox);
  auto* toolRow = new QHBoxLayout(tools_);
  toolRow->setContentsMargins(0, 0, 0, 0);
  graphLayout->addWidget(tools_);
  auto* fileRow = new QHBoxLayout;
  connect(addButton(fileRow, QStringLiteral("Load File"), QStringLiteral("loadFile")),
          &QPushButton::clicked, this, &CLutDlg::loadFile);
  connect(addButton(fileRow, QStringLiteral("Save File"), QStringLiteral("saveFile")),
          &QPushButton::clicked, this, &CLutDlg::saveFile);
  fileRow->addWidget(new QLabel(QStringLiteral("Gamma:")));
  gammaEdit_ = new CFloatEdit;
  gammaEdit_->setControlId(kGammaEditId);
  gammaEdit_->setObjectName(QStringLiteral("gamma"));
  gammaEdit_->setValueFromCode(gamma_, 2);
  fileRow->addWidget(gammaEdit_);
  connect(addButton(fileRow, QStringLiteral("Apply"), QStringLiteral("applyGamma")),
          &QPushButton::clicked, this, &CLutDlg::applyGamma);
  fileRow->addStretch();
  graphLayout->addLayout(fileRow);
  layout->addWidget(graphBox, 1);

  auto* bottom = new QHBoxLayout;
  auto* cameraBox = new QGroupBox(QStringLiteral("Camera"));
  auto* cameraRow = new QHBoxLayout(cameraBox);
  slot_ = addRadios(this, cameraRow, {"LUT1", "LUT2"});
  slot_->button(0)->setChecked(true);
  connect(addButton(cameraRow, QStringLiteral("Download"), QStringLiteral("download")),
          &QPushButton::clicked, this, &CLutDlg::download);
  connect(addButton(cameraRow, QStringLiteral("Upload to PC"), QStringLiteral("upload")),
          &QPushButton::clicked, this, &CLutDlg::upload);
  bottom->addWidget(cameraBox);
  auto* selectBox = new QGroupBox(QStringLiteral("LUT"));
  auto* selectRow = new QHBoxLayout(selectBox);
  selection_ = addRadios(this, selectRow, {"Off", "LUT 1", "LUT 2"});
  for (QAbstractButton* radio : selection_->buttons())
    connect(radio, &QAbstractButton::clicked, this,
            [this, radio] { select(selection_->id(radio)); });
  bottom->addWidget(selectBox);
  QPushButton* timing =
      addButton(bottom, QStringLiteral("Create LUT"), QStringLiteral("createLut"));
  timing->hide();
  connect(timing, &QPushButton::clicked, this, &CLutDlg::createLutTest);
  layout->addLayout(bottom);
  graph_->refresh();
}

CLutDlg::~CLutDlg() = default;

QPushButton* CLutDlg::button(const QString& name) const {
  return findChild<QPushButton*>(name);
}

void CLutDlg::refreshFromCache() {
  showChoice(cachedLutSelection(host_));
}

void CLutDlg::showChoice(int choice) {
  shownChoice_ = choice;
  // With no choice known no button is checked, which an exclusive group would not allow.
  selection_->setExclusive(false);
  for (QAbstractButton* radio : selection_->buttons())
    radio->setChecked(selection_->id(radio) == choice);
  selection_->setExclusive(true);
}

bool CLutDlg::event(QEvent* event) {
  if (event->type() == PageNotificationEvent::eventType()) {
    auto* note = static_cast<PageNotificationEvent*>(event);
    if (note->kind() == Notification::ValueCommitted && note->payload() == kGammaEditId)
      applyGamma();
    return true;
  }
  return QWidget::event(event);
}

void CLutDlg::showMessage(std::string_view caption, std::string_view text) {
  if (services_.message) {
    services_.message(std::string(caption), std::string(text));
    return;
  }
  QMessageBox::information(this, latin1(caption), latin1(text));
}

void CLutDlg::tableReplaced() {
  graph_->refresh();
}

void CLutDlg::applyGamma() {
  const double typed = gammaEdit_->value();
  if (generateGammaTable(table_, typed)) {
    gamma_ = typed;
    tableReplaced();
  }
  // The edit always shows the gamma in force, a refused value replaced.
  gammaEdit_->setValueFromCode(gamma_, 2);
}

void CLutDlg::loadFile() {
  if (busy() || !services_.openFile)
    return;
  const std::string path = services_.openFile(kLutOpenFilter);
  if (path.empty())
    return;
  const LutFileLoad loaded =
      loadLutFile(path, table_, ky29c_ ? LutFileDialect::Ky29C : LutFileDialect::Standard);
  if (!loaded.ok) {
    debugPrintf("CLutDlg::loadFile, %s\n", loaded.detail.c_str());
    showMessage(loaded.caption, loaded.message);
    return;
  }
  tableReplaced();
}

void CLutDlg::saveFile() {
  if (busy() || !services_.saveFile)
    return;
  const std::string chosen = services_.saveFile(kLutSaveFilter);
  if (chosen.empty())
    return;
  const LutFileSave saved =
      saveLutFile(chosen, table_, ky29c_ ? std::optional<double>(gamma_) : std::nullopt);
  if (!saved.saved) {
    debugPrintf("CLutDlg::saveFile, %s\n", saved.detail.c_str());
    showMessage(saved.caption, saved.message);
  }
}

bool CLutDlg::mayTransfer() {
  return !busy() && services_.download && services_.upload;
}

void CLutDlg::download() {
  if (!mayTransfer())
    return;
  const LutDownload plan = planLutDownload(table_, slot_->checkedId() + 1);
  if (!plan.ok) {
    if (!plan.error.empty())
      showMessage("LUT", plan.error);
    return;
  }
  services_.download(plan.plan);
}

void CLutDlg::upload() {
  if (!mayTransfer())
    return;
  // The graph shows "no data" while the camera sends; a failed upload brings the table back.
  const LutTable before = table_;
  table_.fill(kLutNoData);
  tableReplaced();
  std::vector<uint8_t> received;
  const TransferResult result =
      services_.upload(planLutUpload(slot_->checkedId() + 1, table_.type()), received);
  LutUpload back;
  if (result.ok()) {
    back = lutFromUpload(received, table_.type());
    if (!back.ok) {
      debugPrintf("CLutDlg::upload, %s\n", back.detail.c_str());
      showMessage(back.inflateFailed ? "" : "LUT", back.message);
    }
  }
  table_ = back.ok ? back.table : before;
  tableReplaced();
}

void CLutDlg::select(int choice) {
  if (!selectLut(host_, choice).accepted()) {
    // A refused choice: the buttons show what the camera still applies.
    showChoice(shownChoice_);
    return;
  }
  showChoice(choice);
  if (services_.selectionChanged)
    services_.selectionChanged();
}

void CLutDlg::createLutTest() {
  const std::function<long()> now = services_.nowMs ? services_.nowMs : [] {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
  };
  const LutTimingTest test = runLutTimingTest(host_, now);
  showMessage(kLutTimingCaption, lutTimingReport(test.elapsedMs));
}

// --- Ky 29C ---------------------------------------------------------------------------------

CKy29CLUTDlg::CKy29CLUTDlg(PageHost& host, QWidget* parent) : CLutDlg(host, parent, true) {
  setObjectName(QStringLiteral("ky29cLutPage"));
  auto* row = static_cast<QHBoxLayout*>(tools_->layout());
  row->addWidget(new QLabel(QStringLiteral("Type:")));
  type_ = new QComboBox;
  type_->setObjectName(QStringLiteral("type"));
  type_->addItems({QStringLiteral("12 bit"), QStringLiteral("14 bit")});
  row->addWidget(type_);
  connect(type_, &QComboBox::activated, this, [this](int index) { setType(index); });
  row->addWidget(new QLabel(QStringLiteral("Draw:")));
  draw_ = new QComboBox;
  draw_->setObjectName(QStringLiteral("draw"));
  draw_->addItems({QStringLiteral("Straight"), QStringLiteral("Curve")});
  row->addWidget(draw_);
  connect(draw_, &QComboBox::activated, this,
          [this](int index) { graph_->setCurveKind(LutCurveKind(index == 1 ? 1 : 0)); });
  connect(addButton(row, QStringLiteral("Point"), QStringLiteral("point")), &QPushButton::clicked,
          this, &CKy29CLUTDlg::pointOrApply);
  connect(addButton(row, QStringLiteral("Clear"), QStringLiteral("clear")), &QPushButton::clicked,
          graph_, &CLUTGraph::clearPoints);
  connect(addButton(row, QStringLiteral("Config"), QStringLiteral("config")), &QPushButton::clicked,
          graph_, [this] { graph_->openConfigDialog(); });
  row->addStretch();
  connect(graph_, &CLUTGraph::tableChanged, graph_, &CLUTGraph::refresh);
  enableForType();
}

void CKy29CLUTDlg::setType(int selector) {
  bool typeError = false;
  const LutType type = lutTypeFromSelector(selector, &typeError);
  if (typeError)
    debugOutput(kLutTypeError);
  if (graph_->pointMode())
    pointOrApply();
  table_.setType(type);
  type_->setCurrentIndex(type == LutType::Bits14 ? 1 : 0);
  tableReplaced();
  enableForType();
}

void CKy29CLUTDlg::enableForType() {
  const bool wide = table_.type() == LutType::Bits14;
  for (const char* name : {"point", "clear", "config"})
    button(QString::fromLatin1(name))->setEnabled(wide);
  draw_->setEnabled(wide);
  gammaEdit_->setEnabled(!wide);
  button(QStringLiteral("applyGamma"))->setEnabled(!wide);
}

void CKy29CLUTDlg::pointOrApply() {
  QPushButton* point = button(QStringLiteral("point"));
  if (!graph_->pointMode()) {
    graph_->setPointMode(true);
    point->setText(QStringLiteral("Apply"));
    return;
  }
  graph_->applyPoints();
  graph_->setPointMode(false);
  point->setText(QStringLiteral("Point"));
}

bool CKy29CLUTDlg::mayTransfer() {
  if (busy()) {
    showMessage(kCannotDownloadLutCaption, kCannotDownloadLut);
    return false;
  }
  return services_.download && services_.upload;
}

} // namespace kelpax
