// The custom controls offscreen: what each lets through, when it reports to its page and
// with which payload.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <memory>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "app/menu_tip_widget.h"
#include "app/status_bar_widget.h"
#include "pages/control_widgets.h"
#include "pages/edit_widgets.h"

using namespace kelpax;

namespace {

// Stands in for a page: records the notifications and the keys that reach it.
class RecordingPage : public QWidget {
public:
  struct Seen {
    Notification kind;
    int payload;
    QWidget* control;
  };
  RecordingPage() {
    markAsNotificationReceiver(this);
    resize(300, 200);
  }
  std::vector<Seen> seen;
  std::vector<int> keys;

protected:
  bool event(QEvent* event) override {
    if (event->type() == PageNotificationEvent::eventType()) {
      const auto* n = static_cast<PageNotificationEvent*>(event);
      seen.push_back({n->kind(), n->payload(), n->control()});
      return true;
    }
    if (event->type() == QEvent::KeyPress)
      keys.push_back(static_cast<QKeyEvent*>(event)->key());
    return QWidget::event(event);
  }
};

void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

// The focus must really move for the focus-out commit; offscreen, activate the window.
void focusInto(QWidget* page, QWidget* field) {
  page->show();
  page->activateWindow();
  field->setFocus();
  settle();
}

class IntegerEditTest : public ::testing::Test {
protected:
  void SetUp() override {
    edit = new CIntegerEdit(&page);
    edit->setControlId(1042);
    other = new QLineEdit(&page);
    other->move(0, 50);
    focusInto(&page, edit);
  }
  RecordingPage page;
  CIntegerEdit* edit = nullptr;
  QLineEdit* other = nullptr;
};

// Would catch letters or points reaching the field, or the typed count off.
TEST_F(IntegerEditTest, OnlyDigitsAndSignsAreTyped) {
  edit->clear();
  QTest::keyClicks(edit, "1a2.b-+ x");
  EXPECT_EQ(edit->text(), "12-+");
  EXPECT_EQ(edit->typedCount(), 4);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "12-");
  EXPECT_EQ(edit->typedCount(), 3);
  EXPECT_TRUE(page.seen.empty());
}

// Would catch pasted text bypassing the key filter.
TEST_F(IntegerEditTest, PasteIsSwallowed) {
  edit->setValueFromCode(5);
  QGuiApplication::clipboard()->setText("abc999");
  QTest::keySequence(edit, QKeySequence::Paste);
  EXPECT_EQ(edit->text(), "5");
}

// Would catch a synchronous report (the page must see it only from the queue), a missing
// identifier, or the shown text not normalised.
TEST_F(IntegerEditTest, EnterCommitsAndPostsOnce) {
  edit->setValueFromCode(5); // selects all, so typing replaces it
  EXPECT_EQ(edit->selectedText(), "5");
  QTest::keyClicks(edit, "+042");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_TRUE(page.seen.empty()) << "posted, not sent";
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::ValueCommitted);
  EXPECT_EQ(page.seen[0].payload, 1042);
  EXPECT_EQ(edit->value(), 42);
  EXPECT_EQ(edit->text(), "42");
  EXPECT_EQ(edit->typedCount(), 0);
}

// A value set from code is selected, but only shows selected once the edit has the focus.
// Would catch every edit of a page showing a highlighted number.
TEST_F(IntegerEditTest, SelectionFromCodeWaitsForTheFocus) {
  other->setFocus();
  settle();
  edit->setValueFromCode(123);
  EXPECT_FALSE(edit->hasSelectedText());
  edit->setFocus();
  settle();
  EXPECT_EQ(edit->selectedText(), "123");
}

