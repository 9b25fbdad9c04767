// portlist.ini: creation, reading and rewriting of keys, and files that are damaged or absent.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/port_settings.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

class PortListFile : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() /
              ("kelpax-portlist-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string path() const { return (folder_ / "portlist.ini").string(); }
  std::string contents() const {
    std::ifstream in(path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& text) const { std::ofstream(path(), std::ios::binary) << text; }
  // Files left beside portlist.ini (a rewrite's temporary file would show here).
  size_t filesInFolder() const {
    return size_t(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

} // namespace

// Would catch any drift in the comment block, including the ":ex>" line that has no line end.
TEST_F(PortListFile, ReadCreatesTheCommentBlockByteForByte) {
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.path(), path());
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "");
  const std::string dashes(89, '-');
  const std::string expected =
      ":Kelpax COM / DLL configuration File \n"
      ":" +
      dashes +
      " \n"
      ":Set port enable parameter Value :   '0', '1'  \n"
      ":ex>:COM1=1\t<- Check COM1 Port \n"
      ":COM1=0\t<- Skip COM1 Port \n"
      ": \n"
      ":Set serial baudRate value  : \"AUTO\" , \"9600\"  , \"19200\" , \"38400\" , \"115200\"  \n"
      ":ex> \n"
      ":BaudRate=AUTO\t   <- Set Auto Scan Mode \n"
      ":BaudRate=19200   <- Set fixed baudrate(19200 bps) \n"
      ":COMPORT_ONLY = 1 <- Only use Comport              to communicate with camera.\n"
      ":COMPORT_ONLY = 0 <-      use Comport and ClserDLL to communicate with camera.\n"
      ":COMPORT_ONLY = 2 <- Only use ClserDLL             to communicate with camera.\n"
      ":" +
      dashes + " \n\n";
  EXPECT_EQ(contents(), expected);
  // The examples in the comments are never read as settings.
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "");
  EXPECT_EQ(settings.ReadPortSetting("COM1"), "");
}

// Would catch a write creating the comment block, or a lost line end.
TEST_F(PortListFile, WriteCreatesASingleLine) {
  PortSettings settings(folder_.string());
  settings.WritePortSetting("BaudRate", "AUTO");
  EXPECT_EQ(contents(), "BaudRate=AUTO\n");
}

