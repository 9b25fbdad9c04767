// The gamma table and the ".lut" / ".csv" files: what a page generates, writes and reads back,
// and how damaged files are refused without touching the table.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "editors/lut_file.h"

using namespace kelpax;

namespace {

namespace fs = std::filesystem;

// A table whose every output differs from the identity: a load that touched it shows.
LutTable marked(LutType type = LutType::Bits12) {
  LutTable table(type);
  for (int i = 0; i < table.size(); ++i)
    table[size_t(i)] = uint16_t((i * 7 + 3) % 4096);
  return table;
}

// Data lines "i,output" for inputs first..last, output 4095 - (i % 4096).
std::string dataLines(int first, int last) {
  std::string text;
  for (int i = first; i <= last; ++i)
    text += std::to_string(i) + "," + std::to_string(4095 - i % 4096) + "\n";
  return text;
}

class LutFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelpax-lut-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

} // namespace

// Would catch a wrong divisor (16383 for the 14-bit table), rounding instead of truncation, or
// gamma applied the wrong way round.
TEST(LutGamma, TablesFollowTheCurve) {
  struct Case {
    LutType type;
    double gamma;
    int input;
    int output;
  };
  const Case cases[] = {
      {LutType::Bits12, 0.45, 0, 0},        {LutType::Bits12, 0.45, 1, 96},
      {LutType::Bits12, 0.45, 100, 770},    {LutType::Bits12, 0.45, 2048, 2998},
      {LutType::Bits12, 0.45, 4095, 4095},  {LutType::Bits12, 2.2, 100, 1},
      {LutType::Bits12, 2.2, 2048, 891},    {LutType::Bits12, 2.2, 4094, 4092},
      {LutType::Bits14, 0.45, 1, 51},       {LutType::Bits14, 0.45, 8192, 2997},
      {LutType::Bits14, 0.45, 16383, 4094}, {LutType::Bits14, 2.2, 8192, 891},
  };
  for (const Case& c : cases) {
    LutTable table(c.type);
    ASSERT_TRUE(generateGammaTable(table, c.gamma));
    EXPECT_EQ(table[size_t(c.input)], c.output)
        << "gamma " << c.gamma << " input " << c.input << " of " << table.size();
  }
  // Gamma 1.0 is the identity the pages start from, for both sizes.
  for (LutType type : {LutType::Bits12, LutType::Bits14}) {
    LutTable table = marked(type);
    ASSERT_TRUE(generateGammaTable(table, 1.0));
    EXPECT_EQ(table, LutTable(type));
  }
}

// The edit takes 0 < gamma <= 1000 only; would catch 0 or 1001 generating a table, or a refused
// gamma still changing the one shown.
TEST(LutGamma, OutOfRangeGammaLeavesTheTable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double gamma : {0.0, -0.45, 1000.01, 1001.0, nan, inf, -inf}) {
    LutTable table = marked();
    EXPECT_FALSE(generateGammaTable(table, gamma)) << gamma;
    EXPECT_EQ(table, marked()) << gamma;
  }
  for (double gamma : {0.01, 1000.0}) {
    LutTable table = marked();
    EXPECT_TRUE(generateGammaTable(table, gamma)) << gamma;
    EXPECT_EQ(table[4095], 4095) << gamma;
  }
}

TEST(LutGamma, TypeSelectorTakesZeroAndOne) {
  bool error = true;
  EXPECT_EQ(lutTypeFromSelector(0, &error), LutType::Bits12);
  EXPECT_FALSE(error);
  EXPECT_EQ(lutTypeFromSelector(1, &error), LutType::Bits14);
  EXPECT_FALSE(error);
  for (int other : {2, -1, 14}) {
    EXPECT_EQ(lutTypeFromSelector(other, &error), LutType::Bits12) << other;
    EXPECT_TRUE(error) << other;
  }
}

