#include "commands/CommandTest.h"

namespace eklz::test {

Bytes StandardReply(const Bytes& request) {
  const uint8_t command = request.size() > 2 ? request[2] : 0;
  switch (command) {
    case 0x07:
      if (request[3] == 0x01) {
        return DeviceReply(0, B("00 00 01 23 45 25 01 19 09 05 00 00 03 00 00 00 00 12 34 61"));
      }
      return DeviceReply(0, B("00 0C 00 00 00 01 00 00 00 00 00 00 00 50 00 00 00 00 00 00 "
                              "99 99 99 99 99 99"));
    case 0x01:
    case 0x81:
    case 0x19:
    case 0x99:
      return DeviceReply(0, B("00 00 01 23 A1 B2 C3"));
    case 0x05:
      return DeviceReply(8);
    case 0x03: {
      Bytes page(512);
      for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + request[4]);
      Bytes reply = DeviceReply(0, page);
      reply[2] = 0x01;  // the low 8 bits of 513
      reply.back() = 0x01 ^ 0x00;
      for (uint8_t b : page) reply.back() ^= b;
      return reply;
    }
    default:
      return DeviceReply(0);
  }
}

void ExpectFrames(PtySession& t, RespondingPeer& device, const std::vector<FrameCase>& cases) {
  for (const FrameCase& c : cases) {
    const size_t before = device.Requests().size();
    try {
      c.run(t.session);
    } catch (const std::exception& e) {
      ADD_FAILURE() << c.name << ": " << e.what();
      continue;
    }
    const std::vector<Bytes> after = device.Requests();
    ASSERT_GT(after.size(), before) << c.name;
    EXPECT_EQ(BytesToHex(after[before]), std::string(c.frame) + " ") << c.name;
  }
}

void ExpectRefused(PtySession& t, const std::function<void()>& run, const std::string& message) {
  const size_t before = t.sink.protocol.size();
  try {
    run();
    ADD_FAILURE() << "not refused: " << message;
  } catch (const TEKLZException& e) {
    EXPECT_EQ(e.what(), message);
  }
  for (size_t i = before; i < t.sink.protocol.size(); ++i) {
    EXPECT_NE(t.sink.protocol[i].rfind("==> ", 0), 0u) << "sent: " << t.sink.protocol[i];
  }
}

}  // namespace eklz::test
