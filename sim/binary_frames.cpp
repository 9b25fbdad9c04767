// Binary frames as the camera takes them: checksum, block order and closing size checked,
// data kept by the command that carried it.
#include "sim/binary_frames.h"

#include <algorithm>

namespace sim {
namespace {

constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kStored = 0x08;
constexpr char kNotDone = 0x28;
constexpr char kBadAckMark = 0x44;

// Data frames and the closing frame that ends them.
struct DownloadPair {
  uint16_t block;
  uint16_t final;
};
constexpr DownloadPair kDownloads[] = {
    {0x0200, 0x0201}, // defect list or map
    {0x0206, 0x0207}, // defect list with a third value
    {0x0400, 0x0401}, // flat-field and PRNU coefficients
    {0x0602, 0x0604}, // linearity tables, first kind
    {0x0603, 0x0604}, // linearity tables, second kind
    {0x0102, 0x0104}, // look-up table
    {0x0103, 0x0104}, // look-up table, second kind
    {0x5000, 0x5001}, // MCU firmware
    {0x6000, 0x6001}, // FPGA image
    {0x0000, 0x0001}, // package
};

// Upload request, block read, and the download whose data they serve.
struct UploadPair {
  uint16_t request;
  uint16_t read;
  uint16_t source;
};
constexpr UploadPair kUploads[] = {
    {0x0202, 0x0203, 0x0200},
    {0x0402, 0x0403, 0x0400},
    {0x0105, 0x0106, 0x0102},
};

// The download an upload request serves. The look-up table request names its slot: 1 is the
// table of 0x0102, 2 that of 0x0103; another slot has no table (0).
uint16_t uploadSource(const UploadPair& pair, uint32_t parameter) {
  if (pair.request != 0x0105)
    return pair.source;
  return parameter == 1 ? 0x0102 : parameter == 2 ? 0x0103 : 0;
}

// Frames whose data the camera keeps as it is, acknowledged at once.
constexpr uint16_t kSingleFrames[] = {0x0300};

uint16_t be16(std::string_view s, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
}

uint32_t be32(std::string_view s, size_t i) {
  return uint32_t(be16(s, i)) << 16 | be16(s, i + 2);
}

uint8_t sum(std::string_view s) {
  uint8_t total = 0;
  for (char c : s)
    total = static_cast<uint8_t>(total + static_cast<uint8_t>(c));
  return total;
}

void put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v & 0xFF);
}

} // namespace

uint32_t storeDigest(const std::vector<uint8_t>& data) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : data)
    hash = (hash ^ b) * 16777619u;
  return hash;
}

std::string FrameStore::ack(bool accepted, bool done, uint16_t block, bool badAck) {
  std::string out;
  out += kFrameStx;
  out += accepted ? kAck : kNak;
  put16(out, block);
  out += badAck ? kBadAckMark : (done ? kStored : kNotDone);
  out += kFrameEtx;
  return out;
}

const std::vector<uint8_t>* FrameStore::stored(uint16_t blockCommand) const {
  auto it = stored_.find(blockCommand);
  return it == stored_.end() ? nullptr : &it->second;
}

void FrameStore::store(uint16_t blockCommand, std::vector<uint8_t> data) {
  stored_[blockCommand] = std::move(data);
}

std::string FrameStore::uploadReply(uint16_t command, uint16_t block, std::string_view data,
                                    bool badSum) {
  // Three characters ahead of the frame, as the camera sends them.
  std::string out = {kAck, 0, 0};
  std::string frame;
  put16(frame, command);
  put16(frame, block);
  put16(frame, static_cast<uint16_t>(data.size()));
  frame.append(data);
  out += kFrameStx;
  out += frame;
  out += static_cast<char>(sum(frame) + (badSum ? 1 : 0));
  out += kFrameEtx;
  ++repliesSent_;
  return out;
}

