// Archive dump: frames, the dump file, progress and abort, failures.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

namespace fs = std::filesystem;

class Dump : public CommandTest {
 protected:

  std::string FileBytes() {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The page the standard device sends for page `n`.
  static std::string Page(int n) {
    Bytes request = B("02 03 03 00 00 00");
    request[4] = static_cast<uint8_t>(n);
    const Bytes reply = StandardReply(request);
    return std::string(reply.begin() + 4, reply.end() - 1);
  }

  TempDir temp;
  const fs::path& dir = temp.Path();
  std::string file = temp.File("dump.bin");
  std::string pageData;
};

TEST_F(Dump, Frames) {
  Device();
  auto page = [this](int n) {
    return [this, n](EklzSession& s) { pageData = AskArchiveDump(s, false, "", n, 0, true, true, true); };
  };
  ExpectFrames(t, *device, {
      {"page 0", page(0), "02 03 03 00 00 00"},
      {"page 1", page(1), "02 03 03 00 01 01"},
      {"page 486", page(486), "02 03 03 01 E6 E7"},
      {"page 8191", page(8191), "02 03 03 1F FF E0"},
      {"page 8192", page(8192), "02 03 03 20 00 20"},
  });
}

TEST_F(Dump, ARangeGoesToTheFileAndTheView) {
  Device();
  pageData = AskArchiveDump(t.session, true, file, 3, 5, false, false, true);
  EXPECT_EQ(FileBytes(), Page(3) + Page(4) + Page(5));
  EXPECT_EQ(pageData, RemoveBlanks(BytesToHex(Page(5))));
  ASSERT_EQ(t.sink.result.size(), 24u);
  EXPECT_EQ(Lines(t.sink.result.begin(), t.sink.result.begin() + 8),
            (Lines{"Запрос дампа архива:", "    Страница №3", "Запрос успешно отправлен", "",
                   "Результат операции: Нормальное  завершение", "", "Дамп:",
                   RemoveBlanks(BytesToHex(Page(3)))}));
  EXPECT_EQ(t.sink.percents, (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(t.sink.progressShown, 1);
  // Each page: the request and six reads (ACK, STX, length, answer, data, checksum).
  EXPECT_EQ(t.sink.protocol.size(), 21u);
}

TEST_F(Dump, OnePageModeIgnoresTheLastPageAndABackwardRangeSendsNothing) {
  Device();
  pageData = AskArchiveDump(t.session, true, file, 7, 2, true, false, true);
  EXPECT_EQ(FileBytes(), Page(7));
  Clear();
  // No page asked for: no page data comes back.
  pageData = AskArchiveDump(t.session, true, file, 5, 4, false, false, true);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(FileBytes(), "");
  EXPECT_TRUE(t.sink.result.empty());
  EXPECT_EQ(pageData, "");
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(Dump, ClosingTheProgressDisplayEndsAfterThePageInProgress) {
  Device();
  t.sink.closeAfterUpdates = 0;  // closed while the first page is awaited
  std::ofstream(file) << std::string(9999, 'x');
  pageData = AskArchiveDump(t.session, true, file, 0, 99, false, true, false);
  EXPECT_EQ(FileBytes(), Page(0));
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(Dump, AFileThatCannotBeCreatedFailsBeforeAnyRequest) {
  Device();
  const std::string bad = (dir / "no-such-folder" / "dump.bin").string();
  try {
    pageData = AskArchiveDump(t.session, true, bad, 0, 3, false, false, true);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Невозможно создать файл дампа \"" + bad + "\": ", 0), 0u);
  }
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(t.sink.result.empty());
}

TEST_F(Dump, AFailureKeepsTheWholePagesWrittenAndStops) {
  int step = 0;
  Device([&](const Bytes& request) {
    if (step++ < 2) return StandardReply(request);
    Bytes page = StandardReply(request);
    page.resize(page.size() - 100);  // a page cut short: the device falls silent
    return page;
  });
  try {
    pageData = AskArchiveDump(t.session, true, file, 0, 9, false, false, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Устройство не отвечает");
  }
  EXPECT_EQ(FileBytes(), Page(0) + Page(1));
  EXPECT_EQ(Requests().size(), 3u);
}

TEST_F(Dump, AnswerCodesAndChecksums) {
  Device([](const Bytes& request) {
    Bytes page = StandardReply(request);
    page.back() ^= 0xFF;
    return page;
  });
  EXPECT_THROW(pageData = AskArchiveDump(t.session, true, file, 0, 0, true, false, true),
               TEKLZException);
  EXPECT_EQ(t.sink.result.back(), "Некорректная контрольная сумма ответа. Запрос отменён");
  EXPECT_EQ(FileBytes(), "");
  // With CrcOff the page is shown and written as received.
  t.session.settings.CrcOff = true;
  pageData = AskArchiveDump(t.session, true, file, 0, 0, true, false, true);
  EXPECT_EQ(FileBytes(), Page(0));

  Device([](const Bytes& request) {
    Bytes page = StandardReply(request);
    page[3] = 0x01;
    page.back() ^= 0x01;
    return page;
  });
  try {
    pageData = AskArchiveDump(t.session, false, "", 0, 0, true, false, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Некорректный  формат или параметр команды");
  }
}

// A page reply holds one page or the device's answer: an error answer comes
// alone or followed by a page, and what arrives after its first byte tells
// which (the short form costs one byte wait); any other length with a good
// answer is refused. Nothing of a refused reply reaches the file.
TEST_F(Dump, APageReplyIsOnePageOrTheDevicesAnswer) {
  constexpr int kByteWait = 2000 + 10;
  struct Case {
    const char* name;
    Bytes reply;
    const char* message;
    int minMs, maxMs;
  } cases[] = {
      {"error answer without data", DeviceReply(0x01), "Некорректный  формат или параметр команды",
       kByteWait - 20, kByteWait + 400},
      {"error answer with a page", DeviceReply(0x01, Bytes(512, 0x11)),
       "Некорректный  формат или параметр команды", 0, 1500},
      {"failure answer with a page", DeviceReply(0x03, Bytes(512, 0x00)), "Авария  ЭКЛЗ", 0, 1500},
      {"length 02", DeviceReply(0, Bytes(513, 0x11)), "Некорректный ответ устройства", 0, 1500},
      {"length FF", DeviceReply(0, Bytes(766, 0x11)), "Некорректный ответ устройства", 0, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Device([&](const Bytes&) { return c.reply; });
    const auto start = std::chrono::steady_clock::now();
    try {
      pageData = AskArchiveDump(t.session, true, file, 0, 3, false, false, true);
      ADD_FAILURE() << "no failure";
    } catch (const TEKLZException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    EXPECT_EQ(FileBytes(), "");
    EXPECT_EQ(Requests().size(), 1u);
  }
}

}  // namespace
}  // namespace eklz::test