// Would catch an out-of-range value stored or reported when the edit checks its range.
TEST_F(IntegerEditTest, RangeCheckRefusesQuietly) {
  edit->setLimits(1, 255);
  edit->setRangeCheck(true);
  edit->setValueFromCode(10);
  for (const char* typed : {"256", "0"}) {
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Enter);
    settle();
    EXPECT_EQ(edit->text(), "10") << typed;
    EXPECT_EQ(edit->value(), 10) << typed;
  }
  EXPECT_TRUE(page.seen.empty());
  QTest::keyClicks(edit, "255");
  QTest::keyClick(edit, Qt::Key_Enter);
  settle();
  EXPECT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(edit->value(), 255);
}

// Would catch a commit on every focus change (sending values nobody typed) or none at all.
TEST_F(IntegerEditTest, LeavingCommitsOnlyAfterTyping) {
  edit->setValueFromCode(7);
  other->setFocus();
  settle();
  EXPECT_TRUE(page.seen.empty());
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "99");
  other->setFocus();
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(edit->value(), 99);
}

// The wheel reports beyond the limits (the page's own check drops it). Would catch the
// wheel honouring the edit's range check or ignoring its step.
TEST_F(IntegerEditTest, WheelStepsPastTheLimits) {
  edit->setLimits(1, 255);
  edit->setRangeCheck(true);
  edit->setWheelStep(10);
  edit->setValueFromCode(250);
  QWheelEvent up(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(edit, &up);
  settle();
  EXPECT_EQ(edit->value(), 260);
  EXPECT_EQ(edit->text(), "260");
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::ValueCommitted);
}

// Escape belongs to the page (it restores its values). Would catch the integer edit eating it.
TEST_F(IntegerEditTest, EscapeReachesThePage) {
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(page.keys, std::vector<int>{Qt::Key_Escape});
}

TEST(FloatEdit, KeysEnterAndEscape) {
  RecordingPage page;
  auto* edit = new CFloatEdit(&page);
  edit->setControlId(7);
  focusInto(&page, edit);
  edit->clear();
  QTest::keyClicks(edit, "1x.5+-");
  EXPECT_EQ(edit->text(), "1.5-") << "a plus sign does not belong in a real";
  edit->setValueFromCode(2.99, 1);
  EXPECT_EQ(edit->text(), "2.9") << "cut, not rounded";
  edit->setValueFromCode(2.5, 0);
  EXPECT_EQ(edit->text(), "2") << "0 decimals drops the point";
  edit->setValueFromCode(-0.125, 2);
  EXPECT_EQ(edit->text(), "-0.12");
  edit->setValueFromCode(1.5);
  EXPECT_EQ(edit->text(), "1.500000");
  // Enter reports even with nothing typed; Escape stops in the edit.
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Escape);
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].payload, 7);
  EXPECT_DOUBLE_EQ(edit->value(), 1.5);
  EXPECT_TRUE(page.keys.empty());
}

TEST(StringEdit, AcceptsPrintableTextAndEscapeRestores) {
  RecordingPage page;
  auto* edit = new CStringEdit(&page);
  focusInto(&page, edit);
  edit->setTextFromCode("cam");
  QTest::keyClicks(edit, "a!b#c'( -~");
  EXPECT_EQ(edit->text(), "abc( -~");
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(edit->committedText(), "abc( -~");
  QTest::keyClicks(edit, "zz");
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(edit->text(), "abc( -~");
  EXPECT_EQ(edit->selectedText(), "abc( -~");
  settle();
  EXPECT_EQ(page.seen.size(), 1u);
}