TEST_F(PortListFile, ReadMatchesKeysWithoutCaseSpacesOrTabs) {
  write(":COMPORT_ONLY=1\n"
        "\n"
        "Baud Rate\t=\tAuto  \r\n"
        "COMPORT_ONLY=\t0\n"
        "comport_only=1\n"
        "/tmp/ttyCAM0=0\n"
        "clsersim#0 Ko-25MC-C65=1\n"
        "Empty=\n"
        "Twice==7=8\n");
  PortSettings settings(folder_.string());
  struct Case {
    const char* key;
    const char* value;
  } cases[] = {
      {"BaudRate", "Auto  "},          // tabs and the carriage return go, spaces stay
      {"baudrate", "Auto  "},          // the key in any case
      {"COMPORT_ONLY", "0"},           // the first matching line wins; comments never match
      {"/tmp/ttyCAM0", "0"},           // a device path as key
      {"/TMP/ttyCAM0", "0"},           // compared in lower case
      {"clsersim#0 Ko-25MC-C65", "1"}, // a Camera Link identifier with a space
      {"Empty", ""},                   // an empty value reads as absent
      {"Twice", "7"},                  // the first non-empty piece after the key
      {"Missing", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(settings.ReadPortSetting(c.key), c.value) << c.key;
  }
}

// Would catch a value cut wrongly next to tabs, or the rest of the line (its comment) lost.
TEST_F(PortListFile, WriteReplacesOnlyTheValueBetweenTabs) {
  write(":BaudRate=AUTO\t<- comment stays\n"
        "COMPORT_ONLY=1\n"
        "BaudRate=\t\t19200\t<- fixed rate\r\n"
        "BaudRate=9600\n"
        "/tmp/ttyCAM0=\n"
        "tail without line end");
  PortSettings settings(folder_.string());
  settings.WritePortSetting("BaudRate", "AUTO");
  settings.WritePortSetting("/tmp/ttyCAM0", "1");
  settings.WritePortSetting("COM3", "0");
  EXPECT_EQ(contents(), ":BaudRate=AUTO\t<- comment stays\n"
                        "COMPORT_ONLY=1\n"
                        "BaudRate=\t\tAUTO\t<- fixed rate\r\n"
                        "BaudRate=9600\n"
                        "/tmp/ttyCAM0=1\n"
                        "tail without line end\n"
                        "COM3=0\n");
  EXPECT_EQ(filesInFolder(), 1u);
}

// Would catch a key matched as a substring: writing "port0" must not change "CL port0".
TEST_F(PortListFile, WriteNeverChangesAnotherKeyEndingTheSame) {
  write("CL port0=0\n");
  PortSettings settings(folder_.string());
  settings.WritePortSetting("port0", "1");
  EXPECT_EQ(contents(), "CL port0=0\nport0=1\n");
}

// Would catch the writer matching keys differently from the reader: a file holding
// "Baud Rate=9600" or "baudrate=9600" got "BaudRate=..." appended, which the reader never saw.
TEST_F(PortListFile, WriteReplacesTheLineTheReadFinds) {
  struct Case {
    const char* file;
    const char* key;
    const char* expected;
  } cases[] = {
      {"Baud Rate=9600\n", "BaudRate", "Baud Rate=AUTO\n"},
      {"baudrate=9600\n", "BaudRate", "baudrate=AUTO\n"},
      {" BAUD\tRATE =\t9600\r\n", "BaudRate", " BAUD\tRATE =\tAUTO\r\n"},
      {"port0=1\n", "Port0", "port0=AUTO\n"},
      // A line without "=" sets nothing; a comment neither.
      {"BaudRate\n:BaudRate=1\nBaudRate=2\n", "Baud rate",
       "BaudRate\n:BaudRate=1\nBaudRate=AUTO\n"},
  };
  for (const Case& c : cases) {
    write(c.file);
    PortSettings settings(folder_.string());
    EXPECT_NE(settings.ReadPortSetting(c.key), "") << c.file;
    settings.WritePortSetting(c.key, "AUTO");
    EXPECT_EQ(contents(), c.expected) << c.file;
    EXPECT_EQ(settings.ReadPortSetting(c.key), "AUTO") << c.file;
  }
}

// Would catch a key or value that starts a line of its own in the file.
TEST_F(PortListFile, WriteKeepsKeyAndValueOnOneLine) {
  PortSettings settings(folder_.string());
  settings.ReadPortSetting("x");
  settings.WritePortSetting("odd\r\nBaudRate", "1\nCOMPORT_ONLY=1");
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "");
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "");
  EXPECT_EQ(settings.ReadPortSetting("oddBaudRate"), "1COMPORT_ONLY");
}

// Would catch a crash or a lost byte on junk: junk lines stay as they were and are never keys.
TEST_F(PortListFile, BinaryJunkIsIgnoredAndKept) {
  const char raw[] = "\x01\x02=\xff\xfe\0\0=\r\r\n===\n\x80\x81\x82\n=\n";
  std::string junk(raw, sizeof raw - 1);
  junk += std::string(5000, 'x') + "=y\n";
  junk += "COMPORT_ONLY=1\n";
  write(junk);
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "1");
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "");
  EXPECT_EQ(settings.ReadPortSetting(""), "");
  settings.WritePortSetting("BaudRate", "AUTO");
  EXPECT_EQ(contents(), junk + "BaudRate=AUTO\n");
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "AUTO");
}

// Would catch an unreadable file being replaced by a new one, losing what it held.
TEST_F(PortListFile, UnreadableFileGivesEmptyValuesAndIsNotReplaced) {
  // A folder where the file should be cannot be read as a file.
  fs::create_directory(path());
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "");
  settings.WritePortSetting("COMPORT_ONLY", "2");
  EXPECT_TRUE(fs::is_directory(path()));
  EXPECT_TRUE(settings.devicePathKeys().empty());
}

// Would catch an oversized file read whole into memory or overwritten.
TEST_F(PortListFile, OversizedFileIsLeftAlone) {
  const std::string big = "COMPORT_ONLY=1\n" + std::string(PortSettings::kMaxFileSize, '#');
  write(big);
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "");
  settings.WritePortSetting("COMPORT_ONLY", "2");
  EXPECT_EQ(contents().size(), big.size());
}

