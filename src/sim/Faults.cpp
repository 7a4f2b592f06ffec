#include "sim/Faults.h"

#include <algorithm>

namespace eklz::sim {

RequestFate FateOf(const FaultPlan& plan, int n) {
  if (plan.hangupAfter >= 0 && n > plan.hangupAfter) return RequestFate::HangUp;
  if (plan.silent || (plan.silentAfter >= 0 && n > plan.silentAfter)) return RequestFate::Silent;
  if (plan.nak) return RequestFate::Nak;
  return RequestFate::Handle;
}

void ApplyReplyFaults(const FaultPlan& plan, Response& r) {
  Bytes& b = r.bytes;
  if (b.size() >= 5) {  // ACK STX L answer ... checksum
    uint8_t& answerByte = b[3];
    if (const auto it = plan.answers.find(r.command); it != plan.answers.end()) {
      answerByte = it->second;
    }
    if (plan.archiveDamaged && r.command == cmd::kArchiveTest) answerByte = 0x03;
    if (plan.nearlyFull) answerByte |= answer::kNearlyFull;
    b.back() = XorBytes(b.data() + 2, b.size() - 3);
    if (plan.badChecksum) b.back() ^= 0xFF;
    if (plan.firstByte) b[0] = *plan.firstByte;
    if (plan.stxByte) b[1] = *plan.stxByte;
  }
  if (plan.cutAt >= 0 && b.size() > static_cast<size_t>(plan.cutAt)) {
    b.resize(static_cast<size_t>(plan.cutAt));
  }
  if (r.holdAt >= b.size()) r.holdAt = 0;
}

bool RandomSpoiler::Spoil(Response& r) {
  Bytes& b = r.bytes;
  if (rate_ <= 0 || b.size() < 5) return false;
  if (std::uniform_real_distribution<double>(0, 1)(rng_) >= rate_) return false;
  const auto kind = static_cast<Kind>(std::uniform_int_distribution<int>(0, kKinds - 1)(rng_));
  const auto anyIndex = [&] { return std::uniform_int_distribution<size_t>(0, b.size() - 1)(rng_); };
  switch (kind) {
    case Kind::Silence: b.clear(); break;
    case Kind::Cut: b.resize(anyIndex()); break;
    case Kind::Nak: b = {kNak}; break;
    case Kind::WrongAck: b[0] = static_cast<uint8_t>(kAck + 1 + rng_() % 0xFE); break;
    case Kind::WrongStx: b[1] = static_cast<uint8_t>(kStx + 1 + rng_() % 0xFE); break;
    case Kind::BadChecksum: b.back() ^= static_cast<uint8_t>(1 + rng_() % 0xFF); break;
    case Kind::ErrorAnswer: {
      // Any failure code but 8, "no data", which ends a report as it should.
      static constexpr uint8_t kCodes[] = {1, 2, 3, 4, 5, 6, 7, 9, 10};
      b = ReplyBytes(kCodes[rng_() % sizeof kCodes], {});
      break;
    }
    case Kind::Garbage: b[anyIndex()] ^= static_cast<uint8_t>(1 + rng_() % 0xFF); break;
  }
  if (r.holdAt >= b.size()) r.holdAt = 0;
  ++spoiled_;
  return true;
}

}  // namespace eklz::sim
