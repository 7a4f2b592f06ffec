// The EKLZ line's vocabulary shared by the tester, its front ends and the
// simulated device: the framing bytes, command codes, the text-form offset,
// the archive's pages and the exchange rates the device can be switched to.
#pragma once

#include <cstdint>
#include <string>

namespace eklz {

// Framing bytes: a frame starts with STX; a reply starts with ACK when the
// request was taken, with a lone NAK when it was not.
inline constexpr uint8_t kStx = 0x02, kAck = 0x06, kNak = 0x15;

// The archive memory: 8192 pages of 512 bytes, read one page per dump request.
inline constexpr int kArchivePages = 8192;
inline constexpr int kArchivePageSize = 512;

namespace code {
inline constexpr uint8_t kActivate = 0x01, kExchangeParams = 0x02, kDump = 0x03, kFreeText = 0x04,
                         kReportData = 0x05, kAbort = 0x06, kStatus = 0x07, kArchiveTest = 0x08,
                         kCloseShift = 0x09, kCloseArchive = 0x0A, kSale = 0x10, kPurchase = 0x11,
                         kSaleReturn = 0x12, kPurchaseReturn = 0x13, kRegNumber = 0x14,
                         kDiscount = 0x16, kMarkup = 0x17, kStorno = 0x18, kComplete = 0x19,
                         kControlTape = 0x20, kDocument = 0x21, kReport = 0x22, kShiftTotals = 0x23,
                         kActivationResult = 0x24, kInitArchive = 0x26, kVersion = 0x2A,
                         kCryptoSerial = 0x39, kCurrentKpk = 0x3C, kProcessorDump = 0x3D,
                         kLiftArchiveClosed = 0x40;
// Added to a command's code: the device answers with CP866 text instead of
// numeric fields.
inline constexpr uint8_t kTextForm = 0x80;
}  // namespace code

// The Russian name of a command code, "(текстовая форма)" added for a text
// form; "неизвестная команда" for a code the device does not have.
std::string CommandCodeName(uint8_t code);

// The rates of the exchange-parameters command, by their index on the line
// (0 to 5), as decimal text.
inline constexpr const char* kExchangeRates[] = {"2400", "4800", "9600", "19200", "38400", "57600"};
inline constexpr int kExchangeRateCount = 6;

// The index of a rate given as text ("19200") or as a number, or -1.
int ExchangeRateIndex(const std::string& rateText);
int ExchangeRateIndex(uint32_t baud);
// The rate of an index, or 0 for an index outside 0..5.
uint32_t ExchangeRateOfIndex(int index);

}  // namespace eklz
