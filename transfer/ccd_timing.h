// CCD timing data: the ".cif" information file read into the fixed record a CCD camera takes
// (56 bytes, or 64 when the file names "DarkH1"), and the judgement of the camera's answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelpax {

// The record travels as one frame of this command, block 0, outside the block transfer.
inline constexpr uint16_t kCcdTimingCommand = 0x0300;
inline constexpr uint32_t kCcdTimingAckTimeoutMs = 3000;
// The camera answers a frame with this many characters.
inline constexpr size_t kCcdTimingAckLength = 6;

inline constexpr std::string_view kCcdFileFilter = "CCD Infomation file(*.cif) (*.cif)";
inline constexpr std::string_view kCannotOpenCcdFile = "Cannot open camera setting file!";
inline constexpr std::string_view kCannotOpenCcdFileCaption = "Error Message";
inline constexpr std::string_view kCcdDataError = "Data Error!";         // the 56-byte form
inline constexpr std::string_view kBkCcdDataError = "BKCCD Data Error!"; // the 64-byte form
inline constexpr std::string_view kCcdDownloadFailed = "Download Failed!";

// Information files are a few hundred bytes.
inline constexpr size_t kCcdFileSizeLimit = 1u << 20;

inline constexpr size_t kCcdRecordBytes = 56;
inline constexpr size_t kBkCcdRecordBytes = 64;

// The outcome of reading an information file. When `ok` is false, `message` (with `caption`,
// which may be empty) is what the operator is shown and `detail` names the line or key.
struct CcdTiming {
  bool ok = false;
  bool darkH1Form = false;     // the 64-byte record
  std::vector<uint8_t> record; // big-endian, ready for the frame's data
  std::string message;
  std::string caption;
  std::string detail;
};

// Reads the text of an information file. Every key of the form must occur exactly once, values
// must be decimal numbers, and whole-number fields must fit 0..65535 once cut toward zero.
CcdTiming parseCcdTiming(std::string_view text);

// Reads the file at `path` (at most kCcdFileSizeLimit bytes) and parses it.
CcdTiming loadCcdTiming(const std::string& path);

// Whether the camera took the record: exactly 6 characters, ACK second and 0x08 fifth.
bool ccdTimingAccepted(std::string_view answer);

} // namespace kelpax
