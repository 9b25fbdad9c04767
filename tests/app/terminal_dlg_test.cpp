// The serial terminal offscreen: what reaches its output box, which keywords move the main
// window and when, and what Send reports.
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/terminal_dlg.h"

using namespace kelpax;

namespace {

std::string paddedAnswer(std::string text, std::size_t length) {
  text.resize(length - 1, '.');
  return text + ">";
}

class TerminalTest : public ::testing::Test {
protected:
  void SetUp() override {
    terminal.setModelNameSource([this] { return modelName; });
    terminal.setCommandSender([this](const std::string& command) {
      sent.push_back(command);
      return accept;
    });
    terminal.show();
    terminal.activateWindow();
    QCoreApplication::processEvents();
  }

  QString shown() const { return terminal.outputBox()->toPlainText(); }

  CTerminal terminal;
  std::string modelName = "Ko-25MC-C65";
  std::vector<std::string> sent;
  bool accept = true;
  QSignalSpy tuning{&terminal, &CTerminal::tuningModeRequested};
  QSignalSpy factory{&terminal, &CTerminal::factoryModeRequested};
  QSignalSpy color{&terminal, &CTerminal::colorCalibrationRequested};
  QSignalSpy stitch{&terminal, &CTerminal::stitchRequested};
  QSignalSpy refresh{&terminal, &CTerminal::refreshRequested};
  QSignalSpy changePort{&terminal, &CTerminal::changePortRequested};
  QSignalSpy reread{&terminal, &CTerminal::pagesRereadRequested};

  int actionCount() const {
    return int(tuning.count() + factory.count() + color.count() + stitch.count() + refresh.count() +
               changePort.count());
  }
};

// Would catch the user's keys, pastes, drops or clicks editing the output box, or a click
// moving the caret so that received text lands in the middle.
TEST_F(TerminalTest, UserInputNeverChangesTheOutputBox) {
  CTerminalEdit* box = terminal.outputBox();
  terminal.appendReceived("gmn\r\nKo-25MC-C65\r\n>");
  QTest::keyClicks(box, "typed");
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClick(box, Qt::Key_Return);
  QApplication::clipboard()->setText("pasted");
  QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
  QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, QPoint(2, 2));

  QMimeData dropped;
  dropped.setText("dropped");
  QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
  QCoreApplication::sendEvent(box->viewport(), &enter);
  QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
  QCoreApplication::sendEvent(box->viewport(), &drop);

  EXPECT_EQ(shown(), QString("gmn\nKo-25MC-C65\n>"));
  terminal.appendReceived("gsn piece\r\n1234\r\n>");
  EXPECT_EQ(shown(), QString("gmn\nKo-25MC-C65\n>gsn piece\n1234\n>"));
  EXPECT_EQ(terminal.terminalText(), "gmn\nKo-25MC-C65\n>gsn piece\n1234\n>");
  EXPECT_EQ(terminal.lastText(), "gsn piece\r\n1234\r\n>");
  EXPECT_EQ(box->textCursor().position(), shown().size()); // caret at the end
}

// Would catch a long boot text that mentions a keyword opening a dialog or rescanning.
TEST_F(TerminalTest, LongTextWithKeywordButNoStartUpDoesNothing) {
  for (const char* keyword :
       {"quarvelint", "bastion4829163", "color calibration", "sbr 115200 OK", "stitch"}) {
    const std::string text = paddedAnswer(keyword, 60);
    terminal.appendReceived(text);
    EXPECT_TRUE(shown().endsWith(QString::fromStdString(text))) << keyword;
  }
  QTest::qWait(250);
  EXPECT_EQ(actionCount(), 0);
}

// Would catch the start-up text acting at once instead of 100 ms later, a repeated text
// firing twice, or the model name test inverted.
TEST_F(TerminalTest, StartUpTextRefreshesOrRescansOnceAfter100Ms) {
  const std::string own = paddedAnswer("Initializing Ko-25MC-C65 ...", 60);
  terminal.appendReceived(own);
  QCoreApplication::processEvents();
  EXPECT_EQ(refresh.count(), 0);
  QTest::qWait(30);
  terminal.appendReceived(own); // restarts the one-shot timer
  QTest::qWait(50);
  EXPECT_EQ(refresh.count(), 0);
  EXPECT_TRUE(refresh.wait(1000));
  QTest::qWait(300);
  EXPECT_EQ(refresh.count(), 1);
  EXPECT_EQ(changePort.count(), 0);
  EXPECT_FALSE(shown().isEmpty()); // the start-up text stays visible

  terminal.appendReceived(paddedAnswer("Initializing Ka-47M-M40 ...", 60));
  EXPECT_TRUE(changePort.wait(1000));
  QTest::qWait(300);
  EXPECT_EQ(changePort.count(), 1);
  EXPECT_EQ(refresh.count(), 1);
}

// Would catch a refresh still firing after a later start-up text asked for a port scan.
TEST_F(TerminalTest, LatestStartUpTextDecides) {
  terminal.appendReceived(paddedAnswer("Initializing Ko-25MC-C65 ...", 60));
  terminal.appendReceived(paddedAnswer("Initializing Ka-47M-M40 ...", 60));
  QTest::qWait(300);
  EXPECT_EQ(refresh.count(), 0);
  EXPECT_EQ(changePort.count(), 1);
}

