// The library's exports as the main program calls them: one window per process, shown and
// hidden, notifications to the owner in the same call, the CoaXPress frame, the crash dump.
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "nodeview/file_transfer.h"
#include "nodeview/library_state.h"
#include "nodeview/main_frame.h"
#include "nodeview/nodeview.h"
#include "nodeview/nodeview_log.h"
#include "tests/nodeview/test_camera.h"

namespace nodeview {
namespace {

using namespace nodeview::testing;

// An owner window that records the notifications it receives.
class Owner : public QWidget {
public:
  struct Seen {
    std::string category;
    std::string line;
  };
  std::vector<Seen> seen;
  int count(const char* category, const char* line) const {
    int n = 0;
    for (const auto& s : seen) {
      n += s.category == category && s.line == line;
    }
    return n;
  }

protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Type(kNodeviewNotifyEvent)) {
      auto* note = static_cast<NodeviewNotifyEvent*>(event);
      seen.push_back({note->category(), note->line()});
      return true;
    }
    return QWidget::event(event);
  }
};

class ExportsTest : public ::testing::Test {
protected:
  ~ExportsTest() override { destroyFrame(); }
  TestCamera camera;
  Owner owner;
};

// Catches a second window per process, the wrong title or size, and a null node map that does
// not hide the window.
TEST_F(ExportsTest, OneWindowShownAndHidden) {
  QWidget* window = RunDevicePropertyEx(camera.map(), &owner);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("DeviceProperty"));
  EXPECT_EQ(window->size(), QSize(500, 1000));
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(RunDevicePropertyEx(static_cast<void*>(nullptr)), window);

  EXPECT_EQ(RunDevicePropertyEx(nullptr, &owner), window);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(RunDevicePropertyEx(camera.map(), &owner), window);
  EXPECT_TRUE(window->isVisible());
  auto* grid = window->findChild<QTreeView*>(QStringLiteral("grid"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->model()->rowCount(), 1) << "the tree is rebuilt";
}

// Catches minimise or maximise boxes on the browser window: it has a caption, a system menu
// with its close box and a sizing border, nothing else.
TEST_F(ExportsTest, WindowHasCaptionAndSystemMenuOnly) {
  QWidget* window = RunDevicePropertyEx(camera.map(), &owner);
  ASSERT_NE(window, nullptr);
  Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(window->parentWidget(), nullptr);
}

// Catches panes still polling while the window goes: their timers stop between the frame's
// two destroy lines, and the frame pointer is cleared afterwards.
TEST_F(ExportsTest, DestroyStopsThePanesInBetween) {
  ASSERT_NE(RunDevicePropertyEx(camera.map(), &owner), nullptr);
  CPropertiesViewBar* pane = currentFrame()->devicePane();
  std::vector<std::pair<std::string, bool>> seen; // line, pane timer running then
  setDebugCapture([&seen, pane](std::string_view text) {
    if (text.find("CMainFrame::") != std::string_view::npos) {
      seen.emplace_back(std::string(text), pane->repaintTimer().isActive());
    }
  });
  destroyFrame();
  setDebugCapture({});
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_pair(std::string("void CMainFrame::OnDestroy()\n"), true));
  EXPECT_EQ(seen[1], std::make_pair(std::string("void CMainFrame::OnDestroy()-End\n"), false));
  EXPECT_EQ(seen[2].first, "Called CMainFrame::PostNcDestroy()\n ");
  EXPECT_EQ(currentFrame(), nullptr);
}

// Catches a missing or reworded debug line of the exports and the frame.
TEST_F(ExportsTest, WritesItsDebugLines) {
  std::vector<std::string> lines;
  setDebugCapture([&lines](std::string_view text) { lines.emplace_back(text); });
  auto wrote = [&lines](const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  };
  RunDevicePropertyEx(camera.map(), &owner);
  EXPECT_EQ(wrote("DLL - SetGenICamModuleData - Complete!\n"), 1);
  EXPECT_EQ(wrote("DLL - LoadPropList - Complete!\n"), 1);
  SetEnterKey();
  EXPECT_EQ(wrote("DLL - SetEnterKey - Complete!\n"), 1);
  currentFrame()->close();
  EXPECT_EQ(wrote("Called CMainFrame::OnClose()\n"), 1);
  RunDevicePropertyEx(nullptr, &owner);
  EXPECT_EQ(wrote(" pNodeMap is Null "), 1);
  setDebugCapture({});
}

