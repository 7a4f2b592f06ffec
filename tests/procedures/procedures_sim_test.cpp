// The automated procedures against the simulated EKLZ and its faults.
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "commands/Link.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"
#include "settings/Settings.h"
#include "support/Pty.h"
#include "support/SimSession.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

namespace fs = std::filesystem;

// Lines of a memo text (CR LF between lines).
Lines MemoLines(const std::string& memo) {
  Lines out;
  size_t start = 0;
  for (size_t end; (end = memo.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(memo.substr(start, end - start));
  }
  out.push_back(memo.substr(start));
  return out;
}

// The whole content of a file.
std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The request lines ("==> ...") of the protocol view.
Lines Requests(const RecordingSink& sink) {
  Lines out;
  for (const std::string& l : sink.protocol) {
    if (l.rfind("==> ", 0) == 0) out.push_back(l.substr(4));
  }
  return out;
}


TEST(RepairRequestAgainstTheSimulator, ASilentDeviceFillsTheMemoAndChangesNoValue) {
  sim::ServerOptions options;
  options.faults.silent = true;
  SimSession sim(true, options);
  KkmParticulars known;
  known.model = "прежняя модель";
  RepairRequestPanel panel;
  panel.detectFailure = "старый текст";
  panel.serialNumEklz = "123";
  EXPECT_EQ(RunRepairRequest(sim.session, false, false, true, panel, known).model, "прежняя модель");
  EXPECT_EQ(MemoLines(panel.detectFailure), Lines(12, "Устройство не отвечает"));
  EXPECT_EQ(panel.serialNumEklz, "123") << "what the operator typed stays";
  EXPECT_EQ(panel.nameKkm, "прежняя модель");
  EXPECT_EQ(panel.dateOfActivate, CalendarDate{});
  EXPECT_EQ(panel.dateOfBroken, Today());
  // Sequence A: abort, pages 0 and 8191, crypto serial, status, shift
  // status, archive test, page 2, processor dump, pages 486 and 8191.
  EXPECT_EQ(Requests(sim.sink),
            (Lines{"02 01 2A 2B", "02 01 06 07", "02 03 03 00 00 00", "02 03 03 1F FF E0",
                   "02 01 39 38", "02 02 07 01 04", "02 02 07 02 07", "02 02 08 01 0B",
                   "02 03 03 00 02 02", "02 01 3D 3C", "02 03 03 01 E6 E7",
                   "02 03 03 1F FF E0"}));
}

TEST(RepairRequestAgainstTheSimulator, TheDefaultVersionSelectsSequenceB) {
  SimSession sim(true);
  RepairRequestPanel panel;
  // Values learned before the run give way to what the activation result returns.
  KkmParticulars known;
  known.serial = "старый номер";
  known.activationDate = CalendarDate{2001, 2, 3};
  const KkmParticulars kkm = RunRepairRequest(sim.session, false, true, true, panel, known);
  EXPECT_EQ(panel.detectFailure, "");
  EXPECT_EQ(Requests(sim.sink),
            (Lines{"02 01 2A 2B", "02 01 06 07", "02 03 03 00 00 00", "02 03 03 1F FF E0",
                   "02 01 39 38", "02 02 07 01 04", "02 01 3C 3D", "02 02 07 02 07",
                   "02 02 08 01 0B", "02 03 03 00 02 02", "02 03 03 00 46 46",
                   "02 03 03 1F FF E0", "02 03 03 1F FE E1", "02 01 24 25", "02 01 05 04",
                   "02 01 05 04", "02 01 05 04"}));
  // The activation result refreshed the stored values and the panel.
  const sim::Activation& a = *sim.device.State().activation;
  EXPECT_EQ(kkm.serial, a.serial);
  EXPECT_EQ(kkm.activationDate, a.stamp.date);
  EXPECT_EQ(panel.serialNumKkm, a.serial);
  EXPECT_EQ(panel.dateOfActivate, a.stamp.date);
  EXPECT_FALSE(panel.nameKkm.empty());
  EXPECT_EQ(RepairFormVariable(kkm, {}, panel, "facorynumofkkt"), a.serial);
}

TEST(RepairRequestAgainstTheSimulator, FailuresAreCollectedAndTheRunGoesOn) {
  sim::ServerOptions options;
  options.faults.archiveDamaged = true;
  options.faults.answers[0x39] = 0x04;
  SimSession sim(true, options);
  RepairRequestPanel panel;
  RunRepairRequest(sim.session, false, true, false, panel);
  EXPECT_EQ(MemoLines(panel.detectFailure),
            (Lines{"", "Авария  КС  (Криптографического сопроцессора) в составе ЭКЛЗ",
                   "Авария  ЭКЛЗ"}));
  EXPECT_FALSE(panel.serialNumKkm.empty());
}

TEST(RepairRequestForm, Variables) {
  const RepairOrganisation org{"ЦТО", "Петров П. П."};
  KkmParticulars kkm;
  kkm.model = "Модель";
  kkm.serial = "000000123456";
  kkm.activationDate = CalendarDate{2005, 1, 19};
  RepairRequestPanel panel;
  panel.numRequest = "7";
  panel.serialNumEklz = "1234567890123";
  panel.nameKkm = "изменено оператором";
  panel.dateOfBroken = {2026, 12, 1};
  panel.dateOfCheck = {2026, 12, 10};
  panel.developmentFailure = "не включается";
  panel.detectFailure = "\r\nАвария  ЭКЛЗ";
  const Lines expected = {"7", "1234567890123", "19.01.2005", "Модель", "000000123456", "ЦТО",
                          "01.12.2026", "10.12.2026", "Петров П. П.", "перенесены",
                          "не включается", "\r\nАвария  ЭКЛЗ"};
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(RepairFormVariable(kkm, org, panel, kRepairFormVariables[i]), expected[i]);
  }
  EXPECT_EQ(RepairFormVariable(kkm, org, panel, "MODELOFKKT"), "Модель");
  panel.archiveTransferred = false;
  EXPECT_EQ(RepairFormVariable(kkm, org, panel, "ArhivNotSend"), "не перенесены по причине: ");
  panel.failureToCarryOut = "нет носителя";
  EXPECT_EQ(RepairFormVariable(kkm, org, panel, "arhivnotsend"), "не перенесены по причине: нет носителя");
  EXPECT_EQ(RepairVersionText(std::string("ver 3.0 01.2002 \0ЭКЛЗ!", 26)), "ver 3.0 01.2002 !");
  EXPECT_EQ(RepairVersionText("ver 3.0 01.2002"), "ver 3.0 01.2002");
}

