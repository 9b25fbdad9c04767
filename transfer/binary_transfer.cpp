// Downloads and uploads of binary data in checksummed frames over the command channel.
#include "transfer/binary_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "camera/debug_output.h"

namespace kelpax {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSuccessHz1 = 2000;
constexpr int kSuccessHz2 = 3000;
constexpr int kSuccessMs = 200;
constexpr int kFailureHz = 1000;
constexpr int kFailureMs = 100;
constexpr int kSingleFrameHz = 1500;
constexpr int kSingleFrameMs = 100;
// After a failure, the camera's late answer is read for at most this long.
constexpr auto kDrainLimit = std::chrono::milliseconds(1000);

uint8_t byteAt(const std::string& text, size_t index) {
  return static_cast<uint8_t>(text[index]);
}

uint32_t bigEndian16(const std::string& text, size_t index) {
  return uint32_t(byteAt(text, index)) << 8 | byteAt(text, index + 1);
}

uint32_t bigEndian32(const std::string& text, size_t index) {
  return bigEndian16(text, index) << 16 | bigEndian16(text, index + 2);
}

void appendBigEndian16(std::string& out, uint16_t value) {
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value & 0xFF);
}

} // namespace

uint8_t frameChecksum(std::string_view bytes) {
  uint8_t sum = 0;
  for (char c : bytes)
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  return sum;
}

std::string encodeFrame(uint16_t command, uint16_t block, std::span<const uint8_t> data) {
  std::string frame;
  frame.reserve(data.size() + kFrameOverhead);
  frame += kStx;
  appendBigEndian16(frame, command);
  appendBigEndian16(frame, block);
  appendBigEndian16(frame, static_cast<uint16_t>(data.size()));
  frame.append(reinterpret_cast<const char*>(data.data()), data.size());
  frame += static_cast<char>(frameChecksum(std::string_view(frame).substr(1)));
  frame += kEtx;
  return frame;
}

std::string encodeFrame(uint16_t command, uint16_t block, uint32_t value) {
  const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                            uint8_t(value)};
  return encodeFrame(command, block, std::span<const uint8_t>(bytes, 4));
}

size_t blockCount(size_t size) {
  return (size + kTransferBlockSize - 1) / kTransferBlockSize;
}

std::string BinaryTransfer::downloadStatus(TransferCode code) {
  switch (code) {
  case TransferCode::Ok:
    return "Download completed";
  case TransferCode::Canceled:
    return "Download Canceled";
  case TransferCode::NotDone:
    return "Download failed(NODONE)";
  case TransferCode::Nak:
    return "Download failed(NAK)";
  case TransferCode::TimedOut:
    return "Download failed(TimeOut)";
  case TransferCode::SendFailed:
    return "Download failed(send error)";
  case TransferCode::NoData:
    return "Download failed(no data)";
  case TransferCode::Busy:
    return {};
  // An acknowledgement that is neither ACK, NAK nor "not done" is a failure the operator
  // must see like any other.
  case TransferCode::BadAck:
  case TransferCode::Unknown:
  case TransferCode::BadReply:
  case TransferCode::TooLarge:
    return "Download failed(UNKNOWN)";
  }
  return "Download failed(UNKNOWN)";
}

std::string BinaryTransfer::uploadStatus(TransferCode code) {
  switch (code) {
  case TransferCode::Ok:
    return "Upload completed!";
  case TransferCode::Canceled:
    return "UpLoad Canceled";
  case TransferCode::TimedOut:
    return "Download failed(TimeOut)";
  case TransferCode::Busy:
    return {};
  default:
    return "Download failed(UNKNOWN)";
  }
}

void BinaryTransfer::activate(bool on) {
  if (!observer_)
    return;
  if (on) {
    observer_->transferActive(true);
    return;
  }
  observer_->progressBarShown(false);
  observer_->cancelButtonChanged(false, false, "Cancel");
  observer_->percentCleared();
  observer_->transferActive(false);
}

void BinaryTransfer::showProgress(int percent) {
  if (observer_)
    observer_->progressShown(percent);
}

void BinaryTransfer::setCancel(bool shown, bool enabled, const std::string& text) {
  if (observer_)
    observer_->cancelButtonChanged(shown, enabled, text);
}

void BinaryTransfer::showStatus(const std::string& text) {
  if (observer_ && !text.empty())
    observer_->statusShown(text);
}

void BinaryTransfer::beep(int hz, int ms) {
  if (observer_)
    observer_->beep(hz, ms);
}

bool BinaryTransfer::sendFrame(const std::string& frame) {
  exchange_.port().receiveBuffer().clear();
  return exchange_.port().WritePort(frame, false);
}

