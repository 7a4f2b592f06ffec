// The serial ports an operator can pick: the classic names "COM1" to "COM8"
// and the serial devices that exist on this computer (USB adapters and
// modems), each with what the system knows of it.
#pragma once

#include <string>
#include <vector>

namespace eklz {

struct SerialPortInfo {
  std::string name;        // what the operator picks: "COM1" or a device path
  std::string devicePath;  // the device node that name opens
  bool present = false;    // the device node exists on this computer
  std::string linkTarget;  // for a /dev/serial/by-id link: the node it points to
  std::string driver;      // kernel driver, empty when unknown
  std::string usbVendorId;   // "0403", empty for a port not on USB
  std::string usbProductId;  // "6001"
  std::string manufacturer;  // USB manufacturer string
  std::string product;       // USB product string

  // A short Russian description of what the system knows of the port
  // ("драйвер ftdi_sio, USB 0403:6001, FTDI, FT232R USB UART"), "нет на этом
  // компьютере" for a classic name without a device; empty when nothing is known.
  std::string Description() const;
};

// Where the device nodes and the kernel's device tree are; tests point these
// at a prepared folder.
struct PortListRoots {
  std::string dev = "/dev";
  std::string sys = "/sys";
};

// "COM1" to "COM8" (present or not; a ttyS node without a chip is not), then every /dev/ttyUSB*, /dev/ttyACM*
// and /dev/serial/by-id/* that exists, each group sorted by name (ttyUSB2
// before ttyUSB10). On Windows: "COM1" to "COM8", then every other port the
// system knows (HARDWARE\DEVICEMAP\SERIALCOMM) in natural order, with the
// driver, USB identifiers, maker and friendly name Windows has for it.
std::vector<SerialPortInfo> ListSerialPorts(const PortListRoots& roots = {});

// Port names in natural order: runs of digits compare by value ("COM2"
// before "COM10", "ttyUSB2" before "ttyUSB10").
bool NaturalLess(const std::string& a, const std::string& b);

// Whether the device node that `name` opens exists ("COMn" is /dev/ttyS(n-1),
// any other name a path; a link must lead to something). A classic serial
// port the kernel found no chip for does not count.
bool PortPresent(const std::string& name);

}  // namespace eklz
