// The automated procedures against the simulated EKLZ and its faults.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "commands/CommandTest.h"
#include "commands/Link.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"
#include "settings/Settings.h"
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
  EXPECT_EQ(panel.serialNumEklz, "");
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

}  // namespace
}  // namespace eklz::test
