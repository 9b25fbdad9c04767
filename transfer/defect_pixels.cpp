// Defect files to wire forms and back: parsing, range checks, sorting, packing and the map.
#include "transfer/defect_pixels.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "camera/file_io.h"
#include "transfer/data_lines.h"
#include "transfer/zlib_codec.h"

namespace kelpax {
namespace {

// Sensor sizes come from the camera; a negative one is no size.
uint32_t sensorDimension(int32_t value) {
  return value > 0 ? uint32_t(value) : 0;
}

void putBig16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(uint8_t(value >> 8));
  out.push_back(uint8_t(value));
}

std::string dataErrorText(size_t accepted) {
  char text[48];
  std::snprintf(text, sizeof text, " Data Error( %zu Line)", accepted);
  return text;
}

// At most this much of a refused line goes into the detail.
std::string lineForDetail(size_t lineNumber, std::string_view data) {
  constexpr size_t kShown = 40;
  std::string shown;
  for (char c : data.substr(0, kShown))
    shown.push_back(c >= 0x20 && c < 0x7f ? c : '?');
  if (data.size() > kShown)
    shown += "...";
  return "line " + std::to_string(lineNumber) + ": \"" + shown + "\"";
}

DefectDownload refusal(std::string_view message, std::string_view caption, std::string detail) {
  DefectDownload result;
  result.message = std::string(message);
  result.caption = std::string(caption);
  result.detail = std::move(detail);
  return result;
}

DefectDownload dataError(size_t accepted, size_t lineNumber, std::string_view data,
                         std::string_view why) {
  return refusal(dataErrorText(accepted), kDefectDataErrorCaption,
                 lineForDetail(lineNumber, data) + ": " + std::string(why));
}

// One data line read as `count` numbers; false when a field is missing, extra or not a whole
// decimal number.
bool readFields(std::string_view data, size_t count, int64_t* values) {
  const std::vector<std::string_view> fields = splitFields(data);
  if (fields.size() != count)
    return false;
  for (size_t i = 0; i < count; ++i) {
    const std::optional<int64_t> value = parseDecimalInteger(fields[i]);
    if (!value)
      return false;
    values[i] = *value;
  }
  return true;
}

// Visits every data line with its 1-based number in the file; stops when `visit` says so.
template <typename Visit> void forEachDataLine(std::string_view text, Visit visit) {
  std::string data;
  size_t lineNumber = 0;
  LineReader lines(text);
  for (std::string_view line; lines.next(line);) {
    ++lineNumber;
    if (compactDataLine(line, data) && !visit(lineNumber, std::string_view(data)))
      return;
  }
}

DefectDownload withPayload(std::vector<uint8_t> raw, uint16_t block, uint16_t final,
                           uint32_t finalTimeoutMs, size_t entries) {
  DefectDownload result;
  if (!Compress(raw, result.plan.payload)) {
    // Nothing is sent and the operator is told nothing, as the cameras' tools always did.
    result.detail = "the defect data could not be compressed";
    return result;
  }
  result.ok = true;
  result.entries = entries;
  result.plan.blockCommand = block;
  result.plan.finalCommand = final;
  result.plan.finalTimeoutMs = finalTimeoutMs;
  return result;
}

struct ListRules {
  size_t lineLimit;
  bool thirteenBits;
  size_t sendLimit;
};

DefectDownload planList(std::string_view fileText, uint32_t width, uint32_t height,
                        const ListRules& rules) {
  const size_t lines = countLines(fileText);
  if (lines > rules.lineLimit) {
    return refusal(kDefectLineLimitExceeded, {},
                   std::to_string(lines) + " lines, more than " + std::to_string(rules.lineLimit));
  }
  // (V, H): sorting the pairs sorts by V, then H.
  std::vector<std::pair<uint32_t, uint32_t>> entries;
  DefectDownload failed;
  forEachDataLine(fileText, [&](size_t lineNumber, std::string_view data) {
    int64_t hv[2] = {};
    if (!readFields(data, 2, hv) || hv[0] < 0 || hv[1] < 0) {
      failed = dataError(entries.size(), lineNumber, data, "not two whole numbers 0 or more");
      return false;
    }
    if (rules.thirteenBits) {
      // Beyond 32 bits a number is no coordinate at all, masked or not.
      if (hv[0] > int64_t(UINT32_MAX) || hv[1] > int64_t(UINT32_MAX)) {
        failed = dataError(entries.size(), lineNumber, data, "number too large");
        return false;
      }
      hv[0] &= 0x1FFF;
      hv[1] &= 0x1FFF;
    }
    // An entry carries 16 bits for each coordinate, whatever the sensor's size.
    if (hv[0] >= int64_t(width) || hv[1] >= int64_t(height) || hv[0] > 0xFFFF || hv[1] > 0xFFFF) {
      failed = dataError(entries.size(), lineNumber, data, "outside the sensor");
      return false;
    }
    entries.emplace_back(uint32_t(hv[1]), uint32_t(hv[0]));
    return true;
  });
  if (!failed.message.empty())
    return failed;
  std::sort(entries.begin(), entries.end());
  entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
  if (entries.size() > rules.sendLimit)
    entries.resize(rules.sendLimit);
  std::vector<uint8_t> raw;
  raw.reserve(entries.size() * 4);
  for (const auto& [v, h] : entries) {
    putBig16(raw, h);
    putBig16(raw, v);
  }
  return withPayload(std::move(raw), kDefectDownloadCommand, kDefectDownloadFinal,
                     kDefectListTimeoutMs, entries.size());
}

void appendNumber(std::string& out, uint64_t value) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  (void)error; // 24 characters hold every 64-bit number
  out.append(digits, end);
}