// Catches a stream node map from an earlier call that stays bound when the next call has no
// stream port.
TEST_F(ExportsTest, CoaXPressWithoutStreamPortDropsTheOldStream) {
  std::string xml;
  ASSERT_EQ(readWholeFile(dataFile("browser_camera.xml"), xml), "");
  auto devicePort = GenApi::MemoryPort::ForXml(xml);
  auto interfacePort = GenApi::MemoryPort::ForXml(xml);
  auto streamPort = GenApi::MemoryPort::ForXml(xml);
  struct Release {
    ~Release() { releaseLibraryNodeMaps(); }
  } release;
  ASSERT_NE(RunDeviceProperty_CXP(xml.c_str(), devicePort.get(), "Device", xml.c_str(),
                                  interfacePort.get(), "Device", xml.c_str(), streamPort.get(),
                                  "Device"),
            nullptr);
  EXPECT_NE(currentFrame()->streamPane()->tree().root(), nullptr);
  ASSERT_NE(RunDeviceProperty_CXP(xml.c_str(), devicePort.get(), "Device", xml.c_str(),
                                  interfacePort.get(), "Device", xml.c_str(), nullptr, "Device"),
            nullptr);
  EXPECT_EQ(currentFrame()->streamPane()->tree().root(), nullptr);
  EXPECT_EQ(currentFrame()->streamPane()->tree().callbackCount(), 0u);
}

struct TransferCase {
  bool nodeMap;
  const char* localPath;
  const char* deviceFile;
  std::uint32_t mode;
  int code;
};

// The checks before any camera traffic: catches a bad request or a missing node map answered
// with the wrong code.
TEST_F(ExportsTest, DeviceFileRequestsAreCheckedFirst) {
  const TransferCase cases[] = {
      {true, "", "UserData", 0, kFileInvalidRequest},
      {true, "/tmp/x.bin", "", 0, kFileInvalidRequest},
      {true, "/tmp/x.bin", "UserData", 3, kFileInvalidRequest},
      {false, "/tmp/x.bin", "UserData", 3, kFileInvalidRequest},
      {false, "/tmp/x.bin", "UserData", 0, kFileNoNodeMap},
      {false, "/tmp/x.bin", "UserData", 2, kFileNoNodeMap},
  };
  for (const auto& c : cases) {
    camera.port().forget();
    int code = runDeviceFileTransfer(c.nodeMap ? camera.map() : nullptr,
                                     {c.localPath, c.deviceFile, c.mode});
    EXPECT_EQ(code, c.code) << c.localPath << " " << c.deviceFile << " " << c.mode;
    EXPECT_TRUE(camera.port().writes().empty());
  }
  EXPECT_EQ(kFileSuccess, 8192);
  EXPECT_EQ(kFileNoNodeMap, 8193);
  EXPECT_EQ(kFileInvalidRequest, 8194);
  EXPECT_EQ(kFilePrepareFailed, 8195);
  EXPECT_EQ(kFileOpenFailed, 8196);
  EXPECT_EQ(kFileNothingToRead, 8201);
}

// Catches a close box that destroys the window and its node map's rows.
TEST_F(ExportsTest, CloseOnlyHides) {
  QWidget* window = RunDevicePropertyEx(camera.map(), &owner);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->close()) << "the close request is refused";
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(currentFrame(), window);
  EXPECT_EQ(RunDevicePropertyEx(camera.map(), &owner), window);
  EXPECT_TRUE(window->isVisible());
}

// Catches notifications that reach the owner late (posted) or not at all.
TEST_F(ExportsTest, NotificationsReachTheOwnerAtOnce) {
  camera.poke(kWidth, 4, 2);
  ASSERT_NE(RunDevicePropertyEx(camera.map(), &owner), nullptr);
  EXPECT_EQ(owner.count("Info", "Adding IInteger type, Width"), 1);
  EXPECT_EQ(owner.count("Error", "Width must be a multiple of 4!"), 1);
}

