// The command set end to end against the simulated EKLZ.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "commands/CommandTest.h"
#include "commands/Documents.h"
#include "commands/Reports.h"
#include "commands/Status.h"
#include "support/SimSession.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(CommandsAgainstTheSimulator, ADocumentFromSaleToCompletionReadsBack) {
  SimSession sim(true);
  EklzSession& s = sim.session;
  DoSale(s, 3, 2, 12.34, false, true);
  DoSale(s, 3, 1, 0.66, false, true);
  DoDiscount(s, 1, false, true);
  const std::string kpkLine = DoFinishDocument(s, false, 5, {2024, 3, 20}, {10, 15, 0}, false, true);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(kpkLine, m, std::regex("Номер КПК:(\\d{8})"))) << kpkLine;
  const long long kpk = std::stoll(m[1]);

  sim.sink.result.clear();
  std::string first = AskDocument(s, false, kpk, false, true);
  const Lines& r = sim.sink.result;
  EXPECT_TRUE(Contains(r, "    Дата:20.03.24"));
  EXPECT_TRUE(Contains(r, "    Код оператора:5"));
  EXPECT_TRUE(Contains(r, "    Сумма:12.34"));
  EXPECT_TRUE(Contains(r, "    Сумма скидки:1.00"));
  EXPECT_TRUE(Contains(r, "    Номер КПК:" + std::string(m[1])));
  // The document total: 12.34 + 0.66 - 1.00.
  EXPECT_TRUE(Contains(r, "    Сумма:12.00"));
}

TEST(CommandsAgainstTheSimulator, ControlTapeInBothForms) {
  SimSession sim(true);
  std::string first = AskControlTape(sim.session, false, 1, false, true);
  EXPECT_EQ(first.rfind("Заголовок смены. Код фрагмента 0EH\r\n    Смена:1\r\n", 0), 0u) << first;
  const size_t numeric = sim.sink.result.size();
  EXPECT_GT(numeric, 20u);

  sim.sink.result.clear();
  first = AskControlTape(sim.session, true, 1, false, true);
  EXPECT_FALSE(first.empty());
  // Every fetched line is indented; the first comes last.
  const Lines& r = sim.sink.result;
  ASSERT_GT(r.size(), 8u);
  for (size_t i = 6; i + 1 < r.size(); ++i) EXPECT_EQ(r[i].substr(0, 4), "    ") << r[i];
  EXPECT_EQ(r.back(), first);
  // The report was read to its end: the device holds nothing more.
  EXPECT_FALSE(sim.device.ReportPending());
}

TEST(CommandsAgainstTheSimulator, TwentyPagesToAFileMatchTheArchive) {
  SimSession sim(true);
  TempDir temp;
  const std::string file = temp.File("dump.bin");
  std::string pageData = AskArchiveDump(sim.session, true, file, 0, 19, false, true, false);
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string expected;
  for (int p = 0; p < 20; ++p) {
    const Bytes page = sim.device.ArchivePage(p);
    expected.append(page.begin(), page.end());
  }
  EXPECT_EQ(bytes.str().size(), 20u * 512u);
  EXPECT_TRUE(bytes.str() == expected);
}

TEST(CommandsAgainstTheSimulator, StatusAtTheNewRateAfterExchangeParameters) {
  SimSession sim(true);
  std::string result = DoSetExchangeParams(sim.session, sim.server->SlavePath(), 3, 20, "19200", false, true);
  EXPECT_EQ(sim.device.BaudRate(), 19200u);
  EXPECT_EQ(sim.session.Port().BaudRate(), 19200u);
  sim.sink.result.clear();
  AskStatus(sim.session, false, true);
  EXPECT_TRUE(Contains(sim.sink.result, "  Флаг f=1 - Выполнена активизация ЭКЛЗ"));
}

}  // namespace
}  // namespace eklz::test