// Would catch an accepted baud rate not sending the user back to the port scan.
TEST_F(TerminalTest, AcceptedBaudRateRescansAfter100Ms) {
  terminal.appendReceived("sbr 115200\r\nOK\r\n>");
  QTest::qWait(40);
  EXPECT_EQ(changePort.count(), 0);
  EXPECT_TRUE(changePort.wait(1000));
  QTest::qWait(200);
  EXPECT_EQ(changePort.count(), 1);
  EXPECT_EQ(shown(), QString("sbr 115200\nOK\n>"));

  terminal.appendReceived("sbr 115200\r\nError: rate\r\n>");
  QTest::qWait(250);
  EXPECT_EQ(changePort.count(), 1);
}

// Would catch a signal emitted inside the answer handler (nesting the main window's next
// exchange in this one), the output left full, or two keywords both acting.
TEST_F(TerminalTest, KeywordsActQueuedFirstInOrderAndEmptyTheBox) {
  const struct {
    const char* received;
    QSignalSpy* spy;
  } table[] = {
      {"stitch quarvelint\r\nOK\r\n>", &tuning},
      {"color calibration bastion4829163\r\n>", &factory},
      {"stitch color calibration\r\n>", &color},
      {"stitch\r\nOK\r\n>", &stitch},
  };
  for (const auto& row : table) {
    terminal.appendReceived("before\r\n>");
    tuning.clear(), factory.clear(), color.clear(), stitch.clear();
    terminal.appendReceived(row.received);
    EXPECT_EQ(actionCount(), 0) << row.received;
    EXPECT_TRUE(shown().isEmpty()) << row.received;
    EXPECT_TRUE(terminal.terminalText().empty()) << row.received;
    QCoreApplication::processEvents();
    EXPECT_EQ(row.spy->count(), 1) << row.received;
    EXPECT_EQ(actionCount(), 1) << row.received;
  }
}

// Would catch the trim losing the newest text, the box and the terminal text drifting
// apart, or the box growing past its limit.
TEST_F(TerminalTest, OverflowKeepsTheNewestText) {
  terminal.setOutputLimit(4000);
  std::string all;
  for (int i = 0; i < 300; ++i) {
    const std::string line = "line " + std::to_string(i) + "\r\n";
    terminal.appendReceived(line);
    all += "line " + std::to_string(i) + "\n";
  }
  const std::string& kept = terminal.terminalText();
  EXPECT_LE(kept.size(), 4000u);
  EXPECT_GT(kept.size(), 1000u);
  EXPECT_EQ(kept, all.substr(all.size() - kept.size()));
  EXPECT_EQ(shown().toStdString(), kept);
  EXPECT_EQ(terminal.outputBox()->textCursor().position(), shown().size());
}

// Would catch Clear leaving the terminal text behind to return with the next overflow.
TEST_F(TerminalTest, ClearEmptiesBoxAndText) {
  terminal.setOutputLimit(3500);
  terminal.appendReceived(std::string(3000, 'o'));
  QTest::mouseClick(terminal.clearButton(), Qt::LeftButton);
  EXPECT_TRUE(shown().isEmpty());
  terminal.appendReceived(std::string(1000, 'n'));
  EXPECT_EQ(terminal.terminalText(), std::string(1000, 'n'));
  EXPECT_EQ(shown(), QString(1000, 'n'));
}

// Would catch a refused command refreshing the pages, an accepted one not, or the input
// left unselected so the next command is typed onto the old one.
TEST_F(TerminalTest, SendRereadsPagesOnlyWhenAccepted) {
  CStringEdit* input = terminal.inputLine();
  const struct {
    bool accepted;
    int rereads;
  } table[] = {{true, 1}, {false, 0}};
  for (const auto& row : table) {
    reread.clear();
    sent.clear();
    accept = row.accepted;
    input->setFocus();
    input->clear();
    QTest::keyClicks(input, "gmn");
    QTest::mouseClick(terminal.sendButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(sent, std::vector<std::string>{"gmn"}) << row.accepted;
    EXPECT_EQ(reread.count(), row.rereads) << row.accepted;
    EXPECT_EQ(input->selectedText(), QString("gmn")) << row.accepted;
  }
}

// Would catch Enter sending twice, nothing, or before the line committed its text, and
// leaving the line after typing sending a command.
TEST_F(TerminalTest, EnterSendsOnceAndLeavingSendsNothing) {
  CStringEdit* input = terminal.inputLine();
  input->setFocus();
  QCoreApplication::processEvents();
  QTest::keyClicks(input, "sbr 115200");
  QTest::keyClick(input, Qt::Key_Return);
  EXPECT_TRUE(sent.empty()); // queued behind the line's own handling
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(sent, std::vector<std::string>{"sbr 115200"});
  EXPECT_EQ(input->committedText(), QString("sbr 115200"));
  EXPECT_EQ(input->selectedText(), QString("sbr 115200"));

  QTest::keyClicks(input, "gmn");
  terminal.clearButton()->setFocus(); // leaves the line after typing
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(sent.size(), 1u);
  input->setFocus();
  QTest::keyClick(input, Qt::Key_Escape);
  EXPECT_EQ(input->text(), QString("sbr 115200"));
  QCoreApplication::processEvents();
  EXPECT_EQ(sent.size(), 1u);
}

// Would catch "X" leaving the terminal shown or not telling the main window.
TEST_F(TerminalTest, CloseHidesAndReports) {
  QSignalSpy closed(&terminal, &CTerminal::closed);
  EXPECT_EQ(terminal.windowTitle(), QString("Terminal"));
  QTest::mouseClick(terminal.closeButton(), Qt::LeftButton);
  EXPECT_FALSE(terminal.isVisible());
  EXPECT_EQ(closed.count(), 1);
}

} // namespace