// The typed count decides whether leaving a field commits it: each accepted character
// raises it, each backspace lowers it, even below zero. Would catch a count held at zero
// (a backspace then one digit committing on leaving), a commit without any typing, or
// swallowed characters counted.
TEST_F(IntegerEditTest, TypedCountDecidesTheCommitOnLeaving) {
  struct Case {
    const char* name;
    std::vector<std::variant<const char*, Qt::Key>> keys;
    int count;
    bool commits;
  };
  const Case cases[] = {
      {"nothing typed", {}, 0, false},
      {"one digit", {"4"}, 1, true},
      {"swallowed letters", {"ab."}, 0, false},
      {"digit taken back", {"4", Qt::Key_Backspace}, 0, false},
      {"backspace then a digit", {Qt::Key_Backspace, "4"}, 0, false},
      {"backspace then two digits", {Qt::Key_Backspace, "45"}, 1, true},
      {"two backspaces", {Qt::Key_Backspace, Qt::Key_Backspace}, -2, false},
  };
  for (const Case& c : cases) {
    edit->setFocus();
    settle();
    edit->setValueFromCode(123);
    edit->end(false); // typing appends rather than replaces
    page.seen.clear();
    for (const auto& key : c.keys) {
      if (std::holds_alternative<const char*>(key))
        QTest::keyClicks(edit, std::get<const char*>(key));
      else
        QTest::keyClick(edit, std::get<Qt::Key>(key));
    }
    EXPECT_EQ(edit->typedCount(), c.count) << c.name;
    other->setFocus();
    settle();
    EXPECT_EQ(page.seen.size(), c.commits ? 1u : 0u) << c.name;
  }
}

// Would catch a real edit that reports on every focus change or never on leaving, a wheel
// that ignores its step or does not report, or shows anything but "%f".
TEST(FloatEdit, LeavingAfterTypingAndTheWheel) {
  RecordingPage page;
  auto* edit = new CFloatEdit(&page);
  edit->setControlId(9);
  auto* other = new QLineEdit(&page);
  other->move(0, 50);
  focusInto(&page, edit);
  edit->setValueFromCode(1.25);
  other->setFocus();
  settle();
  EXPECT_TRUE(page.seen.empty()) << "leaving without typing";
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "2.5");
  other->setFocus();
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::ValueCommitted);
  EXPECT_EQ(page.seen[0].payload, 9);
  EXPECT_DOUBLE_EQ(edit->value(), 2.5);

  struct WheelCase {
    double step;
    int angle;
    const char* shown;
  };
  const WheelCase wheel[] = {{1.0, 120, "3.500000"}, {0.25, -240, "3.000000"}, {1.0, 60, ""}};
  for (const WheelCase& w : wheel) {
    page.seen.clear();
    edit->setWheelStep(w.step);
    const QString before = edit->text();
    QWheelEvent turn(QPointF(5, 5), edit->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, w.angle),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(edit, &turn);
    settle();
    if (*w.shown == '\0') {
      // Half a notch is kept for the next turn: nothing moves yet.
      EXPECT_EQ(edit->text(), before);
      EXPECT_TRUE(page.seen.empty());
    } else {
      EXPECT_EQ(edit->text(), w.shown) << w.angle;
      EXPECT_EQ(page.seen.size(), 1u) << w.angle;
    }
  }
}

// Leaving a text field after typing reports without taking the text as committed; Escape
// then brings back the text of the last Enter. Would catch the leave storing the text.
TEST(StringEdit, LeavingReportsWithoutStoring) {
  RecordingPage page;
  auto* edit = new CStringEdit(&page);
  auto* other = new QLineEdit(&page);
  other->move(0, 50);
  focusInto(&page, edit);
  edit->setTextFromCode("piece");
  other->setFocus();
  settle();
  EXPECT_TRUE(page.seen.empty()) << "leaving without typing";
  edit->setFocus();
  edit->end(false);
  QTest::keyClicks(edit, "42");
  other->setFocus();
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::ValueCommitted);
  EXPECT_EQ(edit->text(), "piece42");
  EXPECT_EQ(edit->committedText(), "piece");
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(edit->text(), "piece");
}

