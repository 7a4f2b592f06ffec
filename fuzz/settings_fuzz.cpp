// The settings file reader with any file content. Reading never fails; what
// was read is written back and reads the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

using namespace eklz;

namespace {

// Whether the reader takes `bytes` as UTF-8 beyond ASCII.
bool ReadsAsUtf8(const std::string& bytes) {
  if (!IsValidUtf8(bytes)) return false;
  for (unsigned char c : bytes) {
    if (c >= 0x80) return true;
  }
  return false;
}

// A Windows-1251 file whose bytes also happen to be valid UTF-8 is read as
// UTF-8: the encoding is told by the content, and such a file cannot be told
// apart. The round trip is checked where the written file reads in the
// encoding the original was read in.
bool SameEncoding(const std::string& original, const std::string& written) {
  return ReadsAsUtf8(original) == ReadsAsUtf8(written) || !ReadsAsUtf8(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniFile ini("fuzz.ini", bytes);
  const Settings first = ReadSettings(ini);
  // Reading and writing back what was read never fails, whatever the file
  // holds (a refused save would lose every later change).
  const std::string written = ini.Encoded();
  if (!SameEncoding(bytes, written)) return 0;
  const IniFile again("fuzz.ini", written);
  if (!(ReadSettings(again) == first)) std::abort();
  if (again.Encoded() != written) std::abort();

  IniFile changed("fuzz.ini", written);
  WriteSettings(changed, first);
  const std::string out = changed.Encoded();
  if (SameEncoding(bytes, out) && !(ReadSettings(IniFile("fuzz.ini", out)) == first)) std::abort();
  return 0;
}
