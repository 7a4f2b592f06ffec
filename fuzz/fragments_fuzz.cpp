// The report fragment decoder with any fragment bytes, in both code pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "codec/Errors.h"
#include "protocol/Fragments.h"
#include "codec/HexFrame.h"

using namespace eklz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  fuzz::NullSink sink;
  Settings settings;
  settings.Win1251 = (mode & 1) != 0;
  EklzSession session(sink, settings);
  const std::string digits = RemoveBlanks(BytesToHex(in.Rest(), in.RestSize()));
  try {
    const DecodedReply decoded = DecodeFragments(session, (mode & 2) ? "0B" + digits : digits);
    if (!IsValidUtf8(decoded.text)) std::abort();
    const KkmParticulars& kkm = decoded.kkm;
    if (!IsValidUtf8(kkm.model.value_or("")) || !IsValidUtf8(kkm.serial.value_or(""))) std::abort();
  } catch (const EConvertError&) {  // an impossible activation date in 08H
  }
  return 0;
}
