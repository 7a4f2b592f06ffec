// The C library's error messages (errno values) in Russian.
#include "serial/SystemErrors.h"

#ifndef _WIN32
#include <locale.h>
#endif

#include <cerrno>
#include <cstring>

namespace eklz {

namespace {

// The C library's message in a Russian locale; empty when no Russian locale
// (or no Russian translation of the C library) is installed. Windows' C
// library has English messages only.
std::string LibraryRussianMessage([[maybe_unused]] int code) {
#ifdef _WIN32
  return {};
#else
  static const locale_t russian = [] {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "ru_RU"}) {
      if (locale_t l = ::newlocale(LC_ALL_MASK, name, locale_t(0))) return l;
    }
    return locale_t(0);
  }();
  if (russian == locale_t(0)) return {};
  const std::string text = ::strerror_l(code, russian);
  const std::string english = ::strerror_l(code, LC_GLOBAL_LOCALE);
  // Without the translation the Russian locale answers in English.
  if (text == english) return {};
  return text;
#endif
}

const char* OwnRussianMessage(int code) {
  switch (code) {
    case ENOENT:
      return "Нет такого файла или каталога";
    case EACCES:
      return "Отказано в доступе";
    case EPERM:
      return "Операция не позволена";
    case EBUSY:
      return "Устройство или ресурс занято";
    case EIO:
      return "Ошибка ввода/вывода";
    case ENOTTY:
      return "Устройство не является терминалом";
    case ENXIO:
      return "Нет такого устройства или адреса";
    case EROFS:
      return "Файловая система доступна только для чтения";
    case ENOSPC:
      return "На устройстве не осталось свободного места";
    case EISDIR:
      return "Это каталог";
    case ENOTDIR:
      return "Это не каталог";
    case EEXIST:
      return "Файл существует";
    case ENAMETOOLONG:
      return "Слишком длинное имя файла";
    default:
      return nullptr;
  }
}

}  // namespace

std::string SystemErrorMessage(int code) {
  if (std::string text = LibraryRussianMessage(code); !text.empty()) return text;
  if (const char* own = OwnRussianMessage(code)) return own;
  return std::strerror(code);
}

}  // namespace eklz
