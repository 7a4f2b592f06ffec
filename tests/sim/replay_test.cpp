// Replay of a recorded exchange: the reader of the tester's protocol files,
// the order in which a recording is handed out, and the pty server answering
// from it with the tester's own port and exchange engine as the client.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "codec/Errors.h"
#include "protocol/Exchange.h"
#include "sim/PtyServer.h"
#include "sim/Replay.h"
#include "support/Pty.h"

namespace eklz::sim {
namespace {

using namespace std::chrono_literals;
using test::B;

std::string Message(const std::string& text) {
  try {
    ParseProtocol(text);
    return "";
  } catch (const ProtocolFileError& e) {
    return e.what();
  }
}

TEST(ReplayFile, ReadsTheCommandLinesFileAndTheWindowsSavedView) {
  // As eklz --protocol writes it: UTF-8, LF, each reply piece on its own
  // line, "<== " for a piece without bytes; the last request went unanswered.
  const std::string written =
      "==> 02 01 14 15\n<== 06\n<== 02\n<== 06\n<== 00\n<== 00 00 05 43 21\n<== 61\n"
      "==> 02 01 06 07\n<== 06\n<== 02\n<== 01\n<== 00\n<== \n<== 01\n"
      "==> 02 02 07 01 04\n<== \n";
  // As the window saves its protocol view: Windows-1251 with CR LF, here
  // also with a UTF-8 byte order mark, blank lines, stray blanks and a
  // marker whose blank an editor took away.
  const std::string saved =
      "\xEF\xBB\xBF==> 02 01 14 15\r\n<== 06 02 06 00\r\n\r\n  <== 00 00 05 43 21 \r\n<== 61\r\n"
      "==> 02 01 06 07\r\n<== 06 02 01 00\r\n<==\r\n<== 01\r\n\r\n==> 02 02 07 01 04\r\n";
  for (const std::string& text : {written, saved}) {
    const std::vector<RecordedExchange> e = ParseProtocol(text);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].request, B("02 01 14 15"));
    EXPECT_EQ(e[0].reply, B("06 02 06 00 00 00 05 43 21 61"));
    EXPECT_EQ(e[1].request, B("02 01 06 07"));
    EXPECT_EQ(e[1].reply, B("06 02 01 00 01"));
    EXPECT_EQ(e[2].request, B("02 02 07 01 04"));
    EXPECT_TRUE(e[2].reply.empty());
  }
  EXPECT_EQ(ParseProtocol(saved)[2].line, 11);
}

TEST(ReplayFile, RefusesWhatItCannotReplayNamingTheLine) {
  const struct {
    std::string text, message;
  } cases[] = {
      {"", "в файле нет ни одного запроса (строки \"==> \")"},
      {"\r\n  \r\n", "в файле нет ни одного запроса (строки \"==> \")"},
      {"\n<== 06\n==> 02 01 14 15\n", "строка 2: ответ раньше первого запроса"},
      {"==>\n", "строка 1: в строке запроса нет ни одного байта"},
      {"==> 02 01 14 15\nРезультат: 0\n",
       "строка 2: нужна строка запроса \"==> \" или ответа \"<== \", а не \"Результат: 0\""},
      // A Windows-1251 line is shown as text, a long one cut.
      {"\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5 " + std::string(60, 'x'),
       "строка 1: нужна строка запроса \"==> \" или ответа \"<== \", а не \"Состояние " +
           std::string(30, 'x') + "...\""},
      {"==> 02 0G 14\n", "строка 1: \"0G\" - не байт: нужны две шестнадцатеричные цифры"},
      {"==> 02 1 14\n", "строка 1: \"1\" - не байт: нужны две шестнадцатеричные цифры"},
      {"==> 02 01 14 15\n<== 06 020\n", "строка 2: \"020\" - не байт: нужны две шестнадцатеричные цифры"},
      {"==> 02,01\n", "строка 1: \"02,01\" - не байт: нужны две шестнадцатеричные цифры"},
  };
  for (const auto& c : cases) EXPECT_EQ(Message(c.text), c.message) << c.text;
}

TEST(ReplayFile, AFileThatCannotBeReadIsNamed) {
  const std::string missing = ::testing::TempDir() + "no-such-protocol.txt";
  try {
    ReadProtocolFile(missing);
    FAIL();
  } catch (const ProtocolFileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("не удалось открыть файл протокола " + missing + ": ", 0), 0u)
        << e.what();
  }
}

