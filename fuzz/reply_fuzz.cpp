// The reply reader of the exchange engine in each of its shapes, fed with
// any bytes a device might send. A failure must be one of the engine's own
// errors; anything else (or a crash, a hang, a leak) is a defect.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "codec/Errors.h"
#include "protocol/Exchange.h"

using namespace eklz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  const uint8_t fixed = in.Byte();
  fuzz::NullSink sink;
  Settings settings;
  settings.CrcOff = (mode & 0x80) != 0;
  settings.Win1251 = (mode & 0x40) != 0;
  EklzSession session(sink, settings);
  session.AttachPort(std::make_unique<fuzz::MemoryPort>(in.Rest(), in.RestSize()));
  const bool quiet = (mode & 0x20) != 0;
  try {
    ReplyShape shape;
    switch (mode % 9) {
      case 0: ReadReply(session, shape, quiet, true); break;
      case 1:
        shape.count = ReplyShape::DataCount::DumpPage;
        shape.resultLabel = kResultLabel;
        ReadReply(session, shape, quiet, true);
        break;
      case 2:
        shape.count = ReplyShape::DataCount::Fixed;
        shape.fixedCount = fixed;
        ReadReply(session, shape, quiet, true);
        break;
      case 3: ReceiveReply(session, ReplyDelivery::Hex(), quiet, true); break;
      case 4: ReceiveReply(session, ReplyDelivery::Text(), quiet, true); break;
      case 5: ReceiveReply(session, ReplyDelivery::Fragments("0B"), quiet, true); break;
      case 6: ReceiveReply(session, ReplyDelivery::Text().WithReport(true), quiet, true); break;
      case 7: ReceiveReply(session, ReplyDelivery::Fragments().WithReport(false), quiet, true); break;
      case 8: ReceiveReply(session, ReplyDelivery::ResultOnly(), quiet, false); break;
    }
  } catch (const TEKLZException&) {
  } catch (const EConvertError&) {  // an impossible activation date in fragment 08H
  }
  return 0;
}
