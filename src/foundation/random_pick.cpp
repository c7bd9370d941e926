// Random choices from one generator per thread.
#include "foundation/random_pick.h"

#include <algorithm>

#include "foundation/parameters.h"

std::mt19937& gf_rng() {
  thread_local std::mt19937 g_rng{std::random_device{}()};
  return g_rng;
}

std::int64_t gf_randomIndex(std::int64_t n) {
  if (!g_paramRandom.value() || n < 2) {
    return 0;
  }
  return static_cast<std::int64_t>(gf_rng()() % static_cast<std::uint64_t>(n));
}

void gf_shuffle(std::vector<std::string>& list) {
  if (g_paramRandom.value() && list.size() >= 2) {
    std::shuffle(list.begin(), list.end(), gf_rng());
  }
}

double gf_randomVariation(double value, double percent) {
  if (percent <= 0.0) {
    return value;
  }
  const double sign = (gf_rng()() & 1u) != 0 ? -1.0 : 1.0;
  return value + sign * value * percent / 100.0;
}
