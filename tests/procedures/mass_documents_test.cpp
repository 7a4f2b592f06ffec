// Mass document creation: draws, switches, the discount rule and the flags.
#include <deque>

#include "commands/CommandTest.h"
#include "procedures/MassDocuments.h"

namespace eklz::test {
namespace {

// Hands out scripted values (0 once they run out) and records each n asked for.
class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::deque<int> values = {}) : values_(std::move(values)) {}
  int Random(int n) override {
    asked.push_back(n);
    if (values_.empty() || n <= 0) return 0;
    const int v = values_.front();
    values_.pop_front();
    return v;
  }
  std::vector<int> asked;

 private:
  std::deque<int> values_;
};

class MassDocuments : public CommandTest {
 protected:
  // Command codes of the requests sent so far.
  std::vector<int> Commands() {
    std::vector<int> out;
    for (const Bytes& r : Requests()) out.push_back(r[2]);
    return out;
  }
};

TEST_F(MassDocuments, DefaultsMakeOneZeroSaleAndItsCompletionPerDocument) {
  Device();
  MassDocumentsParams p;
  p.documentCount = 2;
  ScriptedRandom random;
  RunMassDocuments(t.session, p, random, false, true);
  EXPECT_EQ(Commands(), (std::vector<int>{0x10, 0x19, 0x10, 0x19}));
  EXPECT_EQ(BytesToHex(Requests()[0]), "02 0B 10 01 00 00 00 00 00 00 00 00 00 1A ");
  // Every draw is made for every document, in order: type, department,
  // quantity, sum, repetitions.
  EXPECT_EQ(random.asked, (std::vector<int>{4, 16, 0, 0, 1, 4, 16, 0, 0, 1}));
}

TEST_F(MassDocuments, DiscountsNeverReachTheDocumentTotal) {
  Device();
  MassDocumentsParams p;
  p.sum = 10;
  p.repetitions = 3;  // total 30,00
  p.makeDiscounts = true;
  p.discountCount = 5;
  p.discountSum = 10;
  ScriptedRandom random;
  RunMassDocuments(t.session, p, random, true, false);
  EXPECT_EQ(Commands(), (std::vector<int>{0x10, 0x10, 0x10, 0x16, 0x16, 0x19}));

  // A zero total takes no discount; a zero discount on a positive total takes all.
  struct Case {
    double sum, discount;
    size_t discounts;
  } cases[] = {{0, 10, 0}, {5, 0, 5}};
  for (const Case& c : cases) {
    Device();
    p.sum = c.sum;
    p.repetitions = 1;
    p.discountSum = c.discount;
    RunMassDocuments(t.session, p, random, true, false);
    const auto cmds = Commands();
    EXPECT_EQ(static_cast<size_t>(std::count(cmds.begin(), cmds.end(), 0x16)), c.discounts);
  }
}

TEST_F(MassDocuments, RandomSwitchesUseTheDrawnValues) {
  Device();
  MassDocumentsParams p;
  p.randomType = p.randomDepartment = p.randomQuantity = p.randomSum = true;
  p.quantity = 2.5;  // draws from 2 (halves to even)
  p.sum = 100;
  p.repetitions = 4;
  p.makeMargins = p.randomMargins = true;
  p.marginSum = 7;
  p.marginCount = 3;
  // type 2, department 5 + 1, quantity 1, sum 42, (count not random), margin 6 twice
  ScriptedRandom random({2, 5, 1, 42, 0, 6, 2});
  RunMassDocuments(t.session, p, random, true, true);
  EXPECT_EQ(random.asked, (std::vector<int>{4, 16, 2, 100, 4, 7, 3}));
  EXPECT_EQ(Commands(), (std::vector<int>{0x12, 0x12, 0x12, 0x12, 0x17, 0x17, 0x19}));
  EXPECT_EQ(BytesToHex(Requests()[0]), "02 0B 12 06 00 00 10 00 00 00 00 42 00 4D ");
  EXPECT_EQ(BytesToHex(Requests()[4]), "02 06 17 00 00 00 06 00 17 ");
}

TEST_F(MassDocuments, RandomRepetitionsFromOneSendNothing) {
  Device();
  MassDocumentsParams p;
  p.documentCount = 5;
  p.randomRepetitions = true;
  p.makeDiscounts = true;
  ClockSeededRandom random;
  RunMassDocuments(t.session, p, random, false, true);
  EXPECT_TRUE(Requests().empty());
  EXPECT_TRUE(t.sink.result.empty());
}

TEST_F(MassDocuments, TheFirstFailureEndsTheRunAndBadValuesAreRefused) {
  Device([](const Bytes& r) { return r[2] == 0x16 ? DeviceReply(0x09) : DeviceReply(0); });
  MassDocumentsParams p;
  p.documentCount = 3;
  p.sum = 10;
  p.makeDiscounts = true;
  p.discountSum = 1;
  ScriptedRandom random;
  EXPECT_THROW(RunMassDocuments(t.session, p, random, true, false), TEKLZException);
  EXPECT_EQ(Commands(), (std::vector<int>{0x10, 0x16}));

  p.sum = -1;
  ExpectRefused(t, [&] { RunMassDocuments(t.session, p, random, false, true); },
                "Сумма не может быть отрицательной");
  p.sum = 1;
  p.documentType = 4;
  ExpectRefused(t, [&] { RunMassDocuments(t.session, p, random, false, true); },
                "Тип документа должен быть в пределах от 0 до 3");
}

TEST_F(MassDocuments, ASeededGeneratorRepeatsItsRun) {
  Device();
  MassDocumentsParams p;
  p.documentCount = 4;
  p.randomType = p.randomDepartment = p.randomSum = true;
  p.sum = 1000;
  // The document lines; completions carry the clock and are left out.
  const auto lines = [this] {
    std::vector<Bytes> out;
    for (const Bytes& r : Requests()) {
      if (r[2] != 0x19) out.push_back(r);
    }
    return out;
  };
  ClockSeededRandom first(42), second(42);
  RunMassDocuments(t.session, p, first, true, false);
  const std::vector<Bytes> run = lines();
  Device();
  RunMassDocuments(t.session, p, second, true, false);
  EXPECT_EQ(lines(), run);
  EXPECT_EQ(run.size(), 4u);
}

TEST_F(MassDocuments, TheFlagsGovernBothViews) {
  Device();
  MassDocumentsParams p;
  ScriptedRandom random;
  RunMassDocuments(t.session, p, random, true, false);
  EXPECT_TRUE(t.sink.result.empty());
  EXPECT_TRUE(t.sink.protocol.empty());
  RunMassDocuments(t.session, p, random, false, true);
  EXPECT_EQ(t.sink.result.front(), "Выполнение продажи");
  EXPECT_EQ(t.sink.protocol.front().substr(0, 9), "==> 02 0B");
}

}  // namespace
}  // namespace eklz::test
