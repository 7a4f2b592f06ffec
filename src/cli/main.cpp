// eklz: the EKLZ tester as a command for scripted runs.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Files.h"
#include "cli/GlobalOptions.h"
#include "cli/SubCommands.h"
#include "cli/Terminal.h"
#include "commands/Link.h"
#include "codec/Errors.h"
#include "codec/FileCalls.h"
#include "serial/Port.h"
#include "serial/SystemErrors.h"
#include "settings/Settings.h"

namespace eklz::cli {
namespace {

// The help line of an option: its text, its range and whether it must be given.
std::string OptionHelp(const OptionSpec& o) {
  std::string help = o.help;
  if (o.HasRange()) {
    help += "; от " + std::to_string(o.min) + " до " + std::to_string(o.max);
  }
  if (o.amount) {
    // The largest amount with its decimal comma: 99999999,99.
    std::string most = std::to_string(o.amount->maxUnits);
    most.insert(most.size() - static_cast<size_t>(o.amount->places), ",");
    help += "; от 0 до " + most;
  }
  if (o.required) help += " (обязательный)";
  return help;
}

void PrintOptions(const std::vector<const OptionSpec*>& options) {
  for (const OptionSpec* o : options) {
    std::string left = "  --" + o->name + (o->valueName.empty() ? "" : " " + o->valueName);
    std::cout << left;
    // Align by characters, not bytes.
    size_t width = 0;
    for (unsigned char c : left) width += (c & 0xC0) != 0x80;
    std::cout << std::string(width < 30 ? 30 - width : 1, ' ') << OptionHelp(*o) << "\n";
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
  std::cout
      << "\nСправка по команде: eklz КОМАНДА --help или eklz help КОМАНДА\n\n"
         "Результат выводится в стандартный вывод построчно, ошибка - в стандартный\n"
         "поток ошибок, ход долгих операций - туда же, когда это терминал.\n\n"
         "Кодировка текстов в обмене с ЭКЛЗ берётся из файла настроек (Win1251) и\n"
         "меняется параметрами --win1251 и --cp866; у команды free-text своя\n"
         "кодировка строки (--encoding), она от них не зависит.\n\n"
         "Файл настроек, общий с оконной программой: eklz-tester.ini рядом с\n"
         "программой, а когда в её папку нельзя писать,\n"
#ifdef _WIN32
         "%APPDATA%\\eklz-tester\\eklz-tester.ini. Сейчас это\n"
#else
         "$XDG_CONFIG_HOME/eklz-tester/eklz-tester.ini (без XDG_CONFIG_HOME\n"
         "~/.config/eklz-tester/eklz-tester.ini). Сейчас это\n"
#endif
      << TesterSettingsPath(ExecutablePath())
      << "\n"
         "Скорость и тайм-аут, установленные командами set-exchange и full-dump,\n"
         "сохраняются в нём для следующего запуска.\n\n"
#ifdef _WIN32
         "Прерывание (Ctrl+C - SIGINT, Ctrl+Break - SIGBREAK, закрытие окна консоли -\n"
         "SIGTERM, закрытый вывод): текущий обмен завершается, поднятая скорость\n"
         "возвращается, файлы закрываются, настройки сохраняются; код завершения\n"
         "128 + номер сигнала (Ctrl+C - 130). Второе прерывание прекращает ожидание\n"
         "ответа сразу.\n\n"
#else
         "Прерывание (Ctrl+C, SIGTERM, SIGHUP, закрытый вывод): текущий обмен\n"
         "завершается, поднятая скорость возвращается, файлы закрываются, настройки\n"
         "сохраняются; код завершения 128 + номер сигнала. Второй сигнал прерывает\n"
         "ожидание ответа сразу.\n\n"
#endif
         "Код завершения: 0 - успешно, 1 - ошибка ЭКЛЗ, порта или файла, 2 - ошибка\n"
         "в параметрах (порт не открывается, ничего не отправляется).\n";
}

void PrintCommandHelp(const SubCommand& c) {
  std::cout << "Использование: eklz [общие параметры] " << c.name << " [параметры]\n"
            << c.summary << "\n";
  if (!c.options.empty()) {
    std::cout << "\nПараметры:\n";
    PrintOptions(c.options);
  }
  if (c.notes) std::cout << "\n" << c.notes << "\n";
  std::cout << "\nДаты: ДД.ММ.ГГГГ, время: ЧЧ:ММ, суммы и количества: с \",\" или \".\".\n"
               "Общие параметры: eklz --help\n";
}

int Fail(int status, const std::string& message) {
  ClearProgressLine();
  std::fflush(stdout);
  std::string text = message;
  for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.replace(p, 2, "\n");
  std::cerr << (status == 2 ? "eklz: " + text : text) << std::endl;
  return status;
}

// A port given as a relative path is kept as an absolute one, so that the
// saved settings work from any folder. "COMn" names stay as they are.
std::string AbsolutePort(const std::string& port) {
  if (port.empty() || PortDevicePath(port) != port || port[0] == '/') return port;
  const std::u8string path = std::filesystem::absolute(PathOf(port)).lexically_normal().u8string();
  return std::string(path.begin(), path.end());
}

// The settings of the run: the file's, then the command line's.
Settings RunSettings(const Arguments& a, const std::string& settingsPath, bool opensLink) {
  const bool fileExists = FileAccess(settingsPath, F_OK);
  Settings settings = LoadSettings(settingsPath);
  if (a.Has(kPort)) settings.ComPort = AbsolutePort(a.Text(kPort));
  if (a.Has(kBaud)) {
    settings.BoundRate = std::to_string(a.Int(kBaud, 0));
  } else {
    try {
      ParseInt(settings.BoundRate);
    } catch (const EConvertError&) {
      throw EInOutError("Неверное значение BoundRate в файле настроек \"" + settingsPath +
                        "\": " + NotOfItsForm(ValueKind::Integer, settings.BoundRate));
    }
  }
  if (a.Has(kTimeout)) settings.TimeOuts = a.Int(kTimeout, 10);
  if (a.Flag(kQuiet)) settings.LogTXT = false;
  if (a.Flag(kCrcOff)) settings.CrcOff = true;
  if (a.Flag(kWin1251)) settings.Win1251 = true;
  if (a.Flag(kCp866)) settings.Win1251 = false;
  if (opensLink && !a.Has(kPort) && !fileExists) {
    const std::string path = PortDevicePath(settings.ComPort);
    std::cerr << "eklz: порт не задан (--port) и файла настроек \"" << settingsPath
              << "\" нет: используется порт " << settings.ComPort
              << (path != settings.ComPort ? " (" + path + ")" : "") << std::endl;
  }
  return settings;
}

// Runs the command and keeps the exchange parameters the device now has.
int Run(const SubCommand& command, const Arguments& a) {
  const std::string settingsPath = a.Text(kSettings, TesterSettingsPath(ExecutablePath()));
  int status = 0;
  try {
    Settings settings = RunSettings(a, settingsPath, !command.ownsLink);
    const Settings started = settings;

    TerminalSink sink(a.Text(kProtocol));
    EklzSession session(sink, settings);
    session.settingsFile = settingsPath;
    // --protocol records the exchange whatever the settings' LogHEX says.
    Invocation in{session, a, settings.quiet(), sink.WritesProtocol(), settingsPath, a.Has(kPort)};
    CancelOnSecondSignal(&session);
    try {
      if (!command.ownsLink) OpenLink(session);
      command.run(in);
    } catch (const RunStopped&) {
      // Reported below with what was done.
    } catch (const EOperationCancelled&) {
      // A second signal: reported below as well.
    } catch (const UsageError& e) {
      status = Fail(2, e.what());
    } catch (const ESystemError& e) {
      status = Fail(1, MessageBoxText(e.what()) + PortFailureContext(session.settings.ComPort, e.Code()));
    } catch (const std::exception& e) {
      status = Fail(1, MessageBoxText(e.what()));
    }
    CancelOnSecondSignal(nullptr);
    session.ClosePort();

    // The exchange parameters are the device's: keep them for the next run.
    const Settings& now = session.settings;
    if (now.ComPort != started.ComPort || now.BoundRate != started.BoundRate ||
        now.TimeOuts != started.TimeOuts) {
      try {
        Settings stored = LoadSettings(settingsPath);
        stored.ComPort = now.ComPort;
        stored.BoundRate = now.BoundRate;
        stored.TimeOuts = now.TimeOuts;
        SaveChangedSettings(settingsPath, LoadSettings(settingsPath), stored);
      } catch (const std::exception& e) {
        status = Fail(1, MessageBoxText(e.what()) + "\nЭКЛЗ и порт работают на скорости " +
                             now.BoundRate + ", тайм-аут " + std::to_string(now.TimeOuts) +
                             "; задайте их при следующем запуске: --baud " + now.BoundRate +
                             " --timeout " + std::to_string(now.TimeOuts));
      }
    }
    try {
      sink.Close();
    } catch (const std::exception& e) {
      status = Fail(1, e.what());
    }
    if (const int signal = StopSignal(); signal != 0) {
      std::cerr << "Прервано (" << SignalName(signal) << "): " << sink.StopReport() << std::endl;
      status = 128 + signal;
    }
    return status;
  } catch (const std::exception& e) {
    return Fail(1, MessageBoxText(e.what()));
  }
}

int Main(std::vector<std::string> args) {
  // "help [COMMAND]" is the same as --help ("-h" is read as it, too).
  if (!args.empty() && args.front() == "help") {
    args.erase(args.begin());
    args.push_back("--help");
  }

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
      if (global.Flag(kVersion)) {
        std::cout << "eklz " << EKLZ_VERSION << "\n";
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
    if (command->check) command->check(a);
    if (a.Flag(kWin1251) && a.Flag(kCp866)) throw UsageError("параметры --win1251 и --cp866 несовместимы");
    return Run(*command, a);
  } catch (const UsageError& e) {
    return Fail(2, e.what());
  }
}

}  // namespace
}  // namespace eklz::cli

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(true);
  eklz::cli::InstallStopSignals();
  return eklz::cli::Main(eklz::cli::ProgramArguments(argc, argv));
}
