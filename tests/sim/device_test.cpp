// The device model without a line: request frames in, reply bytes out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>

#include "codec/CodePage.h"
#include "protocol/Fragments.h"
#include "sim/Demo.h"
#include "sim/Device.h"
#include "sim/Options.h"
#include "sim/StateFile.h"
#include "support/Pty.h"

namespace eklz::sim {
namespace {

using test::B;

Stamp At(int year, int month, int day, int hour, int minute) {
  return Stamp{CalendarDate{year, month, day}, ClockTime{hour, minute, 0}};
}

struct Reply {
  uint8_t answer = 0xFF;
  Bytes data;
};

class DeviceTest : public ::testing::Test {
 protected:
  // Sends a frame and checks that the reply is well formed.
  Reply Send(const Bytes& frame) {
    const Response r = device.Handle(frame);
    Reply out;
    if (r.bytes.size() < 5) {
      ADD_FAILURE() << "not a reply: " << BytesToHex(r.bytes);
      return out;
    }
    EXPECT_EQ(r.bytes[0], kAck);
    EXPECT_EQ(r.bytes[1], kStx);
    EXPECT_EQ(r.bytes[2], static_cast<uint8_t>(r.bytes.size() - 4));
    EXPECT_EQ(r.bytes.back(), XorBytes(r.bytes.data() + 2, r.bytes.size() - 3));
    out.answer = r.bytes[3];
    out.data.assign(r.bytes.begin() + 4, r.bytes.end() - 1);
    return out;
  }
  Reply Send(uint8_t command, const Bytes& data = {}) { return Send(RequestFrame(command, data)); }

  void Activate() {
    ASSERT_EQ(Send(request::Activate(At(2024, 3, 11, 8, 30), "SN0000000042", "771234567890",
                                     "000000654321", 7, 16, "TEST"))
                  .answer,
              0);
  }
  void Demo() { BuildDemo(device); }

  // A report read to its end: the query's fragment, then one per 0x05
  // request until code 8.
  std::vector<Bytes> ReadReport(const Bytes& query) {
    std::vector<Bytes> parts;
    const Reply first = Send(query);
    EXPECT_EQ(first.answer, 0) << BytesToHex(query);
    if (first.answer != 0) return parts;
    parts.push_back(first.data);
    for (int guard = 0; guard < 1000; ++guard) {
      const Reply next = Send(cmd::kReportData);
      if (next.answer == answer::kNoData) return parts;
      EXPECT_EQ(next.answer, 0);
      parts.push_back(next.data);
    }
    ADD_FAILURE() << "the report does not end";
    return parts;
  }

