// The exchange engine against a scripted device on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "codec/Errors.h"
#include "protocol/Exchange.h"
#include "protocol/ReportData.h"
#include "support/Pty.h"

namespace eklz {
namespace {

using test::B;
using test::DeviceReply;
using test::PtyPair;
using test::PtySession;
using test::ScriptedPeer;
using Lines = std::vector<std::string>;

const std::string kSale = "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B";
const std::string kNak =
    "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)";
const std::string kWarning = "ЭКЛЗ близка к заполнению (предупреждение)";

struct Flags {
  bool withPrefix = false, textForm = false, fetchReport = false, resultOnly = false,
       decodeFragments = false;
  std::string prefix;
  bool quiet = false, logExchange = true, wait4s = false;
};

class Exchange : public ::testing::Test {
 protected:
  // Sends `frame`, lets the device answer with `reply`, and reads the reply.
  std::string Run(const std::string& frame, const Bytes& reply, const Flags& f = {}) {
    ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
      request = pty.ReadFrame();
      pty.Write(reply);
    });
    SendFrame(t.session, frame, f.logExchange);
    ReplyDelivery delivery =
        ReplyDelivery::FromChoices(f.textForm, f.fetchReport, f.resultOnly, f.decodeFragments);
    if (f.withPrefix) delivery.prefix = f.prefix;
    delivery.wait4s = f.wait4s;
    return ReceiveReply(t.session, delivery, f.quiet, f.logExchange);
  }

  PtySession t;
  Bytes request;
};

TEST_F(Exchange, TheSaleWorkedExampleGivesItsFrameAndSevenProtocolLines) {
  Flags f;
  f.resultOnly = true;
  EXPECT_EQ(Run(kSale, B("06 02 01 00 01"), f), "Операция успешно выполнена");
  EXPECT_EQ(request, B(kSale));
  EXPECT_EQ(t.sink.protocol, (Lines{"==> " + kSale, "<== 06", "<== 02", "<== 01", "<== 00",
                                    "<== ", "<== 01"}));
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", ""}));
  EXPECT_EQ(t.sink.exchangeStatus, "Успешное чтение");
  EXPECT_EQ(t.session.LastAnswer.Code, 0);
}

TEST_F(Exchange, DeliveryForms) {
  // No delivery flag: the data as digits without blanks; none gives nothing.
  EXPECT_EQ(Run("02 01 14 15", DeviceReply(0, B("00 00 01 23 45"))), "0000012345");
  EXPECT_EQ(Run("02 01 14 15", B("06 02 01 00 01")), "");
  // Text form: CP866 bytes become text.
  Flags text;
  text.textForm = true;
  EXPECT_EQ(Run("02 01 AA AB", DeviceReply(0, B("8F E0 A8"))), "8FE0A8");
  EXPECT_EQ(Run("02 01 AA AB", DeviceReply(0, B("8F E0 A8")), text), "При");
  // Fragments, with the prefix put in front of the data.
  Flags kpk;
  kpk.decodeFragments = kpk.withPrefix = true;
  kpk.prefix = "0B";
  EXPECT_EQ(Run("02 07 19 05 01 19 16 47 01 5D", DeviceReply(0, B("00 00 01 23 A1 B2 C3")), kpk),
            "Строка КПК. Код фрагмента 0BH\r\n    Номер КПК:00000123\r\n"
            "    Значение КПК:A1B2C3\r\n");
}

TEST_F(Exchange, AZeroLengthByteReadsNoDataAndChecksumsLengthAndAnswer) {
  EXPECT_EQ(Run("02 01 06 07", B("06 02 00 00 00")), "");
  EXPECT_EQ(t.sink.protocol, (Lines{"==> 02 01 06 07", "<== 06", "<== 02", "<== 00", "<== 00",
                                    "<== ", "<== 00"}));
}

TEST_F(Exchange, TheWarningBitIsSuccessWithATwoLineState) {
  Flags f;
  f.resultOnly = true;
  EXPECT_EQ(Run("02 01 06 07", B("06 02 01 80 81"), f), "Операция успешно выполнена");
  EXPECT_EQ(t.sink.result,
            (Lines{"", "Состояние операции: Нормальное  завершение", kWarning, ""}));
  EXPECT_TRUE(t.session.LastAnswer.NearlyFull);
}

TEST_F(Exchange, CrcOffAcceptsABadChecksumWithoutAWord) {
  t.session.settings.CrcOff = true;
  Flags f;
  f.resultOnly = true;
  EXPECT_EQ(Run("02 01 06 07", B("06 02 01 00 02"), f), "Операция успешно выполнена");
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", ""}));
}

