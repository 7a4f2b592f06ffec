// Replay of a recorded exchange: the simulator answers from a protocol file
// of the tester ("==> " request lines, each followed by the "<== " lines of
// its reply pieces) instead of from the device model.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/HexFrame.h"

namespace eklz::sim {

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

// The exchanges of a recording handed out in their order.
class Replay {
 public:
  explicit Replay(std::vector<RecordedExchange> exchanges) : exchanges_(std::move(exchanges)) {}

  // The recorded exchange whose turn it is; nullptr after the last one.
  const RecordedExchange* Next() const {
    return taken_ < exchanges_.size() ? &exchanges_[taken_] : nullptr;
  }
  // Whether `received` is the start of the next recorded request (all of it
  // included); false when every recorded request has been taken.
  bool CouldMatch(const Bytes& received) const;

  struct Step {
    size_t number = 0;  // of the exchange, from 1
    bool matched = false;
    const RecordedExchange* recorded = nullptr;  // nullptr: beyond the recording
  };
  // Takes the next recorded exchange for `request`. A request that differs
  // uses up its recorded exchange too, so that the one after it still meets
  // its own request.
  Step Take(const Bytes& request);

  size_t Size() const { return exchanges_.size(); }
  size_t Matched() const { return matched_; }
  size_t Differed() const { return differed_; }
  size_t Beyond() const { return beyond_; }
  // Every recorded exchange came and matched, and nothing more was asked.
  bool Complete() const { return matched_ == exchanges_.size() && differed_ == 0 && beyond_ == 0; }
  // "совпало 6 обменов из 7 записанных; не совпало: 1"
  std::string Summary() const;

 private:
  std::vector<RecordedExchange> exchanges_;
  size_t taken_ = 0;
  size_t matched_ = 0;
  size_t differed_ = 0;
  size_t beyond_ = 0;
};

}  // namespace eklz::sim
