// The settings file reader with any file content. Reading never fails; what
// was read is written back and reads the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "protocol/Errors.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

using namespace eklz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniFile ini("fuzz.ini", bytes);
  const Settings first = ReadSettings(ini);
  std::string written;
  try {
    written = ini.Encoded();
  } catch (const TEKLZException&) {
    // Only a file read as Windows-1251 may hold a byte that has no way back
    // (0x98), and then it is refused, not written damaged.
    std::abort();
  }
  const IniFile again("fuzz.ini", written);
  if (!(ReadSettings(again) == first)) std::abort();
  if (again.Encoded() != written) std::abort();

  IniFile changed("fuzz.ini", written);
  WriteSettings(changed, first);
  try {
    const std::string out = changed.Encoded();
    if (!(ReadSettings(IniFile("fuzz.ini", out)) == first)) std::abort();
  } catch (const TEKLZException&) {
  }
  return 0;
}
