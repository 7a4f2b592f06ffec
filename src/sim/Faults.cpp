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

}  // namespace eklz::sim
