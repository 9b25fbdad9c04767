// Defect files and the camera's defect lists and maps: the form per camera, the file rules,
// what each form sends, and the file an upload writes.
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include <gtest/gtest.h>
#include <unistd.h>

#include "camera/file_io.h"
#include "tests/transfer/transfer_test_support.h"
#include "transfer/data_lines.h"
#include "transfer/defect_pixels.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;
namespace fs = std::filesystem;

namespace {

ModelDescriptor camera(Series series, std::string size, int rateCode = 0, int32_t width = 5120,
                       int32_t height = 5120) {
  ModelDescriptor model;
  model.series = series;
  model.sizeClass = std::move(size);
  model.rateCode = rateCode;
  model.sensorWidth = width;
  model.sensorHeight = height;
  return model;
}

using HV = std::pair<unsigned, unsigned>;

// The (H, V) entries of a list payload, read back through zlib itself.
std::vector<HV> listEntries(const DownloadPlan& plan) {
  const std::vector<uint8_t> raw = test::zlibInflate(plan.payload);
  EXPECT_EQ(raw.size() % 4, 0u);
  std::vector<HV> entries;
  for (size_t i = 0; i + 3 < raw.size(); i += 4)
    entries.emplace_back(raw[i] << 8 | raw[i + 1], raw[i + 2] << 8 | raw[i + 3]);
  return entries;
}

// The defective pixels of a map payload, by walking its bits.
std::set<HV> mapDefects(const DownloadPlan& plan, unsigned rowWidth) {
  const std::vector<uint8_t> map = test::zlibInflate(plan.payload);
  std::set<HV> defects;
  for (size_t k = 0; k < map.size() * 8; ++k) {
    if ((map[k / 8] >> (k % 8) & 1) == 0)
      defects.emplace(unsigned(k % rowWidth), unsigned(k / rowWidth));
  }
  return defects;
}

std::string manyLines(size_t count, const std::string& line) {
  std::string text;
  for (size_t i = 0; i < count; ++i)
    text += line + "\r\n";
  return text;
}

// Would catch a camera put in the wrong form, or a Ko camera of rate code 262/263 being sent
// a list it cannot take.
TEST(DefectPixels, TheFormFollowsTheModel) {
  const struct {
    Series series;
    const char* size;
    int rateCode;
    DefectForm form;
  } table[] = {
      {Series::Ko, "25M", 268, DefectForm::List},
      {Series::Ko, "4M", 262, DefectForm::Unsupported},
      {Series::Ko, "25M", 263, DefectForm::Unsupported},
      {Series::Ko, "10M", 262, DefectForm::Unsupported},
      {Series::Ko, "10M", 268, DefectForm::Map},
      {Series::Ki, "71M", 0, DefectForm::List},
      {Series::Ki, "25M", 0, DefectForm::List},
      {Series::Ki, "101M", 0, DefectForm::List},
      {Series::Ki, "151M", 0, DefectForm::List},
      {Series::Ki, "16M", 0, DefectForm::Map},
      {Series::Ka, "47M", 0, DefectForm::List},
      {Series::Ka, "43M", 0, DefectForm::Map},
      {Series::Kw, "4M", 0, DefectForm::List},
      {Series::Kn, "12M", 262, DefectForm::Map},
      {Series::None, "", 0, DefectForm::Map},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(std::string(seriesName(row.series)) + " " + row.size);
    const ModelDescriptor model = camera(row.series, row.size, row.rateCode);
    EXPECT_EQ(defectFormFor(model), row.form);
    const DefectUploadSetup upload = planDefectUpload(model);
    EXPECT_EQ(upload.ok, row.form != DefectForm::Unsupported);
    if (row.form == DefectForm::Unsupported) {
      EXPECT_EQ(upload.message,
                "The function of defect pixel PC upload is not supported in this camera!");
      const DefectDownload download = planDefectDownload(model, "1,1\n");
      EXPECT_FALSE(download.ok);
      EXPECT_EQ(download.message,
                "The function of defect pixel camera download is not supported in this camera!");
      EXPECT_TRUE(download.plan.payload.empty());
    }
  }
}

// Would catch rows not padded to 16 pixels where the camera pads them (a map shifted a little
// more on every row), or padded where it does not.
TEST(DefectPixels, MapRowsArePaddedToSixteenOnKnKiAndKo10M) {
  EXPECT_EQ(defectMapRowWidth(camera(Series::Ko, "10M", 0, 5120)), 5120u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Ko, "10M", 0, 5121)), 5136u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Ki, "16M", 0, 6500)), 6512u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Kn, "12M", 0, 6500)), 6512u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::KnP, "4M", 0, 6500)), 6512u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Kx, "4M", 0, 6500)), 6500u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Ko, "25M", 0, 6500)), 6500u);
  EXPECT_EQ(defectMapRowWidth(camera(Series::Kx, "4M", 0, -7)), 0u);

  // A Ki camera 6500 wide: column 6505 lies in the padding and is still in the map; the next
  // row starts at bit 6512.
  const DefectDownload plan =
      planDefectDownload(camera(Series::Ki, "16M", 0, 6500, 4), "6505,0\n0,1\n");
  ASSERT_TRUE(plan.ok) << plan.message << plan.detail;
  EXPECT_EQ(test::zlibInflate(plan.plan.payload).size(), 6512u * 4 / 8);
  EXPECT_EQ(mapDefects(plan.plan, 6512), (std::set<HV>{{6505, 0}, {0, 1}}));
  const DefectDownload outside =
      planDefectDownload(camera(Series::Ki, "16M", 0, 6500, 4), "0,0\n6512,0\n");
  EXPECT_EQ(outside.message, " Data Error( 1 Line)");
}

