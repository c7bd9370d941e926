// Random choices: one Mersenne Twister per thread, seeded once from std::random_device.
// gf_randomIndex and gf_shuffle draw only while the RANDOM setting is on.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

// The calling thread's generator (seeded on its first use in that thread).
std::mt19937& gf_rng();

// 0 when RANDOM is off or n < 2, else the next draw modulo n.
std::int64_t gf_randomIndex(std::int64_t n);
// Shuffles in place when RANDOM is on and the list has two entries or more.
void gf_shuffle(std::vector<std::string>& list);
// value +/- value x percent / 100, the sign from the lowest bit of the next draw (1 = minus);
// percent <= 0 gives the value. Draws whatever RANDOM says.
double gf_randomVariation(double value, double percent);