TEST(MassDocumentsAgainstTheSimulator, TwoDiscountsBelowAThirtyTotal) {
  SimSession sim(true);
  const size_t shiftsBefore = sim.device.State().shifts.size();
  MassDocumentsParams p;
  p.sum = 10;
  p.repetitions = 3;
  p.makeDiscounts = true;
  p.discountCount = 5;
  p.discountSum = 10;
  ClockSeededRandom random;
  RunMassDocuments(sim.session, p, random, true, true);
  const auto& shifts = sim.device.State().shifts;
  ASSERT_GT(shifts.size(), shiftsBefore);
  const sim::Document& doc = shifts.back().documents.back();
  EXPECT_EQ(doc.discounts, 2000);
  EXPECT_EQ(doc.Total(), 1000);
  const Lines sent = Requests(sim.sink);
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                          [](const std::string& l) { return l.rfind("02 06 16", 0) == 0; }),
            2);
}

TEST(MassDocumentsAgainstTheSimulator, RandomRepetitionsFromOneSendNothing) {
  SimSession sim(true);
  MassDocumentsParams p;
  p.documentCount = 3;
  p.randomRepetitions = true;
  ClockSeededRandom random;
  RunMassDocuments(sim.session, p, random, false, true);
  EXPECT_EQ(sim.server->Requests(), 0u);
}

