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

#include "codec/HexFrame.h"
#include "protocol/Session.h"
#include "support/Recording.h"

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

// A session on the slave side of a fresh pty, time-out T = 10 ms.
struct PtySession {
  PtySession();
  PtyPair pty;
  RecordingSink sink;
  EklzSession session;
};

}  // namespace eklz::test
