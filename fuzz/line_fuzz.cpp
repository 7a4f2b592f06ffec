// The line decoder and the line monitor fed with any byte stream: pieces of
// it go to the cash register's side, the EKLZ's side or one merged line, with
// time passing between them, and each piece is also decoded as a request
// and as a reply. Nothing may throw; a crash, a hang or a leak is a defect.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "cli/LineMonitor.h"
#include "commands/LineDecoder.h"

using namespace eklz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  const bool merged = (mode & 0x01) != 0;
  size_t lines = 0;
  cli::LineMonitor monitor({[&](const std::string& line) { lines += line.size(); },
                            [&](const std::string& line) { lines += line.size(); }},
                           2000, (mode & 0x02) != 0);
  LineContext context;
  context.win1251 = (mode & 0x04) != 0;
  auto now = cli::LineMonitor::Clock::time_point{} + std::chrono::hours(24 * 365 * 50);
  Bytes previous;
  // Each piece: a control byte (side and the milliseconds before it), a
  // length byte, then the piece.
  while (in.RestSize() > 0) {
    const uint8_t control = in.Byte();
    const size_t length = in.Byte();
    Bytes piece;
    for (size_t i = 0; i < length && in.RestSize() > 0; ++i) piece.push_back(in.Byte());
    now += std::chrono::milliseconds((control >> 2) * 50);
    const cli::LineSide side = merged ? cli::LineSide::Both
                                      : (control & 0x01) ? cli::LineSide::Eklz : cli::LineSide::Kkm;
    monitor.Feed(side, piece.data(), piece.size(), now);
    monitor.Tick(now);
    monitor.TakeAgreedRate();
    DescribeRequest(piece, context);
    DescribeReply(previous, piece, context);
    RequestFrameSize(piece.data(), piece.size());
    ReplyFrameSize(previous, piece.data(), piece.size());
    AgreedRate(previous, piece);
    previous = std::move(piece);
  }
  monitor.Finish(now);
  monitor.Summary();
  return lines == static_cast<size_t>(-1) ? 1 : 0;
}
