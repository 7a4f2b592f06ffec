// The fault matrix: a status request, a report with fragment fetches and a
// dump to a file against a scripted device that spoils one reply byte (or the
// whole reply) in every way a line can. Each case checks the exact message,
// the time it took (2000 + T ms per missing byte plus a small margin), whether
// the port was purged and, for the dump, that the file holds whole pages only.
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "serial/SystemErrors.h"
#include "commands/Reports.h"
#include "commands/Status.h"
#include "codec/Errors.h"
#include "serial/TermiosPort.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kT = 10;           // the session's port time-out
constexpr int kMarginMs = 400;   // scheduling on a busy machine
const std::string kSilent = "Устройство не отвечает";
const std::string kNakText =
    "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)";
const std::string kBadAnswer = "Некорректный ответ устройства";
const std::string kNoStx = "Не распознан STX ответа";
const std::string kBadChecksum = "Некорректная контрольная сумма ответа";

enum class Scenario { Status, Report, Dump };
enum class Fault { Silence, Garbage, Nak, StxByte, HangUp, BadChecksum, ErrorAnswer, ErrorAnswerWithPage };
enum class Shape { FromLength, Fixed20, Page };

// A byte position of the faulty reply; kFetch is the first byte of the
// report's first 0x05 fetch reply.
enum Position : int { kAck, kStx, kLength, kAnswer, kFirstData, kMiddleData, kLastData, kChecksum, kFetch };
const char* const kPositionNames[] = {"Ack",      "Stx",      "Length",   "Answer", "FirstData",
                                      "MiddleData", "LastData", "Checksum", "Fetch"};
const char* const kFaultNames[] = {"Silence", "Garbage",     "Nak",        "StxByte",
                                   "HangUp",  "BadChecksum", "ErrorAnswer", "ErrorAnswerWithPage"};
const char* const kScenarioNames[] = {"Status", "Report", "Dump"};

Bytes Page(int n) {
  Bytes page(512);
  for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * (2 * n + 1) + n);
  return page;
}

// What the reader makes of one reply: the failure message (empty: read
// well), whether it waited for a missing byte, purged, and how many bytes
// it took off the line.
struct Outcome {
  std::string message;
  bool waited = false;
  bool purged = false;
  size_t consumed = 0;
};

// The reply rules of the protocol, applied to the bytes a device sent.
Outcome ReadByTheRules(const Bytes& r, Shape shape) {
  auto missing = [&] { return Outcome{kSilent, true, false, r.size()}; };
  if (r.empty()) return missing();
  if (r[0] == 0x15) return {kNakText, false, true, 1};
  if (r[0] != 0x06) return {kBadAnswer, false, true, 1};
  if (r.size() < 2) return missing();
  if (r[1] != 0x02) return {kNoStx, false, true, 2};
  if (r.size() < 4) return missing();
  const uint8_t length = r[2], answer = r[3];
  const bool error = (answer & 0x7F) != 0;
  size_t count = length > 0 ? length - 1u : 0u;
  // A page reply with an error answer has L = 01 whether a page follows or
  // not: the reader waits one byte time for the page's second byte.
  bool waitedForMore = false;
  if (!error && shape == Shape::Fixed20) count = 20;
  if (shape == Shape::Page && length == 0x01) {
    if (error && r.size() <= 5) {
      waitedForMore = true;
    } else {
      count = 512;
    }
  }
  if (!error && shape == Shape::Page && length != 0x01) return {kBadAnswer, false, true, 4};
  if (r.size() < 4 + count + 1) return missing();
  const uint8_t sum = static_cast<uint8_t>(length ^ answer ^ XorBytes(r.data() + 4, count));
  const size_t consumed = 4 + count + 1;
  if (sum != r[4 + count]) return {kBadChecksum, waitedForMore, false, consumed};
  if (error) return {DecodeAnswerCode(answer).Message, waitedForMore, false, consumed};
  return {"", false, false, consumed};
}

struct Case {
  Scenario scenario;
  Position position;
  Fault fault;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return std::string(kScenarioNames[static_cast<int>(info.param.scenario)]) +
         kPositionNames[info.param.position] + kFaultNames[static_cast<int>(info.param.fault)];
}

class FaultMatrix : public CommandTest, public ::testing::WithParamInterface<Case> {
 public:
  // The good replies of the scenario in the order the tester asks for them,
  // which of them is spoilt, its shape, and the byte index of each position.
  struct Script {
    std::vector<Bytes> replies;
    size_t target = 0;
    Shape shape = Shape::FromLength;
  };

  static Script ScriptOf(Scenario scenario, Position position) {
    switch (scenario) {
      case Scenario::Status:
        return {{DeviceReply(0, B("00 00 01 23 45 24 03 15 14 05 00 00 01 23 00 00 05 43 21 08"))},
                0, Shape::Fixed20};
      case Scenario::Report:
        return {{DeviceReply(0, B("0E 00 0C 05 01 19 09 30 01")), DeviceReply(0, B("03 00 00 00 01 00")),
                 DeviceReply(8)},
                position == kFetch ? 1u : 0u, Shape::FromLength};
      case Scenario::Dump:
        return {{DeviceReply(0, Page(0)), DeviceReply(0, Page(1))}, 1, Shape::Page};
    }
    return {};
  }

  static size_t IndexOf(Position position, const Bytes& reply) {
    const size_t data = reply.size() - 5;
    switch (position) {
      case kAck: case kFetch: return 0;
      case kStx: return 1;
      case kLength: return 2;
      case kAnswer: return 3;
      case kFirstData: return 4;
      case kMiddleData: return 4 + data / 2;
      case kLastData: return 4 + data - 1;
      case kChecksum: return reply.size() - 1;
    }
    return 0;
  }

