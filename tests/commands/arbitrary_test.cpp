// The arbitrary command and its grid.
#include "commands/Arbitrary.h"
#include "commands/CommandTest.h"

namespace eklz::test {
namespace {

class Arbitrary : public CommandTest {
 protected:
  std::string reply;
};

Lines Headers(const CommandGrid& g) {
  Lines out;
  for (int c = 0; c < g.ColumnCount(); ++c) out.push_back(g.Header(c));
  return out;
}

TEST(CommandGridModel, StartsAsAFourByteFrameAndResizes) {
  CommandGrid g;
  EXPECT_EQ(g.ReadCommandGrid(), "02 01 00 01 ");
  EXPECT_EQ(g.SetValue(2, "7"), CommandGrid::Edit::Accepted);
  EXPECT_EQ(g.ReadCommandGrid(), "02 01 07 06 ");

  g.SetCommandLength(3);
  EXPECT_EQ(Headers(g), (Lines{"STX", "Дл.", "Ком.", "Пар.", "Пар.", "CRC"}));
  EXPECT_EQ(g.ReadCommandGrid(), "02 03 07 00 00 04 ");
  g.SetValue(4, "ab");
  EXPECT_EQ(g.ReadCommandGrid(), "02 03 07 00 ab AF ");
  g.SetCommandLength(13);  // ten more at once
  EXPECT_EQ(g.ColumnCount(), 16);
  EXPECT_EQ(g.Header(14), "Пар.");
  EXPECT_EQ(g.Value(4), "ab");
  g.SetCommandLength(1);
  EXPECT_EQ(Headers(g), (Lines{"STX", "Дл.", "Ком.", "CRC"}));
  EXPECT_EQ(g.ReadCommandGrid(), "02 01 07 06 ");
}

TEST(CommandGridModel, CellValidation) {
  CommandGrid g;
  EXPECT_EQ(g.SetValue(2, "G1"), CommandGrid::Edit::NotHex);
  EXPECT_EQ(g.Value(2), "");
  EXPECT_EQ(g.SetValue(2, "14"), CommandGrid::Edit::Accepted);
  try {
    g.SetValue(2, "145");
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Должно быть только две цифры");
  }
  EXPECT_EQ(g.Value(2), "14");
  EXPECT_EQ(g.SetValue(3, "77"), CommandGrid::Edit::Accepted);  // the checksum cell is recomputed
  EXPECT_EQ(g.ReadCommandGrid(), "02 01 14 15 ");
  // A length typed by hand is sent as typed.
  g.SetValue(1, "05");
  EXPECT_EQ(g.ReadCommandGrid(), "02 05 14 11 ");
  // An empty cell is accepted without a checksum refresh and makes a frame
  // that cannot be sent.
  EXPECT_EQ(g.SetValue(2, ""), CommandGrid::Edit::Empty);
  EXPECT_EQ(g.ReadCommandGrid(), "02 05  11 ");
}

TEST_F(Arbitrary, SendsTheFrameAsItStandsAndReadsAsChosen) {
  Device([](const Bytes& req) {
    if (req[2] == 0x05) return DeviceReply(8);
    return DeviceReply(0, B("03 00 00 00 01 00"));
  });
  reply = RunArbitraryCommand(t.session, false, "02 01 24 25 ", false, false, true, false, true);
  EXPECT_EQ(reply, "Скидка. Код фрагмента 03H\r\n    Сумма скидки:1.00\r\n");
  EXPECT_EQ(t.sink.result.front(), "Выполнение свободной команды:(HEX)02 01 24 25 ");
  EXPECT_EQ(t.sink.result[t.sink.result.size() - 3], "Ответ ЭКЛЗ:Скидка. Код фрагмента 03H");
  EXPECT_EQ(t.sink.protocol.front(), "==> 02 01 24 25 ");

  // Text form wins over fragment decoding; only the result text with resultOnly.
  reply = RunArbitraryCommand(t.session, true, "02 01 24 25 ", false, false, true, false, true);
  EXPECT_EQ(reply, std::string("\x03\x00\x00\x00\x01\x00", 6));
  Clear();
  reply = RunArbitraryCommand(t.session, false, "02 01 24 25 ", true, true, true, false, true);
  EXPECT_EQ(t.sink.result.back(), "Ответ ЭКЛЗ:Операция успешно выполнена");
  EXPECT_EQ(t.sink.protocol.size(), 7u);  // no report fetch
}

TEST_F(Arbitrary, AFrameWithAnEmptyCellIsNotSent) {
  Device();
  EXPECT_THROW(reply = RunArbitraryCommand(t.session, false, "02 01   01 ", false, false, false, false,
                                   true),
               EConvertError);
  EXPECT_TRUE(Requests().empty());
}

}  // namespace
}  // namespace eklz::test