  Device device;
};

Bytes Bcd(uint64_t value, int digits) {
  Bytes b;
  AppendBcd(b, value, digits);
  return b;
}

// A frame with one byte replaced and the checksum made good again.
Bytes Patched(Bytes frame, size_t index, uint8_t value) {
  frame[index] = value;
  frame.back() = XorBytes(frame.data() + 1, frame.size() - 2);
  return frame;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(DeviceTest, FramesThatAreNotRequestsGetANakAndChangeNothing) {
  Demo();
  const uint64_t revision = device.Revision();
  const Bytes rows[] = {
      B("02 01 14 14"),                                  // checksum
      B("03 01 14 15"),                                  // no STX
      B("02 0B 10 01 00 00 10 00 00 00 00 01 0B"),       // shorter than its length byte
      B("02"),
  };
  for (const Bytes& frame : rows) {
    EXPECT_EQ(device.Handle(frame).bytes, Bytes{kNak}) << BytesToHex(frame);
  }
  EXPECT_EQ(device.Revision(), revision);
}

// Every misuse answers its code and leaves the archive as it was.
TEST_F(DeviceTest, MisuseAnswersItsCodeAndChangesNothing) {
  enum Setup { Fresh, Activated, SaleOpen, SaleDiscounted, DemoState };
  const Bytes sale1 = request::Item(cmd::kSale, 1, 1000, 100);
  struct Row {
    const char* what;
    Setup setup;
    Bytes frame;
    uint8_t code;
  } rows[] = {
      {"unknown command", Fresh, RequestFrame(0x55), 1},
      {"sale before activation", Fresh, sale1, 2},
      {"report before activation", Fresh, RequestFrame(cmd::kActivationResult), 2},
      {"status selector 3", Fresh, RequestFrame(cmd::kStatus, {3}), 1},
      {"sale with 9 data bytes", Activated, RequestFrame(cmd::kSale, B("01 00 00 10 00 00 00 00 01")), 1},
      {"quantity not BCD", Activated, RequestFrame(cmd::kSale, B("01 00 00 1A 00 00 00 00 01 00")), 1},
      {"activation width disagrees", Fresh,
       Patched(request::Activate(At(2024, 1, 1, 0, 0), "123456789012", "771234567890",
                                 "000000654321", 0, 16, "A"),
               3 + 31, 40),
       1},
      {"second activation", Activated,
       request::Activate(At(2024, 3, 12, 0, 0), "123456789012", "771234567890", "000000654321", 0, 16, ""), 2},
      {"discount without a document", Activated, request::Discount(100), 2},
      {"completion without a document", Activated, request::Complete(At(2024, 3, 12, 9, 0), 1), 2},
      {"purchase in a sale", SaleOpen, request::Item(cmd::kPurchase, 1, 1000, 100), 2},
      {"discount beyond the total", SaleOpen, request::Discount(101), 9},
      {"storno beyond the item", SaleOpen, request::Storno(cmd::kSale, 1, 1000, 101), 9},
      {"storno leaving a negative total", SaleDiscounted, request::Storno(cmd::kSale, 1, 500, 50), 9},
      {"storno of another kind", SaleOpen, request::Storno(cmd::kPurchase, 1, 1000, 50), 2},
      {"storno of a discount never given", SaleOpen, request::Storno(cmd::kDiscount, 0, 0, 1), 9},
      {"storno of an unknown code", SaleOpen, RequestFrame(cmd::kStorno, B("14 00 00 00 00 01")), 1},
      {"completion on 31 February", SaleOpen, RequestFrame(cmd::kComplete, B("24 02 31 10 00 01")), 7},
      {"completion at 24:00", SaleOpen, RequestFrame(cmd::kComplete, B("24 03 12 24 00 01")), 7},
      {"completion time not BCD", SaleOpen, RequestFrame(cmd::kComplete, B("24 03 12 1A 00 01")), 1},
      {"completion before the activation", SaleOpen, request::Complete(At(2024, 3, 11, 8, 29), 1), 7},
      {"report with a document open", SaleOpen, RequestFrame(cmd::kControlTape, {0, 1}), 2},
      {"archive closing with a shift open", SaleOpen, RequestFrame(cmd::kCloseArchive), 2},
      {"shift closing with a document open", SaleOpen, request::CloseShift(At(2024, 3, 12, 20, 0), 1), 2},
      {"shift closing going back in time", DemoState, request::CloseShift(At(2024, 3, 13, 20, 59), 1), 7},
      {"report type 3", DemoState, RequestFrame(cmd::kReport, B("03 24 03 11 24 03 13")), 1},
      {"report type 8", DemoState, RequestFrame(cmd::kReport, B("08 00 01 00 03")), 1},
      {"report type 6 with dates", DemoState, RequestFrame(cmd::kReport, B("06 24 03 11 24 03 13")), 1},
      {"report over days without shifts", DemoState, RequestFrame(cmd::kReport, B("04 24 04 01 24 04 30")), 8},
      {"control tape of an unknown shift", DemoState, RequestFrame(cmd::kControlTape, {0, 9}), 8},
      {"shift totals of an unknown shift", DemoState, RequestFrame(cmd::kShiftTotals, {1, 0}), 8},
      {"document with an unknown KPK", DemoState, RequestFrame(cmd::kDocument, B("00 00 09 99")), 8},
      {"document KPK not BCD", DemoState, RequestFrame(cmd::kDocument, B("00 00 00 0F")), 1},
      {"report data without a report", DemoState, RequestFrame(cmd::kReportData), 8},
      {"dump page 8192", DemoState, RequestFrame(cmd::kDump, {0x20, 0x00}), 1},
      {"rate code 6", DemoState, RequestFrame(cmd::kExchangeParams, {6, 10}), 1},
      {"lifting an archive flag never set", DemoState, RequestFrame(cmd::kLiftArchiveClosed), 2},
      {"free text bound to 0x15", DemoState,
       request::FreeText(0x15, 1, "ABC", 16), 1},
      {"free text of 20 characters", DemoState, request::FreeText(cmd::kSale, 1, "ABC", 20), 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    device = Device();
    if (row.setup == Activated || row.setup == SaleOpen || row.setup == SaleDiscounted) Activate();
    if (row.setup == SaleOpen || row.setup == SaleDiscounted) {
      ASSERT_EQ(Send(sale1).answer, 0);
    }
    if (row.setup == SaleDiscounted) {
      ASSERT_EQ(Send(request::Discount(80)).answer, 0);
    }
    if (row.setup == DemoState) Demo();
    const uint64_t revision = device.Revision();
    const Bytes page = device.ArchivePage(0);
    EXPECT_EQ(Send(row.frame).answer, row.code);
    EXPECT_EQ(device.Revision(), revision);
    EXPECT_EQ(device.ArchivePage(0), page);
  }
}

TEST_F(DeviceTest, ADocumentReachesTheStatusTheShiftTotalsAndItsReport) {
  Activate();
  // A purchase of 2 x 5.00 with a discount of 1.00, a mark-up of 0.50 and a
  // storno of 2.00.
  ASSERT_EQ(Send(request::Item(cmd::kPurchase, 3, 2000, 1000)).answer, 0);
  ASSERT_EQ(Send(request::Discount(100)).answer, 0);
  ASSERT_EQ(Send(request::Markup(50)).answer, 0);
  ASSERT_EQ(Send(request::Storno(cmd::kPurchase, 3, 500, 200)).answer, 0);

  Reply status = Send(cmd::kStatus, {1});
  ASSERT_EQ(status.data.size(), 20u);
  EXPECT_EQ(Bytes(status.data.begin(), status.data.begin() + 5), Bcd(750, 10));
  EXPECT_EQ(status.data[19], flag::kDocument | 0x01 | flag::kShift | flag::kActivated | flag::kArchiveOpen);

  const Reply done = Send(request::Complete(At(2024, 3, 12, 14, 5), 2));
  ASSERT_EQ(done.answer, 0);
  ASSERT_EQ(done.data.size(), 7u);  // KPK number and value: the 0B fragment without its code
  EXPECT_EQ(Bytes(done.data.begin(), done.data.begin() + 4), Bcd(2, 8));  // activation had KPK 1

  status = Send(cmd::kStatus, {1});
  EXPECT_EQ(status.data, Cat(Cat(Bcd(750, 10), B("24 03 12 14 05")),
                             Cat(Cat(Bcd(2, 8), B("00 00 05 43 21")),
                                 {flag::kShift | flag::kActivated | flag::kArchiveOpen})));

  const Reply shift = Send(cmd::kStatus, {2});
  EXPECT_EQ(shift.data, Cat(Cat(B("00 08"), Bcd(0, 12)),
                            Cat(Cat(Bcd(750, 12), Bcd(0, 12)), Bcd(0, 12))));

  // The document report tells the same story.
  const std::vector<Bytes> doc = ReadReport(RequestFrame(cmd::kDocument, Bcd(2, 8)));
  ASSERT_EQ(doc.size(), 6u);  // 01, 02, 03, 04, 06, 0B: the storno has no fragment
  EXPECT_EQ(doc[0], B("01 11 24 03 12 14 05 02"));
  EXPECT_EQ(doc[1], Cat(Cat(B("02 03"), Bcd(2000, 8)), Bcd(1000, 10)));
  EXPECT_EQ(doc[4], Cat(B("06"), Bcd(750, 10)));
  EXPECT_EQ(doc[5], Cat(B("0B"), done.data));

  // Closing the shift: its totals stay in the archive.
  ASSERT_EQ(Send(request::CloseShift(At(2024, 3, 12, 20, 0), 1)).answer, 0);
  EXPECT_EQ(Send(cmd::kStatus, {2}).data, Cat(B("00 08"), Bytes(24, 0)));
  const std::vector<Bytes> totals = ReadReport(RequestFrame(cmd::kShiftTotals, {0, 8}));
  ASSERT_EQ(totals.size(), 3u);
  EXPECT_EQ(totals[0], B("0E 00 08 24 03 12 14 05 02"));
  EXPECT_EQ(totals[1], Cat(Cat(Cat(B("0A"), Bcd(0, 12)), Bcd(750, 12)), Bytes(12, 0)));
  EXPECT_EQ(totals[2][0], 0x0B);
  EXPECT_EQ(Send(cmd::kCurrentKpk).data, B("00 00 00 03"));
}

// Sizes of the numeric fragments, by code.
const std::map<uint8_t, size_t> kFragmentSize = {
    {0x01, 8},  {0x02, 11}, {0x03, 6},  {0x04, 6},  {0x06, 6},  {0x07, 24}, {0x08, 14},
    {0x09, 25}, {0x0A, 25}, {0x0B, 8},  {0x0C, 45}, {0x0E, 9},  {0x10, 27}};

TEST_F(DeviceTest, EveryReportReturnsItsFragmentsThenCode8) {
  Demo();
  // A shift left open, so that the open-shift forms have something to show.
  ASSERT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 500)).answer, 0);
  ASSERT_EQ(Send(request::Complete(At(2024, 3, 14, 9, 0), 1)).answer, 0);