  // The spoilt reply and, for a hang-up, where the line goes dead.
  static Bytes Spoil(const Bytes& good, Position position, Fault fault) {
    Bytes r = good;
    const size_t at = IndexOf(position, r);
    switch (fault) {
      case Fault::Silence: case Fault::HangUp: r.resize(at); break;
      case Fault::Garbage: r[at] = 0xA5; break;
      case Fault::Nak: r[at] = 0x15; break;
      case Fault::StxByte: r[at] = at == 1 ? 0x03 : 0x02; break;  // a wrong or a stray STX
      case Fault::BadChecksum: r.back() ^= 0xFF; break;
      case Fault::ErrorAnswer: r = DeviceReply(0x02); break;
      case Fault::ErrorAnswerWithPage: r = DeviceReply(0x03, Page(1)); break;
    }
    return r;
  }

 protected:
  // Bytes that came after the failure and still wait in the port.
  size_t PendingBytes() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TRSPort& port = t.session.Port();
    size_t n = 0;
    uint8_t b;
    while (port.TakeBuffered(&b, 1) == 1) ++n;
    int queued = 0;
    ::ioctl(dynamic_cast<TermiosPort&>(port).Handle(), FIONREAD, &queued);
    return n + static_cast<size_t>(queued);
  }

  std::string FileBytes() {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TempDir temp;
  std::string file = temp.File("dump.bin");
};

TEST_P(FaultMatrix, FailsWithTheExactMessageInTimeAndKeepsWholePages) {
  const Case c = GetParam();
  const Script script = ScriptOf(c.scenario, c.position);
  const Bytes spoilt = Spoil(script.replies[script.target], c.position, c.fault);
  Outcome expected = ReadByTheRules(spoilt, script.shape);
  if (c.fault == Fault::HangUp && expected.waited) {
    expected = {"System Error.  Code: 5.\r\n" + SystemErrorMessage(EIO), false, false, 0};
  }
  ASSERT_FALSE(expected.message.empty()) << "the fault must spoil the reply";

  ScriptedPeer device(t.pty, [&](PtyPair& pty) {
    for (size_t k = 0; k <= script.target; ++k) {
      if (pty.ReadFrame(3000).empty()) return;
      pty.Write(k < script.target ? script.replies[k] : spoilt);
    }
    if (c.fault == Fault::HangUp) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      pty.HangUp();
    }
  });

  const auto start = Clock::now();
  std::string message;
  try {
    std::string out;
    switch (c.scenario) {
      case Scenario::Status: AskStatus(t.session, false, true); break;
      case Scenario::Report: out = AskControlTape(t.session, false, 1, false, true); break;
      case Scenario::Dump: out = AskArchiveDump(t.session, true, file, 0, 1, false, false, true); break;
    }
  } catch (const std::exception& e) {
    message = e.what();
  }
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  device.Join();

  EXPECT_EQ(message, expected.message);
  const int waits = expected.waited ? 1 : 0;
  EXPECT_LE(elapsed, waits * (2000 + kT) + kMarginMs);
  if (waits) {
    EXPECT_GE(elapsed, 2000 + kT - 20);
  }
  if (c.fault != Fault::HangUp) {
    EXPECT_EQ(PendingBytes(), expected.purged ? 0u : spoilt.size() - expected.consumed);
  }
  if (c.scenario == Scenario::Dump) {
    const Bytes page = Page(0);
    EXPECT_EQ(FileBytes(), std::string(page.begin(), page.end()));
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  const Fault byteFaults[] = {Fault::Silence, Fault::Garbage, Fault::Nak, Fault::StxByte,
                              Fault::HangUp};
  for (Scenario s : {Scenario::Status, Scenario::Report, Scenario::Dump}) {
    for (int p = kAck; p <= kFetch; ++p) {
      if (p == kFetch && s != Scenario::Report) continue;
      for (Fault f : byteFaults) {
        // A NAK in the length byte of the status reply is its right length (0x15).
        const auto position = static_cast<Position>(p);
        const FaultMatrix::Script script = FaultMatrix::ScriptOf(s, position);
        const Bytes& good = script.replies[script.target];
        if (FaultMatrix::Spoil(good, position, f) != good) cases.push_back({s, position, f});
      }
    }
    cases.push_back({s, kAnswer, Fault::ErrorAnswer});
    if (s == Scenario::Dump) cases.push_back({s, kAnswer, Fault::ErrorAnswerWithPage});
    cases.push_back({s, kChecksum, Fault::BadChecksum});
    if (s == Scenario::Report) {
      cases.push_back({s, kFetch, Fault::ErrorAnswer});
      cases.push_back({s, kFetch, Fault::BadChecksum});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Line, FaultMatrix, ::testing::ValuesIn(AllCases()), CaseName);

// The near-full bit alone is no error: a status record and a page that carry
// it are read and delivered whole.
TEST_F(CommandTest, RepliesWithTheNearFullBitAreReadWhole) {
  const Bytes status = B("00 00 01 23 45 24 03 15 14 05 00 00 01 23 00 00 05 43 21 08");
  ScriptedPeer device(t.pty, [&](PtyPair& pty) {
    pty.ReadFrame();
    pty.Write(DeviceReply(0x80, status));
    pty.ReadFrame();
    pty.Write(DeviceReply(0x80, Page(3)));
  });
  EXPECT_NO_THROW(AskStatus(t.session, false, true));
  std::string page;
  EXPECT_NO_THROW(page = AskArchiveDump(t.session, false, "", 3, 3, true, false, true));
  EXPECT_EQ(page, RemoveBlanks(BytesToHex(Page(3))));
}

}  // namespace
}  // namespace eklz::test