TEST(AutotestAgainstTheSimulator, SevenQueriesInOrderAndAFailureStopsIt) {
  SimSession sim(true);
  RunAutotest(sim.session, true, false, true);
  EXPECT_EQ(sim.sink.result.front().rfind("Дата,время отчета:", 0), 0u);
  EXPECT_EQ(sim.sink.result.front().size(), std::string("Дата,время отчета:").size() + 17);
  const Lines sent = Requests(sim.sink);
  const Lines queries(sent.begin(), sent.begin() + 7);
  EXPECT_EQ(queries, (Lines{"02 01 94 95", "02 01 39 38", "02 01 AA AB", "02 02 08 01 0B",
                            "02 02 07 01 04", "02 02 07 02 07", "02 01 A4 A5"}));

  sim::ServerOptions options;
  options.faults.archiveDamaged = true;
  SimSession damaged(true, options);
  EXPECT_THROW(RunAutotest(damaged.session, false, false, true), TEKLZException);
  EXPECT_EQ(Requests(damaged.sink),
            (Lines{"02 01 14 15", "02 01 39 38", "02 01 2A 2B", "02 02 08 01 0B"}));
  EXPECT_EQ(damaged.sink.result.back(), "Архив повреждён!");
}

TEST(FullDumpAgainstTheSimulator, RaisedSpeedAroundAWholeDump) {
  SimSession sim(true);
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  sim.session.settingsFile = temp.File("eklz-tester.ini");
  RunFullDump(sim.session, file, true, true, true);
  EXPECT_FALSE(ReadRaisedRate(sim.session.settingsFile)) << "set back: nothing recorded";
  const Lines sent = Requests(sim.sink);
  ASSERT_EQ(sent.size(), 8192u + 2u);
  EXPECT_EQ(sent.front(), "02 03 02 03 14 16");
  EXPECT_EQ(sent[1], "02 03 03 00 00 00");
  EXPECT_EQ(sent[8192], "02 03 03 1F FF E0");
  EXPECT_EQ(sent.back(), "02 03 02 02 0A 09");
  EXPECT_EQ(fs::file_size(file), 4194304u);
  EXPECT_EQ(sim.session.settings.BoundRate, "9600");
  EXPECT_EQ(sim.session.settings.TimeOuts, 10);
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(sim.session.Port().BaudRate(), 9600u);
}

TEST(FullDumpAgainstTheSimulator, AnAbortDuringTheFirstPageKeepsItAndRestoresTheSpeed) {
  SimSession sim(true);
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  sim.sink.closeAfterUpdates = 0;  // closed while the first page is awaited
  RunFullDump(sim.session, file, true, true, true);
  EXPECT_EQ(fs::file_size(file), 512u);
  EXPECT_EQ(Requests(sim.sink),
            (Lines{"02 03 02 03 14 16", "02 03 03 00 00 00", "02 03 02 02 0A 09"}));
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
}

TEST(FullDumpAgainstTheSimulator, ACancelFromAnotherThreadKeepsWholePagesAndRestoresTheSpeed) {
  sim::ServerOptions options;
  options.faults.pace = true;  // a page takes about 270 ms at 19200 baud
  SimSession sim(true, options);
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    sim.session.RequestCancel();
  });
  try {
    EklzSession::RunScope run(sim.session);
    RunFullDump(sim.session, file, true, true, true);
  } catch (const EOperationCancelled&) {
    // The cancel landed in a wait for a reply (a busy machine): the speed is
    // set back all the same, and the run says it was stopped.
  }
  canceller.join();
  const auto size = fs::file_size(file);
  EXPECT_EQ(size % 512, 0u);
  EXPECT_GE(size, 512u);
  EXPECT_LT(size, 8192u * 512u);
  EXPECT_EQ(Requests(sim.sink).back(), "02 03 02 02 0A 09");
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(sim.session.settings.BoundRate, "9600");
  EXPECT_FALSE(sim.session.CancelRequested());
}

