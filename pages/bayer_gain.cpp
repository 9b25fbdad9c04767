// The colour calibration dialog.
#include "pages/bayer_gain.h"

#include <QVBoxLayout>
#include <cmath>

#include "camera/tables/command_vocabulary.h"
#include "pages/page_layout.h"

namespace kelpax {
namespace {

// The white balance measures a few frames before it answers.
constexpr uint32_t kWhiteBalanceTimeoutMs = 10000;

// Stems as the camera's queries name them: "grg r" reads the red gain.
constexpr std::array<const char*, 3> kChannels = {"rg r", "rg g", "rg b"};

} // namespace

CBayerGain::CBayerGain(PageHost& host, QWidget* parent) : SettingsPage(host, parent) {
  setWindowTitle(QStringLiteral("Color Calibration"));
  const std::array<CommandSpec, 3> formats = {cmd::kRedGain, cmd::kGreenGain, cmd::kBlueGain};
  const std::array<QString, 3> captions = {"Red Gain", "Green Gain", "Blue Gain"};
  auto* box = new QGroupBox("Color Calibraiton", this);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(
      addButton({.label = "Auto White Balance", .action = [this] { autoWhiteBalance(); }}));
  for (size_t i = 0; i < kChannels.size(); ++i) {
    RealValue& gain = addRealValue({.format = formats[i],
                                    .stem = kChannels[i],
                                    .spinStep = 0.01,
                                    .range = [] { return kGainRange; },
                                    .slider = true,
                                    .sliderSteps = 775});
    layout->addWidget(new QLabel(captions[i], box));
    layout->addLayout(valueBlock(gain, {}));
  }
  layout->addWidget(addButton({.label = "Color Reset", .action = [this] { resetColours(); }}));
  auto* page = new QVBoxLayout(this);
  page->addWidget(box);
}

std::optional<double> CBayerGain::cachedReal(const std::string& stem) const {
  auto it = gains_.find(stem);
  if (it == gains_.end())
    return std::nullopt;
  return it->second;
}

void CBayerGain::readGain(const std::string& stem) {
  gains_.erase(stem);
  const Answer answer =
      host().sendCommand("g" + stem, {.timeoutMs = kCommandTimeoutMs, .shown = false});
  if (!answer.accepted())
    return;
  bool number = false;
  const double gain = QString::fromStdString(answer.token(0)).toDouble(&number);
  if (number && std::isfinite(gain))
    gains_[stem] = gain;
}

void CBayerGain::readGains() {
  for (const char* stem : kChannels)
    readGain(stem);
  refreshAll();
}

void CBayerGain::realValueCommitted(RealValue& value, bool /*accepted*/) {
  // Accepted or not, show what the camera keeps now.
  readGain(value.decl.stem);
  showRealValue(value);
}

void CBayerGain::showEvent(QShowEvent* event) {
  SettingsPage::showEvent(event);
  if (host().modelDescriptor().isColour())
    readGains();
}

void CBayerGain::autoWhiteBalance() {
  send(formatCommand(cmd::kAutoWhiteBalance), kWhiteBalanceTimeoutMs);
  readGains();
}

void CBayerGain::resetColours() {
  // Unity on every channel, as the camera's own "1".
  for (const char* stem : kChannels)
    send("s" + std::string(stem) + " 1");
  readGains();
}

} // namespace kelpax