int BinaryTransfer::waitFor(size_t wanted, uint32_t timeoutMs) {
  // One deadline for the whole answer: a camera that sends a byte now and then cannot keep
  // the transfer waiting a full time-out per byte.
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  while (exchange_.port().receiveBuffer().size() < wanted) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline)
      return kWaitTimedOut;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    const int code = exchange_.WaitMsg(uint32_t(left), kWaitForBurst, true);
    if (code == kWaitTimedOut && timeoutMs > 0) {
      const double ratio = std::chrono::duration<double, std::milli>(Clock::now() - start).count() /
                           double(timeoutMs);
      longestWaitRatio_ = std::max(longestWaitRatio_, ratio);
    }
    if (code < 0)
      return code;
  }
  return 0;
}

int BinaryTransfer::readAck(uint32_t timeoutMs, std::string& ack) {
  const int code = waitFor(kAckLength, timeoutMs);
  ack = exchange_.port().receiveBuffer();
  if (code < 0)
    return code;
  if (ack.size() > kAckLength) {
    debugOutput(std::string("BinaryTransfer: ") + "unexpected answer\n");
    debugPrintf("strT.Length() = %d, strT.GetAt(1) = %x, strT.GetAt(4) = %x\n", int(ack.size()),
                byteAt(ack, 1), byteAt(ack, 4));
    return int(TransferCode::Unknown);
  }
  if (ack[1] == kAckByte && ack[4] == kAckStored)
    return 0;
  if (ack[1] == kNakByte)
    return int(TransferCode::Nak);
  if (ack[4] == kAckNotDone)
    return int(TransferCode::NotDone);
  return int(TransferCode::BadAck);
}

int BinaryTransfer::readReply(uint32_t firstTimeoutMs, std::string& data) {
  int code = waitFor(10, firstTimeoutMs);
  if (code < 0)
    return code;
  const std::string& reply = exchange_.port().receiveBuffer();
  if (reply[3] != kStx) {
    debugPrintf("strT.Length() = %d, eCode = %d, ASCII_STX(%x) != %x\n", int(reply.size()), -10,
                unsigned(kStx), byteAt(reply, 3));
    return int(TransferCode::SendFailed);
  }
  const size_t length = bigEndian16(reply, 8);
  code = waitFor(length + kReplyOverhead, uploadBlockTimeoutMs_);
  if (code < 0)
    return code;
  const std::string& full = exchange_.port().receiveBuffer();
  if (full[length + 11] != kEtx)
    return int(TransferCode::BadReply);
  const uint8_t computed = frameChecksum(std::string_view(full).substr(4, length + 6));
  if (byteAt(full, length + 10) != computed) {
    debugPrintf("App CheckSum: %d,  Firmware ChaeckSum: %d\n", computed, byteAt(full, length + 10));
    return int(TransferCode::BadReply);
  }
  data = full.substr(10, length);
  return 0;
}

void BinaryTransfer::drainLink() {
  const Clock::time_point stop = Clock::now() + kDrainLimit;
  while (Clock::now() < stop) {
    exchange_.port().receiveBuffer().clear();
    if (exchange_.WaitMsg(drainQuietMs_, kWaitForBurst, true) < 0)
      break;
  }
  exchange_.port().receiveBuffer().clear();
}

TransferResult BinaryTransfer::SendBinary(const DownloadPlan& plan) {
  TransferResult result;
  if (exchange_.transferRunning()) {
    result.code = TransferCode::Busy;
    return result;
  }
  longestWaitRatio_ = 0;
  // Nothing to send: the block count would be 0 and the camera would get only a closing
  // frame announcing no data.
  if (plan.payload.empty() || plan.payload.size() > UINT32_MAX) {
    result.code = TransferCode::NoData;
    finishDownload(result);
    return result;
  }
  exchange_.setBinaryAckMode(true);
  activate(true);
  setCancel(true, true, "Cancel");
  if (observer_)
    observer_->progressBarShown(true);

  const size_t blocks = blockCount(plan.payload.size());
  const uint32_t size = uint32_t(plan.payload.size());
  int code = 0;
  for (size_t i = 0; i <= blocks && code == 0; ++i) {
    showProgress(int(100 * i / blocks));
    std::string frame;
    if (i < blocks) {
      const size_t offset = i * kTransferBlockSize;
      const size_t length = std::min(kTransferBlockSize, plan.payload.size() - offset);
      frame = encodeFrame(plan.blockCommand, uint16_t(i),
                          std::span<const uint8_t>(plan.payload.data() + offset, length));
    } else {
      if (plan.finalCommand == 0)
        break;
      frame = encodeFrame(plan.finalCommand, 0, size);
    }
    if (!sendFrame(frame)) {
      code = int(TransferCode::SendFailed);
      break;
    }
    if (i == blocks) {
      // The camera now stores what it received; that cannot be interrupted.
      setCancel(true, false, "Wait..");
      if (observer_)
        observer_->percentCleared();
      showStatus("Saving Data .......");
    }
    std::string ack;
    code = readAck(i < blocks ? plan.blockTimeoutMs : plan.finalTimeoutMs, ack);
  }
  result.code = TransferCode(code);
  if (!result.ok())
    drainLink();
  activate(false);
  exchange_.setBinaryAckMode(false);
  finishDownload(result);
  return result;
}

