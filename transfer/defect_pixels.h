// Defect-pixel lists and maps: the ".csv" defect file, the wire forms a camera takes it in
// (list, 13-bit list, three-value list, bit map), and the file written from a camera's list.
// No port here: each download yields a DownloadPlan and each upload an UploadPlan plus the
// conversion of what arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "camera/tables/model_descriptor.h"
#include "transfer/transfer_plan.h"

namespace kelpax {

// --- Texts the window and the command line show ----------------------------------------

inline constexpr std::string_view kDefectDownloadNotSupported =
    "The function of defect pixel camera download is not supported in this camera!";
inline constexpr std::string_view kDefectUploadNotSupported =
    "The function of defect pixel PC upload is not supported in this camera!";
inline constexpr std::string_view kCannotOpenDefectFile = "Cannot open Defect Setting file!";
inline constexpr std::string_view kCannotOpenDefectFileCaption = "Downloader";
inline constexpr std::string_view kDefectLineLimitExceeded = "Exceeded defect allocation";
// The map's refusal ends with a space where the list's does not; operators know both as they are.
inline constexpr std::string_view kDefectMapTooLarge = "Exceeded defect allocation ";
inline constexpr std::string_view kDefectDataErrorCaption = "Defect Downloader";
// An upload that brought nothing, or bytes that are no list of entries.
inline constexpr std::string_view kDefectUploadDataError = "Defect data error";
inline constexpr std::string_view kDefectUploadInflateFailed = "Data decompress error!";
inline constexpr std::string_view kDefectFileWriteError = "file error!";
inline constexpr std::string_view kDefectFileWriteErrorCaption = "Error Message";
inline constexpr std::string_view kDefectFileSaved = "File saving was completed!";

// File dialog filters, in the form Qt's file dialogs take.
inline constexpr std::string_view kDefectOpenFilter = "CSV files (*.csv);;All Files(*.*) (*)";
inline constexpr std::string_view kDefectSaveFilter = "CSV File(*.csv) (*.csv)";

// The first two lines of every file an upload writes.
inline constexpr std::string_view kDefectFileHeader =
    ":Quorvane Camera Defective Pixel Data\n:H,V\n";

// --- Limits and commands ------------------------------------------------------------------

inline constexpr size_t kDefectListLineLimit = 30000;
inline constexpr size_t kDefect13BitLineLimit = 10000;
inline constexpr size_t kDefect13BitEntriesSent = 6000;
inline constexpr size_t kDefectThreeValueLineLimit = 512;
inline constexpr size_t kDefectMapCompressedLimit = 380000;
// A defect file larger than this is not one (a 30000-line list is under 400 KB).
inline constexpr size_t kDefectFileSizeLimit = 64u << 20;
// The largest map or list the program builds or takes from a camera, whatever size the camera
// reports for its sensor (a 2-gigapixel map).
inline constexpr size_t kDefectDataLimit = 256u << 20;
inline constexpr std::string_view kDefectSensorSizeUnusable =
    "The camera's sensor size is unknown or too large for defect data!";

inline constexpr uint16_t kDefectDownloadCommand = 0x0200;
inline constexpr uint16_t kDefectDownloadFinal = 0x0201;
inline constexpr uint16_t kDefectUploadRequest = 0x0202;
inline constexpr uint16_t kDefectUploadBlockRead = 0x0203;
inline constexpr uint16_t kDefectThreeValueCommand = 0x0206;
inline constexpr uint16_t kDefectThreeValueFinal = 0x0207;
inline constexpr uint32_t kDefectListTimeoutMs = 30000;
inline constexpr uint32_t kDefectMapTimeoutMs = 200000;

// --- The form a camera takes ------------------------------------------------------------

enum class DefectForm {
  Unsupported, // the camera keeps no defect list the program can reach
  List,        // 32-bit entries, H in the high half, V in the low half
  Map,         // one bit per pixel, 0 for a defective pixel
};

// The form the Defect Pixel menu entries use for this camera (the same for both directions).
DefectForm defectFormFor(const ModelDescriptor& model);

// Pixels per map row: the sensor width, rounded up to a multiple of 16 on Kn, KnP, Ki and
// Ko 10M cameras.
uint32_t defectMapRowWidth(const ModelDescriptor& model);

// Bytes of a map of `rowWidth` x `height` pixels, one bit each; a partial last byte is not
// counted, as the cameras count it.
size_t defectMapBytes(uint32_t rowWidth, uint32_t height);

// --- Reading a defect file -------------------------------------------------------------------

// Reads a defect file whole (at most kDefectFileSizeLimit bytes). False with `detail` set when
// it cannot be read; the window then shows kCannotOpenDefectFile.
bool readDefectFile(const std::string& path, std::string& text, std::string& detail);

// --- Downloads ----------------------------------------------------------------------------

// The outcome of turning a defect file into what the camera is sent. When `ok` is false,
// `message` (with `caption`, which may be empty) is what the operator is shown; an empty
// message means a silent stop (a failed compression). `detail` says more, for the log.
struct DefectDownload {
  bool ok = false;
  DownloadPlan plan;
  size_t entries = 0; // entries sent (list forms) or pixels marked (map)
  std::string message;
  std::string caption;
  std::string detail;
};

// The list form: every entry within W x H, sorted by V then H, duplicates dropped.
DefectDownload planDefectListDownload(std::string_view fileText, uint32_t width, uint32_t height);

// The 13-bit list form of the Ko pages: H and V kept to 13 bits before the range test; at
// most 6000 entries are sent.
DefectDownload planDefect13BitListDownload(std::string_view fileText, uint32_t width,
                                           uint32_t height);

// The three-value form of the factory dialog: V, H, 0, third value, in file order.
DefectDownload planDefectThreeValueDownload(std::string_view fileText, uint32_t width,
                                            uint32_t height);

// The map form: a bit map of rowWidth x height pixels.
DefectDownload planDefectMapDownload(std::string_view fileText, uint32_t rowWidth, uint32_t height);

// Download to Camera: the form of defectFormFor with the camera's size, or the refusal.
DefectDownload planDefectDownload(const ModelDescriptor& model, std::string_view fileText);

// --- Uploads -------------------------------------------------------------------------------

struct DefectUploadSetup {
  bool ok = false;
  DefectForm form = DefectForm::Unsupported;
  UploadPlan plan;       // capacity: W x H for the list form, the map's size for the map
  uint32_t rowWidth = 0; // map form
  std::string message;   // when refused
};

// Upload to PC: the transfer to ask the camera for, or the refusal.
DefectUploadSetup planDefectUpload(const ModelDescriptor& model);

// The file text made from what an upload received. When `ok` is false, `message` goes to the
// status line (kDefectUploadDataError or kDefectUploadInflateFailed) and, for a failed inflate,
// `inflateMessage` is the message box text; no file is to be written.
struct DefectUploadFile {
  bool ok = false;
  std::string text; // header and one "H,V" line per defect
  size_t defects = 0;
  std::string message;
  std::string inflateMessage;
  std::string detail;
};

// Inflates the received bytes (at most setup.plan.capacity) and writes them as a defect file.
DefectUploadFile defectFileFromUpload(std::span<const uint8_t> received,
                                      const DefectUploadSetup& setup);

// The path an upload saves to: ".csv" appended when the chosen name does not contain it.
std::string defectFilePath(std::string_view chosen);

struct DefectFileSave {
  bool saved = false;
  std::string path;    // the file written, or that could not be written
  std::string message; // kDefectFileSaved, or kDefectFileWriteError
  std::string caption; // kDefectFileWriteErrorCaption on failure
  std::string detail;
};

// Writes an upload's file at defectFilePath(chosen) whole: into a new file beside it, renamed
// over it, so a failure leaves no part of a file and an older file as it was.
DefectFileSave saveDefectFile(std::string_view chosen, const DefectUploadFile& file);

} // namespace kelpax
