// The simulated EKLZ on a pseudo-terminal, with the tester's own port and
// exchange engine as the client: what the tester sees of each behaviour and
// each fault.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "codec/Errors.h"
#include "protocol/Exchange.h"
#include "sim/Demo.h"
#include "sim/PtyServer.h"
#include "support/Pty.h"

namespace eklz::sim {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kSale = "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B";
const std::string kNakText =
    "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)";
const std::string kNoReply = "Устройство не отвечает";

std::string Hex(const Bytes& frame) {
  std::string text = BytesToHex(frame);
  text.pop_back();
  return text;
}

struct Flags {
  bool textForm = false, fetchReport = false, resultOnly = false, decodeFragments = false;
  std::string prefix;
};

class SimServer : public ::testing::Test {
 protected:
  void Serve(ServerOptions options = {}, const std::string& rate = "9600") {
    server = std::make_unique<PtyServer>(device, std::move(options));
    server->Start();
    session.OpenPort(server->SlavePath(), rate, 10);
  }
  void Restart(ServerOptions options) {
    session.ClosePort();
    server.reset();
    Serve(std::move(options));
  }
  void TearDown() override {
    session.ClosePort();
    server.reset();
  }

  // One exchange through ReceiveReply; the delivered data.
  std::string Exchange(const std::string& frame, const Flags& f = {}) {
    SendFrame(session, frame, true);
    ReplyDelivery delivery =
        ReplyDelivery::FromChoices(f.textForm, f.fetchReport, f.resultOnly, f.decodeFragments);
    delivery.prefix = f.prefix;
    return ReceiveReply(session, delivery, false, true);
  }
  std::string Command(const std::string& frame) {
    Flags f;
    f.resultOnly = true;
    return Exchange(frame, f);
  }
  // The message of the failure an exchange ends with; empty on success.
  std::string Failure(const std::string& frame) {
    try {
      Command(frame);
      return "";
    } catch (const std::exception& e) {
      return e.what();
    }
  }
  // One exchange through the fixed-size reader of status, archive test and dump.
  Reply Read(const std::string& frame, ReplyShape::DataCount count, int fixed = 0) {
    SendFrame(session, frame, false);
    ReplyShape shape;
    shape.count = count;
    shape.fixedCount = fixed;
    return ReadReply(session, shape, true, false);
  }