void BinaryTransfer::finishDownload(TransferResult& result) {
  result.status = downloadStatus(result.code);
  showStatus(result.status);
  if (result.ok()) {
    beep(kSuccessHz1, kSuccessMs);
    beep(kSuccessHz2, kSuccessMs);
  } else {
    beep(kFailureHz, kFailureMs);
  }
}

TransferResult BinaryTransfer::ReceiveBinary(const UploadPlan& plan, std::vector<uint8_t>& out) {
  TransferResult result;
  if (exchange_.transferRunning()) {
    result.code = TransferCode::Busy;
    return result;
  }
  longestWaitRatio_ = 0;
  exchange_.setBinaryBlockMode(true);
  activate(true);
  setCancel(true, false, "Cancel");
  showStatus("Compressing data .....");

  std::vector<uint8_t> received;
  uint32_t total = 0;
  int code = 0;
  std::string data;
  if (!sendFrame(encodeFrame(plan.requestCommand, 0, plan.parameter))) {
    code = int(TransferCode::SendFailed);
  } else {
    code = readReply(plan.firstTimeoutMs, data);
    if (code == 0 && data.size() < 4)
      code = int(TransferCode::BadReply);
  }
  if (code == 0) {
    total = bigEndian32(data, 0);
    debugPrintf("Receive Total Byte: %d\n", int(total));
    // The announcement is the camera's word only: refuse it before making room for it.
    if (total > plan.capacity)
      code = int(TransferCode::TooLarge);
  }
  if (code == 0) {
    received.reserve(total);
    const size_t steps = blockCount(total) + 1;
    for (size_t k = 1; k < steps && code == 0; ++k) {
      if (k == 1) {
        showProgress(0);
        if (observer_)
          observer_->progressBarShown(true);
        setCancel(true, true, "Cancel");
      }
      showProgress(int(100 * k / steps));
      const size_t offset = (k - 1) * kTransferBlockSize;
      const uint32_t length = uint32_t(std::min<size_t>(kTransferBlockSize, total - offset));
      if (!sendFrame(encodeFrame(plan.blockReadCommand, uint16_t(k - 1), length))) {
        code = int(TransferCode::SendFailed);
        break;
      }
      code = readReply(uploadBlockTimeoutMs_, data);
      // A block of another length than asked for would put the rest out of place.
      if (code == 0 && data.size() != length)
        code = int(TransferCode::BadReply);
      if (code == 0)
        received.insert(received.end(), data.begin(), data.end());
    }
  }
  result.code = TransferCode(code);
  if (!result.ok() && result.code != TransferCode::TooLarge)
    drainLink();
  activate(false);
  if (result.code == TransferCode::TooLarge)
    result.status = "Upload refused: the camera announced " + std::to_string(total) +
                    " bytes, more than the " + std::to_string(plan.capacity) +
                    " this data can take";
  finishUpload(result);
  if (result.ok())
    out = std::move(received);
  exchange_.setBinaryBlockMode(false);
  return result;
}

void BinaryTransfer::finishUpload(TransferResult& result) {
  if (result.status.empty())
    result.status = uploadStatus(result.code);
  showStatus(result.status);
  if (result.ok()) {
    beep(kSuccessHz1, kSuccessMs);
    beep(kSuccessHz2, kSuccessMs);
  } else {
    beep(kFailureHz, kFailureMs);
  }
}

TransferResult BinaryTransfer::SendSingleFrame(uint16_t command, std::span<const uint8_t> data,
                                               uint32_t timeoutMs) {
  TransferResult result;
  if (exchange_.transferRunning()) {
    result.code = TransferCode::Busy;
    return result;
  }
  longestWaitRatio_ = 0;
  if (data.empty() || data.size() > kTransferBlockSize) {
    result.code = TransferCode::NoData;
    result.status = "Download Failed!";
    return result;
  }
  // The acknowledgement ends at 6 characters and stays out of the terminal.
  exchange_.setBinaryAckMode(true);
  int code = 0;
  if (!sendFrame(encodeFrame(command, 0, data))) {
    code = int(TransferCode::SendFailed);
  } else {
    std::string ack;
    code = readAck(timeoutMs, ack);
  }
  result.code = TransferCode(code);
  if (!result.ok())
    drainLink();
  exchange_.setBinaryAckMode(false);
  if (result.ok()) {
    beep(kSingleFrameHz, kSingleFrameMs);
  } else {
    result.status = "Download Failed!";
  }
  return result;
}

} // namespace kelpax
