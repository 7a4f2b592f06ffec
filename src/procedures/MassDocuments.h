// Mass creation of documents: many documents of fixed or random content in
// one run, through the document commands.
#pragma once

#include <cstdint>
#include <random>

#include "protocol/Session.h"

namespace eklz {

// The pseudo-random draws of the procedure; tests replace it to fix them.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A uniformly distributed integer 0..n-1; 0 when n is 0 or less.
  virtual int Random(int n) = 0;
};

// Mersenne twister seeded from the clock, or from a given seed for a
// repeatable run.
class ClockSeededRandom : public RandomSource {
 public:
  ClockSeededRandom();
  explicit ClockSeededRandom(uint32_t seed) : engine_(seed) {}
  int Random(int n) override;

 private:
  std::mt19937 engine_;
};

struct MassDocumentsParams {
  int documentCount = 1;
  int documentType = 0;  // 0 sale, 1 purchase, 2 sale return, 3 purchase return
  bool randomType = false;
  int department = 1;
  bool randomDepartment = false;
  double quantity = 0;
  double sum = 0;
  bool randomQuantity = false;
  bool randomSum = false;
  int repetitions = 1;  // operations per document
  bool randomRepetitions = false;
  bool makeDiscounts = false;
  bool makeMargins = false;
  bool randomDiscounts = false;
  bool randomMargins = false;
  int discountCount = 1;
  int marginCount = 1;
  double discountSum = 0;
  double marginSum = 0;
};

// Runs the documents; the first failure of any operation ends the run. A
// stop (the session's cancel request) between documents ends the run there;
// a stop inside a document cancels it with the abort command first. Either
// way a result line says which, and the run ends with EOperationCancelled.
// Values that cannot make a document (negative amounts or counts, a type
// outside 0..3, a department outside 0..255) are refused before anything is
// sent.
void RunMassDocuments(EklzSession& s, const MassDocumentsParams& p, RandomSource& random,
                      bool quiet, bool logExchange);

}  // namespace eklz