  Device device;
  test::RecordingSink sink;
  EklzSession session{sink};
  std::unique_ptr<PtyServer> server;
};

TEST_F(SimServer, TheWorkedExamplesGetWellFormedReplies) {
  Serve();
  Flags kpk;
  kpk.decodeFragments = true;
  kpk.prefix = "0B";
  const Stamp at{CalendarDate{2024, 3, 15}, ClockTime{9, 0, 0}};
  const std::string activation =
      Exchange(Hex(request::Activate(at, "000000123456", "771234567890", "000000654321", 0, 16, "KKM")), kpk);
  EXPECT_EQ(activation.rfind("Строка КПК. Код фрагмента 0BH\r\n    Номер КПК:00000001\r\n", 0), 0u)
      << activation;

  EXPECT_EQ(Command(kSale), kSuccessText);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");

  const Reply status = Read("02 02 07 01 04", ReplyShape::DataCount::Fixed, 20);
  EXPECT_EQ(status.length, 21);
  EXPECT_EQ(status.dataText.substr(0, 15), "00 00 00 01 00 ");  // the sale's 1.00
  EXPECT_EQ(status.data[19], 0x6C);  // d, t = sale, i, f, s

  const Reply page = Read("02 03 03 00 00 00", ReplyShape::DataCount::DumpPage);
  EXPECT_EQ(page.length, 0x01);
  EXPECT_EQ(page.answerByte, 0);
  EXPECT_EQ(page.data.size(), 512u);

  // The tester's report loop: the first fragment in the reply, the others
  // through 0x05 until code 8.
  Flags report;
  report.decodeFragments = report.fetchReport = true;
  EXPECT_EQ(Command("02 01 06 07"), kSuccessText);  // the open sale blocks reports
  sink.result.clear();
  const std::string first = Exchange("02 01 24 25", report);
  EXPECT_EQ(first.rfind("Заголовок ККМ. Код фрагмента 07H", 0), 0u) << first;
  int fetched = 0;
  for (const std::string& line : sink.result) {
    if (line.rfind("    Тип ККМ, Текст. Код фрагмента 05H", 0) == 0 ||
        line.rfind("    Активизация. Код фрагмента 08H", 0) == 0) {
      ++fetched;
    }
  }
  EXPECT_EQ(fetched, 2);
}

TEST_F(SimServer, AFullDumpReadsTheSameFourMegabytesTwice) {
  BuildDemo(device);
  Serve();
  std::string runs[2];
  for (std::string& dump : runs) {
    dump.reserve(kArchivePages * kArchivePageSize);
    for (int page = 0; page < kArchivePages; ++page) {
      const Bytes frame = RequestFrame(cmd::kDump, {static_cast<uint8_t>(page >> 8), static_cast<uint8_t>(page)});
      const Reply r = Read(Hex(frame), ReplyShape::DataCount::DumpPage);
      ASSERT_EQ(r.answerByte, 0) << page;
      dump.append(r.data.begin(), r.data.end());
    }
  }
  EXPECT_EQ(runs[0].size(), 4194304u);
  EXPECT_TRUE(runs[0] == runs[1]);
}

// Faults that the tester notices at once.
TEST_F(SimServer, FaultsAsTheTesterSeesThem) {
  BuildDemo(device);
  struct Row {
    const char* what;
    void (*plan)(FaultPlan&);
    std::string frame;
    std::string failure;  // empty: success
  } rows[] = {
      {"NAK", [](FaultPlan& p) { p.nak = true; }, "02 01 14 15", kNakText},
      {"wrong first byte", [](FaultPlan& p) { p.firstByte = 0x00; }, "02 01 14 15",
       "Некорректный ответ устройства"},
      {"wrong STX", [](FaultPlan& p) { p.stxByte = 0x03; }, "02 01 14 15", "Не распознан STX ответа"},
      {"bad checksum", [](FaultPlan& p) { p.badChecksum = true; }, "02 01 14 15",
       "Некорректная контрольная сумма ответа"},
      {"chosen answer", [](FaultPlan& p) { p.answers[0x10] = 0x02; }, kSale, "Некорректное состояние ЭКЛЗ"},
      {"chosen answer, other command", [](FaultPlan& p) { p.answers[0x10] = 0x02; }, "02 01 14 15", ""},
      {"near-full bit", [](FaultPlan& p) { p.nearlyFull = true; }, "02 01 14 15", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ServerOptions options;
    row.plan(options.faults);
    Restart(options);
    EXPECT_EQ(Failure(row.frame), row.failure);
  }
  // The near-full bit reaches the tester as a warning on success.
  EXPECT_TRUE(session.LastAnswer.NearlyFull);

  // A refused sale left nothing behind.
  ServerOptions refuse;
  refuse.faults.answers[0x10] = 0x02;
  Restart(refuse);
  EXPECT_EQ(Failure(kSale), "Некорректное состояние ЭКЛЗ");
  const Reply status = Read("02 02 07 01 04", ReplyShape::DataCount::Fixed, 20);
  EXPECT_EQ(status.data[19] & flag::kDocument, 0);

  // The damaged archive: the archive test answers 03.
  ServerOptions damaged;
  damaged.faults.archiveDamaged = true;
  Restart(damaged);
  EXPECT_EQ(Read("02 02 08 01 0B", ReplyShape::DataCount::Fixed, 0).answerByte, 0x03);
}

// --nak answers every request, also one that follows a NAK at once.
TEST_F(SimServer, EveryRequestGetsItsNak) {
  ServerOptions options;
  options.faults.nak = true;
  Serve(options);
  const auto start = Clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Failure("02 01 14 15"), kNakText) << i;
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(server->Requests(), 3u);
}

// Each of these costs the client its byte time-out (2 s).
TEST_F(SimServer, MissingRepliesEndInNoReply) {
  BuildDemo(device);
  ServerOptions after;
  after.faults.silentAfter = 1;
  Restart(after);
  EXPECT_EQ(Failure("02 01 14 15"), "");
  EXPECT_EQ(Failure("02 01 14 15"), kNoReply);

  ServerOptions cut;
  cut.faults.cutAt = 3;
  Restart(cut);
  EXPECT_EQ(Failure("02 01 14 15"), kNoReply);
  EXPECT_EQ(sink.protocol.back(), "<== ");  // ACK, STX and L came, the answer byte did not

  // A client at another line speed than the device is not understood.
  Restart({});
  session.OpenPort(server->SlavePath(), "19200", 10);
  EXPECT_EQ(Failure("02 01 14 15"), kNoReply);
}

TEST_F(SimServer, DelaysAndPacingSlowTheReplyDown) {
  BuildDemo(device);
  ServerOptions delayed;
  delayed.faults.byteDelayMs = 20;
  Restart(delayed);
  auto start = Clock::now();
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");  // 10 reply bytes
  EXPECT_GE(Clock::now() - start, 180ms);

  ServerOptions paced;
  paced.faults.pace = true;
  Restart(paced);
  start = Clock::now();
  EXPECT_EQ(Read("02 03 03 00 00 00", ReplyShape::DataCount::DumpPage).data.size(), 512u);
  EXPECT_GE(Clock::now() - start, 530ms);  // 517 bytes at 9600 baud, 10 bits each
}

// At every rate the exchange parameters can set, the device answers and a
// paced reply takes the line time of the request and the reply at that rate:
// the rate in force, not the one the server started with.
TEST_F(SimServer, PacingFollowsTheRateInForce) {
  ServerOptions paced;
  paced.faults.pace = true;
  Serve(paced);
  for (int index : {0, 1, 3, 4, 5, 2}) {
    const uint32_t rate = ExchangeRateOfIndex(index);
    EXPECT_EQ(Command(BuildRequest(code::kExchangeParams, ByteField(index) + ByteField(10))),
              kSuccessText);
    session.OpenPort(server->SlavePath(), kExchangeRates[index], 10);
    const auto start = Clock::now();
    EXPECT_EQ(Read("02 03 03 00 00 00", ReplyShape::DataCount::DumpPage).data.size(), 512u) << rate;
    const auto took = Clock::now() - start;
    const auto line = std::chrono::microseconds((6 + 517) * 10 * 1'000'000LL / rate);
    EXPECT_GE(took, line) << rate;
    EXPECT_LT(took, line * 3 / 2) << rate;  // the next slower rate would take 1.5 times as long
  }
}

TEST_F(SimServer, HangingUpClosesTheLine) {
  ServerOptions options;
  options.faults.hangupAfter = 1;
  Serve(options);
  EXPECT_EQ(Failure("02 01 14 15"), "");
  // The port fails on a line that hung up (how depends on the port).
  EXPECT_NE(Failure("02 01 14 15"), "");
  EXPECT_EQ(server->Wait(), StopReason::HungUp);
  EXPECT_NE(::access(server->SlavePath().c_str(), F_OK), 0);  // the line is gone
}

TEST_F(SimServer, ExchangeParametersMoveTheDeviceToTheNewRate) {
  Serve();
  EXPECT_EQ(Command("02 03 02 03 14 16"), kSuccessText);  // answered at 9600
  session.OpenPort(server->SlavePath(), "19200", 20);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
  EXPECT_EQ(Command("02 03 02 02 0A 09"), kSuccessText);
  session.OpenPort(server->SlavePath(), "9600", 10);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
}

TEST_F(SimServer, RequestsTheDeviceCannotReadGetANakOrNothing) {
  Serve();
  EXPECT_EQ(Failure("02 01 14 14"), kNakText);  // checksum
  std::this_thread::sleep_for(100ms);           // the line must go quiet
  EXPECT_EQ(Failure("FF 02 01 14 15"), kNakText);  // no STX
  std::this_thread::sleep_for(100ms);

  // A request that stops half-way is dropped; the next one is served.
  const Bytes partial = test::B("02 0B 10 01");
  session.Port().Write(partial.data(), partial.size());
  std::this_thread::sleep_for(600ms);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
}

TEST_F(SimServer, InitialisationAcknowledgesAtOnceAndAnswersAfterItsWork) {
  BuildDemo(device);
  Serve();
  SendFrame(session, "02 01 26 27", false);
  uint8_t b = 0;
  const auto sent = Clock::now();
  ASSERT_EQ(session.Port().ReadByteWait(&b, 500), 1);
  EXPECT_EQ(b, kAck);
  EXPECT_LT(Clock::now() - sent, 500ms);
  ASSERT_EQ(session.Port().ReadByteWait(&b, 4000), 1);
  EXPECT_EQ(b, kStx);
  EXPECT_GE(Clock::now() - sent, 2500ms);
  uint8_t rest[3] = {};
  ASSERT_EQ(session.Port().ReadBytes(rest, 3), 3);
  EXPECT_EQ(Bytes(rest, rest + 3), test::B("01 00 01"));
}

TEST_F(SimServer, ClientsComeAndGo) {
  Serve();
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
  session.ClosePort();
  session.OpenPort(server->SlavePath(), "9600", 10);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
  session.ClosePort();
  server.reset();

  // With exit-on-hangup the server ends when its client leaves.
  ServerOptions options;
  options.exitOnHangup = true;
  Serve(options);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
  auto ended = std::async(std::launch::async, [this] { return server->Wait(); });
  session.ClosePort();
  ASSERT_EQ(ended.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(ended.get(), StopReason::ClientHungUp);
}

TEST_F(SimServer, TheLinkPointsToTheLineWhileTheServerRuns) {
  ServerOptions options;
  options.linkPath = ::testing::TempDir() + "eklz-sim-link";
  Serve(options);
  char target[256] = {};
  ASSERT_GT(::readlink(options.linkPath.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), server->SlavePath());
  session.OpenPort(options.linkPath, "9600", 10);
  EXPECT_EQ(Exchange("02 01 14 15"), "0000054321");
  session.ClosePort();
  server.reset();
  EXPECT_NE(::access(options.linkPath.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace eklz::sim
