#include "serial/PortList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "serial/Port.h"

namespace eklz {

namespace fs = std::filesystem;

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
    const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
    if (da && db) {
      size_t ei = i;
      size_t ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      const std::string na = a.substr(i, ei - i);
      const std::string nb = b.substr(j, ej - j);
      const size_t za = na.find_first_not_of('0');
      const size_t zb = nb.find_first_not_of('0');
      const std::string va = za == std::string::npos ? "" : na.substr(za);
      const std::string vb = zb == std::string::npos ? "" : nb.substr(zb);
      if (va.size() != vb.size()) return va.size() < vb.size();
      if (va != vb) return va < vb;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::string SerialPortInfo::Description() const {
  if (!present) return "нет на этом компьютере";
  std::vector<std::string> parts;
  if (!linkTarget.empty()) parts.push_back("ссылка на " + linkTarget);
  if (driver == "port" || driver == "serial8250" || driver == "serial") {
    // The kernel's own drivers of the ports on the board: not worth a name.
    parts.push_back("встроенный последовательный порт");
  } else if (!driver.empty()) {
    parts.push_back("драйвер " + driver);
  }
  if (!usbVendorId.empty()) parts.push_back("USB " + usbVendorId + ":" + usbProductId);
  if (!manufacturer.empty()) parts.push_back(manufacturer);
  if (!product.empty()) parts.push_back(product);
  std::string text;
  for (const std::string& p : parts) text += (text.empty() ? "" : ", ") + p;
  return text;
}

#ifndef _WIN32
namespace {

constexpr int kClassicPorts = 8;

// The first line of a small kernel attribute file, without trailing blanks;
// empty when it cannot be read.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Whether the device node exists and, for a classic serial port, has a UART
// behind it: the kernel creates ttyS nodes for ports it found no chip for
// and gives them the port type 0.
bool NodePresent(const PortListRoots& roots, const fs::path& node) {
  if (!Exists(node)) return false;
  std::error_code ec;
  const fs::path target = fs::canonical(node, ec);
  const std::string name = (ec ? node : target).filename().string();
  if (name.rfind("ttyS", 0) != 0) return true;
  return ReadAttribute(fs::path(roots.sys) / "class" / "tty" / name / "type") != "0";
}

// Fills the driver and USB particulars of the tty `node` (a name such as
// "ttyUSB0") from the kernel's device tree.
void DescribeFromSys(const PortListRoots& roots, const std::string& node, SerialPortInfo& info) {
  const fs::path device = fs::path(roots.sys) / "class" / "tty" / node / "device";
  std::error_code ec;
  const fs::path driver = fs::read_symlink(device / "driver", ec);
  if (!ec) info.driver = driver.filename().string();

  // The USB device is the nearest folder above the tty's device that names
  // a vendor.
  fs::path dir = fs::canonical(device, ec);
  if (ec) return;
  const fs::path top = fs::canonical(roots.sys, ec);
  if (ec) return;
  for (int depth = 0; depth < 8 && !dir.empty() && dir != top && dir != dir.root_path();
       ++depth, dir = dir.parent_path()) {
    if (!Exists(dir / "idVendor")) continue;
    info.usbVendorId = ReadAttribute(dir / "idVendor");
    info.usbProductId = ReadAttribute(dir / "idProduct");
    info.manufacturer = ReadAttribute(dir / "manufacturer");
    info.product = ReadAttribute(dir / "product");
    return;
  }
}

// The names in `folder` that start with `prefix`, in natural order.
std::vector<std::string> Entries(const fs::path& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const PortListRoots& roots) {
  std::vector<SerialPortInfo> ports;
  const fs::path dev(roots.dev);
  for (int n = 1; n <= kClassicPorts; ++n) {
    SerialPortInfo info;
    info.name = "COM" + std::to_string(n);
    const std::string node = "ttyS" + std::to_string(n - 1);
    info.devicePath = (dev / node).string();
    info.present = NodePresent(roots, info.devicePath);
    if (info.present) DescribeFromSys(roots, node, info);
    ports.push_back(std::move(info));
  }
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& node : Entries(dev, prefix)) {
      SerialPortInfo info;
      info.name = info.devicePath = (dev / node).string();
      info.present = true;
      DescribeFromSys(roots, node, info);
      ports.push_back(std::move(info));
    }
  }
  const fs::path byId = dev / "serial" / "by-id";
  for (const std::string& link : Entries(byId, "")) {
    SerialPortInfo info;
    info.name = info.devicePath = (byId / link).string();
    info.present = Exists(info.devicePath);
    if (!info.present) continue;  // a link left behind by a device that is gone
    std::error_code ec;
    const fs::path target = fs::canonical(byId / link, ec);
    if (!ec) {
      info.linkTarget = target.filename().string();
      DescribeFromSys(roots, info.linkTarget, info);
    }
    ports.push_back(std::move(info));
  }
  return ports;
}

bool PortPresent(const std::string& name) { return NodePresent({}, PortDevicePath(name)); }
#endif

}  // namespace eklz