// Would catch a radio that changes on the operator's press instead of waiting for the
// camera, or a pending mark cleared before the page has seen it.
TEST(CMButton, PressMarksPendingWithoutChanging) {
  RecordingPage page;
  auto* box = new QWidget(&page); // a group box between button and page
  auto* first = new CMButton("first", box);
  auto* second = new CMButton("second", box);
  second->move(0, 30);
  page.show();
  first->setChecked(true);
  QTest::mouseClick(second, Qt::LeftButton);
  EXPECT_FALSE(second->isChecked());
  EXPECT_TRUE(first->isChecked());
  EXPECT_TRUE(second->isPending()) << "the release must not clear the mark before the page";
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::RadioClicked);
  EXPECT_EQ(page.seen[0].control, second);
  EXPECT_FALSE(second->isPending()) << "the release clears it after the page had its turn";
}

// Would catch the page's own press not changing the button, or double clicks and arrow
// keys changing it behind the camera's back.
TEST(CMButton, OnlyThePagesPressChangesIt) {
  RecordingPage page;
  auto* first = new CMButton("first", &page);
  auto* second = new CMButton("second", &page);
  second->move(0, 30);
  focusInto(&page, first);
  first->setChecked(true);
  QTest::mouseDClick(second, Qt::LeftButton);
  QTest::keyClick(first, Qt::Key_Down);
  settle();
  EXPECT_TRUE(first->isChecked());
  second->postPress();
  EXPECT_FALSE(second->isChecked()) << "the press is queued";
  settle();
  EXPECT_TRUE(second->isChecked());
  EXPECT_FALSE(first->isChecked());
}

TEST(CMCheckBox, PagesPressToggles) {
  RecordingPage page;
  auto* box = new CMCheckBox("reset", &page);
  page.show();
  QTest::mouseClick(box, Qt::LeftButton);
  settle();
  EXPECT_FALSE(box->isChecked());
  ASSERT_EQ(page.seen.size(), 1u);
  box->postPress();
  settle();
  EXPECT_TRUE(box->isChecked());
  box->postPress();
  settle();
  EXPECT_FALSE(box->isChecked());
}

// Up raises: with the default reversed range the up arrow is a change of -1, posted as 1.
// Would catch the direction swapped or the mark of the spin in use missing.
TEST(CMySpinCtrl, UpRaisesDownLowers) {
  RecordingPage page;
  auto* spin = new CMySpinCtrl(&page);
  page.show();
  QTest::mouseClick(spin->upButton(), Qt::LeftButton);
  EXPECT_TRUE(spin->inUse());
  QTest::mouseClick(spin->downButton(), Qt::LeftButton);
  settle();
  ASSERT_EQ(page.seen.size(), 2u);
  EXPECT_EQ(page.seen[0].kind, Notification::SpinStepped);
  EXPECT_EQ(page.seen[0].payload, 1);
  EXPECT_EQ(page.seen[1].payload, 0);
  spin->clearInUse();
  EXPECT_FALSE(spin->inUse());
}

// The payload follows the change of position, not the arrow: a non-reversed range makes up
// a change of +1, which lowers. Changes other than one step are ignored.
TEST(CMySpinCtrl, PayloadFollowsThePositionChange) {
  RecordingPage page;
  auto* spin = new CMySpinCtrl(&page);
  spin->setRange(0, 100);
  page.show();
  QTest::mouseClick(spin->upButton(), Qt::LeftButton);
  spin->positionChanged(2);
  spin->positionChanged(-5);
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].payload, 0);
}

class SliderTest : public ::testing::Test {
protected:
  void SetUp() override {
    slider = new CMySlierCtrl(&page);
    slider->setControlId(77);
    slider->setGeometry(0, 0, 200, 30);
    slider->setRange(0, 1000);
    slider->setValue(500);
    page.show();
    settle();
  }
  RecordingPage page;
  CMySlierCtrl* slider = nullptr;
};

// Would catch a click near the left end landing on a proportional value instead of the
// minimum, or its report waiting for a release the edge press never gets.
TEST_F(SliderTest, EdgePressJumpsAndReportsAtOnce) {
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(3, 15));
  EXPECT_EQ(slider->value(), 0);
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::SliderReleased);
  EXPECT_EQ(page.seen[0].payload, 77);
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(3, 15));
  settle();
  EXPECT_EQ(page.seen.size(), 1u);
  QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(196, 15));
  EXPECT_EQ(slider->value(), 1000);
}

