// Test pieces that need no serial line: device replies written as bytes and
// a sink that records everything a session writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/HexFrame.h"
#include "protocol/Session.h"

namespace eklz::test {

// A reply as the device sends it: ACK, STX, L, answer, data, checksum.
Bytes DeviceReply(uint8_t answer, const Bytes& data = {});

// "02 0B 10" -> bytes (test shorthand).
Bytes B(const std::string& hex);

// Records everything a session writes.
class RecordingSink : public OutputSink {
 public:
  void ResultLine(const std::string& line) override { result.push_back(line); }
  void ProtocolLine(const std::string& line) override { protocol.push_back(line); }
  void ExchangeStatus(const std::string& text) override { exchangeStatus = text; }
  void ConnectionStatus(const std::string& text) override { connectionStatus = text; }
  // Keeps the latest of each particular, as the window does for the repair request.
  void ParticularsLearned(const KkmParticulars& learned) override { kkm.Update(learned); }

  // Progress displays record their percentages here; the operator "closes"
  // the display once `closeAfterUpdates` updates have been shown (-1: never).
  std::unique_ptr<DumpProgress> CreateDumpProgress() override;

  std::vector<std::string> result;
  std::vector<std::string> protocol;
  std::string exchangeStatus;
  std::string connectionStatus;
  KkmParticulars kkm;
  std::vector<int> percents;
  std::vector<uint32_t> lineRates;  // of each dump, as its progress display was told
  int progressShown = 0;
  int closeAfterUpdates = -1;
};

}  // namespace eklz::test