// Would catch an unsorted list, duplicates sent twice, or H and V swapped in an entry.
TEST(DefectPixels, AListIsSortedByRowThenColumnWithoutDuplicates) {
  const DefectDownload plan = planDefectListDownload("5,3\n1,3\n5,3\n0,0\n", 5120, 5120);
  ASSERT_TRUE(plan.ok) << plan.detail;
  EXPECT_EQ(listEntries(plan.plan), (std::vector<HV>{{0, 0}, {1, 3}, {5, 3}}));
  EXPECT_EQ(test::zlibInflate(plan.plan.payload),
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 0, 3, 0, 5, 0, 3}));
  EXPECT_EQ(plan.entries, 3u);
  EXPECT_EQ(plan.plan.blockCommand, 0x0200);
  EXPECT_EQ(plan.plan.finalCommand, 0x0201);
  EXPECT_EQ(plan.plan.blockTimeoutMs, 10000u);
  EXPECT_EQ(plan.plan.finalTimeoutMs, 30000u);

  // Rows before columns: (9, 0) comes before (0, 1).
  EXPECT_EQ(listEntries(planDefectListDownload("0,1\n9,0\n", 100, 100).plan),
            (std::vector<HV>{{9, 0}, {0, 1}}));
}

// Would catch comment, header and short lines read as data, or blanks and CR breaking a
// number.
TEST(DefectPixels, CommentsShortLinesAndBlanksFollowTheFileRules) {
  const std::string text = "-- made by hand\r\n"
                           ":H,V\r\n"
                           "7,7 -- noted twice\r\n"
                           "12\r\n"
                           "\r\n"
                           " 1 , 2 \r\n"
                           "3,4";
  const DefectDownload plan = planDefectListDownload(text, 100, 100);
  ASSERT_TRUE(plan.ok) << plan.message << plan.detail;
  EXPECT_EQ(listEntries(plan.plan), (std::vector<HV>{{1, 2}, {3, 4}}));
}