// Every failure row: the raised message, the result-view lines and whether
// the port was purged. The device follows the failing reply with two junk
// bytes, then (after the failure) with a marker: a purged port reads the
// marker first.
TEST_F(Exchange, FailureTable) {
  struct Row {
    const char* name;
    Bytes reply;
    std::string message;
    Lines result;
    bool purged;
  } rows[] = {
      {"NAK", B("15"), kNak, {kNak, "Запрос отменён"}, true},
      {"ACK skipped", B("02 01 00 01"), "Некорректный ответ устройства",
       {"Некорректный ответ устройства", "Запрос отменён"}, true},
      {"no STX", B("06 03 01 00 01"), "Не распознан STX ответа",
       {"Не распознан STX ответа", "Запрос отменён"}, true},
      {"bad checksum", B("06 02 01 00 02"), "Некорректная контрольная сумма ответа",
       {"Некорректная контрольная сумма ответа. Запрос отменён"}, false},
      {"answer code", B("06 02 01 82 83"), "Некорректное состояние ЭКЛЗ\r\n" + kWarning,
       {"", "Состояние операции: Некорректное состояние ЭКЛЗ", kWarning, ""}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    t.sink.result.clear();
    std::promise<void> failed;
    ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
      pty.ReadFrame();
      Bytes withJunk = row.reply;
      withJunk.push_back(0xEE);
      withJunk.push_back(0xEE);
      pty.Write(withJunk);
      failed.get_future().wait();
      pty.Write({0x77});
    });
    std::string data;
    SendFrame(t.session, "02 01 06 07", true);
    try {
      data = ReceiveReply(t.session, ReplyDelivery::FromChoices(false, false, true, false), false, true);
      ADD_FAILURE() << "no failure";
    } catch (const TEKLZException& e) {
      EXPECT_EQ(e.what(), row.message);
    }
    failed.set_value();
    EXPECT_EQ(t.sink.result, row.result);
    uint8_t first = 0;
    ASSERT_EQ(t.session.Port().ReadByteWait(&first, 100), 1);
    EXPECT_EQ(first, row.purged ? 0x77 : 0xEE);
    peer.Join();
    t.session.Port().Purge();
  }
}

TEST_F(Exchange, ASilentDeviceEndsWithNoReplyAfterTheByteTimeOut) {
  const auto start = std::chrono::steady_clock::now();
  std::string data;
  SendFrame(t.session, "02 01 06 07", true);
  try {
    data = ReceiveReply(t.session, ReplyDelivery::FromChoices(false, false, true, false), false, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Устройство не отвечает");
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
  EXPECT_EQ(t.sink.protocol, (Lines{"==> 02 01 06 07", "<== "}));
  EXPECT_TRUE(t.sink.result.empty());
  EXPECT_EQ(t.sink.exchangeStatus, "Нет ответа");
}

TEST_F(Exchange, APartialReplyLogsWhatCameBeforeTheSilence) {
  Flags f;
  f.resultOnly = true;
  ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
    pty.ReadFrame();
    pty.Write(B("06 02 05 00 11 22"));  // two of four data bytes
  });
  SendFrame(t.session, "02 01 06 07", true);
  std::string data;
  EXPECT_THROW(data = ReceiveReply(t.session, ReplyDelivery::FromChoices(false, false, true, false), false, true),
               TEKLZException);
  EXPECT_EQ(t.sink.protocol.back(), "<== 11 22 ");
}

TEST_F(Exchange, Wait4sAnnouncesAndWaitsAfterTheAck) {
  Flags f;
  f.resultOnly = f.wait4s = true;
  const auto start = std::chrono::steady_clock::now();
  Run("02 01 26 27", B("06 02 01 00 01"), f);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
  EXPECT_EQ(t.sink.result, (Lines{"Задержка 4 секунды на выполнение операции...", "",
                                  "Состояние операции: Нормальное  завершение", ""}));
}

TEST_F(Exchange, QuietWritesNoResultLinesAndUnloggedWritesNoProtocol) {
  Flags f;
  f.resultOnly = f.quiet = true;
  f.logExchange = false;
  Run("02 01 06 07", B("06 02 01 00 01"), f);
  EXPECT_TRUE(t.sink.result.empty());
  EXPECT_TRUE(t.sink.protocol.empty());
}

// A text report of three further fragments, the fourth request answered with
// code 8 and the near-full bit. The fetch is always logged, the query itself
// only when asked; the fragments are written indented, the first one is the
// delivered data.
TEST_F(Exchange, AReportIsFetchedToItsEnd) {
  std::vector<Bytes> requests;
  ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
    requests.push_back(pty.ReadFrame());
    pty.Write(DeviceReply(0, B("8F E0 A8")));  // "При"
    const char* lines[] = {"31", "32 33", "34"};
    for (const char* l : lines) {
      requests.push_back(pty.ReadFrame());
      pty.Write(DeviceReply(0, B(l)));
    }
    requests.push_back(pty.ReadFrame());
    pty.Write(DeviceReply(0x88));
  });
  std::string data;
  SendFrame(t.session, "02 03 A0 00 01 A2", false);
  data = ReceiveReply(t.session, ReplyDelivery::FromChoices(true, true, false, true), false, false);
  peer.Join();
  EXPECT_EQ(data, "При");
  ASSERT_EQ(requests.size(), 5u);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(requests[i], B("02 01 05 04"));
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", "", "    1",
                                  "    23", "    4"}));
  const Lines fetch = {"==> 02 01 05 04", "<== 06", "<== 02", "<== 02", "<== 00"};
  ASSERT_EQ(t.sink.protocol.size(), 4u * 7u);
  EXPECT_EQ(Lines(t.sink.protocol.begin(), t.sink.protocol.begin() + 5), fetch);
  EXPECT_EQ(t.sink.protocol[21], "==> 02 01 05 04");
  EXPECT_EQ(t.sink.protocol[25], "<== 88");
}

