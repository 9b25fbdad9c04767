// ".cif" information files to the CCD timing record.
#include "transfer/ccd_timing.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>

#include "camera/file_io.h"
#include "transfer/data_lines.h"

namespace kelpax {
namespace {

enum class FieldType { U16, Float32 };

struct CcdField {
  std::string_view key;
  size_t offset;
  FieldType type;
};

constexpr std::array<CcdField, 19> kCcdFields{{
    {"ActiveH", 0, FieldType::U16},  {"ActiveV", 2, FieldType::U16},
    {"DarkH", 4, FieldType::U16},    {"DarkV1", 6, FieldType::U16},
    {"DarkV2", 8, FieldType::U16},   {"BuffH", 10, FieldType::U16},
    {"BuffV1", 12, FieldType::U16},  {"BuffV2", 14, FieldType::U16},
    {"DummyH", 16, FieldType::U16},  {"Freq", 18, FieldType::U16},
    {"T3p", 20, FieldType::Float32}, {"Tv3rd", 24, FieldType::Float32},
    {"T3d", 28, FieldType::Float32}, {"Tvccd", 32, FieldType::Float32},
    {"Thd", 36, FieldType::Float32}, {"Tl", 40, FieldType::Float32},
    {"Tel", 44, FieldType::Float32}, {"Ts", 48, FieldType::Float32},
    {"Tsd", 52, FieldType::Float32},
}};

// Bytes 22 and 23 are reserved and stay zero.
constexpr std::array<CcdField, 21> kBkCcdFields{{
    {"ActiveH", 0, FieldType::U16},  {"ActiveV", 2, FieldType::U16},
    {"DarkH1", 4, FieldType::U16},   {"DarkH2", 6, FieldType::U16},
    {"DarkV1", 8, FieldType::U16},   {"DarkV2", 10, FieldType::U16},
    {"BuffH1", 12, FieldType::U16},  {"BuffH2", 14, FieldType::U16},
    {"BuffV1", 16, FieldType::U16},  {"BuffV2", 18, FieldType::U16},
    {"DummyH", 20, FieldType::U16},  {"Freq", 24, FieldType::Float32},
    {"T3p", 28, FieldType::Float32}, {"Tv3rd", 32, FieldType::Float32},
    {"T3d", 36, FieldType::Float32}, {"Tvccd", 40, FieldType::Float32},
    {"Thd", 44, FieldType::Float32}, {"Tl", 48, FieldType::Float32},
    {"Tel", 52, FieldType::Float32}, {"Ts", 56, FieldType::Float32},
    {"Tsd", 60, FieldType::Float32},
}};

void putBig(std::vector<uint8_t>& record, size_t offset, uint32_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i)
    record[offset + i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

// The value as the field stores it; false when it does not fit.
bool storeValue(std::vector<uint8_t>& record, const CcdField& field, double value) {
  if (field.type == FieldType::U16) {
    const double whole = std::trunc(value);
    if (!(whole >= 0 && whole <= 65535))
      return false;
    putBig(record, field.offset, uint32_t(whole), 2);
    return true;
  }
  if (std::fabs(value) > double(std::numeric_limits<float>::max()))
    return false;
  putBig(record, field.offset, std::bit_cast<uint32_t>(float(value)), 4);
  return true;
}

std::string keyForDetail(std::string_view key) {
  std::string shown;
  for (char c : key.substr(0, 40))
    shown.push_back(c >= 0x20 && c < 0x7f ? c : '?');
  return "\"" + shown + (key.size() > 40 ? "...\"" : "\"");
}

template <size_t N>
CcdTiming readRecord(std::string_view text, const std::array<CcdField, N>& fields,
                     size_t recordBytes, std::string_view dataError) {
  CcdTiming result;
  result.message = std::string(dataError);
  std::vector<uint8_t> record(recordBytes, 0);
  std::array<size_t, N> seenOnLine{};
  size_t stored = 0;
  size_t lineNumber = 0;
  std::string stoppedAt;
  std::string data;
  LineReader lines(text);
  for (std::string_view line; lines.next(line);) {
    ++lineNumber;
    if (!compactDataLine(line, data))
      continue;
    const std::vector<std::string_view> parts = splitFields(data);
    size_t index = 0;
    while (index < N && fields[index].key != parts[0])
      ++index;
    // The first key the form does not know ends the file's data.
    if (index == N) {
      stoppedAt = "; reading stopped at line " + std::to_string(lineNumber) + ", key " +
                  keyForDetail(parts[0]);
      break;
    }
    const std::string where =
        "line " + std::to_string(lineNumber) + ", " + keyForDetail(fields[index].key) + ": ";
    if (seenOnLine[index] != 0) {
      result.detail = where + "also given on line " + std::to_string(seenOnLine[index]);
      return result;
    }
    const std::optional<double> value =
        parts.size() == 2 ? parseDecimalReal(parts[1]) : std::nullopt;
    if (!value) {
      result.detail = where + "the value is not one decimal number";
      return result;
    }
    if (!storeValue(record, fields[index], *value)) {
      result.detail = where + "the value does not fit the field";
      return result;
    }
    seenOnLine[index] = lineNumber;
    ++stored;
  }
  if (stored != N) {
    for (size_t i = 0; i < N; ++i) {
      if (seenOnLine[i] == 0) {
        result.detail = "no value for " + keyForDetail(fields[i].key) + " (" +
                        std::to_string(stored) + " of " + std::to_string(N) + " keys)" + stoppedAt;
        break;
      }
    }
    return result;
  }
  result.ok = true;
  result.message.clear();
  result.record = std::move(record);
  return result;
}

} // namespace

CcdTiming parseCcdTiming(std::string_view text) {
  bool darkH1 = false;
  std::string data;
  LineReader lines(text);
  for (std::string_view line; lines.next(line);) {
    if (compactDataLine(line, data) && splitFields(data)[0] == "DarkH1") {
      darkH1 = true;
      break;
    }
  }
  CcdTiming result = darkH1 ? readRecord(text, kBkCcdFields, kBkCcdRecordBytes, kBkCcdDataError)
                            : readRecord(text, kCcdFields, kCcdRecordBytes, kCcdDataError);
  result.darkH1Form = darkH1;
  return result;
}

CcdTiming loadCcdTiming(const std::string& path) {
  std::string text;
  const FileStatus status = readFileBounded(path, kCcdFileSizeLimit, text);
  if (!status) {
    CcdTiming result;
    result.message = std::string(kCannotOpenCcdFile);
    result.caption = std::string(kCannotOpenCcdFileCaption);
    result.detail = status.detail;
    return result;
  }
  return parseCcdTiming(text);
}

bool ccdTimingAccepted(std::string_view answer) {
  return answer.size() == kCcdTimingAckLength && answer[1] == '\x06' && answer[4] == '\x08';
}

} // namespace kelpax
