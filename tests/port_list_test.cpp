// The port list over a prepared device folder and kernel device tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "serial/PortList.h"
#include "support/TempDir.h"

namespace eklz {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file, const std::string& text = "") {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

// A fake /dev and /sys: ttyS0 without USB, ttyS1 without a chip, an FTDI
// adapter on ttyUSB0 with its by-id link, a bare ttyUSB10 and ttyUSB2
// (natural order), a modem on ttyACM0, and a by-id link whose device is gone.
class PortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path dev = dir_.Path() / "dev";
    const fs::path sys = dir_.Path() / "sys";
    for (const char* node : {"ttyS0", "ttyS1", "ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0"}) Touch(dev / node);
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R-if00-port0");
    fs::create_symlink("../../ttyUSB7", dev / "serial" / "by-id" / "usb-gone");

    const fs::path drivers = sys / "bus" / "drivers";
    for (const char* d : {"serial8250", "ftdi_sio", "cdc_acm"}) fs::create_directories(drivers / d);
    const fs::path platform = sys / "devices" / "platform" / "serial8250";
    fs::create_directories(platform);
    fs::create_symlink(drivers / "serial8250", platform / "driver");

    const fs::path usb = sys / "devices" / "pci0" / "usb1" / "1-1";
    Touch(usb / "idVendor", "0403\n");
    Touch(usb / "idProduct", "6001\n");
    Touch(usb / "manufacturer", "FTDI\n");
    Touch(usb / "product", "FT232R USB UART\n");
    const fs::path ftdiIf = usb / "1-1:1.0" / "ttyUSB0";
    fs::create_directories(ftdiIf);
    fs::create_symlink(drivers / "ftdi_sio", ftdiIf / "driver");

    const fs::path modem = sys / "devices" / "pci0" / "usb1" / "1-2";
    Touch(modem / "idVendor", "2341\n");
    Touch(modem / "idProduct", "0043\n");
    const fs::path acmIf = modem / "1-2:1.0";
    fs::create_directories(acmIf);
    fs::create_symlink(drivers / "cdc_acm", acmIf / "driver");

    const fs::path tty = sys / "class" / "tty";
    for (auto [node, target] : {std::pair{"ttyS0", platform}, std::pair{"ttyUSB0", ftdiIf},
                                std::pair{"ttyACM0", acmIf}}) {
      fs::create_directories(tty / node);
      fs::create_symlink(target, tty / node / "device");
    }
    Touch(tty / "ttyS0" / "type", "4\n");
    Touch(tty / "ttyS1" / "type", "0\n");
    roots_ = {dev.string(), sys.string()};
  }

  test::TempDir dir_;
  PortListRoots roots_;
};

TEST_F(PortListTest, ClassicNamesThenTheDevicesThatExistWithWhatTheSystemKnows) {
  const std::string dev = roots_.dev + "/";
  struct Row {
    std::string name;
    bool present;
    std::string description;
  };
  const std::vector<Row> expected = {
      {"COM1", true, "встроенный последовательный порт"},
      {"COM2", false, "нет на этом компьютере"},
      {"COM3", false, "нет на этом компьютере"},
      {"COM4", false, "нет на этом компьютере"},
      {"COM5", false, "нет на этом компьютере"},
      {"COM6", false, "нет на этом компьютере"},
      {"COM7", false, "нет на этом компьютере"},
      {"COM8", false, "нет на этом компьютере"},
      {dev + "ttyUSB0", true, "драйвер ftdi_sio, USB 0403:6001, FTDI, FT232R USB UART"},
      {dev + "ttyUSB2", true, ""},
      {dev + "ttyUSB10", true, ""},
      {dev + "ttyACM0", true, "драйвер cdc_acm, USB 2341:0043"},
      {dev + "serial/by-id/usb-FTDI_FT232R-if00-port0", true,
       "ссылка на ttyUSB0, драйвер ftdi_sio, USB 0403:6001, FTDI, FT232R USB UART"},
  };
  const std::vector<SerialPortInfo> ports = ListSerialPorts(roots_);
  ASSERT_EQ(ports.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(ports[i].name, expected[i].name);
    EXPECT_EQ(ports[i].present, expected[i].present);
    EXPECT_EQ(ports[i].Description(), expected[i].description);
  }
  EXPECT_EQ(ports[0].devicePath, dev + "ttyS0");
}

TEST_F(PortListTest, PresenceFollowsTheDeviceNode) {
  EXPECT_TRUE(PortPresent(roots_.dev + "/ttyUSB0"));
  EXPECT_TRUE(PortPresent(roots_.dev + "/serial/by-id/usb-FTDI_FT232R-if00-port0"));
  EXPECT_FALSE(PortPresent(roots_.dev + "/serial/by-id/usb-gone"));
  EXPECT_FALSE(PortPresent(roots_.dev + "/ttyUSB7"));
  EXPECT_FALSE(PortPresent("COM99"));  // /dev/ttyS98
}

TEST(PortList, AMissingDeviceFolderListsTheClassicNamesOnly) {
  const std::vector<SerialPortInfo> ports = ListSerialPorts({"/nonexistent/dev", "/nonexistent/sys"});
  ASSERT_EQ(ports.size(), 8u);
  EXPECT_EQ(ports.back().name, "COM8");
  EXPECT_FALSE(ports.back().present);
}

}  // namespace
}  // namespace eklz