  test::RecordingSink sink;
  EklzSession session(sink);
  struct Row {
    const char* what;
    uint8_t command;
    Bytes data;
    std::vector<uint8_t> codes;  // the whole sequence, or just its start
    bool whole;
  } rows[] = {
      {"activation result", cmd::kActivationResult, {}, {0x07, 0x05, 0x08}, true},
      {"document", cmd::kDocument, B("00 00 00 02"), {0x01, 0x02, 0x02, 0x03, 0x06, 0x0B}, true},
      {"shift closing by its KPK", cmd::kDocument, B("00 00 00 05"), {0x0E, 0x0A, 0x0B}, true},
      {"control tape", cmd::kControlTape, {0, 1}, {0x0E, 0x01, 0x02, 0x02, 0x03, 0x06, 0x0B, 0x01}, false},
      {"control tape of the open shift", cmd::kControlTape, {0, 4}, {0x0E, 0x01, 0x02, 0x06, 0x0B, 0x10}, true},
      {"shift totals", cmd::kShiftTotals, {0, 2}, {0x0E, 0x0A, 0x0B}, true},
      {"shift totals of the open shift", cmd::kShiftTotals, {0, 4}, {0x0E, 0x10}, true},
      {"full report by dates", cmd::kReport, B("04 24 03 11 24 03 12"),
       {0x07, 0x0E, 0x0C, 0x0A, 0x0E, 0x0C, 0x0A, 0x09}, true},
      {"short report by dates", cmd::kReport, B("05 24 03 01 24 03 31"),
       {0x07, 0x0E, 0x0A, 0x0E, 0x0A, 0x0E, 0x0A, 0x09}, true},
      {"full report by shifts", cmd::kReport, B("06 00 03 00 09"), {0x07, 0x0E, 0x0C, 0x0A, 0x09}, true},
      {"short report by shifts", cmd::kReport, B("07 00 02 00 03"), {0x07, 0x0E, 0x0A, 0x0E, 0x0A, 0x09}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::vector<Bytes> parts = ReadReport(RequestFrame(row.command, row.data));
    std::vector<uint8_t> codes;
    for (const Bytes& f : parts) {
      ASSERT_FALSE(f.empty());
      codes.push_back(f[0]);
      const size_t size = f[0] == 0x05 ? 1 + 40 : kFragmentSize.count(f[0]) ? kFragmentSize.at(f[0]) : 0;
      EXPECT_EQ(f.size(), size) << "fragment " << int{f[0]};
      // The tester decodes it as a fragment it knows, not as raw digits.
      const std::string hex = RemoveBlanks(BytesToHex(f));
      EXPECT_NE(DecodeFragments(session, hex).text, hex + "\r\n");
    }
    if (row.whole) {
      EXPECT_EQ(codes, row.codes);
    } else {
      ASSERT_GE(codes.size(), row.codes.size());
      EXPECT_EQ(std::vector<uint8_t>(codes.begin(), codes.begin() + static_cast<long>(row.codes.size())),
                row.codes);
    }
    EXPECT_FALSE(device.StatusFlags() & flag::kReport);

    // The text form: the same report as CP866 lines, at least one per fragment.
    const std::vector<Bytes> lines = ReadReport(RequestFrame(row.command | cmd::kTextForm, row.data));
    EXPECT_GE(lines.size(), parts.size());
    for (const Bytes& line : lines) {
      ASSERT_FALSE(line.empty());
      for (uint8_t c : line) EXPECT_GE(c, 0x20);
      // No UTF-8 among them: a Cyrillic letter in UTF-8 is D0 or D1 and a
      // byte 80..BF, box-drawing signs and letters in CP866.
      for (size_t i = 1; i < line.size(); ++i) {
        EXPECT_FALSE((line[i - 1] == 0xD0 || line[i - 1] == 0xD1) && line[i] >= 0x80 && line[i] <= 0xBF)
            << Cp866ToUtf8(std::string(line.begin(), line.end()));
      }
    }
  }
}

TEST_F(DeviceTest, AnUnfinishedReportSetsFlagWAndBlocksDocumentsUntilAborted) {
  Demo();
  ASSERT_EQ(Send(cmd::kControlTape, {0, 1}).answer, 0);
  EXPECT_TRUE(device.StatusFlags() & flag::kReport);
  EXPECT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, answer::kBadState);
  EXPECT_EQ(Send(cmd::kAbort).answer, 0);
  EXPECT_FALSE(device.StatusFlags() & flag::kReport);
  EXPECT_EQ(Send(cmd::kReportData).answer, answer::kNoData);