// Would catch an inner press reported before the operator lets go, or the jump arithmetic
// of the control differing from (x - 9) / (width - 18).
TEST_F(SliderTest, InnerPressReportsOnRelease) {
  slider->setValue(1000); // thumb at the right end, away from x = 64
  QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(64, 15));
  EXPECT_EQ(slider->value(), 1000 * 55 / 182);
  settle();
  EXPECT_TRUE(page.seen.empty());
  QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(64, 15));
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::SliderReleased);
}

// The inner area, x from 8 to width - 8 and y from 3 to height - 5 (here 200 x 30), decides
// when a press away from the thumb reports: inside on release, outside at once. Would catch
// either edge off by one, or the y limits ignored.
TEST_F(SliderTest, InnerAreaDecidesWhenAPressReports) {
  struct Case {
    QPoint at;
    bool atOnce;
    int value;
  };
  const Case cases[] = {
      {{7, 15}, true, 0},      {{8, 15}, false, 0},   {{192, 15}, false, 1000},
      {{193, 15}, true, 1000}, {{60, 2}, true, 280},  {{60, 3}, false, 280},
      {{60, 25}, false, 280},  {{60, 26}, true, 280}, {{150, 15}, false, 774},
  };
  for (const Case& c : cases) {
    slider->setValue(c.at.x() < 100 ? 1000 : 0); // keep the thumb away from the press
    page.seen.clear();
    QTest::mousePress(slider, Qt::LeftButton, {}, c.at);
    EXPECT_EQ(slider->value(), c.value) << c.at.x() << "," << c.at.y();
    settle();
    EXPECT_EQ(page.seen.size(), c.atOnce ? 1u : 0u) << c.at.x() << "," << c.at.y();
    QTest::mouseRelease(slider, Qt::LeftButton, {}, c.at);
    settle();
    ASSERT_EQ(page.seen.size(), 1u) << "one report per press " << c.at.x() << "," << c.at.y();
    EXPECT_EQ(page.seen[0].kind, Notification::SliderReleased);
  }
}

// Would catch a press on the thumb jumping (or reporting) instead of starting a drag.
TEST_F(SliderTest, ThumbDragsAndReportsOnRelease) {
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->value();
  option.sliderValue = slider->value();
  option.subControls = QStyle::SC_All;
  const QPoint thumb =
      slider->style()
          ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
          .center();
  QTest::mousePress(slider, Qt::LeftButton, {}, thumb);
  EXPECT_EQ(slider->value(), 500) << "a press on the thumb does not jump";
  // A move with the button held (QTest's moves carry no buttons).
  QMouseEvent move(QEvent::MouseMove, QPointF(thumb + QPoint(40, 0)),
                   slider->mapToGlobal(QPointF(thumb + QPoint(40, 0))), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(slider, &move);
  EXPECT_GT(slider->value(), 500);
  settle();
  EXPECT_TRUE(page.seen.empty());
  QTest::mouseRelease(slider, Qt::LeftButton, {}, thumb + QPoint(40, 0));
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::SliderReleased);
}

// Would catch ButtonClicked going to the button's own page rather than the page's parent.
TEST(CMyButton, ReportsToThePagesParent) {
  RecordingPage window;
  RecordingPage* inner = new RecordingPage;
  inner->setParent(&window);
  auto* button = new CMyButton(">", inner);
  button->setControlId(32800);
  window.show();
  QTest::mouseClick(button, Qt::LeftButton);
  settle();
  EXPECT_TRUE(inner->seen.empty());
  ASSERT_EQ(window.seen.size(), 1u);
  EXPECT_EQ(window.seen[0].kind, Notification::ButtonClicked);
  EXPECT_EQ(window.seen[0].payload, 32800);
}

