// The simulated EKLZ: one request frame in, the bytes of its reply out.
// Pure (no port, no clock, no sleeping): the pty server puts it on a line,
// tests drive it directly.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "codec/CommandCodes.h"
#include "sim/Model.h"

namespace eklz::sim {

// Answer codes this device gives.
namespace answer {
inline constexpr uint8_t kOk = 0, kBadFormat = 1, kBadState = 2, kBadDateTime = 7, kNoData = 8,
                         kOverflow = 9;
inline constexpr uint8_t kNearlyFull = 0x80;
}  // namespace answer

// Bits of the status flags byte.
namespace flag {
inline constexpr uint8_t kKindBits = 0x03, kArchiveOpen = 0x04, kActivated = 0x08,
                         kReport = 0x10, kDocument = 0x20, kShift = 0x40, kFailure = 0x80;
}  // namespace flag

// A request frame: STX, length, command, data, checksum.
Bytes RequestFrame(uint8_t command, const Bytes& data = {});
// A reply as it goes on the line: ACK, STX, L (the low 8 bits of the data
// length plus one), answer, data, checksum.
Bytes ReplyBytes(uint8_t answer, const Bytes& data = {});

struct Response {
  Bytes bytes;         // a lone NAK, or ACK and the reply frame
  size_t holdAt = 0;   // non-zero: the bytes from this index on go out `holdMs` later
  int holdMs = 0;
  uint8_t command = 0; // command of the request; 0 for a NAK
};

class Device {
 public:
  static constexpr int kDefaultRateCode = 2;  // 9600 baud

  explicit Device(Identity identity = {});

  // Handles one complete frame (STX through checksum). A frame that does
  // not start with STX, whose length byte disagrees with its size or whose
  // checksum is wrong gets a NAK and changes nothing.
  Response Handle(const Bytes& frame);

  const Archive& State() const { return archive_; }
  const Identity& Id() const { return identity_; }

  // Exchange parameters: rate codes 0..5 are 2400..57600 baud.
  int RateCode() const { return rateCode_; }
  uint32_t BaudRate() const { return RateOfCode(rateCode_); }
  void SetRateCode(int code) { rateCode_ = code; }
  uint8_t Timeout() const { return timeout_; }
  static uint32_t RateOfCode(int code);  // 0 for a code out of range
  static int CodeOfRate(uint32_t baud);  // -1 for a rate without a code

  // How long archive initialisation keeps the rest of its reply after the ACK.
  void SetInitDelayMs(int ms) { initDelayMs_ = ms; }

  uint8_t StatusFlags() const;
  bool ReportPending() const { return reportPending_; }

  // The accepted requests that built the archive since it was last
  // initialised, oldest first. Replaying them on a new device rebuilds it.
  const std::vector<Bytes>& Journal() const { return journal_; }
  // Grows with every change of the archive.
  uint64_t Revision() const { return revision_; }

  // Page `page` (0..8191) of the archive memory: the stored records
  // serialised one after another, erased bytes (0xFF) after them.
  Bytes ArchivePage(int page) const;

 private:
  struct Result {
    uint8_t code = answer::kOk;
    Bytes data;
    bool changed = false;
  };
  static Result Code(uint8_t code) { return Result{code, {}, false}; }

  Result Dispatch(uint8_t command, const uint8_t* d, size_t n);
  Result Activate(bool text, const uint8_t* d, size_t n);
  Result ExchangeParams(const uint8_t* d);
  Result Dump(const uint8_t* d) const;
  Result FreeTextLine(const uint8_t* d, size_t n);
  Result ReportData();
  Result Abort();
  Result Status(uint8_t selector) const;
  Result CloseShift(const uint8_t* d);
  Result CloseArchive();
  Result LiftArchiveClosed();
  Result Item(uint8_t kind, const uint8_t* d);
  Result DiscountOrMarkup(uint8_t code, const uint8_t* d);
  Result Storno(const uint8_t* d, size_t n);
  Result Complete(bool text, const uint8_t* d);
  Result StartReport(uint8_t command, const uint8_t* d, size_t n);
  Result InitArchive();
  Result ProcessorDump() const;

  // Code 2 unless the archive takes documents: activated, not closed, no
  // report being read.
  uint8_t DocumentState() const;
  // Validates the date, time and operator of completion and shift closing;
  // code 7 for a stamp before the last record.
  uint8_t ReadStampAndOperator(const uint8_t* d, Stamp& stamp, uint8_t& op) const;
  uint16_t NextShiftNumber() const;
  uint32_t KpkValue(uint32_t kpk, const Stamp& stamp, Money total, uint8_t kind) const;
  const Bytes& ArchiveImage() const;

  Identity identity_;
  Archive archive_;
  int rateCode_ = kDefaultRateCode;
  uint8_t timeout_ = 10;
  int initDelayMs_ = 3000;
  std::deque<Bytes> report_;  // fragments still to hand out with 0x05
  bool reportPending_ = false;
  std::vector<Bytes> journal_;
  uint64_t revision_ = 0;
  mutable uint64_t imageRevision_ = UINT64_MAX;
  mutable Bytes image_;
};

}  // namespace eklz::sim
