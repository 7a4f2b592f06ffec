#include "serial/SystemErrors.h"

#include "serial/Port.h"

#include <cerrno>

namespace eklz {

ESystemError SystemError(int code) { return SystemErrorWithText(code, SystemErrorMessage(code)); }

#ifdef _WIN32
// A port that does not open on Windows fails with the system's own error
// number (GetLastError), not a C library one.
std::string PortFailureReason(int code) {
  switch (code) {
    case 5:   // ERROR_ACCESS_DENIED: Windows lets one program at a time use a port
    case 32:  // ERROR_SHARING_VIOLATION
      return "Порт занят";
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 123:  // ERROR_INVALID_NAME
      return "Порт не найден";
    case 1:   // ERROR_INVALID_FUNCTION
    case 87:  // ERROR_INVALID_PARAMETER
      return "Это не последовательный порт";
    case 31:  // ERROR_GEN_FAILURE
    case 1117:  // ERROR_IO_DEVICE
      return "Ошибка ввода-вывода порта";
    default:
      return "Ошибка порта, код " + std::to_string(code);
  }
}

// What to do about a port that refused access.
static const char* AccessHint(int code) {
  // ERROR_ACCESS_DENIED: Windows lets one program at a time use a port.
  return code == 5 ? "Порт занят другой программой (или нет прав на него)" : nullptr;
}
#else
std::string PortFailureReason(int code) {
  switch (code) {
    case EBUSY:
      return "Порт занят";
    case EACCES:
    case EPERM:
      return "Нет доступа к порту";
    case ENOENT:
    case ENODEV:
      return "Порт не найден";
    case ENXIO:
      return "Порт без устройства";
    case ENOTTY:
    case EINVAL:
      return "Это не последовательный порт";
    case EIO:
      return "Ошибка ввода-вывода порта";
    default:
      return "Ошибка порта, код " + std::to_string(code);
  }
}

static const char* AccessHint(int code) {
  if (code != EACCES && code != EPERM) return nullptr;
  return "Нет прав на порт: добавьте пользователя в группу dialout "
         "(sudo usermod -aG dialout ИМЯ) и войдите в систему заново";
}

#endif

std::string PortFailureContext(const std::string& port, int code) {
  const std::string path = PortDevicePath(port);
  std::string text = "\nПорт: " + port + (path != port ? " (" + path + ")" : "");
  if (const char* hint = AccessHint(code)) text += std::string("\n") + hint;
  return text;
}

}  // namespace eklz