  // Abort also drops an open document with its free text.
  ASSERT_EQ(Send(request::FreeText(cmd::kSale, 1, "NOTE", 16)).answer, 0);
  ASSERT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, 0);
  EXPECT_EQ(Send(cmd::kAbort).answer, 0);
  EXPECT_FALSE(device.StatusFlags() & flag::kDocument);
  ASSERT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 300)).answer, 0);
  const Reply done = Send(request::Complete(At(2024, 3, 14, 9, 0), 1));
  const std::vector<Bytes> text =
      ReadReport(RequestFrame(cmd::kDocument | cmd::kTextForm, Bytes(done.data.begin(), done.data.begin() + 4)));
  for (const Bytes& line : text) EXPECT_EQ(std::string(line.begin(), line.end()).find("NOTE"), std::string::npos);
}

TEST_F(DeviceTest, ArchiveClosingAndLiftingTheFlag) {
  Demo();
  ASSERT_EQ(Send(cmd::kCloseArchive).answer, 0);
  EXPECT_FALSE(device.StatusFlags() & flag::kArchiveOpen);
  EXPECT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, answer::kBadState);
  EXPECT_EQ(Send(cmd::kCloseArchive).answer, answer::kBadState);
  ASSERT_EQ(Send(cmd::kLiftArchiveClosed).answer, 0);
  EXPECT_TRUE(device.StatusFlags() & flag::kArchiveOpen);
  EXPECT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, 0);
}