FrameOutcome FrameStore::receive(std::string_view frame, int frameIndex,
                                 const FrameFaults& faults) {
  FrameOutcome outcome;
  if (frameIndex == faults.closeAtFrame) {
    outcome.closesLink = true;
    return outcome;
  }
  const uint16_t command = be16(frame, 1);
  const uint16_t block = be16(frame, 3);
  const size_t length = be16(frame, 5);
  const std::string_view data = frame.substr(kFrameHeader, length);
  const bool intact = frame.size() == length + kFrameHeader + 2 && frame.back() == kFrameEtx &&
                      static_cast<uint8_t>(frame[kFrameHeader + length]) ==
                          sum(frame.substr(1, kFrameHeader - 1 + length));
  auto answer = [&](bool accepted, bool done) {
    outcome.reply = ack(accepted, done, block, faults.badAck);
    return outcome;
  };

  const bool lutFrame = command >= 0x0102 && command <= 0x0104;
  if (lutFrame && !keepsLuts_)
    return answer(false, false);
  for (const DownloadPair& pair : kDownloads) {
    if (command == pair.block) {
      if (!intact || length == 0 || length > kMaxFrameData)
        return answer(false, false);
      if (static_cast<int>(block) == faults.nakAtBlock)
        return answer(false, false);
      // Block 0 starts a download afresh, whatever came before it.
      if (block == 0)
        pending_ = Pending{pair.block, 0, {}};
      else if (!pending_ || pending_->blockCommand != pair.block ||
               static_cast<uint16_t>(pending_->nextBlock) != block)
        return answer(true, false);
      pending_->data.insert(pending_->data.end(), data.begin(), data.end());
      ++pending_->nextBlock;
      return answer(true, true);
    }
  }
  for (const DownloadPair& pair : kDownloads) {
    // The closing frame: its size must be what the data frames brought.
    if (command == pair.final && pending_ && pending_->blockCommand == pair.block) {
      if (!intact || length != 4)
        return answer(false, false);
      if (be32(data, 0) != pending_->data.size()) {
        pending_.reset();
        return answer(true, false);
      }
      stored_[pair.block] = std::move(pending_->data);
      pending_.reset();
      return answer(true, true);
    }
  }
  if (std::find(std::begin(kSingleFrames), std::end(kSingleFrames), command) !=
      std::end(kSingleFrames)) {
    if (!intact || length == 0)
      return answer(false, false);
    stored_[command] = std::vector<uint8_t>(data.begin(), data.end());
    return answer(true, true);
  }
  for (const UploadPair& pair : kUploads) {
    // A damaged request or block read gets no reply: the camera cannot tell what was asked.
    if (command == pair.request) {
      if (!intact || length != 4)
        return outcome;
      const uint16_t source =
          keepsLuts_ || pair.request != 0x0105 ? uploadSource(pair, be32(data, 0)) : 0;
      const std::vector<uint8_t>* data_ = source ? stored(source) : nullptr;
      const uint32_t total = data_ ? static_cast<uint32_t>(data_->size()) : 0;
      upload_ = Upload{source, pair.read, 0, total};
      std::string announce;
      put16(announce, static_cast<uint16_t>((faults.hugeUpload ? kHugeUpload : total) >> 16));
      put16(announce, static_cast<uint16_t>((faults.hugeUpload ? kHugeUpload : total) & 0xFFFF));
      outcome.reply =
          uploadReply(command, 0, announce, repliesSent_ + 1 == faults.badReplyChecksum);
      return outcome;
    }
    if (command == pair.read) {
      if (!intact || length != 4 || !upload_ || upload_->readCommand != command)
        return outcome;
      const std::vector<uint8_t>* source = stored(upload_->blockCommand);
      // Blocks are read in order; the block number is the low 16 bits of the block index.
      uint32_t index = upload_->nextBlock;
      if (static_cast<uint16_t>(index) != block)
        index = block;
      const size_t offset = size_t(index) * kMaxFrameData;
      const size_t available = source && offset < source->size() ? source->size() - offset : 0;
      const size_t wanted = std::min<size_t>({be32(data, 0), kMaxFrameData, available});
      upload_->nextBlock = index + 1;
      std::string_view part;
      if (wanted > 0)
        part = std::string_view(reinterpret_cast<const char*>(source->data()) + offset, wanted);
      outcome.reply =
          uploadReply(command, block, part, repliesSent_ + 1 == faults.badReplyChecksum);
      return outcome;
    }
  }
  return answer(false, false);
}

} // namespace sim
