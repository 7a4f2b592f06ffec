#include "serial/SystemErrors.h"

#include "serial/Port.h"

#include <cerrno>

namespace eklz {

ESystemError SystemError(int code) {
  return ESystemError(code, "System Error.  Code: " + std::to_string(code) + ".\r\n" +
                                SystemErrorMessage(code));
}

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

std::string PortFailureContext(const std::string& port, int code) {
  const std::string path = PortDevicePath(port);
  std::string text = "\nПорт: " + port + (path != port ? " (" + path + ")" : "");
  if (code == EACCES || code == EPERM) {
    text += "\nНет прав на порт: добавьте пользователя в группу dialout "
            "(sudo usermod -aG dialout ИМЯ) и войдите в систему заново";
  }
  return text;
}

}  // namespace eklz