TEST_F(DeviceTest, ArchivePagesFollowTheArchiveAndAreTheSameOnEveryDevice) {
  Demo();
  Device other;
  BuildDemo(other);
  const Bytes page0 = device.ArchivePage(0);
  EXPECT_EQ(page0, other.ArchivePage(0));
  // The records are in it: the cash register serial of the activation.
  const std::string text(page0.begin(), page0.end());
  EXPECT_NE(text.find("000000123456"), std::string::npos);
  EXPECT_EQ(device.ArchivePage(8191), Bytes(512, 0xFF));

  const Reply dump = Send(cmd::kDump, {0, 0});
  EXPECT_EQ(dump.answer, 0);
  EXPECT_EQ(dump.data, page0);
  const Bytes raw = device.Handle(RequestFrame(cmd::kDump, {0, 0})).bytes;
  ASSERT_EQ(raw.size(), 517u);
  EXPECT_EQ(raw[2], 0x01);  // the low 8 bits of 513

  ASSERT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, 0);
  ASSERT_EQ(Send(request::Complete(At(2024, 3, 14, 9, 0), 1)).answer, 0);
  EXPECT_NE(device.ArchivePage(0), other.ArchivePage(0));
}

TEST_F(DeviceTest, TheStateFileBringsBackTheSameDevice) {
  Demo();
  ASSERT_EQ(Send(request::FreeText(cmd::kSale, 1, "NOTE", 16)).answer, 0);
  ASSERT_EQ(Send(request::Item(cmd::kSale, 2, 1000, 700)).answer, 0);
  ASSERT_EQ(Send(cmd::kExchangeParams, {3, 20}).answer, 0);  // not part of the archive
  const std::string path = ::testing::TempDir() + "sim_state_test.txt";
  SaveState(device, path);

  Device loaded;
  ASSERT_TRUE(LoadState(loaded, path));
  EXPECT_EQ(loaded.Journal(), device.Journal());
  EXPECT_EQ(loaded.RateCode(), Device::kDefaultRateCode);
  Device& original = device;
  for (const Bytes& query : {RequestFrame(cmd::kStatus, {1}), RequestFrame(cmd::kStatus, {2}),
                             RequestFrame(cmd::kDump, {0, 0}), RequestFrame(cmd::kControlTape, {0, 2})}) {
    EXPECT_EQ(loaded.Handle(query).bytes, original.Handle(query).bytes) << BytesToHex(query);
  }

  Device missing;
  EXPECT_FALSE(LoadState(missing, path + ".none"));
  {
    std::ofstream bad(path, std::ios::trunc);
    bad << "EKLZ-SIM-STATE 1\n02 01 06 07\n02 0B 10 01 00 00 10 00 00 00 00 01 00 0B\n";
  }
  Device refused;  // a sale before activation cannot be replayed
  EXPECT_THROW(LoadState(refused, path), std::runtime_error);
  {
    std::ofstream bad(path, std::ios::trunc);
    bad << "something else\n";
  }
  EXPECT_THROW(LoadState(refused, path), std::runtime_error);
  std::remove(path.c_str());
}

