// The eklz command end to end: a real process against the simulated EKLZ.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "commands/ArchiveDump.h"
#include "commands/Arbitrary.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "codec/Errors.h"
#include "codec/Regional.h"
#include "settings/Settings.h"
#include "support/SimSession.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;


struct Outcome {
  int status = -1;
  std::string out, err;
};

// How the program runs: cut short by `signal` once the simulator has
// received `afterRequests` requests and `afterMs` more have passed, or with
// standard output a pipe whose reader goes away after `closeAfterLines`
// lines; in `workDir` when one is given.
struct Child {
  int signal = 0;
  uint64_t afterRequests = 0;
  int afterMs = 0;
  int closeAfterLines = -1;
  std::string workDir;
  int repeatAfterMs = -1;  // >= 0: the signal once more, this long after the first
  std::string errPath;     // non-empty: standard error goes there (a terminal, say)
  std::string outPath;     // non-empty: standard output goes there

  static Child Signal(int signal, uint64_t afterRequests, int afterMs = 0) {
    Child c;
    c.signal = signal;
    c.afterRequests = afterRequests;
    c.afterMs = afterMs;
    return c;
  }
  static Child ClosingAfter(int lines) {
    Child c;
    c.closeAfterLines = lines;
    return c;
  }
  static Child In(const std::string& dir) {
    Child c;
    c.workDir = dir;
    return c;
  }
};

class Cli : public ::testing::Test {
 protected:
  std::string Path(const char* name) const { return temp.File(name); }

  // Runs eklz on the simulator's line with a settings file of this test.
  Outcome Run(SimSession& sim, std::vector<std::string> args, Child stop = {}) {
    sim.session.ClosePort();  // the line is the program's
    args.insert(args.begin(), {"--settings", Path("eklz.ini"), "--port", sim.server->SlavePath()});
    const uint64_t before = sim.server->Requests();
    return RunRaw(args, stop, [&] { return sim.server->Requests() - before; });
  }

