// The port list on Windows: the classic names, the ports the system has
// registered, and what Setup knows of each (USB adapters name themselves).
#include <windows.h>
#include <setupapi.h>
#include <devguid.h>

#include <algorithm>
#include <map>

#include "codec/CodePage.h"
#include "serial/Port.h"
#include "serial/PortList.h"

namespace eklz {

namespace {

constexpr int kClassicPorts = 8;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The ports in HARDWARE\DEVICEMAP\SERIALCOMM: port name ("COM3") to the
// system's device name ("\Device\VCP0").
std::map<std::string, std::string> RegisteredPorts() {
  std::map<std::string, std::string> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256;
    wchar_t value[256];
    DWORD valueBytes = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG r = RegEnumValueW(key, i, name, &nameLen, nullptr, &type,
                                 reinterpret_cast<BYTE*>(value), &valueBytes);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS || type != REG_SZ) continue;
    value[valueBytes / sizeof(wchar_t)] = L'\0';
    const std::string port = Upper(WideToUtf8(value));
    if (!port.empty()) ports[port] = WideToUtf8(std::wstring(name, nameLen));
  }
  RegCloseKey(key);
  return ports;
}

std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[512] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer), sizeof buffer - sizeof(wchar_t),
                                         nullptr)) {
    return {};
  }
  // A multi-string (the hardware IDs) gives its first string.
  return WideToUtf8(buffer);
}

// "0403" after "VID_" in "USB\VID_0403&PID_6001&REV_0600".
std::string IdAfter(const std::string& hardwareId, const std::string& tag) {
  const std::string upper = Upper(hardwareId);
  const size_t at = upper.find(tag);
  return at == std::string::npos ? std::string() : upper.substr(at + tag.size(), 4);
}

// What Setup knows of the present ports of class "Ports", by port name.
std::map<std::string, SerialPortInfo> SetupPorts() {
  std::map<std::string, SerialPortInfo> ports;
  HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t portName[64] = {};
    DWORD bytes = sizeof portName - sizeof(wchar_t);
    DWORD type = 0;
    const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                        reinterpret_cast<BYTE*>(portName), &bytes) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(key);
    if (!named) continue;
    SerialPortInfo info;
    info.name = Upper(WideToUtf8(portName));
    info.driver = DeviceProperty(set, device, SPDRP_SERVICE);
    const std::string hardwareId = DeviceProperty(set, device, SPDRP_HARDWAREID);
    if (Upper(hardwareId).rfind("USB\\", 0) == 0 || Upper(hardwareId).rfind("FTDIBUS\\", 0) == 0) {
      info.usbVendorId = IdAfter(hardwareId, "VID_");
      info.usbProductId = IdAfter(hardwareId, "PID_");
      if (info.usbVendorId.empty()) info.usbVendorId = IdAfter(hardwareId, "VID");
    }
    info.manufacturer = DeviceProperty(set, device, SPDRP_MFG);
    info.product = DeviceProperty(set, device, SPDRP_FRIENDLYNAME);
    ports[info.name] = info;
  }
  SetupDiDestroyDeviceInfoList(set);
  return ports;
}

bool DosDeviceExists(const std::string& name) {
  wchar_t target[1024];
  return QueryDosDeviceW(Utf8ToWide(name).c_str(), target, 1024) != 0;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const PortListRoots&) {
  const std::map<std::string, std::string> registered = RegisteredPorts();
  const std::map<std::string, SerialPortInfo> described = SetupPorts();
  auto make = [&](const std::string& name) {
    SerialPortInfo info;
    if (auto it = described.find(name); it != described.end()) info = it->second;
    info.name = name;
    info.devicePath = PortDevicePath(name);
    info.present = registered.count(name) != 0 || described.count(name) != 0 || DosDeviceExists(name);
    if (!info.present) {
      SerialPortInfo absent;
      absent.name = name;
      absent.devicePath = info.devicePath;
      info = absent;
    }
    return info;
  };

  std::vector<SerialPortInfo> ports;
  for (int n = 1; n <= kClassicPorts; ++n) ports.push_back(make("COM" + std::to_string(n)));
  std::vector<std::string> others;
  auto classic = [](const std::string& name) {
    for (int n = 1; n <= kClassicPorts; ++n) {
      if (name == "COM" + std::to_string(n)) return true;
    }
    return false;
  };
  for (const auto& [name, device] : registered) {
    if (!classic(name)) others.push_back(name);
  }
  for (const auto& [name, info] : described) {
    if (!classic(name) && registered.count(name) == 0) others.push_back(name);
  }
  std::sort(others.begin(), others.end(), NaturalLess);
  for (const std::string& name : others) ports.push_back(make(name));
  return ports;
}

bool PortPresent(const std::string& name) {
  const std::string upper = Upper(name);
  if (RegisteredPorts().count(upper) != 0) return true;
  // Any other name: whatever the system can open by it.
  return DosDeviceExists(upper.rfind("\\\\.\\", 0) == 0 ? upper.substr(4) : upper);
}

}  // namespace eklz