void appendDefectLine(std::string& out, uint64_t h, uint64_t v) {
  appendNumber(out, h);
  out.push_back(',');
  appendNumber(out, v);
  out.push_back('\n');
}

} // namespace

DefectForm defectFormFor(const ModelDescriptor& model) {
  switch (model.series) {
  case Series::Ko:
    if (model.rateCode == 262 || model.rateCode == 263)
      return DefectForm::Unsupported;
    return model.sizeClass == "10M" ? DefectForm::Map : DefectForm::List;
  case Series::Ki:
    if (model.sizeClass == "71M" || model.sizeClass == "25M" || model.sizeClass == "101M" ||
        model.sizeClass == "151M")
      return DefectForm::List;
    break;
  case Series::Ka:
    if (model.sizeClass == "47M")
      return DefectForm::List;
    break;
  case Series::Kw:
    if (model.sizeClass == "4M")
      return DefectForm::List;
    break;
  default:
    break;
  }
  return DefectForm::Map;
}

uint32_t defectMapRowWidth(const ModelDescriptor& model) {
  const uint32_t width = sensorDimension(model.sensorWidth);
  const bool rounded = model.series == Series::Kn || model.series == Series::KnP ||
                       model.series == Series::Ki || model.is(Series::Ko, "10M");
  return rounded ? (width + 15) / 16 * 16 : width;
}

size_t defectMapBytes(uint32_t rowWidth, uint32_t height) {
  return size_t(uint64_t(rowWidth) * height / 8);
}

bool readDefectFile(const std::string& path, std::string& text, std::string& detail) {
  const FileStatus status = readFileBounded(path, kDefectFileSizeLimit, text);
  detail = status.detail;
  return status.ok();
}

DefectDownload planDefectListDownload(std::string_view fileText, uint32_t width, uint32_t height) {
  return planList(fileText, width, height, {kDefectListLineLimit, false, SIZE_MAX});
}

DefectDownload planDefect13BitListDownload(std::string_view fileText, uint32_t width,
                                           uint32_t height) {
  return planList(fileText, width, height, {kDefect13BitLineLimit, true, kDefect13BitEntriesSent});
}

