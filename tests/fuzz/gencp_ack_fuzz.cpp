// GenCP acknowledges: any bytes from the line, taken apart the way the port does (drop a byte
// that starts no packet, wait for more, drop a packet whose data checksum fails), never read
// past what came, always make progress, and a whole acknowledge accounts for every byte used.
#include <cstdint>
#include <vector>

#include "CLProtocol/GenCpPacket.h"
#include "tests/fuzz/fuzz_check.h"

using namespace CLProtocol::GenCp;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  // A copy of exactly the bytes that came, so a read past them is caught.
  const std::vector<uint8_t> line(data, data + size);
  size_t at = 0;
  while (at < line.size()) {
    Ack ack;
    size_t used = 0;
    const DecodeResult result = DecodeAck(line.data() + at, line.size() - at, &ack, &used);
    if (result == DecodeResult::NeedMore)
      break;
    if (result == DecodeResult::Complete) {
      FUZZ_CHECK(used == kHeaderLength + ack.scd.size());
      FUZZ_CHECK(used <= line.size() - at);
      at += used;
    } else if (result == DecodeResult::BadScdChecksum) {
      FUZZ_CHECK(used > 0 && used <= line.size() - at);
      at += used;
    } else {
      at += 1;
    }
  }
  // A request the program builds has a sound prefix and header: never taken for noise.
  const std::vector<uint8_t> request = ReadMemCommand(size, uint16_t(size), uint16_t(size));
  Ack ack;
  size_t used = 0;
  const DecodeResult own = DecodeAck(request.data(), request.size(), &ack, &used);
  FUZZ_CHECK(own != DecodeResult::NotAPacket && own != DecodeResult::BadCcdChecksum);
  return 0;
}
