#include "sim/Options.h"

#include <cctype>
#include <cstdlib>

#include "protocol/CodePage.h"
#include "sim/Device.h"

namespace eklz::sim {

namespace {

std::invalid_argument Bad(const std::string& option, const std::string& why) {
  return std::invalid_argument(option + ": " + why);
}

int ParseCount(const std::string& option, const std::string& text) {
  if (text.empty() || text.size() > 9) throw Bad(option, "expected a whole number");
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) throw Bad(option, "expected a whole number");
  }
  return std::stoi(text);
}

uint32_t ParseHex(const std::string& option, const std::string& text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) throw Bad(option, "expected hexadecimal digits");
  uint32_t v = 0;
  for (char c : text) {
    const int d = HexDigitValue(c);
    if (d < 0) throw Bad(option, "expected hexadecimal digits");
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

// A text with the escapes \0, \xHH and \\, converted to CP866; the
// escaped bytes are taken as they are.
std::string ParseVersionText(const std::string& option, const std::string& text) {
  std::string out, run;
  auto flush = [&] {
    try {
      out += Utf8ToCp866(run);
    } catch (const std::exception&) {
      throw Bad(option, "a character that code page 866 does not have");
    }
    run.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      run += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == '\\') {
      run += '\\';
      continue;
    }
    flush();
    if (next == '0') {
      out += '\0';
    } else if (next == 'x' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      throw Bad(option, std::string("unknown escape \\") + next);
    }
  }
  flush();
  if (out.empty() || out.size() > 200) throw Bad(option, "expected 1 to 200 characters");
  return out;
}

}  // namespace

SimOptions ParseOptions(const std::vector<std::string>& args) {
  SimOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    auto take = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw Bad(name, "a value is missing");
      return args[++i];
    };
    auto flag = [&](bool& target) {
      if (hasValue) throw Bad(name, "takes no value");
      target = true;
    };

    if (name == "-h" || name == "--help") {
      flag(o.help);
    } else if (name == "--link") {
      o.linkPath = take();
      if (o.linkPath.empty()) throw Bad(name, "expected a path");
    } else if (name == "--rate") {
      const std::string v = take();
      o.rate = static_cast<uint32_t>(ParseCount(name, v));
      if (Device::CodeOfRate(o.rate) < 0) throw Bad(name, "expected 2400, 4800, 9600, 19200, 38400 or 57600");
    } else if (name == "--no-rate-check") {
      bool off = false;
      flag(off);
      o.rateCheck = false;
    } else if (name == "--exit-on-hangup") {
      flag(o.exitOnHangup);
    } else if (name == "--start") {
      const std::string v = take();
      if (v != "new" && v != "demo") throw Bad(name, "expected new or demo");
      o.demo = v == "demo";
    } else if (name == "--state-file") {
      o.stateFile = take();
      if (o.stateFile.empty()) throw Bad(name, "expected a path");
    } else if (name == "--eklz-number") {
      const std::string v = take();
      if (v.size() != 10 || v.find_first_not_of("0123456789") != std::string::npos) {
        throw Bad(name, "expected 10 decimal digits");
      }
      o.identity.eklzNumber = v;
    } else if (name == "--processor-serial") {
      o.identity.processorSerial = ParseHex(name, take(), 8);
    } else if (name == "--version-text") {
      o.identity.version = ParseVersionText(name, take());
    } else if (name == "--silent") {
      flag(o.faults.silent);
    } else if (name == "--silent-after") {
      o.faults.silentAfter = ParseCount(name, take());
    } else if (name == "--cut-reply") {
      o.faults.cutAt = ParseCount(name, take());
    } else if (name == "--nak") {
      flag(o.faults.nak);
    } else if (name == "--wrong-ack") {
      o.faults.firstByte = static_cast<uint8_t>(ParseHex(name, take(), 2));
    } else if (name == "--wrong-stx") {
      o.faults.stxByte = static_cast<uint8_t>(ParseHex(name, take(), 2));
    } else if (name == "--bad-checksum") {
      flag(o.faults.badChecksum);
    } else if (name == "--answer") {
      const std::string v = take();
      const size_t colon = v.find(':');
      if (colon == std::string::npos) throw Bad(name, "expected COMMAND:ANSWER in hexadecimal");
      const auto command = static_cast<uint8_t>(ParseHex(name, v.substr(0, colon), 2));
      o.faults.answers[command] = static_cast<uint8_t>(ParseHex(name, v.substr(colon + 1), 2));
    } else if (name == "--nearly-full") {
      flag(o.faults.nearlyFull);
    } else if (name == "--archive-damaged") {
      flag(o.faults.archiveDamaged);
    } else if (name == "--byte-delay") {
      o.faults.byteDelayMs = ParseCount(name, take());
    } else if (name == "--pace") {
      flag(o.faults.pace);
    } else if (name == "--spoil") {
      // PROBABILITY[:SEED], the probability a decimal fraction from 0 to 1.
      const std::string v = take();
      const size_t colon = v.find(':');
      const std::string p = v.substr(0, colon);
      char* end = nullptr;
      const double rate = p.empty() || !std::isdigit(static_cast<unsigned char>(p[0]))
                              ? -1
                              : std::strtod(p.c_str(), &end);
      if (rate < 0 || rate > 1 || end != p.c_str() + p.size()) {
        throw Bad(name, "expected a probability from 0 to 1, optionally :SEED");
      }
      o.faults.spoilRate = rate;
      if (colon != std::string::npos) {
        o.faults.spoilSeed = static_cast<uint32_t>(ParseCount(name, v.substr(colon + 1)));
      }
    } else if (name == "--hangup-after") {
      o.faults.hangupAfter = ParseCount(name, take());
    } else {
      throw std::invalid_argument("unknown option " + args[i]);
    }
  }
  return o;
}

