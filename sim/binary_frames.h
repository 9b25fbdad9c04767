// The camera's side of binary transfers: frames checked and acknowledged, downloaded data kept
// per command pair, uploads served block by block.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr char kFrameStx = 0x02;
inline constexpr char kFrameEtx = 0x03;
inline constexpr size_t kFrameHeader = 7;    // STX, command, block, length
inline constexpr size_t kMaxFrameData = 512; // the most a PC frame carries
inline constexpr uint32_t kHugeUpload = 0xFFFFFFF0u;

// Binary faults, counted in frames since the faults were set.
struct FrameFaults {
  int nakAtBlock = -1;       // every data frame with this block number is refused (NAK)
  bool badAck = false;       // acknowledgements carry neither "stored" nor "not done"
  int dropInFrame = -1;      // the Nth frame received loses a byte on the way in
  int corruptInFrame = -1;   // the Nth frame received has a byte flipped on the way in
  int badReplyChecksum = -1; // the Nth upload reply carries a wrong checksum
  int closeAtFrame = -1;     // the link closes instead of answering the Nth frame
  bool hugeUpload = false;   // an upload request is answered with 0xFFFFFFF0 bytes to come
};

// What a frame's arrival does: the bytes the camera sends back and whether the link goes.
struct FrameOutcome {
  std::string reply;
  bool closesLink = false;
};

class FrameStore {
public:
  // `frame` is a whole frame, STX to ETX. `frameIndex` counts frames since the faults were set
  // (1 for the first).
  FrameOutcome receive(std::string_view frame, int frameIndex, const FrameFaults& faults);

  // The data a download under `blockCommand` left in the camera (nothing if none did).
  const std::vector<uint8_t>* stored(uint16_t blockCommand) const;
  void store(uint16_t blockCommand, std::vector<uint8_t> data);
  // A camera without look-up tables refuses their frames (NAK) and announces no table to upload.
  void setKeepsLuts(bool keeps) { keepsLuts_ = keeps; }

  // A download in progress is given up (the PC went quiet in the middle of it).
  void abandonDownload() { pending_.reset(); }

  // Of a downloaded frame's 6-character answer.
  static std::string ack(bool accepted, bool done, uint16_t block, bool badAck = false);

private:
  struct Pending {
    uint16_t blockCommand = 0;
    uint32_t nextBlock = 0;
    std::vector<uint8_t> data;
  };
  struct Upload {
    uint16_t blockCommand = 0; // the download whose data is served
    uint16_t readCommand = 0;
    uint32_t nextBlock = 0;
    uint32_t total = 0;
  };
  std::string uploadReply(uint16_t command, uint16_t block, std::string_view data, bool badSum);

  std::map<uint16_t, std::vector<uint8_t>> stored_;
  std::optional<Pending> pending_;
  std::optional<Upload> upload_;
  int repliesSent_ = 0;
  bool keepsLuts_ = true;
};

// FNV-1a of the bytes, as the simulator's "simstore" diagnostic reports it.
uint32_t storeDigest(const std::vector<uint8_t>& data);

} // namespace sim
