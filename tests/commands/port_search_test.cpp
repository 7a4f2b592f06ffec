// The probe and the search over ports and rates, against the simulated EKLZ
// with its rate check on.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "commands/PortSearch.h"
#include "codec/Errors.h"
#include "sim/Device.h"
#include "sim/PtyServer.h"
#include "support/Pty.h"

namespace eklz::test {
namespace {

using Clock = std::chrono::steady_clock;

// The simulated EKLZ at 19200 baud on a pty of its own.
struct Sim19200 {
  explicit Sim19200(sim::ServerOptions options = {}) {
    device.SetRateCode(sim::Device::CodeOfRate(19200));
    server = std::make_unique<sim::PtyServer>(device, std::move(options));
    server->Start();
  }
  sim::Device device;
  std::unique_ptr<sim::PtyServer> server;
};

struct Step {
  std::string port;
  std::string rate;
  int index;
  int total;
  bool operator==(const Step&) const = default;
};

// A probe succeeds only when the registration-number request completes:
// not at another rate (the device ignores it), not with an answer code.
TEST(PortSearch, AProbeFindsTheDeviceOnlyAtItsRateAndAnswer) {
  struct Case {
    const char* rate;
    int answer;  // -1: the device's own
    bool found;
  } cases[] = {{"19200", -1, true}, {"9600", -1, false}, {"19200", 0x01, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rate) + " " + std::to_string(c.answer));
    sim::ServerOptions options;
    if (c.answer >= 0) options.faults.answers[0x94] = static_cast<uint8_t>(c.answer);
    Sim19200 sim(options);
    RecordingSink sink;
    EklzSession session(sink);
    session.OpenPort(sim.server->SlavePath(), c.rate, 10);
    EXPECT_EQ(ProbeEklz(session), c.found);
    // Quiet and unlogged.
    EXPECT_TRUE(sink.result.empty());
    EXPECT_TRUE(sink.protocol.empty());
  }
}

// The search skips a listed port that does not exist and one that is held by
// another program, tries the device at each rate in turn and leaves the port
// that answered open.
TEST(PortSearch, FindsTheDeviceAt19200AmongTheListedPorts) {
  Sim19200 sim;
  PtyPair busy;
  const auto holder = OpenSerialPort(busy.SlavePath(), 9600, 8, 0, 0, StandardTimeouts(10),
                                     kStandardFlagWord);
  RecordingSink sink;
  EklzSession session(sink);
  const std::string device = sim.server->SlavePath();
  std::vector<Step> steps;
  const PortSearchResult r =
      FindEklz(session, {"/dev/eklz-no-such-port", busy.SlavePath(), device, device},
               {"9600", "19200", "38400"}, 10,
               [&](const std::string& port, const std::string& rate, int index, int total) {
                 steps.push_back({port, rate, index, total});
               });
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.port, device);
  EXPECT_EQ(r.rate, "19200");
  EXPECT_EQ(r.missing, std::vector<std::string>{"/dev/eklz-no-such-port"});
  ASSERT_EQ(r.failed.size(), 1u);
  EXPECT_EQ(r.failed[0].rfind(busy.SlavePath() + ": System Error.  Code: 16.", 0), 0u) << r.failed[0];
  const std::vector<Step> expected = {{busy.SlavePath(), "9600", 1, 6},
                                      {device, "9600", 4, 6},
                                      {device, "19200", 5, 6}};
  EXPECT_EQ(steps, expected);
  ASSERT_TRUE(session.LinkOpen());
  EXPECT_EQ(session.Port().Name(), device);
  EXPECT_EQ(session.Port().BaudRate(), 19200u);
}

TEST(PortSearch, NothingAnsweringLeavesTheLastPortOpen) {
  PtyPair silent;
  RecordingSink sink;
  EklzSession session(sink);
  const PortSearchResult r = FindEklz(session, {"COM99", silent.SlavePath()}, {"57600"}, 10);
  EXPECT_FALSE(r.found);
  EXPECT_EQ(r.missing, std::vector<std::string>{"COM99"});
  ASSERT_TRUE(session.LinkOpen());
  EXPECT_EQ(session.Port().BaudRate(), 57600u);
}

TEST(PortSearch, ARateThatIsNotANumberEndsTheSearch) {
  PtyPair silent;
  RecordingSink sink;
  EklzSession session(sink);
  try {
    FindEklz(session, {silent.SlavePath()}, {"96OO"}, 10);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'96OO' is not a valid integer value");
  }
}

TEST(PortSearch, ACancelEndsTheSearchDuringAProbe) {
  PtyPair silent;
  RecordingSink sink;
  EklzSession session(sink);
  int steps = 0;
  Clock::time_point requested;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    requested = Clock::now();
    session.RequestCancel();
  });
  EXPECT_THROW(FindEklz(session, {silent.SlavePath()}, {"2400", "4800", "9600"}, 10,
                        [&](const std::string&, const std::string&, int, int) { ++steps; }),
               EOperationCancelled);
  const auto took = Clock::now() - requested;
  canceller.join();
  EXPECT_EQ(steps, 1);
  EXPECT_LT(took, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace eklz::test