// Catches SetEnterKey dropping what was typed instead of keeping it.
TEST_F(ExportsTest, SetEnterKeyKeepsTheTypedValue) {
  RunDevicePropertyEx(camera.map(), &owner);
  CMainFrame* frame = currentFrame();
  ASSERT_NE(frame, nullptr);
  CPropertiesViewBar* pane = frame->devicePane();
  QModelIndex index = pane->model().indexFor(pane->tree().rowNamed("DeviceUserID"), 1);
  pane->grid()->setCurrentIndex(index);
  pane->grid()->edit(index);
  auto* edit = qobject_cast<QLineEdit*>(pane->grid()->indexWidget(index));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("line 3"));
  SetEnterKey();
  GenApi::CStringPtr id = camera.map()->_GetNode("DeviceUserID");
  EXPECT_EQ(id->GetValue(false, true), "line 3");
}

// Catches a CoaXPress frame without its three tabs, the device tab not in front, or a stream
// pane filled without a stream port.
TEST_F(ExportsTest, CoaXPressFrameHasThreePanes) {
  std::string xml;
  ASSERT_EQ(readWholeFile(dataFile("browser_camera.xml"), xml), "");
  auto devicePort = GenApi::MemoryPort::ForXml(xml);
  auto interfacePort = GenApi::MemoryPort::ForXml(xml);
  QWidget* window =
      RunDeviceProperty_CXP(xml.c_str(), devicePort.get(), "Device", xml.c_str(),
                            interfacePort.get(), "Device", xml.c_str(), nullptr, "Device");
  ASSERT_NE(window, nullptr);
  // The library's node maps use the ports: they go first.
  struct Release {
    ~Release() { releaseLibraryNodeMaps(); }
  } release;
  auto* frame = qobject_cast<CCXPMainFrame*>(currentFrame());
  ASSERT_NE(frame, nullptr);
  ASSERT_EQ(frame->tabs()->count(), 3);
  EXPECT_EQ(frame->tabs()->tabText(0), QStringLiteral("Stream Properties"));
  EXPECT_EQ(frame->tabs()->tabText(1), QStringLiteral("Interface Properties"));
  EXPECT_EQ(frame->tabs()->tabText(2), QStringLiteral("Device Properties"));
  EXPECT_EQ(frame->tabs()->currentWidget(), frame->devicePane());
  EXPECT_NE(frame->devicePane()->tree().root(), nullptr);
  EXPECT_NE(frame->interfacePane()->tree().root(), nullptr);
  EXPECT_EQ(frame->streamPane()->tree().root(), nullptr);
}

// Catches a node map of the library's own that is freed while the pane still watches it: a
// second call replaces the first map (run under ASan, a use after free shows here).
TEST_F(ExportsTest, OwnNodeMapIsReplacedSafely) {
  std::string xml;
  ASSERT_EQ(readWholeFile(dataFile("browser_camera.xml"), xml), "");
  auto port = GenApi::MemoryPort::ForXml(xml);
  struct Release {
    ~Release() { releaseLibraryNodeMaps(); }
  } release;
  QWidget* first = RunDeviceProperty(xml.c_str(), port.get(), "Device");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->isVisible());
  QWidget* second = RunDeviceProperty(xml.c_str(), port.get(), "Device");
  EXPECT_EQ(second, first);
  CPropertiesViewBar* pane = currentFrame()->devicePane();
  ASSERT_NE(pane->tree().rowNamed("Width"), nullptr);
  pane->tree().writeRow(*pane->tree().rowNamed("Width"), "640");
  EXPECT_EQ(port->peekInteger(kWidth, 4), 640);
  EXPECT_EQ(RunDeviceProperty("no description", port.get(), "Device"), nullptr);
}

// Catches an export that throws or returns a window for XML that does not load.
TEST_F(ExportsTest, BrokenXmlGivesNoWindow) {
  GenApi::MemoryPort port;
  QWidget* window = nullptr;
  EXPECT_NO_THROW(window = RunDeviceProperty("<not a camera", &port, "Device"));
  EXPECT_EQ(window, nullptr);
  EXPECT_NE(GetDevicePropertyInstance(), nullptr);
}

// Catches a library whose crash handler is not installed or writes the wrong dump file.
TEST(NodeviewCrash, WritesNodeviewDump) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::filesystem::path dump =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "NodeviewDump.dmp";
  std::error_code ec;
  std::filesystem::remove(dump, ec);
  EXPECT_DEATH(std::raise(SIGSEGV), "");
  EXPECT_TRUE(std::filesystem::exists(dump));
  std::filesystem::remove(dump, ec);
}

} // namespace
} // namespace nodeview
