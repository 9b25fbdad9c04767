// Pictures of the look-up table pages for the README: the page with a gamma 0.45 table, and
// the Ky 29C page with a 14-bit table drawn through points.
//
//   QT_QPA_PLATFORM=offscreen kelpax-lut-page-shot FOLDER
#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <cstdio>

#include "editors/lut_dlg.h"
#include "editors/lut_graph.h"
#include "pages/edit_widgets.h"

using namespace kelpax;

namespace {

// No camera behind the pictures: commands are not sent, the cache is empty.
class NoCamera : public PageHost {
public:
  Answer sendCommand(std::string_view, ExchangeOptions) override { return {}; }
  const ParameterCache& parameterCache() const override { return cache_; }
  const ModelDescriptor& modelDescriptor() const override { return model_; }

private:
  ParameterCache cache_;
  ModelDescriptor model_;
};

bool save(QWidget& page, const QString& file) {
  page.resize(760, 560);
  page.show();
  QApplication::processEvents();
  return page.grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelpax-lut-page-shot FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  NoCamera host;
  CLutDlg page(host);
  page.gammaEdit()->setText(QStringLiteral("0.45"));
  page.applyGamma();
  CKy29CLUTDlg ky(host);
  ky.setType(1);
  ky.pointOrApply();
  ky.graph()->setPoints({{2000, 1500}, {6000, 1800}, {10000, 3200}, {14000, 3500}});
  ky.pointOrApply();
  ky.pointOrApply(); // back in point mode, the points shown over the table
  const bool ok = save(page, folder + QStringLiteral("/lut-page-gamma.png")) &&
                  save(ky, folder + QStringLiteral("/lut-page-ky29c-points.png"));
  return ok ? 0 : 1;
}
