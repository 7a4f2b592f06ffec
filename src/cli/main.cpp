// eklz: the EKLZ tester as a command for scripted runs.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/SubCommands.h"
#include "cli/Terminal.h"
#include "commands/Link.h"
#include "protocol/Errors.h"
#include "settings/Settings.h"

namespace eklz::cli {
namespace {

const OptionSpec kPort{"port", "ИМЯ", "последовательный порт: COM1..COMn или путь к устройству",
                       ValueKind::Text, {}};
const OptionSpec kBaud{"baud", "N", "скорость обмена", ValueKind::Integer, {}, 1, 4000000};
const OptionSpec kTimeout{"timeout", "МС", "тайм-аут порта в миллисекундах", ValueKind::Integer, {},
                          0, 32000};
const OptionSpec kSettings{"settings", "ФАЙЛ", "файл настроек (по умолчанию eklz.ini рядом с программой)",
                           ValueKind::Text, {}};
const OptionSpec kProtocol{"protocol", "ФАЙЛ", "записывать протокол обмена в файл", ValueKind::Text, {}};
const OptionSpec kQuiet{"quiet", "", "не выводить текстовый протокол (результат)", ValueKind::Flag, {}};
const OptionSpec kCrcOff{"crc-off", "", "отключить контроль CRC ответов ЭКЛЗ", ValueKind::Flag, {}};
const OptionSpec kWin1251{"win1251", "", "текст в обмене с ЭКЛЗ в кодировке Win1251", ValueKind::Flag, {}};
const OptionSpec kCp866{"cp866", "", "текст в обмене с ЭКЛЗ в кодировке PC866", ValueKind::Flag, {}};
const OptionSpec kHelp{"help", "", "эта справка", ValueKind::Flag, {}};
const std::vector<const OptionSpec*> kGlobalOptions = {
    &kPort, &kBaud, &kTimeout, &kSettings, &kProtocol, &kQuiet, &kCrcOff, &kWin1251, &kCp866, &kHelp};

std::string ExecutablePath() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("eklz");
}

void PrintOptions(const std::vector<const OptionSpec*>& options) {
  for (const OptionSpec* option : options) {
    const OptionSpec& o = *option;
    std::string left = "  --" + o.name + (o.valueName.empty() ? "" : " " + o.valueName);
    std::cout << left;
    // Align by characters, not bytes.
    size_t width = 0;
    for (unsigned char c : left) width += (c & 0xC0) != 0x80;
    std::cout << std::string(width < 30 ? 30 - width : 1, ' ') << o.help << "\n";
  }
}

void PrintHelp() {
  std::cout << "Использование: eklz [общие параметры] КОМАНДА [параметры команды]\n"
               "Тестирование ЭКЛЗ через последовательный порт.\n\n"
               "Общие параметры:\n";
  PrintOptions(kGlobalOptions);
  std::cout << "\nКоманды:\n";
  for (const SubCommand& c : SubCommands()) {
    std::string name = std::string("  ") + c.name;
    std::cout << name << std::string(name.size() < 24 ? 24 - name.size() : 1, ' ') << c.summary
              << "\n";
  }
  std::cout << "\nСправка по команде: eklz КОМАНДА --help\n"
               "Результат выводится в стандартный вывод, ошибка - в стандартный поток ошибок.\n"
               "Код завершения: 0 - успешно, 1 - ошибка выполнения, 2 - ошибка в параметрах.\n";
}

void PrintCommandHelp(const SubCommand& c) {
  std::cout << "Использование: eklz [общие параметры] " << c.name << " [параметры]\n"
            << c.summary << "\n";
  if (!c.options.empty()) {
    std::cout << "\nПараметры:\n";
    PrintOptions(c.options);
  }
  std::cout << "\nДаты: ДД.ММ.ГГГГ, время: ЧЧ:ММ, суммы и количества: с \",\" или \".\".\n"
               "Общие параметры: eklz --help\n";
}

int Fail(int status, const std::string& message) {
  std::fflush(stdout);
  std::string text = message;
  for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, "\n");
  std::cerr << (status == 2 ? "eklz: " + text : text) << std::endl;
  return status;
}

int Main(const std::vector<std::string>& args) {
  // The command decides which options are known; look for it first.
  std::vector<const OptionSpec*> known = kGlobalOptions;
  const SubCommand* command = nullptr;
  try {
    const Arguments global(args, [&] {
      // Every option of every command is accepted at this stage.
      std::vector<const OptionSpec*> all = kGlobalOptions;
      for (const SubCommand& c : SubCommands()) all.insert(all.end(), c.options.begin(), c.options.end());
      return all;
    }());
    if (global.Command().empty()) {
      if (global.Flag(kHelp)) {
        PrintHelp();
        return 0;
      }
      throw UsageError("не задана команда (список команд: eklz --help)");
    }
    command = FindSubCommand(global.Command());
    if (!command) throw UsageError("неизвестная команда " + global.Command());
  } catch (const UsageError& e) {
    return Fail(2, e.what());
  }

  known.insert(known.end(), command->options.begin(), command->options.end());
  try {
    const Arguments a(args, known);
    if (a.Flag(kHelp)) {
      PrintCommandHelp(*command);
      return 0;
    }
    if (!a.Positional().empty()) throw UsageError("лишний аргумент " + a.Positional().front());
    a.Validate();

    const std::string settingsPath =
        a.Text(kSettings, SettingsPathForExecutable(ExecutablePath()));
    Settings settings = LoadSettings(settingsPath);
    if (a.Has(kPort)) settings.ComPort = a.Text(kPort);
    if (a.Has(kBaud)) settings.BoundRate = std::to_string(a.Int(kBaud, 0));
    if (a.Has(kTimeout)) settings.TimeOuts = a.Int(kTimeout, 10);
    if (a.Flag(kQuiet)) settings.LogTXT = false;
    if (a.Flag(kCrcOff)) settings.CrcOff = true;
    if (a.Flag(kWin1251) && a.Flag(kCp866)) throw UsageError("параметры --win1251 и --cp866 несовместимы");
    if (a.Flag(kWin1251)) settings.Win1251 = true;
    if (a.Flag(kCp866)) settings.Win1251 = false;
    const Settings started = settings;

    try {
      TerminalSink sink(a.Text(kProtocol));
      EklzSession session(sink, settings);
      const bool protocol = sink.WritesProtocol();
      Invocation in{session, a, settings.quiet(), settings.LogHEX && protocol, protocol};
      int status = 0;
      try {
        OpenLink(session);
        command->run(in);
      } catch (const UsageError& e) {
        status = Fail(2, e.what());
      } catch (const std::exception& e) {
        status = Fail(1, MessageBoxText(e.what()));
      }
      // The exchange parameters are the device's: keep them for the next run.
      const Settings& now = session.settings;
      if (now.ComPort != started.ComPort || now.BoundRate != started.BoundRate ||
          now.TimeOuts != started.TimeOuts) {
        Settings stored = LoadSettings(settingsPath);
        stored.ComPort = now.ComPort;
        stored.BoundRate = now.BoundRate;
        stored.TimeOuts = now.TimeOuts;
        SaveSettings(settingsPath, stored);
      }
      return status;
    } catch (const std::exception& e) {
      return Fail(1, MessageBoxText(e.what()));
    }
  } catch (const UsageError& e) {
    return Fail(2, e.what());
  }
}

}  // namespace
}  // namespace eklz::cli

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(true);
  return eklz::cli::Main(std::vector<std::string>(argv + 1, argv + argc));
}