// Would catch a write growing a file past what the reader takes: every setting in it was
// lost on the next read. The file stays as it was, still readable.
TEST_F(PortListFile, WriteNeverGrowsTheFilePastTheReadLimit) {
  const std::string head = "COMPORT_ONLY=1\n";
  const std::string full =
      head + std::string(PortSettings::kMaxFileSize - head.size() - 1, '#') + "\n";
  ASSERT_EQ(full.size(), PortSettings::kMaxFileSize);
  write(full);
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "1");
  settings.WritePortSetting(kBaudRateKey, "AUTO");
  EXPECT_EQ(contents(), full);
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "1");
  settings.WritePortSetting("COMPORT_ONLY", "2");
  EXPECT_EQ(settings.ReadPortSetting("COMPORT_ONLY"), "2") << "a same-size change is written";
}

// Would catch a crash or a stray file when the folder is not there: reads are empty, writes
// are dropped.
TEST_F(PortListFile, FolderThatCannotHoldTheFile) {
  PortSettings settings((folder_ / "no" / "such" / "folder").string());
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "");
  settings.WritePortSetting("BaudRate", "AUTO");
  EXPECT_EQ(settings.ReadPortSetting("BaudRate"), "");
  EXPECT_FALSE(fs::exists(folder_ / "no"));
}

// Would catch a rewrite that resets the operator's permission bits.
TEST_F(PortListFile, RewriteKeepsPermissionBits) {
  write("BaudRate=9600\n");
  fs::permissions(path(), fs::perms(0640));
  PortSettings settings(folder_.string());
  settings.WritePortSetting("BaudRate", "AUTO");
  struct stat st {};
  ASSERT_EQ(::stat(path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(PortListFile, DevicePathKeysInFileOrder) {
  write(":/tmp/commented=1\n"
        "COMPORT_ONLY=1\n"
        " /tmp/ttyCAM1 =1\n"
        "/dev/ttyUSB0=0\n"
        "/tmp/ttyCAM1=1\n"
        "COM3=1\n"
        "/=1\n"
        "/tmp/no-equals\n");
  PortSettings settings(folder_.string());
  EXPECT_EQ(settings.devicePathKeys(), (std::vector<std::string>{"/tmp/ttyCAM1", "/dev/ttyUSB0"}));
}

// Would catch duplicates removed by a search of the list per key: 60,000 paths took 24 s.
// The file is at the size limit; listing its keys must stay well under a second.
TEST_F(PortListFile, ManyDevicePathKeysAreListedQuickly) {
  std::string text;
  size_t count = 0;
  while (text.size() < PortSettings::kMaxFileSize - 64) {
    text += "/tmp/cam" + std::to_string(count++) + "=1\n";
  }
  text += "/tmp/cam0=0\n";
  write(text);
  PortSettings settings(folder_.string());
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> keys = settings.devicePathKeys();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GT(count, 60000u);
  EXPECT_EQ(keys.size(), count);
  EXPECT_EQ(keys.back(), "/tmp/cam" + std::to_string(count - 1));
  EXPECT_LT(took, std::chrono::seconds(2));
}

TEST(PortSettingValues, InterfaceMode) {
  struct Case {
    const char* value;
    InterfaceMode mode;
    bool rewrite;
  } cases[] = {
      {"0", InterfaceMode::All, false},
      {"0 both", InterfaceMode::All, false},
      {"1", InterfaceMode::ComOnly, false},
      {" 1", InterfaceMode::ComOnly, false}, // as the comment block's examples write it
      {"2", InterfaceMode::ClserOnly, false},
      {"", InterfaceMode::ClserOnly, true},
      {"7", InterfaceMode::ClserOnly, true},
      {"com", InterfaceMode::ClserOnly, true},
      {"20", InterfaceMode::ClserOnly, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(interfaceModeFromSetting(c.value), c.mode) << c.value;
    EXPECT_EQ(interfaceSettingNeedsRewrite(c.value), c.rewrite) << c.value;
  }
}

TEST(PortSettingValues, BaudRate) {
  struct Case {
    const char* value;
    bool scan;
    unsigned code;
  } cases[] = {
      {"", true, 2},       {"AUTO", true, 2},   {"Auto", true, 2},     {"auto", true, 2},
      {"xAuToy", true, 2}, {"9600", false, 1},  {"19200", false, 2},   {"38400", false, 4},
      {"56000", false, 8}, {"57600", false, 2}, {"115200", false, 16}, {"115200 bps", false, 16},
      {"4800", false, 2},  {"fast", false, 2},  {" 9600", false, 1},
  };
  for (const Case& c : cases) {
    const BaudChoice choice = baudChoiceFromSetting(c.value);
    EXPECT_EQ(choice.scan, c.scan) << c.value;
    if (!c.scan) {
      EXPECT_EQ(choice.baudCode, c.code) << c.value;
    }
  }
}
