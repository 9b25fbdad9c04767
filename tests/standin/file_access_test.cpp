// Camera files through FileProtocolAdapter against the memory port's file emulation.
#include <numeric>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "test_camera.h"

using namespace GenApi;
using GenICam::FileProtocolAdapter;
using kelpax::test::TestCamera;

namespace {

std::vector<char> pattern(size_t n) {
  std::vector<char> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = char((i * 7 + 3) & 0xFF);
  return v;
}

TEST(FileAccessLayout, ReadFromTheDescription) {
  FileAccessLayout l = FileAccessLayout::FromXml(kelpax::test::readData("kelpax_camera.xml"));
  EXPECT_EQ(l.selectorAddress, 0x0500u);
  EXPECT_EQ(l.executeAddress, 0x050Cu);
  EXPECT_EQ(l.bufferAddress, 0x0540u);
  EXPECT_EQ(l.bufferLength, 64u);
  EXPECT_EQ(l.opDelete, 4);
  EXPECT_EQ(l.modeReadWrite, 2);
  EXPECT_THROW(FileAccessLayout::FromXml(kelpax::test::readData("leading_line.xml")),
               GenICam::RuntimeException);
}

// Round trips of several sizes around the 64-byte buffer, with and without a slow camera.
class FileRoundTrip : public ::testing::TestWithParam<std::tuple<size_t, unsigned>> {};

TEST_P(FileRoundTrip, WrittenBytesReadBackIdentically) {
  // Catches lost or repeated pieces when a file spans several buffer loads, and operations
  // read before the camera finished them.
  auto [size, readsBeforeClear] = GetParam();
  TestCamera cam(readsBeforeClear);
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr)) << files.lastError();
  EXPECT_EQ(files.getBufSize("UserData", std::ios::out), 64);
  std::vector<char> data = pattern(size);
  ASSERT_TRUE(files.openFile("UserData", std::ios::out)) << files.lastError();
  EXPECT_EQ(files.write(data.data(), 0, int64_t(size), "UserData"), std::streamsize(size))
      << files.lastError();
  ASSERT_TRUE(files.closeFile("UserData")) << files.lastError();
  std::vector<uint8_t> stored = cam.port->file(0);
  EXPECT_EQ(std::vector<char>(stored.begin(), stored.end()), data);
  EXPECT_EQ(files.getFileSize("UserData"), int64_t(size));

  ASSERT_TRUE(files.openFile("UserData", std::ios::in)) << files.lastError();
  std::vector<char> back(size + 10, 'x');
  EXPECT_EQ(files.read(back.data(), 0, std::streamsize(size + 10), "UserData"),
            std::streamsize(size));
  back.resize(size);
  EXPECT_EQ(back, data);
  EXPECT_TRUE(files.closeFile("UserData"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileRoundTrip,
                         ::testing::Values(std::make_tuple(size_t{1}, 0u),
                                           std::make_tuple(size_t{64}, 0u),
                                           std::make_tuple(size_t{65}, 0u),
                                           std::make_tuple(size_t{300}, 0u),
                                           std::make_tuple(size_t{300}, 4u)));

TEST(FileAccess, ReadingAtAnOffsetAndFilesAreKeptApart) {
  TestCamera cam;
  cam.port->setFile(1, {10, 11, 12, 13, 14, 15});
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr));
  ASSERT_TRUE(files.openFile("LUTLuminance", std::ios::in));
  char buf[8] = {};
  EXPECT_EQ(files.read(buf, 4, 8, "LUTLuminance"), 2);
  EXPECT_EQ(buf[0], 14);
  EXPECT_EQ(buf[1], 15);
  EXPECT_EQ(files.getFileSize("UserData"), 0);
  EXPECT_EQ(files.getFileSize("LUTLuminance"), 6);
}

// The Read operations the camera performed, as (offset, length asked, bytes returned).
std::vector<std::tuple<int64_t, int64_t, int64_t>> readsOf(const TestCamera& cam) {
  const int64_t opRead = FileAccessLayout::FromXml(cam.xml).opRead;
  std::vector<std::tuple<int64_t, int64_t, int64_t>> reads;
  for (const MemoryPort::FileOperationRecord& op : cam.port->fileOperations())
    if (op.operation == opRead) {
      EXPECT_TRUE(op.succeeded) << "Read at " << op.offset;
      reads.emplace_back(op.offset, op.length, op.result);
    }
  return reads;
}