// Would catch the range test letting the sensor's own width through, and the count in the
// message being lines read rather than entries accepted before the bad one.
TEST(DefectPixels, AnEntryOutsideTheSensorStopsTheFileWithItsCount) {
  DefectDownload plan = planDefectListDownload("5120,0\n", 5120, 4000);
  EXPECT_FALSE(plan.ok);
  EXPECT_EQ(plan.message, " Data Error( 0 Line)");
  EXPECT_EQ(plan.caption, "Defect Downloader");
  EXPECT_TRUE(plan.plan.payload.empty());

  plan = planDefectListDownload("-- title\n1,1\n1,1\n2,3999\n0,4000\n", 5120, 4000);
  EXPECT_EQ(plan.message, " Data Error( 3 Line)");
  EXPECT_NE(plan.detail.find("line 5"), std::string::npos) << plan.detail;
}

// Would catch the line limit being checked after parsing (or on data lines only), so an
// oversized file gives a data error or is sent.
TEST(DefectPixels, LineLimitsCountEveryLineBeforeParsing) {
  EXPECT_TRUE(planDefectListDownload(manyLines(30000, "-- x"), 10, 10).ok);
  DefectDownload plan = planDefectListDownload(manyLines(30000, "-- x") + "99999,0", 10, 10);
  EXPECT_EQ(plan.message, "Exceeded defect allocation");
  EXPECT_EQ(plan.caption, "");

  // Lines are counted as the file module splits them: a last line without LF counts.
  for (const char* text : {"", "\n", "a", "a\n", "a\nb", "\n\n\n", "a\r\nb\r\n"}) {
    EXPECT_EQ(countLines(text), splitLines(text).size()) << text;
    size_t read = 0;
    LineReader lines(text);
    for (std::string_view line; lines.next(line);)
      ++read;
    EXPECT_EQ(read, countLines(text)) << text;
  }
  EXPECT_EQ(planDefectListDownload(std::string(30001, '\n'), 10, 10).message,
            "Exceeded defect allocation");
  EXPECT_TRUE(planDefectListDownload(std::string(30000, '\n'), 10, 10).ok);

  EXPECT_TRUE(planDefect13BitListDownload(manyLines(10000, "1,1"), 10, 10).ok);
  EXPECT_EQ(planDefect13BitListDownload(manyLines(10001, "1,1"), 10, 10).message,
            "Exceeded defect allocation");
  EXPECT_TRUE(planDefectThreeValueDownload(manyLines(512, "1,1,1"), 10, 10).ok);
  EXPECT_EQ(planDefectThreeValueDownload(manyLines(513, "1,1,1"), 10, 10).message,
            "Exceeded defect allocation");
}

// Would catch hostile numbers reaching the entries: negatives wrapping to large columns,
// overflowing numbers wrapping into range, values cut to 16 bits, bytes that are not digits
// read as 0, or a huge line read as anything but an error.
TEST(DefectPixels, HostileNumbersAreDataErrors) {
  const std::string hostile[] = {
      "-1,2",
      "18446744073709551617,1",
      "99999999999999999999999999999,1",
      "65537,1", // within a 70000-pixel sensor, but not within an entry's 16 bits
      "1,2,3",
      "1.5,2",
      "0x10,2",
      "a,b",
      "12,",
      ",1,",
      std::string("1\0,2", 4),
      "1\t,2",
      "\xff\xfe,\x01\x02",
      std::string(1u << 20, '7') + ",1",
  };
  for (const std::string& line : hostile) {
    SCOPED_TRACE(line.substr(0, 40));
    const DefectDownload list = planDefectListDownload("0,0\n" + line + "\n", 70000, 70000);
    EXPECT_FALSE(list.ok);
    EXPECT_EQ(list.message, " Data Error( 1 Line)");
    const DefectDownload map = planDefectMapDownload("0,0\n" + line + "\n", 16, 16);
    EXPECT_EQ(map.message, " Data Error( 1 Line)");
  }
}

