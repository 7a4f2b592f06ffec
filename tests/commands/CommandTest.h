// A session on a pty with a device that answers every command well.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codec/Errors.h"
#include "support/Pty.h"

namespace eklz::test {

using Lines = std::vector<std::string>;

// A good reply for each command: the data layouts the tester expects
// (20 and 26 status bytes, a 7-byte KPK line, a 512-byte page, 90 dump
// bytes); report data requests get "no more data".
Bytes StandardReply(const Bytes& request);

class CommandTest : public ::testing::Test {
 protected:
  // Starts the device; `responder` defaults to StandardReply.
  void Device(RespondingPeer::Responder responder = StandardReply) {
    device.reset();
    device = std::make_unique<RespondingPeer>(t.pty, std::move(responder));
  }
  std::vector<Bytes> Requests() { return device ? device->Requests() : std::vector<Bytes>{}; }
  void Clear() {
    t.sink.result.clear();
    t.sink.protocol.clear();
  }

  PtySession t;
  std::unique_ptr<RespondingPeer> device;
};

// One operation and the exact request it must send.
struct FrameCase {
  const char* name;
  std::function<void(EklzSession&)> run;
  const char* frame;
};

// Runs every case against `device` and compares the first request each sends.
void ExpectFrames(PtySession& t, RespondingPeer& device, const std::vector<FrameCase>& cases);

// Expects `run` to fail with TEKLZException `message` without sending
// anything (no request line in the protocol view).
void ExpectRefused(PtySession& t, const std::function<void()>& run, const std::string& message);

}  // namespace eklz::test
