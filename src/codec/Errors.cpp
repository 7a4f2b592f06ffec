#include "codec/Errors.h"

namespace eklz {

ESystemError::ESystemError(int code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

EOperationCancelled::EOperationCancelled() : std::runtime_error("Операция прервана") {}

ESystemError SystemErrorWithText(int code, const std::string& text) {
  return ESystemError(code, "System Error.  Code: " + std::to_string(code) + ".\r\n" + text);
}

EConvertError InvalidInteger(const std::string& text) {
  return EConvertError("'" + text + "' is not a valid integer value");
}

std::string MessageBoxText(const std::string& message) {
  if (message.empty()) return message;
  // The last character of a UTF-8 text: any multi-byte character is a letter
  // or sign above "." and so gets the full stop, like a single byte above it.
  const unsigned char last = static_cast<unsigned char>(message.back());
  if (last >= 0x80 || last > '.') return message + ".";
  return message;
}

}  // namespace eklz
