// TRSPort over a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "codec/Errors.h"
#include "serial/Port.h"
#include "serial/SystemErrors.h"
#include "support/Pty.h"

namespace eklz {
namespace {

using Clock = std::chrono::steady_clock;
using test::PtyPair;

std::unique_ptr<TRSPort> Open(const std::string& path, uint32_t timeout = 10, uint32_t rate = 9600) {
  return OpenSerialPort(path, rate, 8, 0, 0, StandardTimeouts(timeout), kStandardFlagWord);
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Port, ComNamesMapToSerialDevices) {
  EXPECT_EQ(PortDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(PortDevicePath("com12"), "/dev/ttyS11");
  EXPECT_EQ(PortDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(PortDevicePath("COM"), "COM");
  EXPECT_EQ(PortDevicePath("COM0"), "COM0");
  EXPECT_EQ(PortDevicePath("COMX"), "COMX");
}

TEST(Port, AMissingDeviceRaisesTheSystemError) {
  try {
    Open("/dev/eklz-no-such-port");
    FAIL();
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.Code(), ENOENT);
    EXPECT_EQ(std::string(e.what()),
              "System Error.  Code: 2.\r\nНет такого файла или каталога");
  }
}

// Every error a serial port meets reads in Russian, whatever locale the
// machine has; the few words of the status bar tell the cases apart.
TEST(Port, SystemErrorsOfAPortReadInRussian) {
  struct Row {
    int code;
    const char* reason;
  };
  const Row rows[] = {{ENOENT, "Порт не найден"},        {EACCES, "Нет доступа к порту"},
                      {EBUSY, "Порт занят"},             {EIO, "Ошибка ввода-вывода порта"},
                      {ENOTTY, "Это не последовательный порт"}, {ENXIO, "Порт без устройства"}};
  for (const Row& r : rows) {
    const std::string message = SystemErrorMessage(r.code);
    EXPECT_NE(message, std::strerror(r.code)) << r.code;
    EXPECT_TRUE(static_cast<unsigned char>(message[0]) >= 0xD0) << message;  // Cyrillic
    EXPECT_EQ(PortFailureReason(r.code), r.reason);
  }
  EXPECT_NE(PortFailureContext("COM1", EACCES).find("dialout"), std::string::npos);
  EXPECT_EQ(PortFailureContext("COM1", EBUSY), "\nПорт: COM1 (/dev/ttyS0)");
}

TEST(Port, ASecondOpenOfAHeldPortFailsAsBusy) {
  PtyPair pty;
  auto first = Open(pty.SlavePath());
  try {
    Open(pty.SlavePath());
    FAIL();
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.Code(), EBUSY);
    EXPECT_NE(std::string(e.what()).find("Code: 16."), std::string::npos);
  }
  first.reset();
  EXPECT_NO_THROW(Open(pty.SlavePath()));
}

// The exclusive claim is the line's: a port that does not give it back on
// closing locks every later opener that is not root out while another
// process (here the fixture's own slave descriptor) holds the line.
TEST(Port, ClosingReleasesTheExclusiveClaim) {
  PtyPair pty;
  const int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  int exclusive = 0;
  {
    auto port = Open(pty.SlavePath());
    ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
  }
  ASSERT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(other);
}

// The port time-out comes from the settings file, which may hold anything:
// only the options dialog's range opens a port.
TEST(Port, ASessionOpensOnlyWithATimeOutFromTwoTo32000) {
  struct Case {
    int timeout;
    bool opens;
  };
  const Case cases[] = {{-1, false}, {0, false},     {1, false},         {2, true},
                        {32000, true}, {32001, false}, {0x7FFFFFFF, false}};
  PtyPair pty;
  test::RecordingSink sink;
  EklzSession session(sink);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeout);
    if (c.opens) {
      EXPECT_NO_THROW(session.OpenPort(pty.SlavePath(), "9600", c.timeout));
      EXPECT_TRUE(session.LinkOpen());
      continue;
    }
    try {
      session.OpenPort(pty.SlavePath(), "9600", c.timeout);
      FAIL();
    } catch (const TEKLZException& e) {
      EXPECT_STREQ(e.what(), "Значение TimeOuts (тайм-аут порта) должно быть в пределах от 2 до 32000 мс");
    }
    EXPECT_FALSE(session.LinkOpen());
  }
}

TEST(Port, SettingsThatTheDeviceRefusesFailOnCreate) {
  // A regular file is no terminal: reading its line settings fails.
  try {
    Open("/proc/self/status");
    FAIL();
  } catch (const ESystemError& e) {
    EXPECT_EQ(e.Code(), ENOTTY);
  }
}

TEST(Port, NonStandardRatesArePassedThrough) {
  PtyPair pty;
  EXPECT_NO_THROW(Open(pty.SlavePath(), 10, 1200));
  EXPECT_NO_THROW(Open(pty.SlavePath(), 10, 12345));
}

TEST(Port, ALateByteIsStillReadAndSilenceCostsTheFullTimeOut) {
  PtyPair pty;
  auto port = Open(pty.SlavePath(), 10);
  uint8_t b = 0;
  EXPECT_EQ(port->ReadBytes(&b, 0), 0);

  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    pty.Write({0x5A});
  });
  auto start = Clock::now();
  EXPECT_EQ(port->ReadByteWait(&b, 100), 1);
  EXPECT_EQ(b, 0x5A);
  EXPECT_GE(MsSince(start), 1400);
  late.join();

  start = Clock::now();
  EXPECT_EQ(port->ReadByteWait(&b, 100), 0);
  const long long silent = MsSince(start);
  EXPECT_GE(silent, 2000);  // 2000 + T, not the 100 ms of the wait argument
  EXPECT_LT(silent, 2600);
}

TEST(Port, PurgeDropsEarlierBytesAndBufferedReadsKeepOrder) {
  PtyPair pty;
  auto port = Open(pty.SlavePath());
  pty.Write({1, 2, 3});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  uint8_t b = 0;
  ASSERT_EQ(port->ReadByte(&b), 1);  // also pulls 2 and 3 into the port's buffer
  EXPECT_EQ(b, 1);
  port->Purge();
  pty.Write({4, 5});
  uint8_t two[2] = {};
  EXPECT_EQ(port->ReadBytes(two, 2), 2);
  EXPECT_EQ(two[0], 4);
  EXPECT_EQ(two[1], 5);
}

TEST(Port, WriteSendsTheWholeBlock) {
  PtyPair pty;
  auto port = Open(pty.SlavePath());
  const Bytes frame = test::B("02 0B 10 01 00 00 10 00 00 00 00 01 00 0B");
  EXPECT_EQ(port->Write(frame.data(), frame.size()), frame.size());
  EXPECT_EQ(pty.ReadFrame(), frame);
}

}  // namespace
}  // namespace eklz