TEST_F(DeviceTest, InitialisationWipesTheArchiveAndAnswersLater) {
  Demo();
  device.SetRateCode(3);
  const Response r = device.Handle(RequestFrame(cmd::kInitArchive));
  EXPECT_EQ(r.bytes, B("06 02 01 00 01"));
  EXPECT_EQ(r.holdAt, 1u);  // ACK at once, the rest after the work
  EXPECT_EQ(r.holdMs, 3000);
  EXPECT_EQ(device.StatusFlags(), 0);
  EXPECT_TRUE(device.Journal().empty());
  EXPECT_EQ(device.RateCode(), 3);
  EXPECT_EQ(device.ArchivePage(0), Device().ArchivePage(0));
  Activate();  // a second life
}

TEST_F(DeviceTest, IdentityQueries) {
  Device blank;
  const Bytes dumpBlank = blank.Handle(RequestFrame(cmd::kProcessorDump)).bytes;
  ASSERT_GE(dumpBlank.size(), 95u);
  EXPECT_EQ(Bytes(dumpBlank.begin() + 5, dumpBlank.begin() + 8), B("00 00 00"));  // no activation date

  Activate();
  EXPECT_EQ(Send(cmd::kRegNumber).data, B("00 00 05 43 21"));
  EXPECT_EQ(Send(cmd::kRegNumber | cmd::kTextForm).data, Bytes({'0', '0', '0', '0', '0', '5', '4', '3', '2', '1'}));
  const std::string version = std::string("ver 3.0 01.2002 ") + '\0' + "\x9D\x8A\x8B\x87";
  EXPECT_EQ(Send(cmd::kVersion).data, Bytes(version.begin(), version.end()));
  EXPECT_EQ(Send(cmd::kVersion | cmd::kTextForm).data, Bytes(version.begin(), version.end()));
  EXPECT_EQ(Send(cmd::kCryptoSerial).data, B("1A 2B 3C 4D"));
  EXPECT_EQ(Send(cmd::kCurrentKpk).data, B("00 00 00 01"));

  const Bytes d = Send(cmd::kProcessorDump).data;
  ASSERT_GE(d.size(), 90u);
  auto at = [&d](size_t from, size_t to) { return Bytes(d.begin() + static_cast<long>(from - 1), d.begin() + static_cast<long>(to)); };
  EXPECT_EQ(at(2, 4), B("24 03 11"));
  EXPECT_EQ(at(5, 6), B("08 1E"));  // 8:30 as plain bytes
  EXPECT_EQ(std::string(d.begin() + 6, d.begin() + 18), "SN0000000042");
  EXPECT_EQ(at(19, 24), B("77 12 34 56 78 90"));
  EXPECT_EQ(at(25, 30), B("00 00 00 65 43 21"));
  EXPECT_EQ(at(31, 32), B("00 07"));
  EXPECT_EQ(std::string(d.begin() + 33, d.begin() + 73), "TEST" + std::string(36, ' '));
  EXPECT_EQ(at(78, 81), B("1A 2B 3C 4D"));
  EXPECT_EQ(at(86, 90), B("00 00 05 43 21"));
}

