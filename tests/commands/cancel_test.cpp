// The cancel request and the run guard: a cancel from another thread ends a
// wait at once and leaves whole dump pages only; a second run is refused.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "commands/Status.h"
#include "protocol/Exchange.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

using Clock = std::chrono::steady_clock;

class Cancel : public CommandTest {
 protected:
  // Runs `run`, requests a cancel from another thread after `after`, and
  // returns how long after that request the run ended with EOperationCancelled.
  Clock::duration CancelledAfter(const std::function<void()>& run,
                                 std::chrono::milliseconds after) {
    Clock::time_point requested;
    std::thread canceller([&] {
      std::this_thread::sleep_for(after);
      requested = Clock::now();
      t.session.RequestCancel();
    });
    Clock::duration took{};
    try {
      run();
      ADD_FAILURE() << "the run was not cancelled";
    } catch (const EOperationCancelled& e) {
      took = Clock::now() - requested;
      EXPECT_STREQ(e.what(), "Операция прервана");
    }
    canceller.join();
    return took;
  }
};

// Every wait of a run: the one-byte wait of a silent device (in several
// places of a reply) and the four-second wait of the archive initialisation.
TEST_F(Cancel, EveryWaitEndsWithin50MsOfACancelFromAnotherThread) {
  struct Case {
    const char* name;
    Bytes sent;  // what the device sends before it falls silent
    bool wait4s;
  } cases[] = {
      {"silent at once", {}, false},
      {"silent after the ACK", B("06"), false},
      {"silent in the data", B("06 02 05 00 11"), false},
      {"in the 4 s wait", B("06"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Device([&](const Bytes&) { return c.sent; });
    const auto took = CancelledAfter(
        [&] {
          EklzSession::RunScope run(t.session);
          SendFrame(t.session, "02 01 26 27", true);
          ReplyDelivery delivery;
          delivery.wait4s = c.wait4s;
          ReceiveReply(t.session, delivery, false, true);
        },
        std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::milliseconds(50));
    // The run is over: the request is cleared and the next run goes ahead.
    EXPECT_FALSE(t.session.CancelRequested());
  }
}

TEST_F(Cancel, ACancelledRunSendsNoFurtherRequest) {
  Device();
  t.session.RequestCancel();
  EXPECT_THROW(AskStatus(t.session, false, true), EOperationCancelled);
  EXPECT_TRUE(Requests().empty());
  t.session.ClearCancel();
  AskStatus(t.session, true, false);
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(Cancel, ADumpCancelledInAWaitKeepsWholePagesOnly) {
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  int pages = 0;
  Bytes half;
  Device([&](const Bytes& request) {
    Bytes page = StandardReply(request);
    if (++pages <= 2) return page;
    page.resize(300);  // the third page stops in its middle
    half = page;
    return page;
  });
  std::string pageData;
  const auto took = CancelledAfter(
      [&] { pageData = AskArchiveDump(t.session, true, file, 0, 9, false, true, false); },
      std::chrono::milliseconds(500));
  EXPECT_LT(took, std::chrono::milliseconds(50));
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  ASSERT_EQ(bytes.str().size(), 2u * 512u);
  EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(Cancel, ACancelBetweenPagesEndsTheDumpAfterThePageInProgress) {
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  Device([&](const Bytes& request) {
    if (request[4] == 1) t.session.RequestCancel();  // asked while page 1 is on its way
    return StandardReply(request);
  });
  std::string pageData = AskArchiveDump(t.session, true, file, 0, 9, false, true, false);
  EXPECT_EQ(std::filesystem::file_size(file), 2u * 512u);
  EXPECT_EQ(Requests().size(), 2u);
}

TEST_F(Cancel, TheRunGuardRefusesASecondRunAndOtherThreads) {
  Device();
  const std::string busy = "Выполняется другая операция с ЭКЛЗ; дождитесь её окончания";
  {
    EklzSession::RunScope run(t.session);
    try {
      EklzSession::RunScope nested(t.session);
      ADD_FAILURE() << "a nested run was allowed";
    } catch (const TEKLZException& e) {
      EXPECT_EQ(e.what(), busy);
    }
    // Another thread may neither talk to the device nor touch the port.
    std::async(std::launch::async, [&] {
      for (const auto& step : std::vector<std::function<void()>>{
               [&] { AskStatus(t.session, false, true); },
               [&] { t.session.ClosePort(); },
               [&] { t.session.OpenPort("/dev/null", "9600", 10); },
           }) {
        try {
          step();
          ADD_FAILURE() << "another thread got through";
        } catch (const TEKLZException& e) {
          EXPECT_EQ(e.what(), busy);
        }
      }
    }).get();
    EXPECT_TRUE(t.session.LinkOpen());
    EXPECT_TRUE(Requests().empty());
    // The running thread itself goes on.
    AskStatus(t.session, true, false);
  }
  EXPECT_EQ(Requests().size(), 1u);
  std::async(std::launch::async, [&] { AskStatus(t.session, true, false); }).get();
  EXPECT_EQ(Requests().size(), 2u);
}

}  // namespace
}  // namespace eklz::test
