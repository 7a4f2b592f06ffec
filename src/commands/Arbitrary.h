// The arbitrary command: a frame typed byte by byte in a two-row grid, sent
// as it stands, its reply read as the operator chooses.
#pragma once

#include <string>
#include <vector>

#include "protocol/Session.h"

namespace eklz {

// Sends `frame` unchanged (a malformed frame fails in the conversion to
// bytes and is not sent) and reads the reply with the given flags. Returns
// the data as ReceiveReply delivers them.
std::string RunArbitraryCommand(EklzSession& s, bool textForm, const std::string& frame,
                                bool fetchReport, bool resultOnly, bool decodeFragments,
                                bool quiet, bool logExchange);

// The command grid without its widget: a header row and a value row, one
// column per frame byte. Column 0 is STX, 1 the length, 2 the command,
// 3..v+1 the parameters and the last the checksum, for v + 3 columns in all.
class CommandGrid {
 public:
  enum class Edit {
    Accepted,   // the cell holds the text and the checksum is current
    Empty,      // an empty cell: accepted, the checksum is not refreshed
    NotHex,     // not a hexadecimal number: the cell was emptied
  };

  CommandGrid();

  int ColumnCount() const { return static_cast<int>(values_.size()); }
  const std::string& Header(int column) const { return headers_[column]; }
  const std::string& Value(int column) const { return values_[column]; }

  // Resizes to v + 3 columns (dropping or appending parameter columns before
  // the checksum column), writes v into the length cell, refreshes the checksum.
  void SetCommandLength(int v);

  // The operator's edit of a value cell (columns 1 and up). Three or more
  // digits are cut to two and raise TEKLZException "Должно быть только две цифры".
  Edit SetValue(int column, const std::string& text);

  // Writes the checksum of every cell but the last into the last cell.
  void RefreshGridChecksum();

  // The frame text: each cell and a blank, a one-digit cell with a leading 0.
  std::string ReadCommandGrid() const;

  static constexpr const char* kNotHexMessage = "Вы ввели не 16-тиричное чило";
  static constexpr const char* kNotHexCaption = "Сообщение";

 private:
  std::string FrameText(int columns) const;

  std::vector<std::string> headers_;
  std::vector<std::string> values_;
};

}  // namespace eklz
