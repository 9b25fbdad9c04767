// What the tests of the declared pages share: a page on a simulated camera, the operator's
// clicks, typing, spins and slider presses, and a host whose cache holds whatever a hostile
// camera answered.
#pragma once

#include <QTest>
#include <string>
#include <vector>

#include "camera/tables/model_rules.h"
#include "camera/tables/stem_lists.h"
#include "tests/pages/page_rig.h"

namespace pagetest {

template <class Page> class DeclaredPageTest : public ::testing::Test {
protected:
  explicit DeclaredPageTest(const char* model) : rig(model), page(rig.host()) {
    page.resize(1000, 700);
    page.show();
    loadFromCache();
  }

  // What the main window does after connecting: controls from the cache, then RefreshAll.
  void loadFromCache() {
    page.setControlsFromCache();
    page.postRefreshAll();
    settle();
    rig.host().sent.clear();
  }
  // Values set on the camera behind the page's back, then the page reloaded.
  void onCamera(std::initializer_list<const char*> commands) {
    for (const char* command : commands)
      ASSERT_TRUE(rig.direct(command)) << command;
    loadFromCache();
  }
  void showSection(int section) {
    page.showSection(section);
    settle();
  }

  CMButton* radio(const char* stem, size_t index) {
    return page.radioGroup(stem)->buttons.at(index);
  }
  bool checked(const char* stem) { return page.checkBox(stem)->box->isChecked(); }
  void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
    settle();
  }
  void typeInto(QLineEdit* edit, const char* text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    settle();
  }
  void type(QLineEdit* edit, const char* text) { typeInto(edit, text); }
  void type(const char* stem, const char* text) {
    if (auto* value = page.value(stem))
      typeInto(value->edit, text);
    else
      typeInto(page.realValue(stem)->edit, text);
  }
  void spin(const char* stem, bool up) {
    CMySpinCtrl* spinCtrl = page.value(stem) ? page.value(stem)->spin : page.realValue(stem)->spin;
    click(up ? spinCtrl->upButton() : spinCtrl->downButton());
  }
  // A press on the slider at a fraction of its width: the thumb jumps there and reports.
  void slide(const char* stem, double fraction) {
    QSlider* slider = page.value(stem) ? page.value(stem)->slider : page.realValue(stem)->slider;
    slider->setValue(fraction < 0.5 ? slider->maximum() : slider->minimum());
    QTest::mouseClick(slider, Qt::LeftButton, {},
                      QPoint(int(slider->width() * fraction), slider->height() / 2));
    settle();
  }
  QString shown(const char* stem, int index = 0) {
    if (auto* value = page.value(stem, index))
      return value->edit->text();
    return page.realValue(stem)->edit->text();
  }
  int32_t cached(const char* stem, int index = 0) { return rig.host().cacheInt(stem, index); }
  float cachedReal(const char* stem) { return rig.host().cacheFloat(stem); }
  Commands sent() { return rig.host().commands(); }
  void clearSent() { rig.host().sent.clear(); }

  CameraRig rig;
  Page page;
};

// A page host whose cache holds what a camera answered to the family's queries, and which
// refuses every command: for pages fed errors, garbage and values out of every range.
class HostileHost : public PageHost {
public:
  HostileHost(const std::string& model, Series series) {
    describeModelName(model, model_);
    applyModelRanges(model_);
    for (const StemRegistration& stem : stemsForSeries(series))
      cache_.registerEntry(stem.stem, stem.flags);
  }
  // The camera's answer to "g" + stem.
  void answered(const std::string& stem, const std::string& answer) {
    cache_.takeFromTraffic("g" + stem + "\r\n" + answer + "\r\n>");
  }
  Answer sendCommand(std::string_view command, ExchangeOptions) override {
    sent.emplace_back(command);
    Answer answer;
    answer.result = CommandResult::CameraError;
    answer.text = std::string(command) + "\r\nError : command failed\r\n>";
    return answer;
  }
  const ParameterCache& parameterCache() const override { return cache_; }
  const ModelDescriptor& modelDescriptor() const override { return model_; }

  Commands sent;

private:
  ModelDescriptor model_;
  ParameterCache cache_;
};

} // namespace pagetest