std::string HelpText() {
  return R"(Usage: eklz-sim [OPTION]...
A simulated EKLZ on a pseudo-terminal. The first line of output is the
path of the line to open as the serial port (for example /dev/pts/3).
It serves requests until interrupted (Ctrl+C, SIGTERM).

Line:
  --link PATH            also make PATH a symbolic link to the line;
                         removed on exit
  --rate BAUD            the device's rate at start: 2400, 4800, 9600,
                         19200, 38400 or 57600 (default 9600)
  --no-rate-check        answer requests whatever line speed the client
                         set (by default a request sent at another speed
                         than the device's goes unanswered)
  --exit-on-hangup       stop when the client closes the line

State:
  --start new|demo       new: factory-new, not activated, empty archive
                         (default); demo: activated, three closed shifts
                         with documents
  --state-file PATH      load the state from PATH when it exists (instead
                         of --start), save it there after every change
                         and on exit
  --eklz-number DIGITS   EKLZ registration number, 10 digits
                         (default 0000054321)
  --processor-serial HEX serial number of the processor, 8 hexadecimal
                         digits (default 1A2B3C4D)
  --version-text TEXT    reply to the version query; \0, \xHH and \\ are
                         a NUL, a byte and a backslash (default
                         "ver 3.0 01.2002 \0" and four characters)

Faults:
  --silent               never answer
  --silent-after N       answer N requests, then nothing
  --cut-reply K          send only the first K bytes of every reply
  --nak                  answer every request with NAK (15)
  --wrong-ack HH         send byte HH instead of the ACK
  --wrong-stx HH         send byte HH instead of the reply's STX
  --bad-checksum         spoil the checksum of every reply
  --answer CMD:CODE      answer command CMD with the answer byte CODE
                         (both hexadecimal, e.g. 10:02); a failure code
                         leaves the device as it was; repeatable
  --nearly-full          set the near-full bit (80) in every answer
  --archive-damaged      answer 03 to the archive test
  --byte-delay MS        wait MS milliseconds before each reply byte
                         after the first
  --pace                 send replies at the device's baud rate
                         (10 bits a byte)
  --hangup-after N       answer N requests, then close the line and exit
  --spoil P[:SEED]       spoil each reply with probability P (0 to 1) by
                         a fault drawn at random: silence, a cut reply,
                         NAK, a wrong ACK or STX, a bad checksum, an
                         error answer or a garbage byte; SEED (default 1)
                         repeats the same run

  -h, --help             show this text and exit
)";
}

}  // namespace eklz::sim