// Would catch the 13-bit form testing the range before masking, sending more than 6000
// entries, or keeping the wrong 6000.
TEST(DefectPixels, ThirteenBitListMasksBeforeTheRangeTestAndSendsAtMost6000) {
  DefectDownload plan = planDefect13BitListDownload("8193,8194\n", 100, 100);
  ASSERT_TRUE(plan.ok) << plan.detail;
  EXPECT_EQ(listEntries(plan.plan), (std::vector<HV>{{1, 2}}));
  EXPECT_FALSE(planDefect13BitListDownload("-1,2\n", 100, 100).ok);
  EXPECT_FALSE(planDefect13BitListDownload("4294967297,2\n", 100, 100).ok);

  // 7000 distinct pixels written bottom row first: the 6000 sent are the first after sorting.
  std::string text;
  for (int i = 6999; i >= 0; --i)
    text += std::to_string(i % 100) + "," + std::to_string(i / 100) + "\n";
  plan = planDefect13BitListDownload(text, 100, 100);
  ASSERT_TRUE(plan.ok) << plan.detail;
  const std::vector<HV> entries = listEntries(plan.plan);
  ASSERT_EQ(entries.size(), 6000u);
  EXPECT_EQ(entries.front(), HV(0, 0));
  EXPECT_EQ(entries.back(), HV(99, 59));
}

// Would catch the three-value form being sorted or de-duplicated, or its words in the wrong
// order.
TEST(DefectPixels, ThreeValueListKeepsFileOrderAndItsLayout) {
  const DefectDownload plan = planDefectThreeValueDownload("5,3,7\n1,2,-1\n5,3,7\n", 10, 10);
  ASSERT_TRUE(plan.ok) << plan.detail;
  EXPECT_EQ(test::zlibInflate(plan.plan.payload),
            (std::vector<uint8_t>{0, 3, 0,    5,    0, 0, 0, 7, 0, 2, 0, 1,
                                  0, 0, 0xFF, 0xFF, 0, 3, 0, 5, 0, 0, 0, 7}));
  EXPECT_EQ(plan.plan.blockCommand, 0x0206);
  EXPECT_EQ(plan.plan.finalCommand, 0x0207);
  EXPECT_EQ(plan.plan.finalTimeoutMs, 30000u);
  EXPECT_EQ(planDefectThreeValueDownload("1,2,65536\n", 10, 10).message, " Data Error( 0 Line)");
  EXPECT_EQ(planDefectThreeValueDownload("1,2\n", 10, 10).message, " Data Error( 0 Line)");
  EXPECT_EQ(planDefectThreeValueDownload("1,1,1\n10,2,0\n", 10, 10).message,
            " Data Error( 1 Line)");
}

// Would catch bits cleared most significant first, set instead of cleared, or a map sent
// whose compressed size the camera cannot hold.
TEST(DefectPixels, AMapClearsOneBitPerDefectLeastSignificantFirst) {
  const DefectDownload plan = planDefectMapDownload("0,0\n9,0\n15,1\n", 16, 2);
  ASSERT_TRUE(plan.ok) << plan.detail;
  EXPECT_EQ(test::zlibInflate(plan.plan.payload), (std::vector<uint8_t>{0xFE, 0xFD, 0xFF, 0x7F}));
  EXPECT_EQ(plan.plan.blockCommand, 0x0200);
  EXPECT_EQ(plan.plan.finalCommand, 0x0201);
  EXPECT_EQ(plan.plan.finalTimeoutMs, 200000u);
  EXPECT_EQ(planDefectMapDownload("1,1\n0,2\n", 16, 2).message, " Data Error( 1 Line)");

  // Random defects over a fifth of 2560 x 2048 pixels do not compress below 380000 bytes.
  std::mt19937 random(11);
  std::string text;
  for (unsigned v = 0; v < 2048; ++v) {
    for (unsigned h = 0; h < 2560; ++h) {
      if (random() % 5 == 0)
        text += std::to_string(h) + "," + std::to_string(v) + "\n";
    }
  }
  const DefectDownload tooLarge = planDefectMapDownload(text, 2560, 2048);
  EXPECT_FALSE(tooLarge.ok);
  EXPECT_EQ(tooLarge.message, "Exceeded defect allocation ");
  EXPECT_TRUE(tooLarge.plan.payload.empty());
}

