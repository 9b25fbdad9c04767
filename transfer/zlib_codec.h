// Deflate and inflate for every bulk payload exchanged with the camera: zlib at its default
// level, the payload whole in one call, and an inflate that never writes past what the caller
// will take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelpax {

// Message box texts of a failed inflate.
inline constexpr std::string_view kInflateInitError = "Compressing Init Error";
inline constexpr std::string_view kInflateDataError = "Compressing File is failed";

// Room the deflater gets beyond the input's own length.
inline constexpr size_t kCompressSlack = 1024;

// Deflates `input` at the default level with one Z_FINISH call into a window of
// input size + kCompressSlack bytes; `output` holds the stream on success, nothing on failure.
bool Compress(std::span<const uint8_t> input, std::vector<uint8_t>& output);

enum class InflateError {
  None,
  Init,     // the inflater could not start
  Data,     // not a complete deflate stream (damaged, cut short, empty)
  TooLarge, // the stream inflates to more than the caller's capacity
};

struct InflateResult {
  InflateError error = InflateError::None;
  std::vector<uint8_t> bytes; // the inflated data; empty on failure
  std::string detail;         // why it failed, for the debug output

  bool ok() const { return error == InflateError::None; }
  // The message box text for a failure: kInflateInitError or kInflateDataError.
  std::string_view message() const;
};

// Inflates one zlib stream from `input` into at most `capacity` bytes. A stream that would
// produce more is refused without writing past `capacity`; bytes after the stream's end are
// ignored; a stream cut short is a data failure.
InflateResult Inflate(std::span<const uint8_t> input, size_t capacity);

} // namespace kelpax
