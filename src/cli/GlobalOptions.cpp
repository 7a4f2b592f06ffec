#include "cli/GlobalOptions.h"

#include "protocol/Session.h"

namespace eklz::cli {

const OptionSpec kPort{"port", "ИМЯ",
                       "последовательный порт: COM1..COMn (/dev/ttyS0..) или путь к устройству",
                       ValueKind::Text, {}};
const OptionSpec kBaud{"baud", "N", "скорость порта (по умолчанию из файла настроек, иначе 9600)",
                       ValueKind::Integer, {}, 1, 4000000};
const OptionSpec kTimeout{"timeout", "МС",
                          "тайм-аут порта: ожидание каждого байта ответа 2000 мс + МС "
                          "(по умолчанию 10)",
                          ValueKind::Integer, {}, kMinPortTimeout, kMaxPortTimeout};
const OptionSpec kSettings{"settings", "ФАЙЛ", "файл настроек (по умолчанию см. ниже)",
                           ValueKind::Text, {}};
const OptionSpec kProtocol{"protocol", "ФАЙЛ",
                           "записывать протокол обмена (байты запросов и ответов) в файл",
                           ValueKind::Text, {}};
const OptionSpec kQuiet{"quiet", "", "не выводить текстовый протокол (результат)", ValueKind::Flag, {}};
const OptionSpec kCrcOff{"crc-off", "", "отключить контроль CRC ответов ЭКЛЗ", ValueKind::Flag, {}};
const OptionSpec kWin1251{"win1251", "", "тексты в обмене с ЭКЛЗ в кодировке Win1251",
                          ValueKind::Flag, {}};
const OptionSpec kCp866{"cp866", "", "тексты в обмене с ЭКЛЗ в кодировке PC866", ValueKind::Flag, {}};
const OptionSpec kHelp{"help", "", "эта справка (также -h и eklz help [КОМАНДА])", ValueKind::Flag, {}};
const OptionSpec kVersion{"version", "", "версия программы", ValueKind::Flag, {}};
const std::vector<const OptionSpec*> kGlobalOptions = {
    &kPort, &kBaud, &kTimeout, &kSettings, &kProtocol, &kQuiet,
    &kCrcOff, &kWin1251, &kCp866, &kHelp, &kVersion};

}  // namespace eklz::cli
