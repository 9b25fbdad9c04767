// zlib around the camera's payloads: one-shot deflate, bounded inflate.
#include "transfer/zlib_codec.h"

#include <climits>

#include <zlib.h>

namespace kelpax {

bool Compress(std::span<const uint8_t> input, std::vector<uint8_t>& output) {
  output.clear();
  // zlib counts in 32 bits; the window must fit too.
  if (input.size() > size_t(UINT_MAX) - kCompressSlack)
    return false;
  z_stream stream{};
  if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
    return false;
  std::vector<uint8_t> window(input.size() + kCompressSlack);
  // zlib never writes through next_in; the cast only meets its older signature.
  stream.next_in = const_cast<Bytef*>(input.data());
  stream.avail_in = static_cast<uInt>(input.size());
  stream.next_out = window.data();
  stream.avail_out = static_cast<uInt>(window.size());
  const int result = deflate(&stream, Z_FINISH);
  const size_t produced = window.size() - stream.avail_out;
  if (deflateEnd(&stream) != Z_OK || result != Z_STREAM_END)
    return false;
  window.resize(produced);
  output = std::move(window);
  return true;
}

std::string_view InflateResult::message() const {
  switch (error) {
  case InflateError::None:
    return {};
  case InflateError::Init:
    return kInflateInitError;
  case InflateError::Data:
  case InflateError::TooLarge:
    break;
  }
  return kInflateDataError;
}

namespace {

InflateResult inflateFailure(InflateError error, std::string detail) {
  InflateResult result;
  result.error = error;
  result.detail = std::move(detail);
  return result;
}

} // namespace

InflateResult Inflate(std::span<const uint8_t> input, size_t capacity) {
  if (input.empty())
    return inflateFailure(InflateError::Data, "no compressed bytes");
  if (input.size() > UINT_MAX)
    return inflateFailure(InflateError::Data, "more compressed bytes than zlib can take");
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK)
    return inflateFailure(InflateError::Init, "the inflater did not start");

  // The input is offered once: a stream that ends early is damaged, never read again from its
  // start. Output goes in slices of at most 1 MiB so a small stream never costs the whole
  // capacity up front.
  constexpr size_t kSlice = 1u << 20;
  std::vector<uint8_t> out;
  stream.next_in = const_cast<Bytef*>(input.data());
  stream.avail_in = static_cast<uInt>(input.size());
  int status = Z_OK;
  while (status == Z_OK) {
    const size_t room = capacity - out.size();
    if (room == 0) {
      // Full: only the stream's end may follow. One byte more would be past the capacity.
      uint8_t probe = 0;
      stream.next_out = &probe;
      stream.avail_out = 1;
      status = inflate(&stream, Z_NO_FLUSH);
      if (stream.avail_out == 0) {
        inflateEnd(&stream);
        return inflateFailure(InflateError::TooLarge,
                              "inflates to more than " + std::to_string(capacity) + " bytes");
      }
      break;
    }
    const size_t slice = room < kSlice ? room : kSlice;
    const size_t before = out.size();
    out.resize(before + slice);
    stream.next_out = out.data() + before;
    stream.avail_out = static_cast<uInt>(slice);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(before + slice - stream.avail_out);
  }
  const bool ended = status == Z_STREAM_END;
  std::string why = "the inflater did not close";
  if (!ended) {
    // Z_BUF_ERROR or Z_OK here: every input byte was taken and the stream goes on.
    why = status == Z_BUF_ERROR || status == Z_OK ? "the compressed stream is cut short"
          : stream.msg != nullptr                 ? stream.msg
                                                  : "not a zlib stream";
  }
  if (inflateEnd(&stream) != Z_OK || !ended)
    return inflateFailure(InflateError::Data, why);
  InflateResult result;
  result.bytes = std::move(out);
  return result;
}

} // namespace kelpax