// A request that differs uses up its recorded exchange, so the next one
// still meets its own; requests past the end are counted apart.
TEST(ReplayOrder, EachRequestTakesTheNextRecordedExchange) {
  Replay replay(ParseProtocol("==> 01 02\n<== 0A\n==> 03\n<== 0B\n==> 04\n<== 0C\n"));
  EXPECT_TRUE(replay.CouldMatch(B("01")));
  EXPECT_TRUE(replay.CouldMatch(B("01 02")));
  EXPECT_FALSE(replay.CouldMatch(B("01 02 03")));
  EXPECT_FALSE(replay.CouldMatch(B("02")));

  Replay::Step s = replay.Take(B("01 02"));
  EXPECT_TRUE(s.matched);
  EXPECT_EQ(s.number, 1u);
  EXPECT_EQ(s.recorded->reply, B("0A"));
  EXPECT_EQ(replay.Summary(), "совпало 1 обмен из 3 записанных; не запрошено: 2");

  s = replay.Take(B("05"));
  EXPECT_FALSE(s.matched);
  EXPECT_EQ(s.recorded->request, B("03"));
  EXPECT_TRUE(replay.Take(B("04")).matched);
  EXPECT_FALSE(replay.CouldMatch(B("04")));
  s = replay.Take(B("04"));
  EXPECT_FALSE(s.matched);
  EXPECT_EQ(s.recorded, nullptr);
  EXPECT_EQ(s.number, 4u);
  EXPECT_EQ(replay.Summary(),
            "совпало 2 обмена из 3 записанных; не совпало: 1; запросов сверх записи: 1");
  EXPECT_FALSE(replay.Complete());

  Replay whole(ParseProtocol("==> 01\n<== 0A\n"));
  whole.Take(B("01"));
  EXPECT_TRUE(whole.Complete());
}

class ReplayServer : public ::testing::Test {
 protected:
  void Serve(const std::string& protocol) {
    replay = std::make_unique<Replay>(ParseProtocol(protocol));
    ServerOptions options;
    options.replay = replay.get();
    options.trace = [this](const std::string& line) { Keep(traced, line); };
    options.report = [this](const std::string& line) { Keep(reported, line); };
    server = std::make_unique<PtyServer>(device, std::move(options));
    server->Start();
    // Any speed: a recording knows of no rate of its own.
    session.OpenPort(server->SlavePath(), "57600", 10);
  }
  void TearDown() override {
    session.ClosePort();
    server.reset();
  }
  void Keep(std::vector<std::string>& lines, const std::string& line) {
    std::lock_guard lock(mutex);
    lines.push_back(line);
  }
  std::vector<std::string> Lines(const std::vector<std::string>& lines) {
    std::lock_guard lock(mutex);
    return lines;
  }
  std::string RegNumber() {
    SendFrame(session, "02 01 14 15", false);
    return ReceiveReply(session, ReplyDelivery::Hex(), true, false);
  }
  // Raw request bytes that get no answer; the server has taken them once
  // the line has been quiet for a while.
  void SendUnanswered(const std::string& hex) {
    const Bytes bytes = B(hex);
    session.Port().Write(bytes.data(), bytes.size());
    std::this_thread::sleep_for(200ms);
  }

  Device device;  // never asked
  std::unique_ptr<Replay> replay;
  std::unique_ptr<PtyServer> server;
  test::RecordingSink sink;
  EklzSession session{sink};
  std::mutex mutex;
  std::vector<std::string> traced, reported;
};

TEST_F(ReplayServer, MatchingRequestsGetTheRecordedBytesOthersNothing) {
  // The recorded reply is replayed as it was, a wrong checksum included.
  Serve(
      "==> 02 01 14 15\n<== 06\n<== 02\n<== 06\n<== 00\n<== 00 00 05 43 21\n<== 61\n"
      "==> 02 01 14 15\n<== 06 02 06 00 00 00 05 43 21 62\n"
      "==> 02 01 3C 3D\n<== 06 02 05 00 00 00 00 0B 0E\n"
      "==> 02 02 07 01 04\n<== 06 02 01 00 01\n");
  EXPECT_EQ(RegNumber(), "0000054321");
  try {
    RegNumber();
    ADD_FAILURE() << "a wrong checksum passed";
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Некорректная контрольная сумма ответа");
  }

  SendUnanswered("02 01 3C 3C");        // differs in its last byte
  SendUnanswered("02 02 07");           // stops short of the recorded request
  SendUnanswered("02 01 14 15");        // past the end of the recording
  EXPECT_EQ(Lines(reported), (std::vector<std::string>{
                                 "обмен 3 из 4 не совпал с записью (строка 10), ответа нет:",
                                 "  получен: 02 01 3C 3C",
                                 "  записан: 02 01 3C 3D",
                                 "обмен 4 из 4 не совпал с записью (строка 12), ответа нет:",
                                 "  получен: 02 02 07",
                                 "  записан: 02 02 07 01 04",
                                 "запрос 5 сверх записи (записано обменов: 4), ответа нет: 02 01 14 15",
                             }));
  // The trace shows each step: a reply line only where one was sent.
  EXPECT_EQ(Lines(traced), (std::vector<std::string>{
                               "==> 02 01 14 15  запрос регистрационного номера",
                               "<== 06 02 06 00 00 00 05 43 21 61  (обмен 1 из 4)",
                               "==> 02 01 14 15  запрос регистрационного номера",
                               "<== 06 02 06 00 00 00 05 43 21 62  (обмен 2 из 4)",
                               "==> 02 01 3C 3C  запрос текущего номера КПК",
                               "==> 02 02 07  запрос состояния",
                               "==> 02 01 14 15  запрос регистрационного номера",
                           }));
  server->Stop();
  EXPECT_EQ(replay->Summary(),
            "совпало 2 обмена из 4 записанных; не совпало: 2; запросов сверх записи: 1");
}

}  // namespace
}  // namespace eklz::sim