  // `requests` counts the requests the device has had from this run.
  Outcome RunRaw(const std::vector<std::string>& args, Child stop = {},
                 const std::function<uint64_t()>& requests = {}) {
    const std::string out = Path("stdout"), err = Path("stderr");
    int pipe[2] = {-1, -1};
    if (stop.closeAfterLines >= 0) {
      EXPECT_EQ(::pipe(pipe), 0);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (pipe[1] >= 0) {
        ::dup2(pipe[1], STDOUT_FILENO);
        ::close(pipe[0]);
      } else {
        const std::string& to = stop.outPath.empty() ? out : stop.outPath;
        ::dup2(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
      }
      if (stop.errPath.empty()) {
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      } else {
        ::dup2(::open(stop.errPath.c_str(), O_WRONLY | O_NOCTTY), STDERR_FILENO);
      }
      if (!stop.workDir.empty() && ::chdir(stop.workDir.c_str()) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(EKLZ_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(EKLZ_PROGRAM, argv.data());
      _exit(127);
    }
    Outcome o;
    if (pipe[0] >= 0) {
      // Read as `head -n N` does, then go away.
      ::close(pipe[1]);
      for (int lines = 0; lines < stop.closeAfterLines;) {
        char c;
        if (::read(pipe[0], &c, 1) != 1) break;
        o.out += c;
        lines += c == '\n';
      }
      ::close(pipe[0]);
    } else if (stop.signal != 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (requests && requests() < stop.afterRequests && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(stop.afterMs));
      ::kill(pid, stop.signal);
      if (stop.repeatAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(stop.repeatAfterMs));
        ::kill(pid, stop.signal);
      }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (pipe[0] < 0) o.out = Slurp(out);
    o.err = Slurp(err);
    return o;
  }

  TempDir temp;
};

// The lines a session writes for `operation`, one per line of output.
std::string InProcess(bool demo, const std::function<void(EklzSession&)>& operation) {
  SimSession sim(demo);
  operation(sim.session);
  std::string out;
  for (const std::string& l : sim.sink.result) out += l + "\n";
  return out;
}

// One command of each group prints exactly the lines the core writes for
// the same operation on a device in the same state.
TEST_F(Cli, EachGroupPrintsTheResultViewLines) {
  struct Case {
    std::vector<std::string> args;
    std::function<void(EklzSession&)> operation;
  } cases[] = {
      {{"sale", "--department", "2", "--quantity", "1,5", "--sum", "10.25"},
       [](EklzSession& s) { DoSale(s, 2, 1.5, 10.25, false, true); }},
      {{"free-text", "--binding", "sale", "--text", "Привет"},
       [](EklzSession& s) { DoFreeText(s, 0, 1, 0, "Привет", false, false, true); }},
      // A longer text shows as it is sent: cut to the line width.
      {{"free-text", "--binding", "sale", "--text", "Привет, как дела сегодня?"},
       [](EklzSession& s) { DoFreeText(s, 0, 1, 0, "Привет, как дела", false, false, true); }},
      {{"status"}, [](EklzSession& s) { AskStatus(s, false, true); }},
      {{"reg-number", "--text-form"},
       [](EklzSession& s) { AskRegNumber(s, true, false, true); }},
      {{"control-tape", "--shift", "2"},
       [](EklzSession& s) { AskControlTape(s, false, 2, false, true); }},
      {{"dump", "--page", "3"},
       [](EklzSession& s) { AskArchiveDump(s, false, "", 3, 3, true, false, true); }},
      {{"command", "--bytes", "07 01"},
       [](EklzSession& s) {
         RunArbitraryCommand(s, false, "02 02 07 01 04 ", false, false, false, false, true);
       }},
  };
  for (const Case& c : cases) {
    SimSession sim(true);
    const Outcome o = Run(sim, c.args);
    EXPECT_EQ(o.status, 0) << c.args[0] << ": " << o.err;
    EXPECT_EQ(o.out, InProcess(true, c.operation)) << c.args[0];
    EXPECT_EQ(o.err, "");
  }
}

// The version text holds a NUL: the line ends there and no raw byte reaches
// standard output (grep would call it a binary file).
TEST_F(Cli, DeviceTextReachesStandardOutputWithoutControlBytes) {
  SimSession sim(true);
  for (const std::vector<std::string>& args : {Lines{"version"}, Lines{"version", "--text-form"}}) {
    const Outcome o = Run(sim, args);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.find('\0'), std::string::npos);
    EXPECT_NE(o.out.find("ver 3.0 01.2002 \n"), std::string::npos) << o.out;
  }
}

TEST_F(Cli, ActivationAndADocumentOnANewDevice) {
  SimSession sim(false);
  Outcome o = Run(sim, {"activate", "--serial", "000000123456", "--inn", "771234567890",
                        "--reg-number", "000000654321", "--name", "Касса", "--date", "01.12.2026",
                        "--time", "09:00"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Результат активизации: Строка КПК. Код фрагмента 0BH"), std::string::npos);
  EXPECT_TRUE(sim.device.State().activation.has_value());
  o = Run(sim, {"sale", "--quantity", "1", "--sum", "5"});
  ASSERT_EQ(o.status, 0) << o.err;
  o = Run(sim, {"finish-document", "--date", "01.12.2026", "--time", "09:05"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("    Значение КПК:"), std::string::npos);
  o = Run(sim, {"close-shift", "--date", "01.12.2026", "--time", "18:00"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(sim.device.State().shifts.back().closed);
}

TEST_F(Cli, ProceduresRunToTheirEnd) {
  SimSession sim(true);
  Outcome o = Run(sim, {"mass-documents", "--count", "2", "--sum", "10", "--repeat", "3",
                        "--discounts", "5", "--discount-sum", "10", "--no-text-log"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(sim.device.State().shifts.back().documents.back().discounts, 2000);

  o = Run(sim, {"autotest"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("Дата,время отчета:", 0), 0u);
  EXPECT_NE(o.out.find("Запрос итога активизации\n"), std::string::npos);

  o = Run(sim, {"full-dump", "--file", Path("all.bin"), "--max-speed"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(fs::file_size(Path("all.bin")), 4194304u);
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  // The raised rate was noted and cleared again: nothing was kept, so no
  // settings file is left (an empty one would hide the missing-port note).
  EXPECT_FALSE(fs::exists(Path("eklz.ini")));

  o = Run(sim, {"repair-request", "--number", "12", "--eklz-serial", "1234567890123",
                "--not-transferred", "нет носителя"});
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string tail = o.out.substr(o.out.find("\nОбнаружены неисправности:\n"));
  EXPECT_EQ(tail.substr(0, tail.find("ModelOfKKT=")),
            "\nОбнаружены неисправности:\n\n\nПеременные бланка заявки:\nNumRequest=12\n"
            "FactoryNum=1234567890123\nDateOfActivate=11.03.2024\n");
  EXPECT_NE(tail.find("\nModelOfKKT=КАССА-ДЕМО" + std::string(30, ' ') + "\n"), std::string::npos);
  EXPECT_NE(tail.find("\nFacoryNumOfKKT=000000123456\n"), std::string::npos);
  EXPECT_NE(tail.find("ArhivNotSend=не перенесены по причине: нет носителя\n"), std::string::npos);
  EXPECT_NE(tail.find("\nM2=\n"), std::string::npos);
}

TEST_F(Cli, PortsAreListedAndTheSearchTriesTheGivenPortFirst) {
  Outcome o = RunRaw({"--settings", Path("eklz.ini"), "ports"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("COM1\t/dev/ttyS0", 0), 0u) << o.out;
  EXPECT_NE(o.out.find("\nCOM8\t/dev/ttyS7"), std::string::npos) << o.out;
  EXPECT_EQ(o.err, "");  // no "port not given" notice: the command opens no link

  // The simulator answers at 9600 only: 4800 goes unanswered, then 9600 is found,
  // before any port of this computer is tried.
  SimSession sim(true);
  const uint64_t before = sim.server->Requests();
  o = Run(sim, {"find", "--rates", "4800,9600"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "ЭКЛЗ найдена: " + sim.server->SlavePath() + ", 9600\n");
  EXPECT_EQ(sim.server->Requests() - before, 1u);  // the one answered at 9600

  o = Run(sim, {"find", "--rates", "9600,14400"});
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(sim.server->Requests() - before, 1u);
}

TEST_F(Cli, ADeviceFailureGoesToStandardErrorWithStatusOne) {
  sim::ServerOptions options;
  options.faults.answers[0x10] = 0x02;
  SimSession sim(true, options);
  Outcome o = Run(sim, {"sale", "--sum", "1"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Некорректное состояние ЭКЛЗ.\n");
  EXPECT_NE(o.out.find("Состояние операции: Некорректное состояние ЭКЛЗ"), std::string::npos);

  // A warning ends in ")": shown without a full stop, on two lines.
  options.faults.answers[0x10] = 0x82;
  SimSession full(true, options);
  o = Run(full, {"sale"});
  EXPECT_EQ(o.err, "Некорректное состояние ЭКЛЗ\nЭКЛЗ близка к заполнению (предупреждение)\n");

  o = RunRaw({"--settings", Path("eklz.ini"), "--port", Path("no-such-port"), "status"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err.rfind("System Error.  Code: 2.\n", 0), 0u) << o.err;
}

TEST_F(Cli, UsageErrorsNameTheOptionAndSendNothing) {
  SimSession sim(true);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"sale", "--sum", "abc"},
       "eklz: неверное значение параметра --sum: 'abc', нужно число, например 12,50 (дробная часть "
       "через запятую или точку)\n"},
      {{"--baud", "12345x", "status"},
       "eklz: неверное значение параметра --baud: '12345x', нужно целое число\n"},
      {{"finish-document", "--date", "1.2.2026"},
       "eklz: неверное значение параметра --date: '1.2.2026', нужна дата ДД.ММ.ГГГГ\n"},
      {{"sale", "--colour", "red"}, "eklz: неизвестный параметр --colour\n"},
      {{"sale", "--department", "17"},
       "eklz: неверное значение параметра --department: допустимо от 1 до 16\n"},
      {{"finish-document", "--date", "31.02.2026"},
       "eklz: неверное значение параметра --date: '31.02.2026', такой даты нет\n"},
      {{"set-exchange", "--rate", "14400"},
       "eklz: неверное значение параметра --rate: допустимы 2400, 4800, 9600, 19200, 38400, 57600\n"},
      {{"frobnicate"}, "eklz: неизвестная команда frobnicate\n"},
      {{}, "eklz: не задана команда (список команд: eklz --help)\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(sim, c.args);
    EXPECT_EQ(o.status, 2) << c.message;
    EXPECT_EQ(o.err, c.message);
  }
  EXPECT_EQ(sim.server->Requests(), 0u);
}

// Every value a command can judge alone is refused with status 2 before the
// port is opened (the port here does not exist).
TEST_F(Cli, ValuesAreJudgedBeforeThePortOpens) {
  const std::vector<std::string> activation = {"activate", "--serial", "000000123456", "--inn",
                                               "771234567890", "--reg-number", "000000654321"};
  auto with = [](std::vector<std::string> args, std::vector<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"free-text", "--text", "x"}, "не задан параметр --binding"},
      {{"set-exchange"}, "не задан параметр --rate"},
      {{"command"}, "не задан параметр --bytes"},
      {{"command", "--bytes", "07 001"}, "неверное значение параметра --bytes: Должно быть только две цифры"},
      {{"command", "--bytes", "07", "--length", ""}, "неверное значение параметра --length: пустое значение"},
      {{"command", "--bytes", "07", "--length", "123"},
       "неверное значение параметра --length: Должно быть только две цифры"},
      {{"control-tape", "--shift", "32768"}, "неверное значение параметра --shift: допустимо от 1 до 32767"},
      {{"document", "--kpk", "100000000"}, "неверное значение параметра --kpk: допустимо от 0 до 99999999"},
      {{"report", "--type", "8"}, "неверное значение параметра --type: допустимо от 0 до 7"},
      {{"set-exchange", "--rate", "9600", "--exchange-timeout", "1"},
       "неверное значение параметра --exchange-timeout: допустимо от 2 до 255"},
      {{"activate", "--inn", "771234567890", "--reg-number", "000000654321"}, "не задан параметр --serial"},
      {with(activation, {"--serial", "12345"}),
       "неверное значение параметра --serial: нужно ровно 12 символов кодовой страницы Windows-1251"},
      {with(activation, {"--inn", "77123456789X"}), "неверное значение параметра --inn: нужно ровно 12 цифр"},
      {with(activation, {"--line-width", "20"}), "неверное значение параметра --line-width: допустимы 16, 40"},
      {with(activation, {"--last-shift", "65536"}),
       "неверное значение параметра --last-shift: допустимо от 0 до 65535"},
      {with(activation, {"--name", "ОЧЕНЬ ДЛИННОЕ ИМЯ"}),
       "неверное значение параметра --name: не длиннее 16 символов при ширине строки 16"},
      {{"dump", "--page", "8192"}, "неверное значение параметра --page: допустимо от 0 до 8191"},
      {{"dump", "--page", "1", "--to", "2"}, "параметр --page нельзя задавать вместе с --from и --to"},
      {{"mass-documents", "--count", "0"}, "неверное значение параметра --count: допустимо от 1 до 10000"},
      {{"mass-documents", "--count", "10001"}, "неверное значение параметра --count: допустимо от 1 до 10000"},
      {{"sale", "--sum", "1,005"}, "неверное значение параметра --sum: не больше 2 знаков после запятой"},
      {{"discount", "--sum", "10.5050"}, "неверное значение параметра --sum: не больше 2 знаков после запятой"},
      {{"sale", "--quantity", "0.0001"},
       "неверное значение параметра --quantity: не больше 3 знаков после запятой"},
      {{"command", "--bytes", "07 zz"}, "неверное значение параметра --bytes: Вы ввели не 16-тиричное чило"},
      // Amounts outside their limits, with the message the window gives.
      {{"sale", "--sum", "-5"}, "неверное значение параметра --sum: Сумма не может быть отрицательной"},
      {{"sale", "--sum", "99999999999999"}, "неверное значение параметра --sum: Слишком большая величина суммы"},
      {{"sale", "--quantity", "100000"},
       "неверное значение параметра --quantity: Слишком большая величина количества товара"},
      {{"discount", "--sum", "100000000"}, "неверное значение параметра --sum: Слишком большая величина скидки"},
      {{"mass-documents", "--margin-sum", "-1"},
       "неверное значение параметра --margin-sum: Сумма наценки не может быть отрицательной"},
      {{"free-text", "--binding", "sale", "--department", "100"},
       "неверное значение параметра --department: допустимо от 1 до 99"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--settings", Path("eklz.ini"), "--port", Path("no-such-port")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = RunRaw(args);
    EXPECT_EQ(o.status, 2) << c.message;
    EXPECT_EQ(o.err, "eklz: " + c.message + "\n");
    EXPECT_EQ(o.out, "") << c.message;
  }
  // Good values of the same kinds pass the checks and reach the port.
  for (const std::vector<std::string>& good :
       {std::vector<std::string>{"sale", "--sum", "1,50", "--quantity", "0,125"},
        std::vector<std::string>{"sale", "--sum", "99999999.99", "--quantity", "99999,999", "--department", "16"},
        with(activation, {"--line-width", "40", "--name", "ОЧЕНЬ ДЛИННОЕ ИМЯ"})}) {
    std::vector<std::string> args = {"--settings", Path("eklz.ini"), "--port", Path("no-such-port")};
    args.insert(args.end(), good.begin(), good.end());
    EXPECT_EQ(RunRaw(args).status, 1) << good[0];
  }
}

TEST_F(Cli, ARefusedReportTypeFailsWithStatusOne) {
  SimSession sim(true);
  const Outcome o = Run(sim, {"report", "--type", "2"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "Запрос отчета:\nВыбранный Вами тип отчета в данной версии ЭКЛЗ не подерживается\n");
  EXPECT_EQ(o.err, "Выбранный Вами тип отчета в данной версии ЭКЛЗ не подерживается.\n");
  EXPECT_EQ(sim.server->Requests(), 0u);
}

// Every way of asking for help answers with status 0; the help states
// ranges, required options and what the options really do.
TEST_F(Cli, HelpStatesRangesAndRequiredOptions) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> says;
  } cases[] = {
      {{"-h"}, {"Использование: eklz", "2000 мс + МС", "--encoding", "eklz-tester.ini", "128 + номер сигнала"}},
      {{"help"}, {"Использование: eklz"}},
      {{"help", "dump"}, {"--page N", "; от 0 до 8191"}},
      {{"help", "sale"}, {"; от 1 до 16", "; от 0 до 99999,999", "; от 0 до 99999999,99"}},
      {{"free-text", "-h"}, {"--binding КОД", "(обязательный)"}},
      {{"report", "--help"}, {"  4    полный по датам по закрытиям смен", "; от 0 до 7"}},
      {{"command", "--help"}, {"код команды не меняется"}},
      {{"mass-documents", "--help"}, {"; от 1 до 10000"}},
  };
  for (const Case& c : cases) {
    const Outcome o = RunRaw(c.args);
    EXPECT_EQ(o.status, 0) << c.args[0];
    for (const std::string& text : c.says) EXPECT_NE(o.out.find(text), std::string::npos) << text;
  }
  const Outcome o = RunRaw({"--version"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("eklz ", 0), 0u);
}

TEST_F(Cli, HelpIsRussianThroughout) {
  Outcome o = RunRaw({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("Использование: eklz", 0), 0u);
  for (const char* name : {"sale", "full-dump", "repair-request", "command"}) {
    EXPECT_NE(o.out.find(std::string("\n  ") + name + " "), std::string::npos) << name;
  }
  o = RunRaw({"dump", "--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("--file ФАЙЛ"), std::string::npos);
}

TEST_F(Cli, CtrlCDuringADumpKeepsWholePages) {
  sim::ServerOptions options;
  options.faults.byteDelayMs = 1;  // about half a second a page
  SimSession sim(true, options);
  const Outcome o = Run(sim, {"dump", "--from", "0", "--to", "99", "--file", Path("part.bin")},
                        Child::Signal(SIGINT, 1, 200));
  EXPECT_EQ(o.status, 128 + SIGINT) << o.err;
  const auto size = fs::file_size(Path("part.bin"));
  EXPECT_EQ(o.err, "Прервано (SIGINT): записано " + Counted(size / 512, "страницу", "страницы", "страниц") + " из 100\n");
  EXPECT_GE(size, 512u);
  EXPECT_LT(size, 100u * 512u);
  EXPECT_EQ(size % 512, 0u);
  // The page in progress was completed and shown.
  EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n') / 8, static_cast<long>(size / 512));
}

// Each stop signal ends a long run between two exchanges: what was done so
// far is on standard output and in the protocol file, line by line, and the
// exchange in progress completed.
TEST_F(Cli, AStopSignalEndsARunBetweenExchanges) {
  sim::ServerOptions options;
  options.faults.byteDelayMs = 5;
  SimSession sim(true, options);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const Outcome o = Run(sim, {"--protocol", Path("protocol.txt"), "mass-documents", "--count",
                                "1000", "--sum", "1"},
                          Child::Signal(signal, 3, 50));
    EXPECT_EQ(o.status, 128 + signal) << o.err;
    const std::string protocol = Slurp(Path("protocol.txt"));
    long requests = 0;
    for (size_t at = 0; (at = protocol.find("==> ", at)) != std::string::npos; ++at) ++requests;
    EXPECT_GT(requests, 0);
    EXPECT_EQ(o.err, "Прервано (SIG" + std::string(sigabbrev_np(signal)) +
                         "): отправлено " + Counted(requests, "запрос", "запроса", "запросов") + "\n");
    // The last request got its whole reply (ACK ... checksum).
    const std::string last = protocol.substr(protocol.rfind("==> "));
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 7) << last;
    EXPECT_NE(o.out.find("Состояние операции:"), std::string::npos);
    EXPECT_EQ(o.out.back(), '\n');
  }
}

// A stop during one of the repair request's page queries ends the whole
// interrogation, not just that page.
TEST_F(Cli, AStopDuringARepairRequestEndsIt) {
  sim::ServerOptions options;
  options.faults.byteDelayMs = 2;
  SimSession sim(true, options);
  const Outcome o = Run(sim, {"--protocol", Path("protocol.txt"), "repair-request"},
                        Child::Signal(SIGTERM, 3, 50));
  EXPECT_EQ(o.status, 128 + SIGTERM) << o.err;
  EXPECT_EQ(o.out.find("Переменные бланка заявки:"), std::string::npos);
  // The version query and the abort came before the first page.
  EXPECT_EQ(o.err, "Прервано (SIGTERM): записано 1 страницу из 1\n");
  EXPECT_LE(sim.server->Requests(), 3u);
}

// Lines leave as they are made: a run killed outright has already shown
// and logged what it did, and a reader of the pipe sees the first line
// while the run goes on.
TEST_F(Cli, LinesAreWrittenAsTheyAreMade) {
  sim::ServerOptions options;
  options.faults.byteDelayMs = 20;
  SimSession sim(true, options);
  Outcome o = Run(sim, {"--protocol", Path("protocol.txt"), "mass-documents", "--count", "5"},
                  Child::Signal(SIGKILL, 2));
  EXPECT_EQ(o.status, 128 + SIGKILL);
  EXPECT_EQ(o.out.rfind("Выполнение продажи", 0), 0u) << o.out;
  EXPECT_EQ(Slurp(Path("protocol.txt")).rfind("==> 02 ", 0), 0u);

  // The reader goes away after the first line, long before the ten requests
  // of the run are done; with the output held back it would see the line
  // only at the end, and nothing would stop the run.
  o = Run(sim, {"mass-documents", "--count", "5"}, Child::ClosingAfter(1));
  EXPECT_EQ(o.status, 128 + SIGPIPE);
  const std::string prefix = "Прервано (SIGPIPE): отправлено ";
  ASSERT_EQ(o.err.rfind(prefix, 0), 0u) << o.err;
  EXPECT_LT(std::stoi(o.err.substr(prefix.size())), 10);
}

// The first Ctrl-C lets the exchange in progress finish; a second one ends
// a wait for a silent device at once.
TEST_F(Cli, ASecondSignalCancelsTheWaitAtOnce) {
  sim::ServerOptions options;
  options.faults.silent = true;
  SimSession sim(true, options);
  Child twice = Child::Signal(SIGINT, 1, 100);
  twice.repeatAfterMs = 100;
  const auto start = std::chrono::steady_clock::now();
  const Outcome o = Run(sim, {"status"}, twice);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_EQ(o.status, 128 + SIGINT);
  EXPECT_EQ(o.err, "Прервано (SIGINT): отправлено 1 запрос\n");
}

// A reader that goes away (`| head -1`) stops a full dump like Ctrl-C: the
// raised speed is set back, the dump file holds whole pages, status 141.
TEST_F(Cli, AClosedOutputStopsAFullDumpAndSetsTheSpeedBack) {
  SimSession sim(true);
  const Outcome o =
      Run(sim, {"full-dump", "--max-speed", "--file", Path("all.bin")}, Child::ClosingAfter(9));
  EXPECT_EQ(o.status, 128 + SIGPIPE) << o.err;
  EXPECT_NE(o.out.find("\nНовые параметры обмена применены\nЗапрос дампа архива:\n"), std::string::npos);
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(LoadSettings(Path("eklz.ini")).BoundRate, "9600");
  const auto size = fs::file_size(Path("all.bin"));
  EXPECT_EQ(size % 512, 0u);
  EXPECT_EQ(o.err, "Прервано (SIGPIPE): записано " + Counted(size / 512, "страницу", "страницы", "страниц") + " из 8192\n");
}

// --resume on the first 37 pages of a dump gives the dump that runs
// through, at the fastest rate, with the device back at 9600. A file that is
// no dump is not continued and stays as it was.
TEST_F(Cli, AResumedFullDumpIsTheDumpThatRunsThrough) {
  SimSession sim(true);
  Outcome o = Run(sim, {"--quiet", "full-dump", "--file", Path("whole.bin")});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string whole = Slurp(Path("whole.bin"));
  std::ofstream(Path("part.bin"), std::ios::binary) << whole.substr(0, 37 * 512);
  o = Run(sim, {"full-dump", "--raise-to", "max", "--resume", "--file", Path("part.bin")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Дамп продолжается со страницы 37\n"), std::string::npos);
  EXPECT_NE(o.out.find("\nСвязь на скорости 57600 проверена\n"), std::string::npos);
  EXPECT_NE(o.out.find("\n    Страница №37\n"), std::string::npos);
  EXPECT_EQ(o.out.find("\n    Страница №36\n"), std::string::npos);
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_TRUE(Slurp(Path("part.bin")) == whole);

  std::ofstream(Path("odd.bin"), std::ios::binary) << std::string(700, 'x');
  const uint64_t sent = sim.server->Requests();
  o = Run(sim, {"full-dump", "--max-speed", "--resume", "--file", Path("odd.bin")});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Файл \"" + Path("odd.bin") +
                       "\" не является дампом архива: его размер 700 байт не кратен размеру "
                       "страницы (512 байт). Файл не изменён.\n");
  EXPECT_EQ(Slurp(Path("odd.bin")), std::string(700, 'x'));
  EXPECT_LE(sim.server->Requests(), sent + 1) << "at most the abort of the link's opening";
}

// On a terminal, long runs show their progress on standard error, in one
// line that result lines never share.
TEST_F(Cli, LongRunsShowTheirProgressOnATerminal) {
  SimSession sim(true);
  test::PtyPair terminal;
  Child child;
  child.errPath = terminal.SlavePath();
  struct Case {
    std::vector<std::string> args;
    std::string progress;
  } cases[] = {
      {{"mass-documents", "--count", "3", "--sum", "1"}, "Документ 3 из 3"},
      {{"dump", "--from", "0", "--to", "1"}, "Дамп архива: страница 2 из 2"},
      {{"autotest"}, "Запрос 7 из 7"},
      {{"control-tape", "--shift", "1"}, "Фрагмент отчёта 2"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(sim, c.args, child);
    EXPECT_EQ(o.status, 0) << c.args[0];
    const Bytes shown = terminal.ReadAvailable(1000);
    const std::string text(shown.begin(), shown.end());
    EXPECT_NE(text.find(c.progress), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K") << "the line is cleared at the end";
    EXPECT_EQ(o.out.find("\033"), std::string::npos);
  }
  // Not on a terminal: nothing.
  const Outcome o = Run(sim, {"mass-documents", "--count", "2"});
  EXPECT_EQ(o.err, "");
}

TEST_F(Cli, ExchangeParametersAreKeptForTheNextRun) {
  SimSession sim(true);
  // Keys the run did not change stay as they were, however long.
  const std::string name(3000, 'N');
  std::ofstream(Path("eklz.ini"), std::ios::binary) << "[Options]\r\nNameOrg=" << name << "\r\n";
  Outcome o = Run(sim, {"set-exchange", "--rate", "19200", "--exchange-timeout", "20"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(LoadSettings(Path("eklz.ini")).BoundRate, "19200");
  EXPECT_NE(Slurp(Path("eklz.ini")).find("NameOrg=" + name + "\r\n"), std::string::npos);
  // The next run opens the port at 19200 from the settings and is understood.
  o = RunRaw({"--settings", Path("eklz.ini"), "status"});
  EXPECT_EQ(o.status, 0) << o.err;
  o = Run(sim, {"--baud", "9600", "--timeout", "10", "status"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Устройство не отвечает.\n");
}

// --protocol records the exchange whatever LogHEX says; mass-documents
// keeps quiet with --quiet like every other command.
TEST_F(Cli, TheProtocolAndQuietOptionsHoldForEveryCommand) {
  std::ofstream(Path("eklz.ini")) << "[Options]\nLogHEX=0\n";
  SimSession sim(true);
  Outcome o = Run(sim, {"--protocol", Path("protocol.txt"), "abort"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(Slurp(Path("protocol.txt")), "==> 02 01 06 07\n<== 06\n<== 02\n<== 01\n<== 00\n<== \n<== 01\n");
  o = Run(sim, {"--quiet", "--protocol", Path("protocol.txt"), "mass-documents", "--sum", "1"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_NE(Slurp(Path("protocol.txt")).find("==> 02 "), std::string::npos);
  // Neither is a result that cannot be written.
  Child full;
  full.outPath = "/dev/full";
  o = Run(sim, {"abort"}, full);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Ошибка записи в стандартный вывод: На устройстве не осталось свободного места\n");
  // A protocol that cannot be written whole is a failure, not a silent loss.
  o = Run(sim, {"--protocol", "/dev/full", "abort"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Ошибка записи в файл протокола \"/dev/full\": На устройстве не осталось свободного места\n");
}

// A full dump changes nothing on the device unless it can keep the dump and
// the settings; set-exchange tells the device's rate when the settings
// cannot follow it.
TEST_F(Cli, NothingIsChangedThatCannotBeKept) {
  std::ofstream(Path("plain-file")) << "x";
  const std::string unwritable = Path("plain-file") + "/eklz.ini";
  SimSession sim(true);
  Outcome o = Run(sim, {"full-dump", "--max-speed", "--file", Path("no-dir") + "/all.bin"});
  EXPECT_EQ(o.status, 1);
  // The system's reason in Russian, as in every file message.
  EXPECT_EQ(o.err, "Невозможно создать файл дампа \"" + Path("no-dir") +
                       "/all.bin\": Нет такого файла или каталога.\n");

  sim.session.ClosePort();
  o = RunRaw({"--settings", unwritable, "--port", sim.server->SlavePath(), "full-dump",
              "--max-speed", "--file", Path("all.bin")});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Невозможно записать файл настроек \"" + unwritable + "\": Это не каталог.\n");
  EXPECT_EQ(sim.server->Requests(), 0u);
  EXPECT_FALSE(fs::exists(Path("all.bin")));

  o = RunRaw({"--settings", unwritable, "--port", sim.server->SlavePath(), "set-exchange",
              "--rate", "19200", "--exchange-timeout", "20"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(sim.device.BaudRate(), 19200u);
  EXPECT_NE(o.err.find("\nЭКЛЗ и порт работают на скорости 19200, тайм-аут 20; задайте их при "
                       "следующем запуске: --baud 19200 --timeout 20\n"),
            std::string::npos)
      << o.err;
}

// A relative port path is saved as an absolute one, so the settings work
// from any folder.
TEST_F(Cli, ASavedPortPathIsAbsolute) {
  SimSession sim(true);
  sim.session.ClosePort();
  fs::create_symlink(sim.server->SlavePath(), Path("line"));
  const Outcome o = RunRaw({"--settings", Path("eklz.ini"), "--port", "./line", "set-exchange",
                            "--rate", "4800"},
                           Child::In(temp.Path().string()));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(LoadSettings(Path("eklz.ini")).ComPort, Path("line"));
  EXPECT_EQ(RunRaw({"--settings", Path("eklz.ini"), "status"}).status, 0);
}

// Messages say where they come from: the port, the settings file and key,
// the port tried when nothing names one.
TEST_F(Cli, MessagesNameTheirContext) {
  Outcome o = RunRaw({"--settings", Path("eklz.ini"), "--port", Path("no-such-port"), "status"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "System Error.  Code: 2.\nНет такого файла или каталога.\nПорт: " +
                       Path("no-such-port") + "\n");

  // A port that refuses access (this file does, also to root) names the dialout group.
  o = RunRaw({"--settings", Path("eklz.ini"), "--port", "/sys/kernel/notes", "status"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "System Error.  Code: 13.\nОтказано в доступе.\nПорт: /sys/kernel/notes\n"
                   "Нет прав на порт: добавьте пользователя в группу dialout (sudo usermod -aG "
                   "dialout ИМЯ) и войдите в систему заново\n");

  std::ofstream(Path("eklz.ini")) << "[Options]\nBoundRate=9600бод\n";
  o = RunRaw({"--settings", Path("eklz.ini"), "--port", Path("no-such-port"), "status"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Неверное значение BoundRate в файле настроек \"" + Path("eklz.ini") +
                       "\": '9600бод', нужно целое число.\n");

  o = RunRaw({"--settings", Path("none.ini"), "status"});
  EXPECT_EQ(o.err.substr(0, o.err.find('\n')),
            "eklz: порт не задан (--port) и файла настроек \"" + Path("none.ini") +
                "\" нет: используется порт COM1 (/dev/ttyS0)");
}

TEST_F(Cli, TheProtocolFileHoldsTheExchange) {
  SimSession sim(true);
  const Outcome o = Run(sim, {"--protocol", Path("protocol.txt"), "--quiet", "abort"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(Slurp(Path("protocol.txt")),
            "==> 02 01 06 07\n<== 06\n<== 02\n<== 01\n<== 00\n<== \n<== 01\n");
}

}  // namespace
}  // namespace eklz::test
