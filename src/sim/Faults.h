// Faults the simulated EKLZ can be told to commit, for testing how the
// tester copes with a misbehaving device. The pty server applies them
// around the device model, which itself always behaves.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>

#include "sim/Device.h"

namespace eklz::sim {

struct FaultPlan {
  bool silent = false;       // never answer
  int silentAfter = -1;      // answer this many requests, then fall silent
  int cutAt = -1;            // send only the first `cutAt` bytes of every reply
  bool nak = false;          // NAK every request
  std::optional<uint8_t> firstByte;  // in place of the ACK
  std::optional<uint8_t> stxByte;    // in place of the reply's STX
  bool badChecksum = false;  // spoil the reply checksum
  std::map<uint8_t, uint8_t> answers;  // command -> answer byte to give instead
  bool nearlyFull = false;   // set 0x80 in every answer byte
  bool archiveDamaged = false;  // answer 0x03 to the archive test
  int byteDelayMs = 0;       // pause before every reply byte after the first
  bool pace = false;         // send at the device's baud rate, 10 bits a byte
  int hangupAfter = -1;      // answer this many requests, then close the line
  double spoilRate = 0;      // spoil a reply with this probability (0..1) ...
  uint32_t spoilSeed = 1;    // ... by a fault drawn from this seed's sequence

  // The request to this command is refused: its answer is replaced by a
  // failure code, so the device must not keep what it did.
  bool Refuses(uint8_t command) const {
    const auto it = answers.find(command);
    return it != answers.end() && (it->second & 0x7F) != 0;
  }
};

// What happens to request number `n` (1-based) before the device sees it.
enum class RequestFate { Handle, Silent, Nak, HangUp };
RequestFate FateOf(const FaultPlan& plan, int n);

// Applies the reply faults (answer byte, near-full bit, archive damage,
// checksum, first byte, STX, cut) to a reply of the device.
void ApplyReplyFaults(const FaultPlan& plan, Response& response);

// Spoils replies at random, for soak runs: with the plan's probability a
// reply gets one fault drawn at random, every one of which a careful tester
// must report as a failure. The same seed spoils the same replies.
class RandomSpoiler {
 public:
  enum class Kind { Silence, Cut, Nak, WrongAck, WrongStx, BadChecksum, ErrorAnswer, Garbage };
  static constexpr int kKinds = 8;

  explicit RandomSpoiler(const FaultPlan& plan) : rate_(plan.spoilRate), rng_(plan.spoilSeed) {}

  // Spoils `response` (ACK and the reply frame) or leaves it; returns
  // whether it did.
  bool Spoil(Response& response);
  uint64_t Spoiled() const { return spoiled_; }

 private:
  double rate_;
  std::mt19937 rng_;
  uint64_t spoiled_ = 0;
};

}  // namespace eklz::sim
