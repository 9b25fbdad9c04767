// What the transfer tests share: payloads inflated by zlib itself, so a fault in our own
// wrappers cannot hide a fault in what they produce.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

namespace kelpax::test {

// The bytes a zlib stream inflates to, by zlib's uncompress; fails the test when it is no
// complete stream of at most `limit` bytes.
inline std::vector<uint8_t> zlibInflate(std::span<const uint8_t> stream, size_t limit = 4u << 20) {
  std::vector<uint8_t> out(limit);
  uLongf produced = uLongf(out.size());
  const int status = uncompress(out.data(), &produced, stream.data(), uLong(stream.size()));
  EXPECT_EQ(status, Z_OK) << "not a complete zlib stream";
  out.resize(status == Z_OK ? produced : 0);
  return out;
}

} // namespace kelpax::test
