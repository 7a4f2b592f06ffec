// The line decoder: for each command the lines decoded from the bytes that
// went over the line are the lines the tester wrote for the same exchange;
// spoilt frames are named, and no input makes it throw.
#include <random>

#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/LineDecoder.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "protocol/Exchange.h"

namespace eklz::test {
namespace {

class LineDecoder : public CommandTest {};

struct Exchange {
  Bytes request;
  Bytes reply;
};

// The exchanges of a protocol view: each "==> " line and its "<== " pieces.
std::vector<Exchange> Exchanges(const Lines& protocol) {
  std::vector<Exchange> out;
  for (const std::string& line : protocol) {
    const Bytes bytes = HexToBytes(line.substr(4));
    if (line.compare(0, 4, "==> ") == 0) {
      out.push_back({bytes, {}});
    } else if (!out.empty()) {
      out.back().reply.insert(out.back().reply.end(), bytes.begin(), bytes.end());
    }
  }
  return out;
}

// The tester's lines without those that tell of its own sending and waiting.
Lines Written(const Lines& result) {
  Lines out;
  for (const std::string& line : result) {
    if (line != kRequestSent && line != kAwaitingReply) out.push_back(line);
  }
  return out;
}

Lines Decoded(const Exchange& e, LineContext& context) {
  Lines lines = DescribeRequest(e.request, context);
  for (std::string& line : DescribeReply(e.request, e.reply, context)) lines.push_back(line);
  return lines;
}

TEST_F(LineDecoder, SaysWhatTheTesterSaysForEachCommand) {
  Device();
  const CalendarDate date{2025, 3, 14};
  const ClockTime time{9, 5, 0};
  const std::vector<std::pair<const char*, std::function<void(EklzSession&)>>> cases = {
      {"status", [](EklzSession& s) { AskStatus(s, false, true); }},
      {"shift status", [](EklzSession& s) { AskShiftStatus(s, false, true); }},
      {"archive test", [](EklzSession& s) { DoArchiveTest(s, false, true); }},
      {"sale", [](EklzSession& s) { DoSale(s, 3, 2.5, 1234.56, false, true); }},
      {"purchase", [](EklzSession& s) { DoBuy(s, 1, 1, 10, false, true); }},
      {"sale return", [](EklzSession& s) { DoReturnSale(s, 2, 0.125, 0.1, false, true); }},
      {"purchase return", [](EklzSession& s) { DoReturnBuy(s, 255, 99999.999, 5, false, true); }},
      {"discount", [](EklzSession& s) { DoDiscount(s, 12.3, false, true); }},
      {"markup", [](EklzSession& s) { DoMargin(s, 7, false, true); }},
      {"storno of a sale", [](EklzSession& s) { DoStorno(s, 0x10, 4, 3.5, 2, false, true); }},
      {"storno of a discount", [](EklzSession& s) { DoStorno(s, 0x16, 0, 1.5, 0, false, true); }},
      {"finish", [&](EklzSession& s) { DoFinishDocument(s, false, 7, date, time, false, true); }},
      {"finish, text", [&](EklzSession& s) { DoFinishDocument(s, true, 7, date, time, false, true); }},
      {"abort", [](EklzSession& s) { DoAbort(s, false, true); }},
      {"close shift", [&](EklzSession& s) { DoCloseShift(s, 12, date, time, false, true); }},
      {"free text", [](EklzSession& s) { DoFreeText(s, 0, 5, 1, "Привет", false, false, true); }},
      {"free text 1251", [](EklzSession& s) { DoFreeText(s, 1, 5, 2, "Ёлка", true, false, true); }},
      {"close archive", [](EklzSession& s) { DoCloseArchive(s, false, true); }},
      {"lift archive closed", [](EklzSession& s) { DoCancelCloseArchive(s, false, true); }},
      {"reg number", [](EklzSession& s) { AskRegNumber(s, false, false, true); }},
      {"version", [](EklzSession& s) { AskVersion(s, true, false, true); }},
      {"crypto serial", [](EklzSession& s) { AskCryptoSerial(s, false, true); }},
      {"dump page", [](EklzSession& s) { AskArchiveDump(s, false, "", 300, 300, true, false, true); }},
  };
  for (const auto& [name, run] : cases) {
    SCOPED_TRACE(name);
    Clear();
    t.session.settings.Win1251 = std::string(name) == "free text 1251";
    run(t.session);
    const std::vector<Exchange> exchanges = Exchanges(t.sink.protocol);
    ASSERT_EQ(exchanges.size(), 1u);
    LineContext context;
    context.win1251 = t.session.settings.Win1251;
    EXPECT_EQ(Decoded(exchanges[0], context), Written(t.sink.result));
  }
}

TEST_F(LineDecoder, AReportAndItsFragments) {
  // The control tape in text form: the first fragment with the request, two
  // more fetched with the report-data request, then "no more data".
  int fetched = 0;
  Device([&](const Bytes& request) {
    if (request[2] == code::kReportData) {
      return ++fetched <= 2 ? DeviceReply(0, B(fetched == 1 ? "8F E0 AE A4 A0 A6 A0" : "88 E2 AE A3"))
                            : DeviceReply(kAnswerNoData);
    }
    return DeviceReply(0, B("8A AE AD E2 E0 AE AB EC"));
  });
  AskControlTape(t.session, true, 3, false, true);
  const std::vector<Exchange> exchanges = Exchanges(t.sink.protocol);
  ASSERT_EQ(exchanges.size(), 4u);
  LineContext context;
  Lines decoded;
  for (const Exchange& e : exchanges) {
    for (const std::string& line : Decoded(e, context)) {
      // The tester reads the fragments quietly and shows them at the end.
      if (e.request[2] != code::kReportData || line.compare(0, 4, "    ") == 0) decoded.push_back(line);
    }
  }
  const Lines written = Written(t.sink.result);
  // The tester shows the fetched fragments before the first one.
  EXPECT_EQ(decoded, (Lines{written[0], written[1], written[2], written[3], written[4], written[7],
                            written[5], written[6]}));
  EXPECT_EQ(decoded[5], "Контроль");
  EXPECT_EQ(decoded[6], "    Продажа");
}

TEST(LineDecoderFaults, NamesWhatWentWrong) {
  const Bytes status = B("02 02 07 01 04");
  LineContext context;
  struct Case {
    const char* name;
    Bytes reply;
    std::string first;
  };
  const std::vector<Case> cases = {
      {"NAK", B("15"), kNakText},
      {"no ACK", B("41"), kBadAnswerText},
      {"no STX", B("06 03"), kNoStxText},
      {"bad checksum", B("06 02 01 04 00"), std::string(kBadChecksumText) + ". " + kCancelled},
      {"cut", B("06 02 15 00 01"), "Ответ оборван: получено 5 байт из 25"},
      {"silence", {}, "Устройство не отвечает"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DescribeReply(status, c.reply, context).at(0), c.first);
  }
  EXPECT_EQ(DescribeRequest(B("02 02 07 01 05"), context),
            (Lines{"Запрос: неверная контрольная сумма запроса", "    02 02 07 01 05"}));
  EXPECT_EQ(DescribeRequest(B("02 03 07 01 04"), context),
            (Lines{"Запрос: неверная длина запроса", "    02 03 07 01 04"}));
  EXPECT_EQ(DescribeRequest(FrameBytes(0x55, B("01")), context),
            (Lines{"неизвестная команда 55H", "    02 02 55 01 56"}));
  // A status record whose total is not decimal ends where it stops being so.
  const Bytes record = B("00 00 00 1A 00 25 01 19 09 05 00 00 00 00 00 00 00 00 00 00");
  Bytes reply{kAck};
  const Bytes frame = FrameBytes(0, record);
  reply.insert(reply.end(), frame.begin(), frame.end());
  EXPECT_EQ(DescribeReply(status, reply, context).back(), "Недесятичные цифры в поле: 0000001A00");
}

TEST(LineDecoderFaults, FrameSizes) {
  const Bytes dump = B("02 03 03 01 2C 2D");
  const Bytes status = B("02 02 07 02 07");
  struct Case {
    const char* name;
    Bytes request;
    Bytes start;
    size_t size;
  };
  const std::vector<Case> cases = {
      {"good page", dump, B("06 02 01 00"), 517},
      {"short error page", dump, B("06 02 01 02"), 5},
      {"shift status, whatever L says", status, B("06 02 05 00"), 31},
      {"status error", status, B("06 02 01 04"), 5},
      {"NAK", status, B("15"), 1},
      {"not yet known", status, B("06 02"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplyFrameSize(c.request, c.start.data(), c.start.size()), c.size);
  }
  EXPECT_EQ(RequestFrameSize(dump.data(), 2), 6u);
  EXPECT_EQ(RequestFrameSize(dump.data(), 1), 0u);
  EXPECT_EQ(AgreedRate(B("02 03 02 05 00 04"), B("06 02 01 00 01")), 57600u);
  EXPECT_EQ(AgreedRate(B("02 03 02 05 00 04"), B("06 02 01 01 00")), 0u);
  EXPECT_EQ(AgreedRate(B("02 03 02 05 00 04"), B("15")), 0u);
}

TEST(LineDecoderFaults, NeverThrowsOnArbitraryBytes) {
  std::mt19937 random(26);
  LineContext context;
  for (int i = 0; i < 20000; ++i) {
    Bytes request(random() % 24), reply(random() % 40);
    for (uint8_t& b : request) b = static_cast<uint8_t>(random());
    for (uint8_t& b : reply) b = static_cast<uint8_t>(random());
    if (request.size() > 3 && random() % 2) {
      request[0] = kStx;
      request[1] = static_cast<uint8_t>(request.size() - 3);
      request.back() = XorBytes(request.data() + 1, request.size() - 2);
    }
    if (reply.size() > 4 && random() % 2) {
      reply[0] = kAck;
      reply[1] = kStx;
    }
    EXPECT_NO_THROW(DescribeRequest(request, context));
    EXPECT_NO_THROW(DescribeReply(request, reply, context));
  }
}

}  // namespace
}  // namespace eklz::test
