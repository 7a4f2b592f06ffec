// The tester's protocol file: the raw exchange of a session as "==> "
// request lines, each followed by the "<== " lines of its reply pieces, as
// `eklz --protocol` writes it and the window saves its protocol view. The
// simulator replays such a file and the command line decodes it.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "codec/HexFrame.h"

namespace eklz {

// One request of the file and every reply byte recorded after it (all its
// "<== " lines joined; none when the device had not answered).
struct RecordedExchange {
  Bytes request;
  Bytes reply;
  int line = 0;  // the request's line in the file, from 1
};

// A protocol file that cannot be replayed; the message is Russian and names
// the line.
class ProtocolFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the text of a protocol file, as the command-line tester writes it
// (UTF-8, LF) or as the window saves its protocol view (Windows-1251,
// CR LF). Blank lines are skipped; every other line must be a request or a
// reply line of pairs of hexadecimal digits. Raises ProtocolFileError.
std::vector<RecordedExchange> ParseProtocol(const std::string& text);

// ParseProtocol of a file; a file that cannot be read raises
// ProtocolFileError too.
std::vector<RecordedExchange> ReadProtocolFile(const std::string& path);

}  // namespace eklz
