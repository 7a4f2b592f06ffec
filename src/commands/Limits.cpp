#include "commands/Limits.h"

#include "commands/ArchiveDump.h"
#include "codec/Errors.h"
#include "codec/Regional.h"

namespace eklz {

static_assert(kPageRange.max == kArchivePages - 1);

void RequireInRange(const IntegerRange& range, long long value) {
  if (!range.Contains(value)) throw TEKLZException(range.message);
}

int AmountLimit::IntegerDigits() const {
  int64_t whole = maxUnits;
  for (int i = 0; i < places; ++i) whole /= 10;
  int digits = 1;
  for (; whole >= 10; whole /= 10) ++digits;
  return digits;
}

int64_t AmountUnits(const AmountLimit& limit, long double value) {
  if (value < 0) throw TEKLZException(limit.negative);
  long double scale = 1;
  for (int i = 0; i < limit.places; ++i) scale *= 10;
  const long double units = RoundHalfEven(value * scale);
  if (units > static_cast<long double>(limit.maxUnits)) throw TEKLZException(limit.tooLarge);
  return static_cast<int64_t>(units);
}

}  // namespace eklz
