// The exchange engine on an in-memory line: the request bytes, the protocol
// lines and the reply checks without a serial device, so the same suite runs
// on every system the core is built for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "codec/Errors.h"
#include "protocol/Exchange.h"
#include "support/Recording.h"

namespace eklz {
namespace {

using test::B;
using test::DeviceReply;
using test::RecordingSink;
using Lines = std::vector<std::string>;

// A device that answers each request written to it with the next scripted
// reply; after the script it stays silent for good. A purge drops what has
// arrived and not been read.
class ScriptedMemoryPort final : public TRSPort {
 public:
  ScriptedMemoryPort(std::deque<Bytes> replies, std::vector<Bytes>& requests)
      : TRSPort("memory", 9600), replies_(std::move(replies)), requests_(requests) {}

  void Purge() override { incoming_.clear(); }
  int ReadBytes(uint8_t* buffer, int count) override { return TakeBuffered(buffer, count); }
  int ReadByteWait(uint8_t* buffer, uint32_t) override { return ReadBytes(buffer, 1); }
  int TakeBuffered(uint8_t* buffer, int count) override {
    const size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), incoming_.size());
    std::copy_n(incoming_.begin(), n, buffer);
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int>(n);
  }
  size_t Write(const uint8_t* data, size_t size) override {
    requests_.emplace_back(data, data + size);
    if (!replies_.empty()) {
      incoming_.insert(incoming_.end(), replies_.front().begin(), replies_.front().end());
      replies_.pop_front();
    }
    return size;
  }

 private:
  std::deque<Bytes> replies_;
  std::vector<Bytes>& requests_;
  std::deque<uint8_t> incoming_;
};

class MemoryExchange : public ::testing::Test {
 protected:
  // Sends `frame` to a device that answers with `replies` and reads the reply.
  std::string Run(const std::string& frame, std::deque<Bytes> replies,
                  ReplyDelivery delivery = ReplyDelivery::ResultOnly()) {
    session.AttachPort(std::make_unique<ScriptedMemoryPort>(std::move(replies), requests));
    SendFrame(session, frame, true);
    return ReceiveReply(session, delivery, false, true);
  }

  RecordingSink sink;
  EklzSession session{sink};
  std::vector<Bytes> requests;
};

TEST_F(MemoryExchange, ASaleGoesOutWholeAndItsReplyIsCheckedAndLogged) {
  const std::string sale = "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B";
  EXPECT_EQ(Run(sale, {B("06 02 01 00 01")}), "Операция успешно выполнена");
  EXPECT_EQ(requests, std::vector<Bytes>{B(sale)});
  EXPECT_EQ(sink.protocol,
            (Lines{"==> " + sale, "<== 06", "<== 02", "<== 01", "<== 00", "<== ", "<== 01"}));
  EXPECT_EQ(sink.result, (Lines{"", "Состояние операции: Нормальное  завершение", ""}));
  EXPECT_EQ(session.LastAnswer.Code, 0);
}

TEST_F(MemoryExchange, TextRepliesAreConvertedFromCodePage866) {
  EXPECT_EQ(Run("02 01 AA AB", {DeviceReply(0, B("8F E0 A8"))}, ReplyDelivery::Text()), "При");
  EXPECT_EQ(Run("02 01 14 15", {DeviceReply(0, B("00 00 01 23 45"))}, ReplyDelivery::Hex()),
            "0000012345");
}

TEST_F(MemoryExchange, FailuresRaiseTheirMessages) {
  struct Row {
    const char* name;
    std::deque<Bytes> replies;
    std::string message;
  } rows[] = {
      {"NAK", {B("15")},
       "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)"},
      {"no STX", {B("06 03 01 00 01")}, "Не распознан STX ответа"},
      {"bad checksum", {B("06 02 01 00 02")}, "Некорректная контрольная сумма ответа"},
      {"answer code", {B("06 02 01 82 83")},
       "Некорректное состояние ЭКЛЗ\r\nЭКЛЗ близка к заполнению (предупреждение)"},
      {"silence", {}, "Устройство не отвечает"},
      {"reply cut short", {B("06 02 04 00 01")}, "Устройство не отвечает"},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      Run("02 01 06 07", std::move(row.replies));
      ADD_FAILURE() << "no failure";
    } catch (const TEKLZException& e) {
      EXPECT_EQ(e.what(), row.message);
    }
  }
}

}  // namespace
}  // namespace eklz
