// The stand records' one shared rule.
#include "foundation/park_pos.h"

bool gf_sameUse(const ParkPosOption& a, const ParkPosOption& b) {
  return a.day == b.day && a.real == b.real && a.reg == b.reg && a.airline == b.airline &&
         a.type == b.type && (a.hh & b.hh).any();
}
