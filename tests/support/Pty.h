// A real pseudo-terminal pair for tests: the code under test opens the slave
// path like any serial port; the test plays the device on the master side.
#pragma once

#include <cstdint>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/HexFrame.h"
#include "protocol/Session.h"

namespace eklz::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }

  void Write(const Bytes& bytes);
  // Closes the master side: the device hangs up the line.
  void HangUp();
  // Reads whatever arrives within `timeoutMs` after the first byte stops
  // coming for `quietMs`.
  Bytes ReadAvailable(int timeoutMs, int quietMs = 50);
  // Reads one request frame (STX, L, L bytes, checksum); empty on time-out.
  Bytes ReadFrame(int timeoutMs = 5000);

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up between tests
  std::string slavePath_;
};

// A reply as the device sends it: ACK, STX, L, answer, data, checksum.
Bytes DeviceReply(uint8_t answer, const Bytes& data = {});

// "02 0B 10" -> bytes (test shorthand).
Bytes B(const std::string& hex);

// Plays a scripted device on the master side of a pty in its own thread.
class ScriptedPeer {
 public:
  using Script = std::function<void(PtyPair&)>;
  ScriptedPeer(PtyPair& pty, Script script);
  ~ScriptedPeer();  // joins
  void Join();

 private:
  std::thread thread_;
};

// A device on the master side that answers every request frame with what
// `responder` returns, until it is destroyed; it records the requests.
class RespondingPeer {
 public:
  using Responder = std::function<Bytes(const Bytes& request)>;
  RespondingPeer(PtyPair& pty, Responder responder);
  ~RespondingPeer();
  std::vector<Bytes> Requests() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Bytes> requests_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Records everything a session writes.
class RecordingSink : public OutputSink {
 public:
  void ResultLine(const std::string& line) override { result.push_back(line); }
  void ProtocolLine(const std::string& line) override { protocol.push_back(line); }
  void ExchangeStatus(const std::string& text) override { exchangeStatus = text; }
  void ConnectionStatus(const std::string& text) override { connectionStatus = text; }

  // Progress displays record their percentages here; the operator "closes"
  // the display once `closeAfterUpdates` updates have been shown (-1: never).
  std::unique_ptr<DumpProgress> CreateDumpProgress() override;

  std::vector<std::string> result;
  std::vector<std::string> protocol;
  std::string exchangeStatus;
  std::string connectionStatus;
  std::vector<int> percents;
  int progressShown = 0;
  int closeAfterUpdates = -1;
};

// A session on the slave side of a fresh pty, time-out T = 10 ms.
struct PtySession {
  PtySession();
  PtyPair pty;
  RecordingSink sink;
  EklzSession session;
};

}  // namespace eklz::test
