// Puts a simulated EKLZ on a pseudo-terminal: clients open the slave path
// like a serial port. Reads request frames from the master side, lets the
// device answer (or a recording, see ServerOptions::replay) and writes the
// replies, with the faults of a FaultPlan.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "sim/Device.h"
#include "sim/Faults.h"
#include "sim/Replay.h"

namespace eklz::sim {

// Pseudo-terminals that receive a copy of the line's traffic, as a monitor
// cable gives it: one for what the cash register sends and one for what the
// EKLZ sends (Split), or one for both (Merged).
enum class TapMode { None, Split, Merged };

struct ServerOptions {
  bool rateCheck = true;      // ignore requests sent at another line speed than the device's
  bool exitOnHangup = false;  // stop when the last client closes the line
  FaultPlan faults;
  std::string linkPath;       // non-empty: a symbolic link to the slave, removed at the end
  int quietMs = 50;           // after a rejected request, input is dropped until the line is this quiet
  int stallMs = 500;          // a request that stops coming for this long is dropped
  // Called on the server thread after each request the device handled.
  std::function<void(const Device&)> afterRequest;
  // Called on the server thread with one line for each request and reply
  // (hexadecimal, with the command's name) and for each request ignored,
  // with the reason.
  std::function<void(const std::string&)> trace;
  // Non-null: the requests are answered from this recording, not by the
  // device. A request is taken as soon as it equals the next recorded one,
  // else once the line has been quiet for quietMs; one that differs gets no
  // answer. The line's speed is the client's; pacing follows it.
  Replay* replay = nullptr;
  // Called on the server thread with the lines that are always shown: a
  // replayed request that differs from the recording, with both frames.
  std::function<void(const std::string&)> report;
  // Taps of the line; with linkPath, each also gets a link: the line's link
  // with ".kkm", ".eklz" or ".both" appended.
  TapMode tap = TapMode::None;
};

enum class StopReason { Stopped, ClientHungUp, HungUp };

class PtyServer {
 public:
  // Opens the pseudo-terminal (and the link). Raises std::runtime_error.
  PtyServer(Device& device, ServerOptions options);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  // The taps' lines: what the cash register sends and what the EKLZ sends
  // (the same path twice for a merged tap); empty without taps.
  const std::string& KkmTapPath() const { return kkmTap_.path; }
  const std::string& EklzTapPath() const { return eklzTap_.path; }

  // Serves in the calling thread until stopped or hung up.
  StopReason Run();
  // Serves on a thread of its own; Stop asks it to end and joins it.
  void Start();
  StopReason Stop();
  // Joins a thread that ends by itself (a hang-up).
  StopReason Wait();
  // Asks Run to return. Safe in a signal handler.
  void RequestStop();

  // Complete request frames received so far.
  uint64_t Requests() const { return requests_.load(); }
  // Replies spoilt at random so far (FaultPlan::spoilRate).
  uint64_t Spoiled() const { return spoiled_.load(); }

 private:
  using Clock = std::chrono::steady_clock;
  // Differs: a replayed request that has left the recording, taken whole
  // once the line goes quiet.
  enum class Input { Idle, Frame, Discard, Differs };

  void OnBytes(const uint8_t* data, size_t size);
  void OnFrame();
  void OnReplayBytes(const uint8_t* data, size_t size);
  void OnReplayRequest();
  // Starts sending `response`. With pacing, a reply to a request of
  // `requestBytes` bytes starts once they would have crossed the line.
  void Send(Response response, uint32_t baud, size_t requestBytes = 0);
  bool ClientRateMatches() const;
  uint32_t ClientBaud() const;  // the speed the client set its port to
  void Flush();                 // writes what is due
  // How long poll may sleep: until the next byte is due or a quiet or
  // stall time runs out; nullopt while nothing waits for a time.
  std::optional<Clock::duration> TimeToNextEvent() const;
  Clock::time_point DueTime(size_t index) const;
  void OnClientEvents();        // inotify: opens and closes of the slave
  void Trace(const std::string& line) const;
  void Report(const std::string& line) const;
  void ClientGone();
  void CloseLine();

  // One tap: a pseudo-terminal whose master gets a copy of the bytes.
  struct Tap {
    int master = -1;
    int slave = -1;  // our own, so that the tap never hangs up
    std::string path;
    std::string link;
  };
  void OpenTap(Tap& tap, const std::string& linkSuffix);
  static void CopyTo(const Tap& tap, const uint8_t* data, size_t size);
  static void CloseTap(Tap& tap);

  Device& device_;
  ServerOptions options_;
  int master_ = -1;
  int slave_ = -1;      // our own slave descriptor, see the constructor
  int notify_ = -1;
  int wake_[2] = {-1, -1};
  std::string slavePath_;
  bool linked_ = false;
  Tap kkmTap_, eklzTap_;  // the same tap twice when merged
  int clients_ = 0;

  Input input_ = Input::Idle;
  Bytes frame_;
  Clock::time_point lastByte_;
  Clock::time_point frameStart_;  // when the request's first byte came

  // The reply being sent: byte i is due at start + i * byteDelay, plus
  // (i + 1) * pace when paced (the time its ten bits take on the line), plus
  // holdMs from byte holdAt on.
  Bytes out_;
  size_t sent_ = 0;
  size_t holdAt_ = 0;
  std::chrono::milliseconds hold_{0};
  std::chrono::milliseconds byteDelay_{0};
  std::chrono::nanoseconds pace_{0};
  Clock::time_point outStart_;

  std::atomic<uint64_t> requests_{0};
  RandomSpoiler spoiler_;
  std::atomic<uint64_t> spoiled_{0};
  bool hungUp_ = false;
  std::thread thread_;
  StopReason reason_ = StopReason::Stopped;
};

}  // namespace eklz::sim