TEST(FullDumpAgainstTheSimulator, ARateWithoutACodeIsNotMadeUp) {
  sim::ServerOptions options;
  options.rateCheck = false;  // the port runs at a rate the device has no code for
  SimSession sim(true, options);
  sim.session.settings.BoundRate = "14400";
  sim.sink.closeAfterUpdates = 0;
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  try {
    RunFullDump(sim.session, file, true, true, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(),
                 "Скорость 14400 не входит в список скоростей обмена ЭКЛЗ, прежняя скорость не "
                 "восстановлена: ЭКЛЗ и порт остаются на скорости 19200");
  }
  EXPECT_EQ(Requests(sim.sink), (Lines{"02 03 02 03 14 16", "02 03 03 00 00 00"}));
  EXPECT_EQ(sim.session.settings.BoundRate, "19200");
  EXPECT_EQ(fs::file_size(file), 512u);
}

TEST(FullDumpAgainstTheSimulator, AFailureDuringTheDumpLeavesTheSpeedRaised) {
  sim::ServerOptions options;
  options.faults.silentAfter = 3;  // the exchange parameters and two pages
  SimSession sim(true, options);
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  sim.session.settingsFile = temp.File("eklz-tester.ini");
  EXPECT_THROW(RunFullDump(sim.session, file, true, true, true), TEKLZException);
  EXPECT_EQ(fs::file_size(file), 1024u);
  EXPECT_EQ(sim.session.settings.BoundRate, "19200");
  EXPECT_EQ(sim.device.BaudRate(), 19200u);
  const std::optional<RaisedRate> recorded = ReadRaisedRate(sim.session.settingsFile);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->rate, "19200");
  EXPECT_EQ(recorded->timeout, 20);
}

// A program killed while a full dump had the device at 19200 left the rate
// in the settings file, its settings still at 9600. The next connect sets
// the device back; a device that never took the raised rate (killed just
// before) is found at the settings' rate all the same.
TEST(FullDumpAgainstTheSimulator, TheNextConnectSetsADeviceLeftAtTheRaisedRateBack) {
  for (const uint32_t left : {19200u, 9600u}) {
    SCOPED_TRACE(left);
    SimSession sim(true);
    sim.session.ClosePort();
    sim.device.SetRateCode(sim::Device::CodeOfRate(left));
    TempDir temp;
    sim.session.settingsFile = temp.File("eklz-tester.ini");
    RecordRaisedRate(sim.session.settingsFile, {"19200", 20});
    sim.session.settings.BoundRate = "9600";
    sim.session.settings.TimeOuts = 10;
    OpenLink(sim.session);
    EXPECT_EQ(sim.device.BaudRate(), 9600u);
    EXPECT_EQ(sim.session.Port().BaudRate(), 9600u);
    EXPECT_EQ(sim.session.settings.BoundRate, "9600");
    EXPECT_FALSE(ReadRaisedRate(sim.session.settingsFile));
    EXPECT_NO_THROW(AskStatus(sim.session, true, false));
  }
}

// "наибольшая" against a device that takes 57600: the switch, a status query
// at the new rate, the pages, the switch back; the settings file names 57600
// only while the device is there.
TEST(FullDumpAgainstTheSimulator, TheFastestRateIsCheckedAndUsedForTheDumpThenSetBack) {
  TempDir temp;
  const std::string ini = temp.File("eklz-tester.ini");
  bool seen = false;
  std::optional<RaisedRate> recordedDuringTheDump;
  sim::ServerOptions options;
  options.afterRequest = [&](const sim::Device& device) {
    if (device.BaudRate() != 57600 || seen) return;
    seen = true;
    recordedDuringTheDump = ReadRaisedRate(ini);
  };
  SimSession sim(true, options);
  sim.session.settingsFile = ini;
  sim.sink.closeAfterUpdates = 1;  // two pages
  FullDumpOptions fastest;
  fastest.raiseTo = kFullDumpFastest;
  RunFullDump(sim.session, temp.File("dump.bin"), true, false, true, fastest);
  EXPECT_EQ(Requests(sim.sink), (Lines{"02 03 02 05 14 10", "02 02 07 01 04", "02 03 03 00 00 00",
                                       "02 03 03 00 01 01", "02 03 02 02 0A 09"}));
  EXPECT_NE(std::find(sim.sink.result.begin(), sim.sink.result.end(), "Связь на скорости 57600 проверена"),
            sim.sink.result.end());
  EXPECT_EQ(sim.sink.lineRates, (std::vector<uint32_t>{57600}));
  ASSERT_TRUE(recordedDuringTheDump);
  EXPECT_EQ(recordedDuringTheDump->rate, "57600");
  EXPECT_FALSE(ReadRaisedRate(ini));
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(sim.session.settings.BoundRate, "9600");
}