DefectDownload planDefectThreeValueDownload(std::string_view fileText, uint32_t width,
                                            uint32_t height) {
  const size_t lines = countLines(fileText);
  if (lines > kDefectThreeValueLineLimit) {
    return refusal(kDefectLineLimitExceeded, {},
                   std::to_string(lines) + " lines, more than " +
                       std::to_string(kDefectThreeValueLineLimit));
  }
  std::vector<uint8_t> raw;
  size_t entries = 0;
  DefectDownload failed;
  forEachDataLine(fileText, [&](size_t lineNumber, std::string_view data) {
    int64_t hvt[3] = {};
    if (!readFields(data, 3, hvt)) {
      failed = dataError(entries, lineNumber, data, "not three whole numbers");
      return false;
    }
    if (hvt[0] < 0 || hvt[1] < 0 || hvt[0] >= int64_t(width) || hvt[1] >= int64_t(height) ||
        hvt[0] > 0xFFFF || hvt[1] > 0xFFFF) {
      failed = dataError(entries, lineNumber, data, "outside the sensor");
      return false;
    }
    // The third value is the camera's to interpret: any 16-bit number, signed or not.
    if (hvt[2] < -32768 || hvt[2] > 0xFFFF) {
      failed = dataError(entries, lineNumber, data, "third value does not fit 16 bits");
      return false;
    }
    putBig16(raw, uint32_t(hvt[1]));
    putBig16(raw, uint32_t(hvt[0]));
    putBig16(raw, 0);
    putBig16(raw, uint32_t(hvt[2]) & 0xFFFF);
    ++entries;
    return true;
  });
  if (!failed.message.empty())
    return failed;
  return withPayload(std::move(raw), kDefectThreeValueCommand, kDefectThreeValueFinal,
                     kDefectListTimeoutMs, entries);
}

DefectDownload planDefectMapDownload(std::string_view fileText, uint32_t rowWidth,
                                     uint32_t height) {
  const size_t mapBytes = defectMapBytes(rowWidth, height);
  if (mapBytes == 0 || uint64_t(rowWidth) * height / 8 > kDefectDataLimit) {
    return refusal(kDefectSensorSizeUnusable, {},
                   "map of " + std::to_string(rowWidth) + " x " + std::to_string(height) +
                       " pixels");
  }
  std::vector<uint8_t> map(mapBytes, 0xFF);
  size_t cleared = 0;
  DefectDownload failed;
  forEachDataLine(fileText, [&](size_t lineNumber, std::string_view data) {
    int64_t hv[2] = {};
    if (!readFields(data, 2, hv) || hv[0] < 0 || hv[1] < 0) {
      failed = dataError(cleared, lineNumber, data, "not two whole numbers 0 or more");
      return false;
    }
    if (hv[0] >= int64_t(rowWidth) || hv[1] >= int64_t(height)) {
      failed = dataError(cleared, lineNumber, data, "outside the map");
      return false;
    }
    const uint64_t bit = uint64_t(hv[1]) * rowWidth + uint64_t(hv[0]);
    // A map whose bits do not fill its last byte ends before its last few pixels.
    if (bit / 8 >= map.size()) {
      failed = dataError(cleared, lineNumber, data, "past the map's last whole byte");
      return false;
    }
    map[bit / 8] &= uint8_t(~(1u << (bit % 8)));
    ++cleared;
    return true;
  });
  if (!failed.message.empty())
    return failed;
  DefectDownload result = withPayload(std::move(map), kDefectDownloadCommand, kDefectDownloadFinal,
                                      kDefectMapTimeoutMs, cleared);
  if (result.ok && result.plan.payload.size() > kDefectMapCompressedLimit) {
    return refusal(kDefectMapTooLarge, {},
                   std::to_string(result.plan.payload.size()) + " compressed bytes, more than " +
                       std::to_string(kDefectMapCompressedLimit));
  }
  return result;
}

DefectDownload planDefectDownload(const ModelDescriptor& model, std::string_view fileText) {
  switch (defectFormFor(model)) {
  case DefectForm::Unsupported:
    return refusal(kDefectDownloadNotSupported, {}, model.modelName);
  case DefectForm::List:
    if (model.sensorWidth <= 0 || model.sensorHeight <= 0) {
      return refusal(kDefectSensorSizeUnusable, {},
                     std::to_string(model.sensorWidth) + " x " +
                         std::to_string(model.sensorHeight) + " pixels");
    }
    return planDefectListDownload(fileText, sensorDimension(model.sensorWidth),
                                  sensorDimension(model.sensorHeight));
  case DefectForm::Map:
    break;
  }
  return planDefectMapDownload(fileText, defectMapRowWidth(model),
                               sensorDimension(model.sensorHeight));
}