// Would catch a missing header or record line, a gamma line in a 14-bit file, or a file the
// reader cannot take back.
TEST_F(LutFiles, WrittenFilesReadBack) {
  LutTable gamma(LutType::Bits12);
  ASSERT_TRUE(generateGammaTable(gamma, 0.45));
  const std::string text = lutFileText(gamma, 0.45);
  EXPECT_EQ(text.rfind(":Quorvane Camera LUT Data \n#Gamma=0.45 \n0,0\n1,96\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 10), "4095,4095\n");

  // The 14-bit table: 16384 data lines and no gamma line, even when a gamma is given.
  LutTable wide(LutType::Bits14);
  ASSERT_TRUE(generateGammaTable(wide, 2.2));
  const std::string wideText = lutFileText(wide, 2.2);
  EXPECT_EQ(wideText.find('#'), std::string::npos);
  EXPECT_EQ(std::count(wideText.begin(), wideText.end(), '\n'), 1 + 16384);
  EXPECT_NE(wideText.find("\n16383,4094\n"), std::string::npos);

  struct Case {
    const LutTable& table;
    LutFileDialect dialect;
    std::optional<double> gamma;
  };
  for (const Case& c : {Case{gamma, LutFileDialect::Ky29C, 0.45},
                        Case{gamma, LutFileDialect::Standard, std::nullopt},
                        Case{wide, LutFileDialect::Ky29C, 2.2}}) {
    const LutFileSave saved = saveLutFile(path("table"), c.table, c.gamma);
    ASSERT_TRUE(saved.saved) << saved.detail;
    LutTable back = marked(c.table.type());
    const LutFileLoad loaded = loadLutFile(saved.path, back, c.dialect);
    ASSERT_TRUE(loaded.ok) << loaded.detail;
    EXPECT_EQ(loaded.inputsRead, c.table.size());
    EXPECT_EQ(back, c.table);
  }
}

TEST(LutFilePath, LutAppendedUnlessPresent) {
  const std::pair<std::string, std::string> cases[] = {
      {"curve", "curve.lut"},
      {"curve.lut", "curve.lut"},
      {"curve.txt", "curve.txt.lut"},
      {"/tmp/v1.2/curve", "/tmp/v1.2/curve.lut"},
      {"curve.lut.bak", "curve.lut.bak"},
  };
  for (const auto& [chosen, path] : cases)
    EXPECT_EQ(lutFilePath(chosen), path) << chosen;
}

// The reading rules: header and comments skipped, at least every input but the last, in order.
TEST_F(LutFiles, ReadingRules) {
  const std::string header = ":Quorvane Camera LUT Data \n";
  struct Case {
    const char* what;
    std::string text;
    LutFileDialect dialect;
    bool ok;
    int inputsRead;
  };
  const Case cases[] = {
      {"every input", header + dataLines(0, 4095), LutFileDialect::Standard, true, 4096},
      {"all but the last", header + dataLines(0, 4094), LutFileDialect::Standard, true, 4095},
      {"two short", header + dataLines(0, 4093), LutFileDialect::Standard, false, 4094},
      {"input 17 skipped", header + dataLines(0, 16) + dataLines(18, 4095),
       LutFileDialect::Standard, false, 17},
      {"CR LF, blanks, tabs and comments",
       "-- made by hand\r\n" + header + "x\r\n\r\n 0 , 4095 \r\n1,\t4094\r\n" + dataLines(2, 4095),
       LutFileDialect::Standard, true, 4096},
      {"lines after the last input ignored", header + dataLines(0, 4095) + "garbage\n4096,1\n",
       LutFileDialect::Standard, true, 4096},
      {"a 14-bit file into a 12-bit table", header + dataLines(0, 16383), LutFileDialect::Standard,
       true, 4096},
      {"gamma line skipped on the Ky 29C page", header + "#Gamma=0.45 \n" + dataLines(0, 4095),
       LutFileDialect::Ky29C, true, 4096},
      {"gamma line ends the reading elsewhere", header + "#Gamma=0.45 \n" + dataLines(0, 4095),
       LutFileDialect::Standard, false, 0},
      {"missing output", header + dataLines(0, 99) + "100\n" + dataLines(101, 4095),
       LutFileDialect::Standard, false, 100},
      {"empty file", "", LutFileDialect::Standard, false, 0},
  };
  for (const Case& c : cases) {
    LutTable table = marked();
    const LutFileLoad result = readLutText(c.text, table, c.dialect);
    EXPECT_EQ(result.ok, c.ok) << c.what << ": " << result.detail;
    EXPECT_EQ(result.inputsRead, c.inputsRead) << c.what;
    if (c.ok) {
      EXPECT_EQ(table[0], 4095) << c.what;
      EXPECT_EQ(table[4094], 1) << c.what;
      // Input 4095 is the file's when it has it, else the old output stays.
      EXPECT_EQ(table[4095], c.inputsRead == 4096 ? 0 : marked()[4095]) << c.what;
    } else {
      EXPECT_EQ(result.message, " LUT file error!") << c.what;
      EXPECT_EQ(result.caption, "LUT Downloader") << c.what;
      // A failed load keeps the old table whole, not half replaced.
      EXPECT_EQ(table, marked()) << c.what;
    }
  }
  // A 14-bit table wants 16383 inputs at least.
  LutTable wide = marked(LutType::Bits14);
  EXPECT_FALSE(readLutText(header + dataLines(0, 4095), wide, LutFileDialect::Ky29C).ok);
  EXPECT_EQ(wide, marked(LutType::Bits14));
  EXPECT_TRUE(readLutText(header + dataLines(0, 16382), wide, LutFileDialect::Ky29C).ok);
  EXPECT_EQ(wide[16383], marked(LutType::Bits14)[16383]);
}

// Hostile files: each is refused with the file error and a detail naming the line, and the
// table stays as it was. Would catch a number wrapping into a 16-bit output, binary bytes taken
// as digits, or a huge line taking the program down.
TEST_F(LutFiles, DamagedFilesAreRefusedWhole) {
  const std::string good = ":Quorvane Camera LUT Data \n" + dataLines(0, 9);
  const std::string rest = dataLines(11, 4095);
  struct Case {
    const char* what;
    std::string line10;
  };
  const Case cases[] = {
      {"negative output", "10,-1\n"},
      {"output above 4095", "10,4096\n"},
      {"output that wraps to 16 bits", "10,65541\n"},
      {"overflowing number", "10,99999999999999999999999\n"},
      {"overflowing input", "99999999999999999999999,1\n"},
      {"a third field", "10,5,7\n"},
      {"binary bytes", std::string("10,\x01\xff\x00"
                                   "5\n",
                                   8)},
      {"a hexadecimal output", "10,0x10\n"},
      {"a real output", "10,5.5\n"},
      {"a huge line", "10," + std::string(4u << 20, '7') + "\n"},
  };
  for (const Case& c : cases) {
    LutTable table = marked();
    const LutFileLoad result = readLutText(good + c.line10 + rest, table, LutFileDialect::Standard);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.message, " LUT file error!") << c.what;
    EXPECT_NE(result.detail.find("line 12"), std::string::npos) << c.what << ": " << result.detail;
    EXPECT_LT(result.detail.size(), 200u) << c.what;
    EXPECT_EQ(table, marked()) << c.what;
  }
  // Even the last line: a damaged output is not quietly replaced by the old one.
  LutTable table = marked();
  EXPECT_FALSE(
      readLutText(good + dataLines(10, 4094) + "4095,70000\n", table, LutFileDialect::Standard).ok);
  EXPECT_EQ(table, marked());
}

TEST_F(LutFiles, UnreadableAndUnwritableFiles) {
  LutTable table = marked();
  for (const std::string& missing : {path("absent.lut"), dir_.string()}) {
    const LutFileLoad result = loadLutFile(missing, table, LutFileDialect::Standard);
    EXPECT_FALSE(result.ok) << missing;
    EXPECT_EQ(result.message, "Cannot open LUT file!");
    EXPECT_EQ(result.caption, "Downloader");
  }
  write("big.lut", std::string(kLutFileSizeLimit + 1, '1'));
  EXPECT_EQ(loadLutFile(path("big.lut"), table, LutFileDialect::Standard).message,
            "Cannot open LUT file!");
  EXPECT_EQ(table, marked());
  fs::remove(path("big.lut"));

  const LutFileSave nowhere = saveLutFile(path("no/such/folder/table"), table);
  EXPECT_FALSE(nowhere.saved);
  EXPECT_EQ(nowhere.message, "file error!");
  EXPECT_EQ(nowhere.caption, "Error Message");

  // A table still waiting for an upload's data could never be read back: not written, and the
  // file already there is kept.
  write("kept.lut", "old");
  LutTable waiting;
  waiting.fill(kLutNoData);
  const LutFileSave refused = saveLutFile(path("kept.lut"), waiting);
  EXPECT_FALSE(refused.saved);
  EXPECT_EQ(refused.message, "file error!");
  EXPECT_EQ(read(path("kept.lut")), "old");

  const LutFileSave saved = saveLutFile(path("kept"), table);
  ASSERT_TRUE(saved.saved);
  EXPECT_EQ(saved.path, path("kept.lut"));
  EXPECT_EQ(read(path("kept.lut")), lutFileText(table));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
      << "a temporary file left behind";
}
