// What an EKLZ tells of the cash register it serves: the activation date,
// the register's model and its serial number. The processor dump and the
// report fragments 05H, 07H and 08H carry them; the repair request prints them.
#pragma once

#include <optional>
#include <string>

#include "codec/Regional.h"

namespace eklz {

// Each value is set only when a reply carried it.
struct KkmParticulars {
  std::optional<CalendarDate> activationDate;
  std::optional<std::string> model;
  std::optional<std::string> serial;

  bool Empty() const { return !activationDate && !model && !serial; }

  // Takes every value that `later` carries: the value learned last wins.
  void Update(const KkmParticulars& later) {
    if (later.activationDate) activationDate = later.activationDate;
    if (later.model) model = later.model;
    if (later.serial) serial = later.serial;
  }
};

// A reply's text and the particulars it carried.
struct DecodedReply {
  std::string text;
  KkmParticulars kkm;
};

}  // namespace eklz
