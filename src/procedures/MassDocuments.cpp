#include "procedures/MassDocuments.h"

#include <chrono>
#include <string>
#include <utility>

#include "commands/Common.h"
#include "commands/Documents.h"
#include "codec/Errors.h"

namespace eklz {

ClockSeededRandom::ClockSeededRandom()
    : engine_(static_cast<std::mt19937::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count())) {}

int ClockSeededRandom::Random(int n) {
  if (n <= 0) return 0;
  return std::uniform_int_distribution<int>(0, n - 1)(engine_);
}

namespace {

// The field rounded for a random draw; beyond the int range the draw is
// moot, since the document commands refuse such amounts anyway.
int Rounded(double v) {
  const long double r = RoundHalfEven(v);
  return r > INT32_MAX ? INT32_MAX : static_cast<int>(r);
}

// The sum and the count of a document's discounts or mark-ups: both drawn
// (sum first) or both as entered.
std::pair<double, int> SumAndCount(RandomSource& random, bool randomly, double sum, int count) {
  if (!randomly) return {sum, count};
  const double drawnSum = random.Random(Rounded(sum));
  return {drawnSum, random.Random(count)};
}

// A stop inside a document: the document the EKLZ holds open is cancelled
// with the abort command, sent in spite of the stop, so that the next run
// finds the device able to take documents.
void CancelOpenDocument(EklzSession& s, int doc, int count, bool logExchange) {
  EklzSession::CleanupScope cleanup(s);
  const std::string which = "Документ " + std::to_string(doc) + " из " + std::to_string(count);
  try {
    DoAbort(s, true, logExchange);
    s.AppendResultLine(which + " не закончен и отменён командой прекращения", false);
  } catch (const std::exception& e) {
    s.AppendResultLine(which + " не закончен и не отменён: " + e.what(), false);
  }
}

void Validate(const MassDocumentsParams& p) {
  RequireRange(p.documentCount, 0, 1000000, "Количество документов должно быть неотрицательным");
  RequireRange(p.documentType, 0, 3, "Тип документа должен быть в пределах от 0 до 3");
  RequireRange(p.department, 0, 255, "Номер отдела должен быть в пределах от 0 до 255");
  RequireRange(p.repetitions, 0, 1000000,
               "Количество повтора операции должно быть неотрицательным");
  RequireRange(p.discountCount, 0, 1000000, "Количество скидок должно быть неотрицательным");
  RequireRange(p.marginCount, 0, 1000000, "Количество наценок должно быть неотрицательным");
  // Amounts too large for a document fail in the document commands.
  const struct {
    double value;
    const char* message;
  } amounts[] = {
      {p.quantity, "Количество товара не может быть отрицательным"},
      {p.sum, "Сумма не может быть отрицательной"},
      {p.discountSum, "Сумма скидки не может быть отрицательной"},
      {p.marginSum, "Сумма наценки не может быть отрицательной"},
  };
  for (const auto& a : amounts) {
    if (a.value < 0) throw TEKLZException(a.message);
  }
}

}  // namespace

void RunMassDocuments(EklzSession& s, const MassDocumentsParams& p, RandomSource& random,
                      bool quiet, bool logExchange) {
  Validate(p);
  using Operation = std::string (*)(EklzSession&, uint8_t, double, double, bool, bool);
  static const Operation kOperations[] = {DoSale, DoBuy, DoReturnSale, DoReturnBuy};

  for (int doc = 0; doc < p.documentCount; ++doc) {
    // A stop between two documents leaves nothing open.
    if (s.CancelRequested()) {
      s.AppendResultLine("Остановлено после документа " + std::to_string(doc) + " из " +
                             std::to_string(p.documentCount) + ", открытых документов нет",
                         false);
      throw EOperationCancelled();
    }
    s.Output().StepProgress("Документ", doc + 1, p.documentCount);
    // Every draw is made for every document; the switch only chooses.
    const int drawnType = random.Random(4);
    const int drawnDepartment = random.Random(16) + 1;
    const int drawnQuantity = random.Random(Rounded(p.quantity));
    const int drawnSum = random.Random(Rounded(p.sum));
    const int drawnCount = random.Random(p.repetitions);

    const int type = p.randomType ? drawnType : p.documentType;
    const int department = p.randomDepartment ? drawnDepartment : p.department;
    const double quantity = p.randomQuantity ? drawnQuantity : p.quantity;
    const double sum = p.randomSum ? drawnSum : p.sum;
    const int count = p.randomRepetitions ? drawnCount : p.repetitions;
    if (count == 0) continue;

    try {
      for (int i = 0; i < count; ++i) {
        kOperations[type](s, static_cast<uint8_t>(department), quantity, sum, quiet, logExchange);
      }
      const long double total = static_cast<long double>(count) * sum;

      if (p.makeDiscounts) {
        const auto [discount, discounts] =
            SumAndCount(random, p.randomDiscounts, p.discountSum, p.discountCount);
        // The discounts of a document never reach its total.
        for (int k = 1; k <= discounts; ++k) {
          if (k * static_cast<long double>(discount) < total) DoDiscount(s, discount, quiet, logExchange);
        }
      }
      if (p.makeMargins) {
        const auto [margin, margins] = SumAndCount(random, p.randomMargins, p.marginSum, p.marginCount);
        for (int k = 0; k < margins; ++k) DoMargin(s, margin, quiet, logExchange);
      }
      DoFinishDocument(s, false, 1, Today(), TimeNow(), quiet, logExchange);
    } catch (const EOperationCancelled&) {
      CancelOpenDocument(s, doc + 1, p.documentCount, logExchange);
      throw;
    }
  }
}

}  // namespace eklz
