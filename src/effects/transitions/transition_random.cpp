#include "effects/transitions/transition_random.h"

#include "host/clock.h"

namespace bw {
namespace {

// A static table: it is never allocated, so it cannot fail to be.
uint8_t orderTable[256];
bool orderTableBuilt = false;

SubtractiveRandom& Generator() {
  static SubtractiveRandom random = [] {
    SubtractiveRandom r;
    r.Seed(int32_t(host::TimeGetTime()));
    return r;
  }();
  return random;
}

}  // namespace

SubtractiveRandom& TransitionRandom() {
  return Generator();
}

void ReseedTransitionRandom(int32_t seed) {
  Generator().Seed(seed);
}

void BuildRandomOrderTable() {
  if (orderTableBuilt) return;
  SubtractiveRandom& r = Generator();
  r.Seed(0);
  for (uint8_t& value : orderTable) value = uint8_t(r.DrawRaw());
  r.Seed(int32_t(host::TimeGetTime()));
  orderTableBuilt = true;
}

const uint8_t* RandomOrderTable() {
  return orderTable;
}

}  // namespace bw
