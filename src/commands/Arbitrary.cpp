#include "commands/Arbitrary.h"

#include "commands/Common.h"
#include "codec/Errors.h"

namespace eklz {

std::string RunArbitraryCommand(EklzSession& s, bool textForm, const std::string& frame,
                                bool fetchReport, bool resultOnly, bool decodeFragments,
                                bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение свободной команды:(HEX)" + frame, quiet);
  SendFrame(s, frame, logExchange);
  s.AppendResultLine(kRequestSent, quiet);
  const std::string reply = ReceiveReply(
      s, ReplyDelivery::FromChoices(textForm, fetchReport, resultOnly, decodeFragments), quiet,
      logExchange);
  s.AppendResultLine("Ответ ЭКЛЗ:" + reply, quiet);
  return reply;
}

CommandGrid::CommandGrid()
    : headers_{"STX", "Дл.", "Ком.", "CRC"}, values_{"02", "01", "00", ""} {
  RefreshGridChecksum();
}

void CommandGrid::SetCommandLength(int v) {
  if (v < 1) v = 1;
  const size_t columns = static_cast<size_t>(v) + 3;
  while (values_.size() > columns) {
    headers_[headers_.size() - 2] = headers_.back();
    values_[values_.size() - 2] = values_.back();
    headers_.pop_back();
    values_.pop_back();
  }
  while (values_.size() < columns) {
    headers_.push_back(headers_.back());
    values_.push_back(values_.back());
    headers_[headers_.size() - 2] = "Пар.";
    values_[values_.size() - 2] = "00";
  }
  values_[1] = IntToHex(static_cast<unsigned>(v) & 0xFF, 2);
  RefreshGridChecksum();
}

CommandGrid::Edit CommandGrid::SetValue(int column, const std::string& text) {
  if (column < 1 || column >= ColumnCount()) return Edit::NotHex;
  values_[column] = text;
  if (text.empty()) return Edit::Empty;
  // "$" and the text must read as a 32-bit hexadecimal integer.
  bool hex = text.size() <= 8;
  for (char c : text) hex = hex && HexDigitValue(c) >= 0;
  if (!hex) {
    values_[column].clear();
    return Edit::NotHex;
  }
  if (text.size() >= 3) {
    values_[column] = text.substr(0, 2);
    throw TEKLZException("Должно быть только две цифры");
  }
  RefreshGridChecksum();
  return Edit::Accepted;
}

std::string CommandGrid::FrameText(int columns) const {
  std::string out;
  for (int c = 0; c < columns; ++c) {
    out += (values_[c].size() == 1 ? "0" + values_[c] : values_[c]) + " ";
  }
  return out;
}

void CommandGrid::RefreshGridChecksum() {
  values_.back() = FrameChecksum(FrameText(ColumnCount() - 1));
}

std::string CommandGrid::ReadCommandGrid() const { return FrameText(ColumnCount()); }

}  // namespace eklz
