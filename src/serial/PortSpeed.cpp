#include "serial/PortSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace eklz {

bool SetArbitraryBaudRate(int fd, uint32_t baudRate) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~CBAUD;
  tio.c_cflag |= BOTHER;
  tio.c_cflag &= ~(CBAUD << IBSHIFT);
  tio.c_cflag |= BOTHER << IBSHIFT;
  tio.c_ispeed = baudRate;
  tio.c_ospeed = baudRate;
  return ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace eklz
