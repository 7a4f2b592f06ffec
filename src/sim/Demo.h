// The demo state: an activated EKLZ with three closed shifts of documents
// of every kind, so that each report has something to show. Built by
// sending the requests a cash register would send.
#pragma once

#include "sim/Device.h"

namespace eklz::sim {

// Request builders, shared with the tests.
namespace request {
Bytes Activate(const Stamp& at, const std::string& serial, const std::string& inn,
               const std::string& regNumber, uint16_t lastShift, uint8_t lineWidth,
               const std::string& nameBytes, bool text = false);
Bytes Item(uint8_t kind, uint8_t department, Quantity quantity, Money sum);
Bytes Discount(Money sum);
Bytes Markup(Money sum);
Bytes Storno(uint8_t reversed, uint8_t department, Quantity quantity, Money sum);
Bytes Complete(const Stamp& at, uint8_t op, bool text = false);
Bytes CloseShift(const Stamp& at, uint8_t op);
Bytes FreeText(uint8_t binding, uint8_t department, const std::string& cp866, size_t length);
}  // namespace request

// Brings a factory-new device into the demo state.
void BuildDemo(Device& device);

}  // namespace eklz::sim