// The line speed of a pty as the device side sees it.
uint32_t LineSpeed(int master) {
  termios tio{};
  ::tcgetattr(master, &tio);
  switch (::cfgetospeed(&tio)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    default: return 0;
  }
}

// Stepping down from 57600 on lines and devices that do not carry it. Every
// step is an exchange-parameters request at the rate in force.
TEST(FullDumpStepDown, EachStepGoesOutAtTheRateInForce) {
  struct Case {
    const char* name;
    int refusedFromCode;   // exchange-parameters codes from this one on are refused
    uint32_t losesReplyAt; // the line loses the device's replies at this speed
    Lines requests;
    std::vector<uint32_t> speeds;  // of the line at each request
    const char* line;              // a result line that says why
    uint32_t dumpRate;
  } cases[] = {
      {"the device refuses 57600", 5, 0,
       {"02 03 02 05 14 10", "02 03 02 04 14 11", "02 02 07 01 04", "02 03 03 00 00 00", "02 03 02 02 0A 09"},
       {9600, 9600, 38400, 38400, 38400},
       "ЭКЛЗ не приняла скорость 57600", 38400},
      {"the device refuses every raised rate", 3, 0,
       {"02 03 02 05 14 10", "02 03 02 04 14 11", "02 03 02 03 14 16", "02 03 03 00 00 00"},
       {9600, 9600, 9600, 9600},
       "Повышенная скорость не установлена, дамп на скорости 9600", 9600},
      {"the line loses replies at 57600", 6, 57600,
       {"02 03 02 05 14 10", "02 02 07 01 04", "02 03 02 04 14 11", "02 02 07 01 04", "02 03 03 00 00 00",
        "02 03 02 02 0A 09"},
       {9600, 57600, 57600, 38400, 38400, 38400},
       "ЭКЛЗ не отвечает на скорости 57600", 38400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtySession t;
    t.session.settings.ComPort = t.pty.SlavePath();
    t.session.settings.BoundRate = "9600";
    t.session.settings.TimeOuts = 10;
    sim::Device device;
    std::vector<uint32_t> speeds;
    {
      RespondingPeer peer(t.pty, [&](const Bytes& request) -> Bytes {
        const uint32_t speed = LineSpeed(t.pty.Master());
        speeds.push_back(speed);
        if (request.size() > 3 && request[2] == 0x02 && request[3] >= c.refusedFromCode) {
          return DeviceReply(0x01);
        }
        const sim::Response response = device.Handle(request);
        if (speed == c.losesReplyAt) return {};
        return response.bytes;
      });
      t.sink.closeAfterUpdates = 0;
      FullDumpOptions fastest;
      fastest.raiseTo = kFullDumpFastest;
      TempDir temp;
      RunFullDump(t.session, temp.File("dump.bin"), true, false, true, fastest);
    }
    EXPECT_EQ(Requests(t.sink), c.requests);
    EXPECT_EQ(speeds, c.speeds);
    EXPECT_NE(std::find(t.sink.result.begin(), t.sink.result.end(), c.line), t.sink.result.end());
    EXPECT_EQ(t.sink.lineRates, (std::vector<uint32_t>{c.dumpRate}));
    EXPECT_EQ(device.BaudRate(), 9600u);
    EXPECT_EQ(t.session.Port().BaudRate(), 9600u);
    EXPECT_EQ(t.session.settings.BoundRate, "9600");
  }
}

TEST(FullDumpAgainstTheSimulator, AFailedPageStillSetsTheSpeedBackWhenTheDeviceAnswers) {
  sim::ServerOptions options;
  options.faults.answers[0x03] = 0x02;  // every dump page is refused
  SimSession sim(true, options);
  TempDir temp;
  sim.session.settingsFile = temp.File("eklz-tester.ini");
  EXPECT_THROW(RunFullDump(sim.session, temp.File("dump.bin"), true, true, true), TEKLZException);
  EXPECT_EQ(Requests(sim.sink), (Lines{"02 03 02 03 14 16", "02 03 03 00 00 00", "02 03 02 02 0A 09"}));
  EXPECT_EQ(sim.session.LastAnswer.Code, 2) << "the failure's answer stays the last one";
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(sim.session.settings.BoundRate, "9600");
  EXPECT_FALSE(ReadRaisedRate(sim.session.settingsFile));
}

// A dump stopped after page 49 and continued is, byte for byte, the dump
// that ran through; the continued run asks only for the pages the file lacks.
TEST(FullDumpAgainstTheSimulator, AStoppedDumpContinuedIsTheDumpThatRanThrough) {
  SimSession sim(true);
  TempDir temp;
  const std::string whole = temp.File("whole.bin"), part = temp.File("part.bin");
  RunFullDump(sim.session, whole, false, true, false);
  sim.sink.percents.clear();
  sim.sink.closeAfterUpdates = 49;
  FullDumpOptions options;
  options.raiseTo = kFullDumpFastest;
  RunFullDump(sim.session, part, true, true, false, options);
  ASSERT_EQ(fs::file_size(part), 50u * 512u);

  sim.sink.closeAfterUpdates = -1;
  sim.sink.result.clear();
  options.resume = true;
  RunFullDump(sim.session, part, true, false, true, options);
  const Lines sent = Requests(sim.sink);
  ASSERT_EQ(sent.size(), 2u + (8192u - 50u) + 1u);
  EXPECT_EQ(sent[2], "02 03 03 00 32 32") << "page 50 first";
  EXPECT_EQ(sent[sent.size() - 2], "02 03 03 1F FF E0");
  EXPECT_EQ(sim.sink.result.front(), "Дамп продолжается со страницы 50");
  // The archive's pages, this run's among them, the file, the rate, the time.
  const std::string summary = "Дамп архива завершён: записано 8192 страницы из 8192 (в этом запуске 8142), файл \"" +
                              part + "\", скорость ";
  EXPECT_EQ(sim.sink.result.back().substr(0, summary.size()), summary) << sim.sink.result.back();
  EXPECT_EQ(fs::file_size(part), 4194304u);
  EXPECT_TRUE(FileBytes(part) == FileBytes(whole));
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
}

// Continuing asks nothing of the device when the file is complete, and
// refuses a file that is no dump, leaving it as it was.
TEST(FullDumpAgainstTheSimulator, ContinuingAFileOfPartPagesIsRefusedAndAFullOneIsDone) {
  struct Case {
    uintmax_t size;
    const char* failure;  // nullptr: no failure
  } cases[] = {
      {1000, "не является дампом архива: его размер 1000 байт не кратен размеру страницы (512 байт). "
             "Файл не изменён"},
      {8193u * 512u, "не является дампом архива: в нём 8193 страницы, а в архиве ЭКЛЗ 8192. Файл не изменён"},
      {8192u * 512u, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SimSession sim(true);
    TempDir temp;
    const std::string file = temp.File("dump.bin");
    std::ofstream(file, std::ios::binary) << std::string(c.size, '\x5A');
    FullDumpOptions options;
    options.resume = true;
    options.raiseTo = kFullDumpFastest;
    try {
      RunFullDump(sim.session, file, true, false, true, options);
      EXPECT_EQ(c.failure, nullptr);
      EXPECT_EQ(sim.sink.result, Lines{"Файл дампа \"" + file + "\" уже содержит все 8192 страниц архива"});
    } catch (const TEKLZException& e) {
      ASSERT_NE(c.failure, nullptr) << e.what();
      EXPECT_EQ(e.what(), "Файл \"" + file + "\" " + c.failure);
    }
    EXPECT_EQ(sim.server->Requests(), 0u);
    EXPECT_EQ(FileBytes(file), std::string(c.size, '\x5A'));
  }
}

}  // namespace
}  // namespace eklz::test