// Would catch a map whose bits do not fill its last byte being written past its end, and a
// camera reporting an enormous or no sensor making the program allocate or divide by zero.
TEST(DefectPixels, MapSizesFromTheCameraAreBoundedBeforeUse) {
  // 3 x 3 pixels: 9 bits, one byte; the ninth pixel has no byte of its own.
  EXPECT_EQ(defectMapBytes(3, 3), 1u);
  EXPECT_TRUE(planDefectMapDownload("2,1\n", 3, 3).ok);
  EXPECT_EQ(planDefectMapDownload("2,2\n", 3, 3).message, " Data Error( 0 Line)");

  for (const ModelDescriptor& model :
       {camera(Series::Kx, "4M", 0, 0, 0), camera(Series::Kx, "4M", 0, 5120, -1),
        camera(Series::Kx, "4M", 0, 2000000000, 2000000000), camera(Series::Ko, "25M", 0, 0, 0),
        camera(Series::Ko, "25M", 0, -5, 4000)}) {
    EXPECT_EQ(planDefectDownload(model, "").message, kDefectSensorSizeUnusable);
    EXPECT_EQ(planDefectUpload(model).message, kDefectSensorSizeUnusable);
  }
  const DefectUploadSetup list = planDefectUpload(camera(Series::Ko, "25M", 0, 2000000000, 9999));
  ASSERT_TRUE(list.ok);
  EXPECT_LE(list.plan.capacity, kDefectDataLimit);
}

// Would catch an upload asking with the wrong commands or time-out, or taking more than the
// camera's list or map can be.
TEST(DefectPixels, UploadPlansFollowTheForm) {
  const DefectUploadSetup list = planDefectUpload(camera(Series::Ko, "25M", 268, 5120, 5120));
  ASSERT_TRUE(list.ok);
  EXPECT_EQ(list.form, DefectForm::List);
  EXPECT_EQ(list.plan.requestCommand, 0x0202);
  EXPECT_EQ(list.plan.blockReadCommand, 0x0203);
  EXPECT_EQ(list.plan.parameter, 0u);
  EXPECT_EQ(list.plan.firstTimeoutMs, 30000u);
  EXPECT_EQ(list.plan.capacity, 5120u * 5120u);

  const DefectUploadSetup map = planDefectUpload(camera(Series::Ki, "16M", 0, 6500, 4000));
  ASSERT_TRUE(map.ok);
  EXPECT_EQ(map.form, DefectForm::Map);
  EXPECT_EQ(map.rowWidth, 6512u);
  EXPECT_EQ(map.plan.firstTimeoutMs, 200000u);
  EXPECT_EQ(map.plan.capacity, 6512u * 4000u / 8);
}

std::vector<uint8_t> deflated(std::vector<uint8_t> raw) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(Compress(raw, out));
  return out;
}