TEST_F(DeviceTest, TextFormsOfActivationAndCompletionAnswerWithTheKpkLine) {
  const Reply act = Send(request::Activate(At(2024, 3, 11, 8, 30), "SN0000000042", "771234567890",
                                           "000000654321", 0, 40, "", true));
  ASSERT_EQ(act.answer, 0);
  EXPECT_EQ(std::string(act.data.begin(), act.data.begin() + 10), "00000001 #");
  // A blank name still gives a line: a reply without data would end the report.
  const std::vector<Bytes> lines = ReadReport(RequestFrame(cmd::kActivationResult | cmd::kTextForm));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[3], Bytes{' '});
  ASSERT_EQ(Send(request::Item(cmd::kSale, 1, 1000, 100)).answer, 0);
  const Reply done = Send(request::Complete(At(2024, 3, 11, 9, 0), 1, true));
  ASSERT_EQ(done.answer, 0);
  EXPECT_EQ(std::string(done.data.begin(), done.data.begin() + 10), "00000002 #");
  EXPECT_EQ(done.data.size(), 16u);
}

TEST_F(DeviceTest, ExchangeParametersSwitchTheRate) {
  EXPECT_EQ(device.BaudRate(), 9600u);
  EXPECT_EQ(Send(cmd::kExchangeParams, {3, 20}).answer, 0);
  EXPECT_EQ(device.BaudRate(), 19200u);
  EXPECT_EQ(device.Timeout(), 20);
}

TEST(SimOptions, ParsesTheCommandLine) {
  const SimOptions o = ParseOptions({"--link", "/tmp/eklz", "--rate=19200", "--no-rate-check",
                                     "--start", "demo", "--answer", "10:82", "--answer=08:03",
                                     "--cut-reply", "3", "--wrong-ack", "aa", "--version-text",
                                     "В\\0\\x01\\\\", "--spoil", "0.25:7"});
  EXPECT_EQ(o.linkPath, "/tmp/eklz");
  EXPECT_EQ(o.rate, 19200u);
  EXPECT_FALSE(o.rateCheck);
  EXPECT_TRUE(o.demo);
  EXPECT_EQ(o.faults.answers, (std::map<uint8_t, uint8_t>{{0x10, 0x82}, {0x08, 0x03}}));
  EXPECT_EQ(o.faults.cutAt, 3);
  EXPECT_EQ(o.faults.firstByte, 0xAA);
  EXPECT_EQ(o.identity.version, std::string("\x82") + '\0' + "\x01\\");
  EXPECT_EQ(o.faults.spoilRate, 0.25);
  EXPECT_EQ(o.faults.spoilSeed, 7u);

  const std::vector<std::vector<std::string>> bad = {
      {"--rate", "1200"}, {"--start", "old"}, {"--answer", "10"}, {"--link"},
      {"--silent=1"},     {"--eklz-number", "12"}, {"--version-text", "\\q"}, {"--frobnicate"},
      {"--spoil", "1.5"}, {"--spoil", "x"},        {"--spoil", "-0.1"},          {"--spoil", "0.1:"}};
  for (const auto& args : bad) EXPECT_THROW(ParseOptions(args), std::invalid_argument) << args[0];
}

// The random spoiler: the same seed spoils the same replies the same way,
// every spoilt reply differs from the device's, and a rate of 0 spoils none.
TEST(SimFaults, TheRandomSpoilerIsRepeatableAndAlwaysSpoils) {
  FaultPlan plan;
  plan.spoilRate = 0.5;
  plan.spoilSeed = 42;
  RandomSpoiler a(plan), b(plan), none(FaultPlan{});
  const Bytes good = ReplyBytes(0, {0x01, 0x02, 0x03});
  for (int i = 0; i < 500; ++i) {
    Response ra{good}, rb{good}, rn{good};
    const bool spoilt = a.Spoil(ra);
    EXPECT_EQ(b.Spoil(rb), spoilt);
    EXPECT_EQ(ra.bytes, rb.bytes);
    EXPECT_EQ(ra.bytes != good, spoilt);
    EXPECT_FALSE(none.Spoil(rn));
  }
  EXPECT_GT(a.Spoiled(), 200u);
  EXPECT_LT(a.Spoiled(), 300u);
}

}  // namespace
}  // namespace eklz::sim
