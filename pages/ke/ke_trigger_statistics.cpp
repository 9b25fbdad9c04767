// The Ke trigger statistics.
#include "pages/ke/ke_trigger_statistics.h"

#include <QVBoxLayout>
#include <cmath>

#include "camera/tables/command_vocabulary.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

struct Figure {
  const char* caption;
  CommandSpec query;
};
constexpr std::array<Figure, CKe_TRIGGER_STATICS_Dlg::kFigures> kFigureList = {{
    {"InputTriggerRate:", cmd::kInputTriggerRate},
    {"InputTriggerRateHighest:", cmd::kInputTriggerRateHighest},
    {"InputTriggerJitter:", cmd::kInputTriggerJitter},
    {"InputTriggerDuration:", cmd::kInputTriggerDuration},
    {"RescaledTriggerRate:", cmd::kRescaledTriggerRate},
    {"RescaledTriggerJitter:", cmd::kRescaledTriggerJitter},
}};

// The camera's figure as it wrote it, when it is a number; anything else shows nothing.
QString figureText(const Answer& answer) {
  if (!answer.accepted())
    return {};
  const QString token = QString::fromStdString(answer.token(0));
  bool number = false;
  const double value = token.toDouble(&number);
  return number && std::isfinite(value) ? token : QString{};
}

} // namespace

CKe_TRIGGER_STATICS_Dlg::CKe_TRIGGER_STATICS_Dlg(PageHost& host, QWidget* parent)
    : SettingsPage(host, parent) {
  auto* box = new QGroupBox("Trigger Statistics", this);
  auto* layout = new QVBoxLayout(box);
  for (size_t i = 0; i < kFigures; ++i) {
    figures_[i] = new QLabel(box);
    figures_[i]->setMinimumWidth(figures_[i]->fontMetrics().horizontalAdvance("000000.000") + 8);
    layout->addLayout(labelRow(kFigureList[i].caption, figures_[i]));
  }
  layout->addWidget(addButton({.label = "Refresh", .action = [this] { refreshStatistics(); }}));
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->addWidget(box);
}

void CKe_TRIGGER_STATICS_Dlg::refreshStatistics() {
  for (size_t i = 0; i < kFigures; ++i) {
    const Answer answer = host().sendCommand(formatCommand(kFigureList[i].query),
                                             {.timeoutMs = kCommandTimeoutMs, .shown = false});
    figures_[i]->setText(figureText(answer));
  }
}

} // namespace kelpax
