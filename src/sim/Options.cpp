#include "sim/Options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/Regional.h"
#include "sim/Device.h"

namespace eklz::sim {

namespace {

std::invalid_argument Bad(const std::string& option, const std::string& why) {
  return std::invalid_argument(option + ": " + why);
}

int ParseCount(const std::string& option, const std::string& text) {
  if (text.empty() || text.size() > 9) throw Bad(option, "нужно целое неотрицательное число");
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) throw Bad(option, "нужно целое неотрицательное число");
  }
  return std::stoi(text);
}

uint32_t ParseHex(const std::string& option, const std::string& text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) throw Bad(option, "нужны шестнадцатеричные цифры");
  uint32_t v = 0;
  for (char c : text) {
    const int d = HexDigitValue(c);
    if (d < 0) throw Bad(option, "нужны шестнадцатеричные цифры");
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

// A text with the escapes \0, \xHH and \\, converted to CP866; the
// escaped bytes are taken as they are.
std::string ParseVersionText(const std::string& option, const std::string& text) {
  std::string out, run;
  auto flush = [&] {
    try {
      out += Utf8ToCp866(run);
    } catch (const std::exception&) {
      throw Bad(option, "символ, которого нет в кодовой странице 866");
    }
    run.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      run += text[i];
      continue;
    }
    const char next = text[++i];
    if (next == '\\') {
      run += '\\';
      continue;
    }
    flush();
    if (next == '0') {
      out += '\0';
    } else if (next == 'x' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
               HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      throw Bad(option, std::string("неизвестная последовательность \\") + next);
    }
  }
  flush();
  if (out.empty() || out.size() > 200) throw Bad(option, "нужно от 1 до 200 символов");
  return out;
}

}  // namespace

SimOptions ParseOptions(const std::vector<std::string>& args) {
  SimOptions o;
  std::vector<std::string> given;  // option names in their order
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    given.push_back(name);
    auto take = [&]() -> std::string {
      if (hasValue) return value;
      if (i + 1 >= args.size()) throw Bad(name, "не хватает значения");
      return args[++i];
    };
    auto flag = [&](bool& target) {
      if (hasValue) throw Bad(name, "не принимает значения");
      target = true;
    };

    if (name == "-h" || name == "--help" || (name == "help" && i == 0)) {
      flag(o.help);
    } else if (name == "--version") {
      flag(o.version);
    } else if (name == "--link") {
      o.linkPath = take();
      if (o.linkPath.empty()) throw Bad(name, "нужен путь");
    } else if (name == "--rate") {
      const std::string v = take();
      o.rate = static_cast<uint32_t>(ParseCount(name, v));
      if (Device::CodeOfRate(o.rate) < 0) throw Bad(name, "допустимы 2400, 4800, 9600, 19200, 38400, 57600");
    } else if (name == "--no-rate-check") {
      bool off = false;
      flag(off);
      o.rateCheck = false;
    } else if (name == "--trace") {
      flag(o.trace);
    } else if (name == "--exit-on-hangup") {
      flag(o.exitOnHangup);
    } else if (name == "--start") {
      const std::string v = take();
      if (v != "new" && v != "demo") throw Bad(name, "допустимы new, demo");
      o.demo = v == "demo";
    } else if (name == "--replay") {
      o.replayPath = take();
      if (o.replayPath.empty()) throw Bad(name, "нужен путь");
    } else if (name == "--state-file") {
      o.stateFile = take();
      if (o.stateFile.empty()) throw Bad(name, "нужен путь");
    } else if (name == "--eklz-number") {
      const std::string v = take();
      if (v.size() != 10 || v.find_first_not_of("0123456789") != std::string::npos) {
        throw Bad(name, "нужно ровно 10 цифр");
      }
      o.identity.eklzNumber = v;
    } else if (name == "--processor-serial") {
      o.identity.processorSerial = ParseHex(name, take(), 8);
    } else if (name == "--version-text") {
      o.identity.version = ParseVersionText(name, take());
    } else if (name == "--silent") {
      flag(o.faults.silent);
    } else if (name == "--silent-after") {
      o.faults.silentAfter = ParseCount(name, take());
    } else if (name == "--cut-reply") {
      o.faults.cutAt = ParseCount(name, take());
    } else if (name == "--nak") {
      flag(o.faults.nak);
    } else if (name == "--wrong-ack") {
      o.faults.firstByte = static_cast<uint8_t>(ParseHex(name, take(), 2));
    } else if (name == "--wrong-stx") {
      o.faults.stxByte = static_cast<uint8_t>(ParseHex(name, take(), 2));
    } else if (name == "--bad-checksum") {
      flag(o.faults.badChecksum);
    } else if (name == "--answer") {
      const std::string v = take();
      const size_t colon = v.find(':');
      if (colon == std::string::npos) throw Bad(name, "нужно КОМАНДА:ОТВЕТ в шестнадцатеричном виде");
      const auto command = static_cast<uint8_t>(ParseHex(name, v.substr(0, colon), 2));
      o.faults.answers[command] = static_cast<uint8_t>(ParseHex(name, v.substr(colon + 1), 2));
    } else if (name == "--nearly-full") {
      flag(o.faults.nearlyFull);
    } else if (name == "--archive-damaged") {
      flag(o.faults.archiveDamaged);
    } else if (name == "--byte-delay") {
      o.faults.byteDelayMs = ParseCount(name, take());
    } else if (name == "--pace") {
      flag(o.faults.pace);
    } else if (name == "--spoil") {
      // PROBABILITY[:SEED], the probability a decimal fraction from 0 to 1.
      const std::string v = take();
      const size_t colon = v.find(':');
      const std::string p = v.substr(0, colon);
      double rate = -1;
      if (!p.empty() && std::isdigit(static_cast<unsigned char>(p[0]))) {
        try {
          rate = static_cast<double>(ParseFloat(p));
        } catch (const EConvertError&) {
        }
      }
      if (rate < 0 || rate > 1) {
        throw Bad(name, "нужна вероятность от 0 до 1, за ней можно :SEED");
      }
      o.faults.spoilRate = rate;
      if (colon != std::string::npos) {
        o.faults.spoilSeed = static_cast<uint32_t>(ParseCount(name, v.substr(colon + 1)));
      }
    } else if (name == "--hangup-after") {
      o.faults.hangupAfter = ParseCount(name, take());
    } else {
      throw std::invalid_argument("неизвестный параметр " + args[i]);
    }
  }
  if (!o.replayPath.empty()) {
    // A replay has no device: its state, identity and faults would be
    // silently ignored.
    static const char* const kWithReplay[] = {"--replay", "--link", "--trace", "--exit-on-hangup",
                                              "--pace", "--byte-delay", "--no-rate-check",
                                              "-h", "--help", "help", "--version"};
    for (const std::string& name : given) {
      if (std::find(std::begin(kWithReplay), std::end(kWithReplay), name) == std::end(kWithReplay)) {
        throw Bad(name, "не действует вместе с --replay");
      }
    }
  }
  return o;
}

