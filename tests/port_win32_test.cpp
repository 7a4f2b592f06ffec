// The Win32 serial port against a real line: under wine, COM1 mapped to the
// pseudo-terminal of a simulated EKLZ started with --silent (scripts/test-
// windows sets EKLZ_TEST_SILENT_COM=COM1). Without that the suite skips.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "codec/Errors.h"
#include "serial/Port.h"

namespace eklz {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Win32Line : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* name = std::getenv("EKLZ_TEST_SILENT_COM");
    if (name == nullptr || *name == '\0') GTEST_SKIP() << "no silent line (EKLZ_TEST_SILENT_COM)";
    port = name;
  }
  std::unique_ptr<TRSPort> Open(uint32_t timeout) {
    return OpenSerialPort(port, 9600, 8, 0, 0, StandardTimeouts(timeout), kStandardFlagWord);
  }
  std::string port;
};

TEST_F(Win32Line, ASilentLineIsWaitedForTwoSecondsPlusTheTimeOutPerByte) {
  for (uint32_t t : {0u, 300u}) {
    SCOPED_TRACE(t);
    auto p = Open(t);
    uint8_t b = 0;
    const auto start = Clock::now();
    EXPECT_EQ(p->ReadByte(&b), 0);
    const long long ms = MsSince(start);
    std::printf("silent wait with T = %u ms: %lld ms\n", t, ms);
    EXPECT_GE(ms, 2000 + t);
    EXPECT_LT(ms, 2000 + t + 150);
  }
}

TEST_F(Win32Line, ACancelEndsASilentWaitWithin50Ms) {
  auto p = Open(10);
  std::atomic<bool> cancel{false};
  p->SetCancelFlag(&cancel);
  std::promise<Clock::time_point> cancelled;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancelled.set_value(Clock::now());
    cancel = true;
  });
  uint8_t b = 0;
  EXPECT_THROW(p->ReadByte(&b), EOperationCancelled);
  const auto ended = Clock::now();
  canceller.join();
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(ended - cancelled.get_future().get()).count();
  std::printf("cancel to end of wait: %lld ms\n", ms);
  EXPECT_LE(ms, 50);
}

// (Exclusive use is the serial driver's on Windows; wine does not enforce
// it, so a second open is not tried here.)
TEST_F(Win32Line, AMissingPortFailsWithTheSystemMessage) {
  try {
    OpenSerialPort("COM250", 9600, 8, 0, 0, StandardTimeouts(0), kStandardFlagWord);
    FAIL() << "opened";
  } catch (const ESystemError& e) {
    const std::string prefix = "System Error.  Code: 2.\r\n";  // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    EXPECT_GT(std::string(e.what()).size(), prefix.size()) << "no system text";
    EXPECT_EQ(std::string(e.what()).find_first_of("\r\n", prefix.size()), std::string::npos)
        << "line break left at the end";
  }
}

}  // namespace
}  // namespace eklz