DefectUploadSetup planDefectUpload(const ModelDescriptor& model) {
  DefectUploadSetup setup;
  setup.form = defectFormFor(model);
  if (setup.form == DefectForm::Unsupported) {
    setup.message = std::string(kDefectUploadNotSupported);
    return setup;
  }
  const uint32_t width = sensorDimension(model.sensorWidth);
  const uint32_t height = sensorDimension(model.sensorHeight);
  setup.plan.requestCommand = kDefectUploadRequest;
  setup.plan.blockReadCommand = kDefectUploadBlockRead;
  setup.plan.parameter = 0;
  if (setup.form == DefectForm::List) {
    if (width == 0 || height == 0) {
      setup.message = std::string(kDefectSensorSizeUnusable);
      return setup;
    }
    setup.plan.firstTimeoutMs = kDefectListTimeoutMs;
    setup.plan.capacity = size_t(std::min<uint64_t>(uint64_t(width) * height, kDefectDataLimit));
  } else {
    setup.rowWidth = defectMapRowWidth(model);
    const size_t mapBytes = defectMapBytes(setup.rowWidth, height);
    if (mapBytes == 0 || mapBytes > kDefectDataLimit) {
      setup.message = std::string(kDefectSensorSizeUnusable);
      return setup;
    }
    setup.plan.firstTimeoutMs = kDefectMapTimeoutMs;
    setup.plan.capacity = mapBytes;
  }
  setup.ok = true;
  return setup;
}

DefectUploadFile defectFileFromUpload(std::span<const uint8_t> received,
                                      const DefectUploadSetup& setup) {
  DefectUploadFile file;
  if (received.empty()) {
    file.message = std::string(kDefectUploadDataError);
    file.detail = "the camera sent no defect data";
    return file;
  }
  InflateResult inflated = Inflate(received, setup.plan.capacity);
  if (!inflated.ok()) {
    file.message = std::string(kDefectUploadInflateFailed);
    file.inflateMessage = std::string(inflated.message());
    file.detail = inflated.detail;
    return file;
  }
  const std::vector<uint8_t>& bytes = inflated.bytes;
  std::string text(kDefectFileHeader);
  if (setup.form == DefectForm::List) {
    if (bytes.size() % 4 != 0) {
      file.message = std::string(kDefectUploadDataError);
      file.detail = std::to_string(bytes.size()) + " bytes are no whole number of 4-byte entries";
      return file;
    }
    text.reserve(text.size() + bytes.size() / 4 * 12);
    for (size_t i = 0; i < bytes.size(); i += 4) {
      appendDefectLine(text, uint32_t(bytes[i]) << 8 | bytes[i + 1],
                       uint32_t(bytes[i + 2]) << 8 | bytes[i + 3]);
      ++file.defects;
    }
  } else if (setup.form == DefectForm::Map && setup.rowWidth > 0) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == 0xFF)
        continue;
      for (unsigned b = 0; b < 8; ++b) {
        if ((bytes[i] >> b & 1) == 0) {
          const uint64_t pixel = uint64_t(i) * 8 + b;
          appendDefectLine(text, pixel % setup.rowWidth, pixel / setup.rowWidth);
          ++file.defects;
        }
      }
    }
  } else {
    file.message = std::string(kDefectUploadDataError);
    file.detail = "no form or row width for the camera's defect data";
    return file;
  }
  file.ok = true;
  file.text = std::move(text);
  return file;
}

std::string defectFilePath(std::string_view chosen) {
  std::string path(chosen);
  if (!containsIgnoringCase(path, ".csv"))
    path += ".csv";
  return path;
}

DefectFileSave saveDefectFile(std::string_view chosen, const DefectUploadFile& file) {
  DefectFileSave result;
  result.path = defectFilePath(chosen);
  if (!file.ok) {
    // A failed upload never becomes a file.
    result.message = std::string(kDefectFileWriteError);
    result.caption = std::string(kDefectFileWriteErrorCaption);
    result.detail = "no defect data to save";
    return result;
  }
  const FileStatus status = writeFileAtomically(result.path, file.text);
  if (!status) {
    result.message = std::string(kDefectFileWriteError);
    result.caption = std::string(kDefectFileWriteErrorCaption);
    result.detail = status.detail;
    return result;
  }
  result.saved = true;
  result.message = std::string(kDefectFileSaved);
  return result;
}

} // namespace kelpax
