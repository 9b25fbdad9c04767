// The application object offscreen: the refused folder through the real Qt message box, the
// port window that starts the program, the shared tool tips and the quit hook.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/kelpax_app.h"
#include "app/kelpax_dlg.h"
#include "app/status_bar_widget.h"

namespace {

namespace fs = std::filesystem;

struct SeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int count = 0;
};

// Closes every message box that opens with OK, remembering what it said.
class BoxCloser : public QObject {
public:
  BoxCloser() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen.caption = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        ++seen.count;
        box->button(QMessageBox::Ok)->click();
      }
    });
    timer_.start(20);
  }
  SeenBox seen;

private:
  QTimer timer_;
};

class ScopedFolder {
public:
  explicit ScopedFolder(const std::string& leaf)
      : base_(fs::temp_directory_path() / ("kelpax-app-" + std::to_string(getpid()))),
        path_(base_ / leaf), previous_(fs::current_path()) {
    fs::create_directories(path_);
    fs::current_path(path_);
  }
  ~ScopedFolder() {
    fs::current_path(previous_);
    fs::remove_all(base_);
  }
  const fs::path& path() const { return path_; }

private:
  fs::path base_, path_, previous_;
};

CKelpaxApp::Options testOptions() {
  CKelpaxApp::Options options;
  options.installCrashHandler = false; // keep the test runner's own crash reporting
  return options;
}

int argc = 1;
char arg0[] = "app_tests";
char* argv[] = {arg0, nullptr};

TEST(KelpaxApp, HashFolderShowsErrorBoxAndEndsWith18BeforeAnyWindow) {
  ScopedFolder folder("line#2");
  BoxCloser closer;
  CKelpaxApp app(argc, argv, testOptions());

  EXPECT_EQ(app.run(), 18);
  EXPECT_EQ(closer.seen.count, 1);
  EXPECT_EQ(closer.seen.caption, "Error");
  EXPECT_EQ(closer.seen.icon, QMessageBox::Critical);
  EXPECT_EQ(closer.seen.text,
            QString::fromUtf8("Kelpax 3.x doesn't allow to use '#' charactor in the execution "
                              "file path.\n\rCurrent path : ") +
                QString::fromStdString(folder.path().string()));
  EXPECT_EQ(app.mainWindow(), nullptr);
  EXPECT_TRUE(app.quitRequested());
}

// Would catch the main window showing before a camera is connected, the port window not
// scanning on its own, or a missing portlist.ini not being created.
TEST(KelpaxApp, PlainFolderStartsWithThePortWindowScanning) {
  ScopedFolder folder("line 2");
  BoxCloser closer;
  setenv("CLSERIALPATH", std::filesystem::path(CLSERSIM_PATH).parent_path().c_str(), 1);
  setenv("KELPAX_SIM_CAMERAS", "Ko-25MC-C65,Ka-47M-M40", 1);
  setenv("KELPAX_SIM_PACING", "0", 1);
  CKelpaxApp app(argc, argv, testOptions());

  ASSERT_EQ(app.initInstance(), 0);
  EXPECT_EQ(closer.seen.count, 0);
  kelpax::CKelpaxDlg* window = app.mainWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isVisible());
  kelpax::CGetPortDlg& ports = window->portDialog();
  EXPECT_TRUE(ports.isVisible());
  EXPECT_EQ(ports.windowTitle(), "Camera Scan");
  EXPECT_EQ(window->findChild<kelpax::CMyStatusBar*>(QStringLiteral("statusBar"))->partText(3),
            "V3.1.0.53050");

  // The first scan starts 100 ms after the window shows; the simulated library's two
  // cameras answer at once without pacing.
  for (int i = 0; i < 100 && ports.portList()->rowCount() < 2; ++i)
    QTest::qWait(50);
  for (int i = 0; i < 100 && ports.scanning(); ++i)
    QTest::qWait(50);
  QTest::qWait(50);
  QStringList cameras;
  for (int row = 0; row < ports.portList()->rowCount(); ++row)
    cameras << ports.portList()->item(row, 1)->text();
  EXPECT_TRUE(cameras.contains("Ko-25MC-C65")) << cameras.join(",").toStdString();
  EXPECT_TRUE(cameras.contains("Ka-47M-M40")) << cameras.join(",").toStdString();
  EXPECT_TRUE(fs::exists(folder.path() / "portlist.ini"));
  unsetenv("KELPAX_SIM_PACING");
}

TEST(KelpaxApp, ScreenScaleFollowsLogicalDpi) {
  ScopedFolder folder("scale");
  CKelpaxApp app(argc, argv, testOptions());
  ASSERT_EQ(app.initInstance(), 0);
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  EXPECT_DOUBLE_EQ(app.screenScale(), screen->logicalDotsPerInchX() / 96.0);
  EXPECT_GT(app.screenScale(), 0.0);
}

// The GenICam guard asks to quit while the event loop runs: the loop must end with its code.
TEST(KelpaxApp, QuitDuringEventLoopEndsRunWithThatCode) {
  ScopedFolder folder("loop");
  CKelpaxApp app(argc, argv, testOptions());
  QTimer::singleShot(50, &app, [&app] { app.quit(18); });
  EXPECT_EQ(app.run(), 18);
}

TEST(ToolTips, SwitchOffAndOnTogetherAndForgetDestroyedWidgets) {
  CToolTips tips;
  QLabel first, second;
  auto* third = new QLabel;
  tips.attach(&first, "first");
  tips.attach(&second, "second");
  tips.attach(third, "third");
  tips.attach(&first, "first again");
  EXPECT_EQ(tips.count(), 3);
  EXPECT_EQ(first.toolTip(), "first again");

  delete third;
  EXPECT_EQ(tips.count(), 2);

  tips.setEnabled(false);
  EXPECT_TRUE(first.toolTip().isEmpty());
  EXPECT_TRUE(second.toolTip().isEmpty());
  QLabel late;
  tips.attach(&late, "late");
  EXPECT_TRUE(late.toolTip().isEmpty());

  tips.setEnabled(true);
  EXPECT_EQ(first.toolTip(), "first again");
  EXPECT_EQ(second.toolTip(), "second");
  EXPECT_EQ(late.toolTip(), "late");
}

} // namespace

int main(int argc_, char** argv_) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc_, argv_);
  ::testing::InitGoogleTest(&argc_, argv_);
  return RUN_ALL_TESTS();
}