TEST_F(Exchange, NumericReportFragmentsAreDecodedAndAFetchFailureShowsNone) {
  ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
    pty.ReadFrame();
    pty.Write(DeviceReply(0, B("03 00 00 00 01 00")));
    pty.ReadFrame();
    pty.Write(DeviceReply(0, B("0E 00 0C 05 01 19 09 30 01")));
    pty.ReadFrame();
    pty.Write(DeviceReply(0));  // a good answer without data ends the report
  });
  std::string data;
  SendFrame(t.session, "02 03 20 00 01 22", true);
  data = ReceiveReply(t.session, ReplyDelivery::FromChoices(false, true, false, true), false, true);
  peer.Join();
  EXPECT_EQ(data, "Скидка. Код фрагмента 03H\r\n    Сумма скидки:1.00\r\n");
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", "",
                                  "    Заголовок смены. Код фрагмента 0EH", "    Смена:12",
                                  "    Дата:19.01.05", "    Время:09:30", "    Код оператора:1",
                                  ""}));

  t.sink.result.clear();
  ScriptedPeer failing(t.pty, [&](PtyPair& pty) {
    pty.ReadFrame();
    pty.Write(DeviceReply(0, B("03 00 00 00 01 00")));
    pty.ReadFrame();
    pty.Write(DeviceReply(0, B("03 00 00 00 02 00")));
    pty.ReadFrame();
    pty.Write(DeviceReply(0x03));
  });
  SendFrame(t.session, "02 03 20 00 01 22", true);
  try {
    data = ReceiveReply(t.session, ReplyDelivery::FromChoices(false, true, false, true), false, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Авария  ЭКЛЗ");
  }
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", ""}));
}

// A device that never ends its report: the fetch stops once the report is
// longer than the whole archive (4 MiB), shows none of it and says why.
TEST_F(Exchange, AnEndlessReportStopsAtTheArchiveSize) {
  const Bytes line(254, 0x31);
  test::RespondingPeer peer(t.pty, [&](const Bytes&) { return DeviceReply(0, line); });
  SendFrame(t.session, "02 03 A0 00 01 A2", false);
  try {
    ReceiveReply(t.session, ReplyDelivery::FromChoices(true, true, false, false), false, false);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Отчёт ЭКЛЗ длиннее всего её архива: чтение отчёта прекращено");
  }
  EXPECT_EQ(peer.Requests().size(), 1u + 4194304u / 254u + 1u);
  EXPECT_EQ(t.sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", "",
                                  "Отчёт ЭКЛЗ длиннее всего её архива: чтение отчёта прекращено"}));
}

TEST_F(Exchange, RequestReportDataEndsOnCodeEight) {
  ScriptedPeer peer(t.pty, [&](PtyPair& pty) {
    pty.ReadFrame();
    pty.Write(DeviceReply(8));
  });
  EXPECT_EQ(RequestReportData(t.session, 1, false, true, true).text, "");
  EXPECT_EQ(t.session.LastAnswer.Code, 8);
  EXPECT_TRUE(t.sink.result.empty());
}

// Device text never reaches a view as raw control bytes: a line ends at a
// NUL, as a text control shows it, and other control characters are blanks.
TEST_F(Exchange, ResultLinesEndAtANulAndShowControlCharactersAsBlanks) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"ver 3.0 01.2002 \0ЭКЛЗ"s, {"ver 3.0 01.2002 "}},
      {"a\x01" "b\x1B[2Jc\x7F"s, {"a b [2Jc "}},
      {"lone\rCR and\nLF"s, {"lone CR and LF"}},
      {"one\r\ntwo\0three\r\n\0"s, {"one", "two", ""}},
      {"\tПривет"s, {"\tПривет"}},
  };
  for (const auto& c : cases) {
    t.sink.result.clear();
    t.session.AppendResultLine(c.text, false);
    EXPECT_EQ(t.sink.result, c.lines) << c.text;
  }
}

TEST_F(Exchange, NoLinkMeansNoConnection) {
  t.session.ClosePort();
  try {
    SendFrame(t.session, "02 01 06 07", true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Нет соединения");
  }
}

}  // namespace
}  // namespace eklz