// Would catch an uploaded file that cannot be downloaded again as it was: a header read as
// data, H and V swapped, or map bits walked in the wrong order.
TEST(DefectPixels, AnUploadedFileDownloadsAgainUnchanged) {
  const ModelDescriptor ko = camera(Series::Ko, "25M", 268, 5120, 5120);
  const DefectUploadSetup listSetup = planDefectUpload(ko);
  const std::vector<uint8_t> entries = {0, 0, 0, 0, 0, 1, 0, 3, 0x13, 0xFF, 0x13, 0xFE};
  const DefectUploadFile listFile = defectFileFromUpload(deflated(entries), listSetup);
  ASSERT_TRUE(listFile.ok) << listFile.message << listFile.detail;
  EXPECT_EQ(listFile.text, ":Quorvane Camera Defective Pixel Data\n:H,V\n0,0\n1,3\n5119,5118\n");
  EXPECT_EQ(listFile.defects, 3u);
  const DefectDownload listAgain = planDefectDownload(ko, listFile.text);
  ASSERT_TRUE(listAgain.ok) << listAgain.message << listAgain.detail;
  EXPECT_EQ(test::zlibInflate(listAgain.plan.payload), entries);

  const ModelDescriptor ki = camera(Series::Ki, "16M", 0, 6500, 8);
  const DefectUploadSetup mapSetup = planDefectUpload(ki);
  std::vector<uint8_t> map(6512, 0xFF);
  map[0] = 0xFE;    // (0, 0)
  map[813] = 0x7F;  // bit 6511: (6511, 0), in the row's padding
  map[814] = 0xFC;  // (0, 1) and (1, 1)
  map[6511] = 0xBF; // the last byte: (6510, 7)
  const DefectUploadFile mapFile = defectFileFromUpload(deflated(map), mapSetup);
  ASSERT_TRUE(mapFile.ok) << mapFile.message << mapFile.detail;
  EXPECT_EQ(mapFile.text, std::string(kDefectFileHeader) + "0,0\n6511,0\n0,1\n1,1\n6510,7\n");
  const DefectDownload mapAgain = planDefectDownload(ki, mapFile.text);
  ASSERT_TRUE(mapAgain.ok) << mapAgain.message << mapAgain.detail;
  EXPECT_EQ(test::zlibInflate(mapAgain.plan.payload), map);
}

// Would catch a failed upload still producing a file: nothing received, a damaged or
// oversized stream, or a list cut inside an entry.
TEST(DefectPixels, AFailedUploadGivesItsMessageAndNoFile) {
  const DefectUploadSetup setup = planDefectUpload(camera(Series::Ko, "25M", 268, 64, 64));
  DefectUploadFile file = defectFileFromUpload({}, setup);
  EXPECT_FALSE(file.ok);
  EXPECT_EQ(file.message, "Defect data error");
  EXPECT_TRUE(file.text.empty());

  const std::vector<uint8_t> garbage = {1, 2, 3, 4, 5};
  file = defectFileFromUpload(garbage, setup);
  EXPECT_EQ(file.message, "Data decompress error!");
  EXPECT_EQ(file.inflateMessage, "Compressing File is failed");
  EXPECT_TRUE(file.text.empty());

  file = defectFileFromUpload(deflated(std::vector<uint8_t>(64 * 64 + 4, 0)), setup);
  EXPECT_EQ(file.message, "Data decompress error!");
  file = defectFileFromUpload(deflated({0, 1, 0, 2, 0, 3}), setup);
  EXPECT_EQ(file.message, "Defect data error");
  EXPECT_TRUE(file.text.empty());
}

// Would catch a save that leaves a partial or stray file when it fails, writes a failed upload,
// or loses the ".csv" the file dialog did not add.
TEST(DefectPixels, AnUploadIsSavedWholeOrNotAtAll) {
  EXPECT_EQ(defectFilePath("/tmp/defects"), "/tmp/defects.csv");
  EXPECT_EQ(defectFilePath("/tmp/defects.csv"), "/tmp/defects.csv");
  EXPECT_EQ(defectFilePath("/tmp/DEFECTS.CSV"), "/tmp/DEFECTS.CSV");

  const fs::path folder =
      fs::temp_directory_path() / ("kelpax-defect-save-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  DefectUploadFile file;
  file.ok = true;
  file.text = std::string(kDefectFileHeader) + "1,2\n";
  const DefectFileSave saved = saveDefectFile((folder / "cam").string(), file);
  EXPECT_TRUE(saved.saved) << saved.detail;
  EXPECT_EQ(saved.message, "File saving was completed!");
  std::ifstream in(folder / "cam.csv", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), file.text);

  const DefectFileSave nowhere = saveDefectFile((folder / "none" / "cam").string(), file);
  EXPECT_FALSE(nowhere.saved);
  EXPECT_EQ(nowhere.message, "file error!");
  EXPECT_EQ(nowhere.caption, "Error Message");

  file.ok = false;
  const DefectFileSave failedUpload = saveDefectFile((folder / "failed").string(), file);
  EXPECT_FALSE(failedUpload.saved);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
  fs::remove_all(folder);
}

} // namespace