TEST(FileAccess, ReadStopsAtTheCamerasShortAnswerAtTheEndOfTheFile) {
  // Catches an adapter that keeps asking after the camera answered with fewer bytes than asked:
  // a 150-byte file read with room for 200 bytes takes exactly three buffer loads, the last one
  // answering 22 of 64 bytes, and no fourth Read past the end.
  TestCamera cam;
  std::vector<char> data = pattern(150);
  cam.port->setFile(0, std::vector<uint8_t>(data.begin(), data.end()));
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr)) << files.lastError();
  ASSERT_EQ(files.getBufSize("UserData", std::ios::in), 64);
  ASSERT_TRUE(files.openFile("UserData", std::ios::in)) << files.lastError();
  std::vector<char> back(200, 'x');
  EXPECT_EQ(files.read(back.data(), 0, 200, "UserData"), 150) << files.lastError();
  EXPECT_EQ(std::vector<char>(back.begin(), back.begin() + 150), data);
  EXPECT_EQ(std::vector<char>(back.begin() + 150, back.end()), std::vector<char>(50, 'x'))
      << "bytes beyond the file were written";
  using Read = std::tuple<int64_t, int64_t, int64_t>;
  EXPECT_EQ(readsOf(cam), (std::vector<Read>{{0, 64, 64}, {64, 64, 64}, {128, 64, 22}}));
  EXPECT_TRUE(files.closeFile("UserData"));
}

TEST(FileAccess, ReadEndsWhereTheCameraAnsweredShortInTheMiddleOfTheFile) {
  // Catches an adapter that goes on reading after a short answer in the middle of a file: the
  // camera gives only 10 bytes for the second buffer load, so the read ends there with 74
  // bytes, says so, and leaves the rest of the caller's buffer untouched.
  TestCamera cam;
  std::vector<char> data = pattern(200);
  cam.port->setFile(0, std::vector<uint8_t>(data.begin(), data.end()));
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr)) << files.lastError();
  ASSERT_TRUE(files.openFile("UserData", std::ios::in)) << files.lastError();
  cam.port->capFileRead(10, 1);
  std::vector<char> back(200, 'x');
  EXPECT_EQ(files.read(back.data(), 0, 200, "UserData"), 74) << files.lastError();
  EXPECT_EQ(std::vector<char>(back.begin(), back.begin() + 74),
            std::vector<char>(data.begin(), data.begin() + 74));
  EXPECT_EQ(std::vector<char>(back.begin() + 74, back.end()), std::vector<char>(126, 'x'))
      << "bytes after the short answer were filled in";
  using Read = std::tuple<int64_t, int64_t, int64_t>;
  EXPECT_EQ(readsOf(cam), (std::vector<Read>{{0, 64, 64}, {64, 64, 10}}));

  // The short answer was the camera's only one: reading on from there gets the rest.
  EXPECT_EQ(files.read(back.data() + 74, 74, 126, "UserData"), 126) << files.lastError();
  EXPECT_EQ(back, data);
  EXPECT_TRUE(files.closeFile("UserData"));
}

TEST(FileAccess, CameraRefusalsAreReportedNotIgnored) {
  // Catches an adapter that reports success when the camera's status says Failure.
  TestCamera cam;
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr));
  char b[4] = {1, 2, 3, 4};
  EXPECT_EQ(files.write(b, 0, 4, "Firmware"), -1) << "not open";
  EXPECT_NE(files.lastError().find("Failure"), std::string::npos) << files.lastError();
  ASSERT_TRUE(files.openFile("Firmware", std::ios::in));
  EXPECT_FALSE(files.openFile("Firmware", std::ios::in)) << "already open";
  EXPECT_EQ(files.write(b, 0, 4, "Firmware"), -1) << "opened for reading";
  EXPECT_FALSE(files.deleteFile("Firmware")) << "still open";
  EXPECT_TRUE(files.closeFile("Firmware"));
  EXPECT_FALSE(files.closeFile("Firmware"));
  EXPECT_FALSE(files.openFile("NoSuchFile", std::ios::in));
  EXPECT_NE(files.lastError().find("NoSuchFile"), std::string::npos);
  EXPECT_EQ(files.read(nullptr, 0, 4, "Firmware"), -1);
}

