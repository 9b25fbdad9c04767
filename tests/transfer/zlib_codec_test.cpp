// Compression of the camera's payloads: streams zlib itself reads, and an inflate that never
// takes more than the caller can hold.
#include <random>

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/transfer/transfer_test_support.h"
#include "transfer/zlib_codec.h"

using namespace kelpax;

namespace {

std::vector<uint8_t> randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes)
    b = uint8_t(random());
  return bytes;
}

std::vector<uint8_t> compressed(std::span<const uint8_t> input) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(Compress(input, out));
  return out;
}

// Would catch a deflate that stops short of Z_STREAM_END, or a window too small for data
// that does not compress (the window is only 1024 bytes larger than the input).
TEST(ZlibCodec, CompressedStreamsInflateBackWithZlibItself) {
  for (size_t size : {size_t(0), size_t(1), size_t(512), size_t(513), size_t(300000)}) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> input = randomBytes(size, unsigned(size));
    const std::vector<uint8_t> stream = compressed(input);
    EXPECT_GT(stream.size(), 0u);
    EXPECT_EQ(test::zlibInflate(stream, size + 1), input);
    const InflateResult back = Inflate(stream, size);
    ASSERT_TRUE(back.ok()) << back.detail;
    EXPECT_EQ(back.bytes, input);
  }
}

// Would catch an inflate that writes past the caller's buffer, or one that takes a stream
// ending exactly at the capacity for one that is too large.
TEST(ZlibCodec, InflateRefusesAResultLargerThanTheCapacity) {
  const std::vector<uint8_t> input(100000, 0x5A);
  const std::vector<uint8_t> stream = compressed(input);
  EXPECT_TRUE(Inflate(stream, input.size()).ok());
  EXPECT_TRUE(Inflate(stream, input.size() + 1).ok());
  const InflateResult tooLarge = Inflate(stream, input.size() - 1);
  EXPECT_EQ(tooLarge.error, InflateError::TooLarge);
  EXPECT_TRUE(tooLarge.bytes.empty());
  EXPECT_EQ(tooLarge.message(), kInflateDataError);

  // A stream of nothing fits a capacity of nothing; one byte does not.
  EXPECT_TRUE(Inflate(compressed({}), 0).ok());
  const uint8_t one = 7;
  EXPECT_EQ(Inflate(compressed({&one, 1}), 0).error, InflateError::TooLarge);
}

// Would catch a camera's small payload that expands without bound (16 MiB of zeros in some
// 16 KiB) being inflated whole before the capacity is looked at.
TEST(ZlibCodec, AHugeExpansionStopsAtTheCapacity) {
  const std::vector<uint8_t> zeros(1u << 20, 0);
  std::vector<uint8_t> stream(1u << 20);
  z_stream deflater{};
  ASSERT_EQ(deflateInit(&deflater, Z_DEFAULT_COMPRESSION), Z_OK);
  deflater.next_out = stream.data();
  deflater.avail_out = uInt(stream.size());
  for (int chunk = 0; chunk < 16; ++chunk) {
    deflater.next_in = const_cast<Bytef*>(zeros.data());
    deflater.avail_in = uInt(zeros.size());
    ASSERT_EQ(deflate(&deflater, chunk == 15 ? Z_FINISH : Z_NO_FLUSH),
              chunk == 15 ? Z_STREAM_END : Z_OK);
  }
  stream.resize(stream.size() - deflater.avail_out);
  deflateEnd(&deflater);

  const InflateResult result = Inflate(stream, 1u << 20);
  EXPECT_EQ(result.error, InflateError::TooLarge);
  EXPECT_TRUE(result.bytes.empty());
  EXPECT_TRUE(Inflate(stream, 16u << 20).ok());
}

// Would catch damaged or cut-off streams being reported as inflated, or the input being offered
// again from its start after it ran out.
TEST(ZlibCodec, DamagedStreamsAreDataFailures) {
  const std::vector<uint8_t> input = randomBytes(5000, 3);
  const std::vector<uint8_t> stream = compressed(input);

  const std::vector<uint8_t> cut(stream.begin(), stream.end() - 10);
  std::vector<uint8_t> flipped = stream;
  flipped[flipped.size() / 2] ^= 0x40;
  const std::vector<uint8_t> notZlib = {'H', 'e', 'l', 'l', 'o', '!'};

  for (const std::vector<uint8_t>& bad : {cut, flipped, notZlib, std::vector<uint8_t>{}}) {
    const InflateResult result = Inflate(bad, 100000);
    EXPECT_EQ(result.error, InflateError::Data) << result.detail;
    EXPECT_EQ(result.message(), "Compressing File is failed");
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_FALSE(result.detail.empty());
  }
}

// Would catch bytes the camera sends after the stream's end spoiling a good upload.
TEST(ZlibCodec, BytesAfterTheStreamEndAreIgnored) {
  const std::vector<uint8_t> input = randomBytes(2000, 4);
  std::vector<uint8_t> stream = compressed(input);
  stream.insert(stream.end(), {0, 0, 0xFF, 0x13});
  const InflateResult result = Inflate(stream, input.size());
  ASSERT_TRUE(result.ok()) << result.detail;
  EXPECT_EQ(result.bytes, input);
}

} // namespace
