// The simulated EKLZ's request parser: a client can send anything. The input
// is a run of requests, each either taken as raw bytes or given a correct
// length and checksum (so the commands themselves are reached); the device
// answers each with a NAK or a well-formed reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "codec/HexFrame.h"
#include "sim/Demo.h"
#include "sim/Device.h"

using namespace eklz;
using namespace eklz::sim;

namespace {

void CheckReply(const Response& r) {
  const Bytes& b = r.bytes;
  if (b.size() == 1 && b[0] == kNak) return;
  // ACK STX L answer data checksum, L the low byte of the data length + 1.
  if (b.size() < 5 || b[0] != kAck || b[1] != kStx) std::abort();
  if (b[2] != static_cast<uint8_t>(b.size() - 4)) std::abort();
  if (XorBytes(b.data() + 2, b.size() - 3) != b.back()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Device device;
  device.SetInitDelayMs(0);
  if (in.Byte() & 1) BuildDemo(device);
  for (int requests = 0; in.RestSize() > 0 && requests < 64; ++requests) {
    const uint8_t head = in.Byte();
    const size_t n = std::min<size_t>(head & 0x7F, in.RestSize());
    const Bytes body(in.Rest(), in.Rest() + n);
    for (size_t i = 0; i < n; ++i) in.Byte();
    Bytes frame;
    if (head & 0x80) {
      frame = body;  // raw bytes
    } else if (!body.empty()) {
      frame = FrameBytes(body[0], Bytes(body.begin() + 1, body.end()));
    } else {
      frame = {kStx, 0x00, 0x00};
    }
    CheckReply(device.Handle(frame));
  }
  return 0;
}
