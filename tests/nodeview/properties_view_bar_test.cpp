// A pane offscreen: filters, editors, callbacks on the window's thread, file commands and
// device file transfers.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "nodeview/file_access_dialog.h"
#include "nodeview/properties_view_bar.h"
#include "tests/nodeview/test_camera.h"

namespace nodeview {
namespace {

namespace fs = std::filesystem;
using namespace nodeview::testing;

bool waitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return done();
}

class PaneTest : public ::testing::Test {
protected:
  explicit PaneTest(const char* file = "browser_camera.xml") : camera(file) {
    folder = fs::temp_directory_path() /
             ("nodeview-pane-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    pane = std::make_unique<CPropertiesViewBar>(QStringLiteral("Device Properties"), 32882);
    pane->setOptionsFolder(QString::fromStdString(folder.string()));
    pane->dialogs.error = [this](QWidget*, const QString&, const QString& text) {
      messages.push_back(text.toStdString());
    };
    pane->dialogs.question = [this](QWidget*, const QString&, const QString&) { return answer; };
    pane->dialogs.saveFileName = [this](QWidget*, const QString&, const QString&) {
      return chosenFile;
    };
    pane->dialogs.openFileName = pane->dialogs.saveFileName;
    pane->dialogs.appendFileName = pane->dialogs.saveFileName;
    QObject::connect(
        pane.get(), &CPropertiesViewBar::notification,
        [this](const QString& category, const QString& line) {
          notes.push_back({category.toStdString(), line.toStdString(), QThread::currentThread()});
        });
    record.nodeMap = camera.map();
    pane->setModuleData(&record);
    pane->resize(500, 900);
    pane->show();
    pane->rebuild();
  }
  ~PaneTest() override {
    pane.reset();
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  PropertyRow* row(const char* name) { return pane->tree().rowNamed(name); }
  QModelIndex valueIndex(const char* name) { return pane->model().indexFor(row(name), 1); }
  int count(const std::string& category, const std::string& line) const {
    int n = 0;
    for (const auto& note : notes) {
      n += note.category == category && note.line == line;
    }
    return n;
  }

  struct Note {
    std::string category;
    std::string line;
    QThread* thread;
  };
  static inline int counter = 0;
  fs::path folder;
  TestCamera camera;
  GenICamModuleData record;
  std::unique_ptr<CPropertiesViewBar> pane;
  std::vector<Note> notes;
  std::vector<std::string> messages;
  QString chosenFile;
  bool answer = false;
};

// Catches toolbar buttons in the wrong order or with the wrong command numbers.
TEST_F(PaneTest, ToolbarCommandsInOrder) {
  std::vector<int> commands;
  for (QAction* a : pane->findChild<QToolBar*>()->actions()) {
    commands.push_back(a->data().toInt());
  }
  EXPECT_EQ(commands, (std::vector<int>{32878, 32879, 32904, 32926, 32939, 32995, 32996, 33001}));
  EXPECT_TRUE(pane->action(kCmdByCategory)->isChecked());
  EXPECT_FALSE(pane->action(kCmdAlphabetical)->isChecked());
}

// Catches a refresh command that keeps stale rows or piles up callbacks.
TEST_F(PaneTest, RefreshCommandRebuildsTheGrid) {
  PropertyRow* before = row("Height");
  std::size_t callbacks = pane->tree().callbackCount();
  camera.port().memory().pokeInteger(kHeight, 4, 1234);
  pane->action(kCmdRefresh)->trigger();
  EXPECT_NE(row("Height"), before);
  EXPECT_EQ(row("Height")->intValue, 1234);
  EXPECT_EQ(pane->tree().callbackCount(), callbacks);
}

// Catches a repaint timer that is not running every 2000 ms, and writes or commands with a
// polling time that do not start the one-shot poll with that time.
TEST_F(PaneTest, TimersFollowWritesAndCommands) {
  EXPECT_TRUE(pane->repaintTimer().isActive());
  EXPECT_EQ(pane->repaintTimer().interval(), 2000);
  EXPECT_FALSE(pane->repaintTimer().isSingleShot());
  EXPECT_FALSE(pane->pollTimer().isActive()) << "nothing written yet";
  pane->tree().writeRow(*row("PolledValue"), "7");
  EXPECT_TRUE(pane->pollTimer().isActive());
  EXPECT_TRUE(pane->pollTimer().isSingleShot());
  EXPECT_EQ(pane->pollTimer().interval(), 30);
  ASSERT_TRUE(waitFor([this] { return !pane->pollTimer().isActive(); }));
  pane->tree().executeCommand(*row("TriggerSoftware"));
  EXPECT_TRUE(pane->pollTimer().isActive());
  EXPECT_EQ(pane->pollTimer().interval(), 20);
  pane->stopActivity();
  EXPECT_FALSE(pane->repaintTimer().isActive());
  EXPECT_FALSE(pane->pollTimer().isActive());
}

// Catches a selection change that shows a stale value: the node map is invalidated and the
// selected row read again from the camera.
TEST_F(PaneTest, SelectingARowReadsItAgain) {
  camera.port().memory().pokeInteger(kFocus, 4, 75); // behind the node map's cache
  EXPECT_NE(row("Focus")->intValue, 75);
  pane->grid()->setCurrentIndex(pane->model().indexFor(row("Focus"), 0));
  EXPECT_EQ(row("Focus")->intValue, 75);
  EXPECT_EQ(valueIndex("Focus").data().toString(), QStringLiteral("75"));
}

// A node changed elsewhere: catches the selected integer row refreshed under the operator's
// hands, and other rows (or any row without a selection) left stale.
TEST_F(PaneTest, NodeChangesSpareTheSelectedIntegerRow) {
  struct Case {
    const char* selected; // nullptr: no selected row
    const char* changed;
    const char* value;
    bool refreshed;
  };
  const Case cases[] = {
      {"Height", "Height", "640", false},
      {"Height", "Focus", "40", true},
      {"DeviceUserID", "DeviceUserID", "cam 2", true},
      {nullptr, "Height", "320", true},
  };
  for (const auto& c : cases) {
    pane->grid()->setCurrentIndex(c.selected ? pane->model().indexFor(row(c.selected), 0)
                                             : QModelIndex());
    QApplication::processEvents();
    notes.clear();
    GenApi::INode* node = camera.map()->_GetNode(c.changed);
    dynamic_cast<GenApi::IValue*>(node)->FromString(c.value);
    waitFor([] { return false; }, 50); // let the queued refresh run
    EXPECT_EQ(count("Info", std::string("Refreshed ") + c.changed), c.refreshed ? 1 : 0)
        << (c.selected ? c.selected : "none") << " / " << c.changed;
  }
}

// Catches a pane that does not start from the stored visibility level, or that does not
// create an empty settings file when there is none.
TEST(PaneOptions, StartsFromTheStoredLevel) {
  fs::path folder = fs::temp_directory_path() / ("nodeview-options-" + std::to_string(getpid()));
  fs::create_directories(folder);
  fs::path options = folder / kOptionsFileName;
  {
    CPropertiesViewBar pane(QStringLiteral("Device Properties"), 32882, nullptr,
                            QString::fromStdString(folder.string()));
    EXPECT_TRUE(fs::exists(options));
    EXPECT_EQ(pane.visibilityCombo()->currentIndex(), 0);
  }
  ASSERT_EQ(writeVisibilityLevel(folder.string(), 2), "");
  {
    CPropertiesViewBar pane(QStringLiteral("Device Properties"), 32882, nullptr,
                            QString::fromStdString(folder.string()));
    EXPECT_EQ(pane.visibilityCombo()->currentIndex(), 2);
    EXPECT_EQ(pane.visibilityCombo()->itemText(2), QStringLiteral("Guru"));
    pane.visibilityCombo()->setCurrentIndex(1);
  }
  EXPECT_EQ(readVisibilityLevel(folder.string()), 1) << "saved when the pane goes";
  std::error_code ec;
  fs::remove_all(folder, ec);
}

// Catches Expert or Invisible features shown to a Beginner, and the level not kept.
TEST_F(PaneTest, VisibilityFilterFollowsTheCombo) {
  pane->visibilityCombo()->setCurrentIndex(0);
  EXPECT_FALSE(pane->rowHidden(row("Width")));
  EXPECT_TRUE(pane->rowHidden(row("WideCounter")));
  EXPECT_TRUE(pane->rowHidden(row("InvisibleFeature")));
  pane->visibilityCombo()->setCurrentIndex(1);
  EXPECT_FALSE(pane->rowHidden(row("WideCounter")));
  pane->visibilityCombo()->setCurrentIndex(2);
  EXPECT_TRUE(pane->rowHidden(row("InvisibleFeature")));
  pane.reset();
  EXPECT_EQ(readVisibilityLevel(folder.string()), 2);
}

// Catches a search that is case-sensitive, or one that does not give way to the visibility
// filter when emptied.
TEST_F(PaneTest, SearchFilterMatchesNames) {
  pane->visibilityCombo()->setCurrentIndex(0);
  pane->searchEdit()->setText(QStringLiteral("GAIN"));
  pane->applySearchFilter();
  EXPECT_FALSE(pane->rowHidden(row("Gain")));
  EXPECT_FALSE(pane->rowHidden(row("GainSelector")));
  EXPECT_TRUE(pane->rowHidden(row("Width")));
  pane->searchEdit()->setText(QStringLiteral("wide"));
  pane->applySearchFilter();
  EXPECT_FALSE(pane->rowHidden(row("WideCounter"))) << "search ignores the visibility level";
  pane->searchEdit()->clear();
  pane->applySearchFilter();
  EXPECT_FALSE(pane->rowHidden(row("Width")));
  EXPECT_TRUE(pane->rowHidden(row("WideCounter")));
}

// Catches alphabetical mode that keeps groups or loses order.
TEST_F(PaneTest, AlphabeticalModeListsFeaturesOnly) {
  pane->setAlphabetical(true);
  QAbstractItemModel& model = pane->model();
  ASSERT_EQ(model.rowCount(), int(pane->tree().properties().size()));
  QString previous;
  for (int i = 0; i < model.rowCount(); ++i) {
    QString name = model.index(i, 0).data().toString();
    EXPECT_LE(previous.toStdString(), name.toStdString());
    previous = name;
  }
  EXPECT_TRUE(pane->action(kCmdAlphabetical)->isChecked());
  pane->setAlphabetical(false);
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("Root"));
}

// A node changed by another thread: catches a refresh that runs on that thread instead of
// the window's.
TEST_F(PaneTest, CallbacksRefreshRowsOnTheWindowThread) {
  notes.clear();
  std::thread writer([this] {
    GenApi::CIntegerPtr height = camera.map()->_GetNode("Height");
    height->SetValue(640);
  });
  writer.join();
  EXPECT_EQ(count("Info", "Refreshed Height"), 0) << "nothing may happen before the queue runs";
  ASSERT_TRUE(waitFor([this] { return count("Info", "Refreshed Height") > 0; }));
  for (const auto& note : notes) {
    EXPECT_EQ(note.thread, QApplication::instance()->thread()) << note.line;
  }
  EXPECT_EQ(row("Height")->intValue, 640);
  EXPECT_EQ(valueIndex("Height").data().toString(), QStringLiteral("640"));
}

// Catches a typed value outside the range reaching the camera, or an editor that closes on it.
TEST_F(PaneTest, NumberEditorRefusesOutsideValues) {
  QModelIndex index = valueIndex("Focus");
  pane->grid()->setCurrentIndex(index);
  pane->grid()->edit(index);
  auto* edit = qobject_cast<QLineEdit*>(pane->grid()->indexWidget(index));
  ASSERT_NE(edit, nullptr);
  edit->setText(QStringLiteral("5000"));
  camera.port().forget();
  QTest::keyClick(edit, Qt::Key_Return);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Value must be between 0 and 1000.");
  EXPECT_EQ(edit->text(), QStringLiteral("1000"));
  EXPECT_EQ(pane->grid()->indexWidget(index), edit) << "the edit stays open";
  EXPECT_FALSE(camera.port().wrote(kFocus));
  edit->setText(QStringLiteral("35"));
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(camera.peek(kFocus), 35);
}

// Catches a slider that writes a typed value outside the range, or one that moves wrongly.
TEST_F(PaneTest, SliderEditorChecksAndSteps) {
  QModelIndex index = valueIndex("Width");
  pane->grid()->setCurrentIndex(index);
  pane->grid()->edit(index);
  auto* slider = qobject_cast<CPropEditSliderCtrl*>(pane->grid()->indexWidget(index));
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->slider()->maximum(), 2048) << "4096 in steps of 2";
  EXPECT_GE(slider->height(), 3 * pane->grid()->visualRect(index).height());
  slider->slider()->setValue(320);
  EXPECT_EQ(slider->text(), QStringLiteral("640"));
  slider->edit()->setText(QStringLiteral("9000"));
  camera.port().forget();
  QTest::keyClick(slider->edit(), Qt::Key_Return);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Value must be between 0 and 4096.");
  EXPECT_FALSE(camera.port().wrote(kWidth));
  slider->edit()->setText(QStringLiteral("640"));
  QTest::keyClick(slider->edit(), Qt::Key_Return);
  EXPECT_EQ(camera.peek(kWidth), 640);
}

// Catches a check box or a list choice that does not reach the camera.
TEST_F(PaneTest, CheckBoxAndListWrite) {
  pane->model().setData(valueIndex("ReverseX"), Qt::Checked, Qt::CheckStateRole);
  EXPECT_EQ(camera.peek(kReverseX), 1);
  EXPECT_EQ(valueIndex("ReverseX").data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

  QModelIndex index = valueIndex("GainSelector");
  pane->grid()->setCurrentIndex(index);
  pane->grid()->edit(index);
  auto* box = qobject_cast<QComboBox*>(pane->grid()->indexWidget(index));
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(box->count(), 3);
  EXPECT_EQ(box->itemText(0), QStringLiteral("All"));
  EXPECT_EQ(box->itemText(2), QStringLiteral("Blue"));
  box->setCurrentIndex(2);
  Q_EMIT box->activated(2);
  EXPECT_EQ(camera.peek(kGainSelector), 2);
}

// Catches an "Execute" button that does nothing when clicked.
TEST_F(PaneTest, ExecuteButtonRunsTheCommand) {
  QModelIndex index = valueIndex("AcquisitionStart");
  pane->grid()->scrollTo(index);
  QRect rect = pane->grid()->visualRect(index);
  ASSERT_TRUE(rect.isValid());
  camera.port().forget();
  QTest::mouseClick(pane->grid()->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_GE(camera.port().indexOf(kAcquisitionStart, 1), 0);
  EXPECT_EQ(count("Info", "Executing IExecution type, AcquisitionStart"), 1);
}

// Catches a grid left with stale rows after "UserSetLoad".
TEST_F(PaneTest, UserSetLoadRebuildsTheGrid) {
  PropertyRow* before = row("Height");
  camera.port().memory().pokeInteger(kHeight, 4, 1234);
  QModelIndex index = valueIndex("UserSetLoad");
  pane->grid()->scrollTo(index);
  QTest::mouseClick(pane->grid()->viewport(), Qt::LeftButton, {},
                    pane->grid()->visualRect(index).center());
  ASSERT_TRUE(waitFor([this, before] { return row("Height") != before; }));
  EXPECT_EQ(row("Height")->intValue, 1234);
}

// Catches selecting "FileOperationSelector" not enabling the camera-file command.
TEST_F(PaneTest, FileOperationSelectorEnablesFileAccess) {
  EXPECT_FALSE(pane->action(kCmdFileAccess)->isEnabled());
  pane->grid()->setCurrentIndex(pane->model().indexFor(row("FileOperationSelector"), 0));
  EXPECT_TRUE(pane->fileOperationMode());
  EXPECT_TRUE(pane->action(kCmdFileAccess)->isEnabled());
  CFileAccessDialog dialog(pane.get());
  ASSERT_EQ(dialog.deviceFiles()->count(), 3);
  EXPECT_EQ(dialog.deviceFiles()->itemText(0), QStringLiteral("UserData"));
  EXPECT_EQ(dialog.deviceFiles()->itemText(2), QStringLiteral("Firmware"));
  pane->grid()->setCurrentIndex(pane->model().indexFor(row("Width"), 0));
  EXPECT_FALSE(pane->action(kCmdFileAccess)->isEnabled());
}

// Catches a dialog that starts nothing, shows no result or leaves its progress at zero.
TEST_F(PaneTest, FileAccessDialogRunsATransfer) {
  fs::path local = folder / "lut.bin";
  ASSERT_EQ(writeFileReplacing(local.string(), std::string(200, 'L')), "");
  CFileAccessDialog dialog(pane.get());
  dialog.deviceFiles()->setCurrentText(QStringLiteral("LUTLuminance"));
  dialog.modeButton(1)->setChecked(true);
  dialog.localPath()->setText(QString::fromStdString(local.string()));
  ASSERT_TRUE(dialog.start());
  EXPECT_FALSE(dialog.startButton()->isEnabled());
  ASSERT_TRUE(waitFor([&dialog] { return dialog.startButton()->isEnabled(); }, 20000));
  EXPECT_EQ(dialog.result()->text(), QStringLiteral("Done (8192)"));
  EXPECT_EQ(dialog.progress()->value(), 100);
  EXPECT_EQ(camera.port().memory().file(1).size(), 200u);
}

std::string fileText(const fs::path& path) {
  std::string text;
  readWholeFile(path.string(), text);
  return text;
}

// Catches an existing feature file not replaced, a missing ".json", and text exports that
// overwrite instead of appending.
TEST_F(PaneTest, FileCommandsReplaceAndAppend) {
  fs::path json = folder / "features.json";
  {
    std::ofstream old(json);
    old << "old contents that are longer than nothing";
  }
  chosenFile = QString::fromStdString((folder / "features").string());
  pane->action(kCmdSaveJson)->trigger();
  std::string saved = fileText(json);
  ASSERT_EQ(saved.rfind("{\n    \"1\": {", 0), 0u) << saved.substr(0, 40);
  EXPECT_FALSE(parseFeatureFileJson(saved).items.empty());

  fs::path text = folder / "listing.txt";
  chosenFile = QString::fromStdString(text.string());
  pane->action(kCmdTextExport)->trigger();
  std::string once = fileText(text);
  pane->action(kCmdTextExport)->trigger();
  EXPECT_EQ(fileText(text), once + once);
  EXPECT_NE(once.find("CxpLinkConfiguration"), std::string::npos);

  ASSERT_TRUE(pane->writeListing(QString::fromStdString(text.string()), true));
  EXPECT_EQ(fileText(text), once) << "message 2324 with the replace flag";
}

// Catches a file command offering the wrong file type, or a name left without its suffix.
TEST_F(PaneTest, FileCommandsOfferTheirFileTypes) {
  struct Case {
    int command;
    const char* filter;
    const char* chosen;
    const char* written; // the file the command must produce
  };
  const Case cases[] = {
      {kCmdSaveJson, "Ini Files (*.json)", "saved", "saved.json"},
      {kCmdTextExport, "Text Files (*.txt)", "listing", "listing.txt"},
      {kCmdLoadJson, "JSON Files (*.json)", "saved", nullptr},
  };
  for (const auto& c : cases) {
    QString filter;
    auto chooser = [&](QWidget*, const QString&, const QString& offered) {
      filter = offered;
      return QString::fromStdString((folder / c.chosen).string());
    };
    pane->dialogs.saveFileName = chooser;
    pane->dialogs.openFileName = chooser;
    pane->dialogs.appendFileName = chooser;
    pane->action(c.command)->trigger();
    EXPECT_EQ(filter.toStdString(), c.filter) << c.command;
    if (c.written) {
      EXPECT_TRUE(fs::exists(folder / c.written)) << c.written;
    }
  }
}

// Catches a broken feature file that still resets the camera, and one that is applied.
TEST_F(PaneTest, BrokenFeatureFileChangesNothing) {
  fs::path json = folder / "broken.json";
  {
    std::ofstream out(json);
    out << "{\"1\": {\"Name\": \"Height\", \"Value\": \"100\"";
  }
  camera.port().forget();
  chosenFile = QString::fromStdString(json.string());
  pane->action(kCmdLoadJson)->trigger();
  EXPECT_TRUE(camera.port().writes().empty());
  bool reported = false;
  for (const auto& note : notes) {
    reported |= note.category == "Error" && note.line.find("broken.json") != std::string::npos;
  }
  EXPECT_TRUE(reported);
}

// Catches a loaded file that does not reach the camera or leaves the rows stale.
TEST_F(PaneTest, LoadCommandAppliesTheFile) {
  fs::path json = folder / "good.json";
  ASSERT_EQ(
      writeFileReplacing(json.string(), featureFileJson({{"Height", "480", false, "", "", "RW"}})),
      "");
  chosenFile = QString::fromStdString((folder / "good").string());
  pane->action(kCmdLoadJson)->trigger();
  EXPECT_EQ(camera.peek(kHeight), 480);
  EXPECT_EQ(row("Height")->intValue, 480);
}

int transfer(CPropertiesViewBar& pane, const DeviceFileRequest& request) {
  int result = -1;
  auto connection = QObject::connect(&pane, &CPropertiesViewBar::fileTransferFinished,
                                     [&result](int code) { result = code; });
  if (!pane.requestFileTransfer(request)) {
    return -2;
  }
  waitFor([&result] { return result != -1; }, 20000);
  QObject::disconnect(connection);
  return result;
}

// Device files both ways and deleted: catches bytes lost or reordered on the way, and wrong
// result codes for bad requests and empty files.
TEST_F(PaneTest, DeviceFileTransfers) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) {
    bytes += char('A' + i % 26);
  }
  fs::path local = folder / "upload.bin";
  ASSERT_EQ(writeFileReplacing(local.string(), bytes), "");
  EXPECT_EQ(transfer(*pane, {local.string(), "UserData", 1}), kFileSuccess);
  auto stored = camera.port().memory().file(0);
  EXPECT_EQ(std::string(stored.begin(), stored.end()), bytes);

  fs::path back = folder / "download.bin";
  EXPECT_EQ(transfer(*pane, {back.string(), "UserData", 0}), kFileSuccess);
  EXPECT_EQ(fileText(back), bytes);

  EXPECT_EQ(transfer(*pane, {back.string(), "LUTLuminance", 0}), kFileNothingToRead);
  EXPECT_EQ(transfer(*pane, {"", "UserData", 0}), kFileInvalidRequest);
  EXPECT_EQ(transfer(*pane, {back.string(), "UserData", 3}), kFileInvalidRequest);
  EXPECT_EQ(transfer(*pane, {(folder / "missing.bin").string(), "UserData", 1}),
            kFilePrepareFailed);

  EXPECT_EQ(transfer(*pane, {"-", "UserData", 2}), kFileSuccess);
  EXPECT_TRUE(camera.port().memory().file(0).empty());
}

class RealConstructsPane : public PaneTest {
protected:
  RealConstructsPane() : PaneTest("../../standin/data/real_constructs.xml") {}
};

// Catches long feature names cut at a fixed name column, and values pushed out of sight by a
// name column wider than the pane.
TEST_F(RealConstructsPane, NameColumnFitsLongNamesAndKeepsTheValuesInView) {
  const QString name =
      QStringLiteral("AFeatureWhoseNameIsLongerThanTheNameColumnOfTheGridWasEverMadeFor");
  PropertyRow* longRow = row(name.toLatin1().constData());
  ASSERT_NE(longRow, nullptr);
  QTreeView* grid = pane->grid();
  int needed = grid->fontMetrics().horizontalAdvance(name);
  EXPECT_GT(needed, 220) << "the name must be longer than the old fixed column";
  EXPECT_LE(grid->columnWidth(0), grid->viewport()->width() - 160) << "values stay in view";
  EXPECT_TRUE(pane->model().indexFor(longRow, 0).data(Qt::ToolTipRole).toString().startsWith(name))
      << "a shortened name is whole in its tool tip";

  EXPECT_EQ(valueIndex("PixelFormat").data(Qt::DisplayRole).toString(), kUnreadableValue)
      << "a value that fails to read is shown as such, not as nothing";

  pane->resize(needed + 600, 900);
  QApplication::processEvents();
  EXPECT_GE(grid->columnWidth(0), needed) << "with room, the whole name is shown";
}

} // namespace
} // namespace nodeview