TEST(FileAccess, DeleteEmptiesTheFile) {
  TestCamera cam;
  cam.port->setFile(2, std::vector<uint8_t>(100, 0x5A));
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr));
  EXPECT_EQ(files.getFileSize("Firmware"), 100);
  EXPECT_TRUE(files.deleteFile("Firmware"));
  EXPECT_EQ(files.getFileSize("Firmware"), 0);
}

TEST(FileAccess, NodeMapWithoutFileFeaturesIsRefused) {
  CNodeMapRef map;
  map._LoadXMLFromString(kelpax::test::readData("leading_line.xml"));
  FileProtocolAdapter files;
  EXPECT_FALSE(files.attach(map._Ptr));
  EXPECT_NE(files.lastError().find("FileSelector"), std::string::npos);
  EXPECT_FALSE(files.attach(nullptr));
  EXPECT_FALSE(files.openFile("UserData", std::ios::in));
  EXPECT_EQ(files.getBufSize("UserData", std::ios::in), -1);
}

TEST(FileAccess, CameraThatNeverFinishesTimesOut) {
  // Catches an endless wait when the execute register never clears.
  TestCamera cam;
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr));
  files.setTimeoutMs(50);
  cam.port->emulateSelfClearing(0x050C, 4, 1u << 30); // clears only after ~10^9 reads
  EXPECT_FALSE(files.openFile("UserData", std::ios::in));
  EXPECT_NE(files.lastError().find("did not finish"), std::string::npos) << files.lastError();
}

} // namespace

namespace {

// A camera whose file-access registers lie at computed addresses, one set per operation, and
// whose buffer has a computed address and length: catches a layout read only from plain
// <Address> and <Length> elements (such a camera's files could not be reached at all).
TEST(FileAccessByOperation, LayoutComputedThroughTheNodeMap) {
  kelpax::test::TestCamera cam(0, "file_access_by_operation.xml");
  EXPECT_FALSE(cam.port->emulatesFileAccess()) << "no plain layout to read from the text";
  FileAccessLayout layout = FileAccessLayout::FromNodeMap(*cam.map._Ptr);
  ASSERT_EQ(layout.operations.size(), 5u);
  const auto& read = layout.operations.at(2);
  EXPECT_EQ(read.execute, 0x31100u + 2 * 4);
  EXPECT_EQ(read.offset, 0x31200u + 2 * 4);
  EXPECT_EQ(layout.operations.at(3).length, 0x31300u + 3 * 4);
  EXPECT_EQ(read.buffer, 0x500000u);
  EXPECT_EQ(read.bufferLength, 64u);
  EXPECT_EQ(layout.selectorAddress, 0x31000u);
  EXPECT_TRUE(layout.bigEndian);
  cam.port->emulateFileAccess(layout);

  std::vector<char> data(150);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = char(i * 7 + 3);
  FileProtocolAdapter files;
  ASSERT_TRUE(files.attach(cam.map._Ptr)) << files.lastError();
  ASSERT_TRUE(files.openFile("UserData", std::ios::out)) << files.lastError();
  EXPECT_EQ(files.write(data.data(), 0, int64_t(data.size()), "UserData"),
            std::streamsize(data.size()))
      << files.lastError();
  ASSERT_TRUE(files.closeFile("UserData")) << files.lastError();
  EXPECT_EQ(cam.port->file(0), std::vector<uint8_t>(data.begin(), data.end()));
  ASSERT_TRUE(files.openFile("UserData", std::ios::in)) << files.lastError();
  std::vector<char> back(data.size());
  EXPECT_EQ(files.read(back.data(), 0, std::streamsize(back.size()), "UserData"),
            std::streamsize(back.size()))
      << files.lastError();
  EXPECT_EQ(back, data);
  // Writes and reads went through the buffer in pieces of its 64 bytes.
  int writes = 0;
  for (const auto& op : cam.port->fileOperations())
    writes += op.operation == 3;
  EXPECT_EQ(writes, 3);
}

} // namespace