// Would catch a changed selection not reported, or reported without its control.
TEST(CMyComboBox, SelectionChangePosts) {
  RecordingPage page;
  auto* combo = new CMyComboBox(&page);
  combo->setControlId(5);
  combo->addItems({"one", "two"});
  focusInto(&page, combo);
  combo->setCurrentIndex(0);
  settle();
  EXPECT_TRUE(page.seen.empty()) << "a change from code is not the operator's";
  QTest::keyClick(combo, Qt::Key_Down);
  settle();
  ASSERT_EQ(page.seen.size(), 1u);
  EXPECT_EQ(page.seen[0].kind, Notification::ComboChanged);
  EXPECT_EQ(page.seen[0].payload, 5);
  EXPECT_EQ(page.seen[0].control, combo);
}

// Would catch wrong part edges, or the progress bar left outside the message part or hiding the
// temperature.
TEST(CMyStatusBar, PartsAndProgressBar) {
  CMyStatusBar bar;
  bar.resize(840, 24);
  EXPECT_EQ(bar.partRect(0), QRect(0, 0, 400, 24));
  EXPECT_EQ(bar.partRect(1), QRect(400, 0, 109, 24));
  EXPECT_EQ(bar.partRect(2), QRect(509, 0, 163, 24));
  EXPECT_EQ(bar.partRect(3), QRect(672, 0, 168, 24));
  bar.showStatus(" >> OK (12 ms)");
  EXPECT_EQ(bar.partText(0), " >> OK (12 ms)");
  // An answer of several lines stays on the one line the part has.
  bar.showStatus(" >> stm 2\r\nOK\r\n(3 ms)");
  EXPECT_EQ(bar.partText(0), " >> stm 2 OK (3 ms)");
  auto* progress = new QProgressBar;
  bar.setProgressBar(progress);
  bar.show();
  progress->show();
  settle();
  EXPECT_TRUE(bar.partRect(0).contains(progress->geometry()));
  bar.resize(420, 24);
  settle();
  EXPECT_TRUE(bar.partRect(0).contains(progress->geometry())) << "follows a resize";
}

// The link icon changes with every connection and loss: the bar must reuse its two icons, as a
// new icon each time leaves its pictures in the application's pixmap cache for good. Would catch
// an icon drawn at every change, or up and down drawn alike.
TEST(CMyStatusBar, LinkStateReusesItsTwoIcons) {
  CMyStatusBar bar;
  bar.resize(840, 24);
  bar.show();
  bar.setLinkState(true);
  const qint64 up = bar.partIcon(1).cacheKey();
  bar.setLinkState(false);
  const qint64 down = bar.partIcon(1).cacheKey();
  EXPECT_NE(up, down);
  const QImage downPicture = bar.partIcon(1).pixmap(16, 16).toImage();
  for (int i = 0; i < 50; ++i) {
    bar.setLinkState(i % 2 == 0);
    bar.repaint();
    EXPECT_EQ(bar.partIcon(1).cacheKey(), i % 2 == 0 ? up : down);
  }
  bar.setLinkState(true);
  EXPECT_NE(bar.partIcon(1).pixmap(16, 16).toImage(), downPicture) << "up and down look alike";
}

// Would catch the whole status tip shown, or the popup left open after the menu closes.
TEST(CMenuTipManager, ShowsThePromptOfTheHighlightedItem) {
  QMenu menu;
  QAction* open = menu.addAction("Open");
  open->setStatusTip("Load a camera setting file\nLoad");
  menu.addAction("Plain");
  CMenuTipManager tips;
  tips.install(&menu);
  menu.popup(QPoint(10, 10));
  settle();
  menu.setActiveAction(open);
  settle();
  EXPECT_TRUE(tips.popup()->isVisible());
  EXPECT_EQ(tips.popup()->text(), "Load a camera setting file");
  EXPECT_EQ(tips.popup()->margin(), 4);
  menu.hide();
  settle();
  EXPECT_FALSE(tips.popup()->isVisible());
}

} // namespace
