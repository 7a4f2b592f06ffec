#include "sim/Replay.h"

#include <algorithm>

#include "codec/Regional.h"

namespace eklz::sim {

bool Replay::CouldMatch(const Bytes& received) const {
  const RecordedExchange* next = Next();
  return next && received.size() <= next->request.size() &&
         std::equal(received.begin(), received.end(), next->request.begin());
}

Replay::Step Replay::Take(const Bytes& request) {
  Step step;
  step.number = taken_ + beyond_ + 1;
  if (taken_ >= exchanges_.size()) {
    ++beyond_;
    return step;
  }
  step.recorded = &exchanges_[taken_++];
  step.matched = step.recorded->request == request;
  ++(step.matched ? matched_ : differed_);
  return step;
}

std::string Replay::Summary() const {
  std::string text = "совпало " + Counted(matched_, "обмен", "обмена", "обменов") + " из " +
                     std::to_string(exchanges_.size()) + " записанных";
  if (differed_ > 0) text += "; не совпало: " + std::to_string(differed_);
  if (taken_ < exchanges_.size()) text += "; не запрошено: " + std::to_string(exchanges_.size() - taken_);
  if (beyond_ > 0) text += "; запросов сверх записи: " + std::to_string(beyond_);
  return text;
}

}  // namespace eklz::sim