std::string HelpText() {
  return R"(Использование: eklz-sim [ПАРАМЕТР]...
Имитатор ЭКЛЗ на псевдотерминале. Первая строка вывода - путь к линии,
которую нужно открыть как последовательный порт (например /dev/pts/3).
Запросы обслуживаются до прерывания (Ctrl+C, SIGTERM).

Линия:
  --link ПУТЬ            создать также символьную ссылку ПУТЬ на линию;
                         удаляется при выходе
  --rate СКОРОСТЬ        скорость ЭКЛЗ при запуске: 2400, 4800, 9600,
                         19200, 38400 или 57600 (по умолчанию 9600)
  --no-rate-check        отвечать на запросы при любой скорости порта
                         клиента (по умолчанию запрос на другой скорости,
                         чем у ЭКЛЗ, остаётся без ответа)
  --exit-on-hangup       завершить работу, когда клиент закроет линию
  --trace                выводить в стандартный поток ошибок каждый запрос
                         и ответ (шестнадцатеричные байты и имя команды)
                         и причину каждого пропущенного запроса (другая
                         скорость, неверная контрольная сумма, оборванный
                         кадр)

Состояние:
  --start new|demo       new: новая ЭКЛЗ, не активизирована, архив пуст
                         (по умолчанию); demo: активизирована, три
                         закрытые смены с документами
  --state-file ПУТЬ      загрузить состояние из ПУТЬ, если файл есть
                         (вместо --start), сохранять его туда после каждого
                         изменения и при выходе
  --eklz-number ЦИФРЫ    регистрационный номер ЭКЛЗ, 10 цифр
                         (по умолчанию 0000054321)
  --processor-serial HEX заводской номер криптопроцессора, 8
                         шестнадцатеричных цифр (по умолчанию 1A2B3C4D)
  --version-text ТЕКСТ   ответ на запрос версии; \0, \xHH и \\ - байт 0,
                         байт HH и обратная косая черта (по умолчанию
                         "ver 3.0 01.2002 \0" и четыре символа)

Воспроизведение:
  --replay ФАЙЛ          отвечать не как ЭКЛЗ, а по записанному протоколу
                         обмена: строкам "==> " (запрос) и "<== " (ответ),
                         как их пишет eklz --protocol и сохраняет
                         eklz-tester (файл ...Hex), в UTF-8 или
                         Windows-1251. Запрос, равный очередному
                         записанному, получает записанный ответ; другой
                         запрос остаётся без ответа и выводится в
                         стандартный поток ошибок вместе с записанным.
                         При выходе выводится, сколько обменов совпало;
                         код завершения 0, если совпали все записанные
                         обмены и лишних запросов не было, иначе 1.
                         Отвечает на любой скорости клиента; вместе с
                         --replay допустимы только --link, --trace,
                         --exit-on-hangup, --pace и --byte-delay

Неисправности:
  --silent               никогда не отвечать
  --silent-after N       ответить на N запросов, потом молчать
  --cut-reply K          отправлять только первые K байт каждого ответа
  --nak                  отвечать на каждый запрос NAK (15)
  --wrong-ack HH         отправлять байт HH вместо ACK
  --wrong-stx HH         отправлять байт HH вместо STX ответа
  --bad-checksum         портить контрольную сумму каждого ответа
  --answer КОМАНДА:КОД   отвечать на команду КОМАНДА кодом ответа КОД
                         (оба шестнадцатеричные, например 10:02); код
                         ошибки оставляет ЭКЛЗ как была; можно повторять
  --nearly-full          ставить бит заполнения (80) в каждом ответе
  --archive-damaged      отвечать 03 на проверку целостности архива
  --byte-delay МС        ждать МС миллисекунд перед каждым байтом ответа,
                         кроме первого
  --pace                 передавать ответы со скоростью ЭКЛЗ (10 бит на
                         байт)
  --hangup-after N       ответить на N запросов, потом закрыть линию и
                         завершить работу
  --spoil P[:SEED]       портить каждый ответ с вероятностью P (от 0 до 1)
                         случайно выбранной неисправностью: молчание,
                         обрезанный ответ, NAK, неверный ACK или STX,
                         неверная контрольная сумма, код ошибки или
                         испорченный байт; SEED (по умолчанию 1)
                         повторяет тот же прогон

  -h, --help, help       показать эту справку и выйти
  --version              показать версию и выйти
)";
}

}  // namespace eklz::sim
