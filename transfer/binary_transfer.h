// Binary transfers over the command channel: checksummed frames of at most 512 payload bytes,
// a download acknowledged frame by frame, an upload read block by block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/command_exchange.h"
#include "transfer/transfer_plan.h"

namespace kelpax {

inline constexpr size_t kTransferBlockSize = 512;
inline constexpr size_t kFrameOverhead = 9;  // STX, command, block, length, checksum, ETX
inline constexpr size_t kAckLength = 6;      // the camera's answer to a downloaded frame
inline constexpr size_t kReplyOverhead = 12; // three characters, then a frame
inline constexpr uint32_t kSingleFrameTimeoutMs = 3000;

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kAckByte = 0x06;
inline constexpr char kNakByte = 0x15;
inline constexpr char kAckStored = 0x08;  // fifth character: the camera has the frame
inline constexpr char kAckNotDone = 0x28; // fifth character: the camera did not finish

// A frame as it goes on the wire: STX, command, block number, length, data, checksum, ETX,
// the numbers big-endian. The checksum is the sum of command, block, length and data bytes.
std::string encodeFrame(uint16_t command, uint16_t block, std::span<const uint8_t> data);
std::string encodeFrame(uint16_t command, uint16_t block, uint32_t value);
uint8_t frameChecksum(std::string_view bytes);
// Data blocks of a payload: ceil(size / 512), the last one short unless size is a multiple.
size_t blockCount(size_t size);

// Outcome codes; the negative ones are the channel's and the protocol's.
enum class TransferCode : int {
  Ok = 0,
  TimedOut = -1,
  Canceled = -2,
  SendFailed = -10, // download: the port took no frame; upload: a reply without its STX
  BadReply = -11,   // upload: a reply without its ETX or with a wrong checksum
  Nak = -100,
  NotDone = -101,
  BadAck = -102,
  Unknown = -200,  // a download answer longer than an acknowledgement
  Busy = -300,     // another transfer runs on the channel
  NoData = -301,   // nothing to download
  TooLarge = -302, // the camera announced more than the caller takes
};

struct TransferResult {
  TransferCode code = TransferCode::Ok;
  std::string status; // what part 0 of the status bar shows; empty when nothing
  bool ok() const { return code == TransferCode::Ok; }
};

// What the transfer shows while it runs. The main window draws it in its status bar; the
// command line on stderr; tests record it.
class TransferObserver {
public:
  virtual ~TransferObserver() = default;
  // True at the start: the ">" button goes; false at the end: it comes back, the progress
  // bar and Cancel go and the percentage is cleared.
  virtual void transferActive(bool active) = 0;
  virtual void progressBarShown(bool shown) = 0;
  // The bar's position and "  %2d %%" in part 1.
  virtual void progressShown(int percent) = 0;
  virtual void percentCleared() = 0;
  virtual void cancelButtonChanged(bool shown, bool enabled, const std::string& text) = 0;
  // Part 0 of the status bar.
  virtual void statusShown(const std::string& text) = 0;
  virtual void beep(int frequencyHz, int durationMs) = 0;
};

class BinaryTransfer {
public:
  explicit BinaryTransfer(CommandExchange& exchange, TransferObserver* observer = nullptr)
      : exchange_(exchange), observer_(observer) {}

  void setObserver(TransferObserver* observer) { observer_ = observer; }
  // Each block of an upload is waited for this long (10 s; shorter in tests of lost replies).
  void setUploadBlockTimeoutMs(uint32_t ms) { uploadBlockTimeoutMs_ = ms; }
  // After a failure, the camera's late answer is read until the line has been quiet this long.
  void setDrainQuietMs(uint32_t ms) { drainQuietMs_ = ms; }

  // PC to camera. A payload of 0 bytes is refused before anything is sent.
  TransferResult SendBinary(const DownloadPlan& plan);
  // Camera to PC into `out`. A total above plan.capacity is refused before any block is read;
  // `out` is only filled on success.
  TransferResult ReceiveBinary(const UploadPlan& plan, std::vector<uint8_t>& out);
  // One frame, block 0, answered by an acknowledgement; no progress, no Cancel.
  TransferResult SendSingleFrame(uint16_t command, std::span<const uint8_t> data,
                                 uint32_t timeoutMs = kSingleFrameTimeoutMs);

  // How far the longest wait of the last transfer went past its time-out, as a ratio of
  // elapsed to allowed time (0 when no wait timed out).
  double longestWaitRatio() const { return longestWaitRatio_; }

  // Status texts of the outcomes.
  static std::string downloadStatus(TransferCode code);
  static std::string uploadStatus(TransferCode code);

private:
  // Waits until the receive buffer holds `wanted` characters or the deadline passes.
  // Returns 0, or the channel's negative code.
  int waitFor(size_t wanted, uint32_t timeoutMs);
  int readAck(uint32_t timeoutMs, std::string& ack);
  // One upload reply: returns 0 with its data, or a negative code.
  int readReply(uint32_t firstTimeoutMs, std::string& data);
  bool sendFrame(const std::string& frame);
  // After a failure the camera may still be answering the last frame; its bytes are read and
  // dropped, so the next command sees only its own answer.
  void drainLink();
  void finishDownload(TransferResult& result);
  void finishUpload(TransferResult& result);

  void activate(bool on);
  void showProgress(int percent);
  void setCancel(bool shown, bool enabled, const std::string& text);
  void showStatus(const std::string& text);
  void beep(int hz, int ms);

  CommandExchange& exchange_;
  TransferObserver* observer_;
  uint32_t uploadBlockTimeoutMs_ = kBlockTimeoutMs;
  uint32_t drainQuietMs_ = 200;
  double longestWaitRatio_ = 0;
};

} // namespace kelpax
