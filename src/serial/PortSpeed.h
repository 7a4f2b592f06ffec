// Line speeds that have no termios constant, set through the kernel's
// arbitrary-rate interface. Kept apart because its headers clash with <termios.h>.
#pragma once

#include <cstdint>

namespace eklz {

// Returns false (errno set) when the kernel refuses the rate.
bool SetArbitraryBaudRate(int fd, uint32_t baudRate);

}  // namespace eklz
