// The full archive dump: pages 0 to 8191 into one dump file, optionally at a
// raised line rate with the previous rate restored afterwards, and a dump
// file that already holds whole pages continued where it ends.
#pragma once

#include <string>
#include <vector>

#include "protocol/Session.h"

namespace eklz {

// The rates a full dump can raise the line to, as the window's list and the
// command line offer them; the last one is the fastest rate the link
// carries.
inline constexpr const char* kFullDumpRates[] = {"19200", "38400", "57600", "наибольшая"};
inline constexpr int kFullDumpRateCount = 4;
inline constexpr int kFullDumpFastest = 3;
// The time-out the device is given for a raised rate.
inline constexpr int kRaisedTimeout = 20;

struct FullDumpOptions {
  // Index into kFullDumpRates: the rate `raiseSpeed` raises the line to.
  int raiseTo = 0;
  // Continue the file from the first page it lacks instead of starting anew.
  bool resume = false;
};

// The rates tried in turn for a choice of kFullDumpRates: one rate, or
// 57600, 38400 and 19200 for the fastest. Empty for an index out of range.
std::vector<std::string> FullDumpRaiseRates(int raiseTo);

// With `raiseSpeed` the EKLZ and the port are switched to the chosen rate and
// time-out 20 first. For the fastest rate each rate from 57600 down is tried:
// a rate the device refuses, or at which it does not answer a status query,
// is left for the next one through the exchange-parameters command at the
// rate in force; when none answers the dump runs at the rate it had. The
// speed is set back after the dump, also when the operator stopped it or a
// page failed; a set-back that fails leaves the speed raised and says so. The
// settings file (session.settingsFile) records the rate the device is at
// while it is not the settings' rate. When the remembered rate has no rate
// code the speed is not set back; the run ends with a message naming the
// rate.
//
// With `options.resume` a dump file that holds N whole pages gets pages N to
// 8191 appended; a file of another size is refused before anything is sent.
// A dump that leaves the whole archive in the file ends with a result line
// of its pages, file, rate and time.
void RunFullDump(EklzSession& s, const std::string& fileName, bool raiseSpeed, bool quiet,
                 bool logExchange, const FullDumpOptions& options = {});

}  // namespace eklz
