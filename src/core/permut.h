// Null models: a uniform integer draw and three randomisations of the
// network, in place. permut_test1 gives every protein new domains, keeping
// its number of domains; permut_test2 also keeps every domain's number of
// members; permut_test3 draws a new interaction list over the proteins that
// carry domains, keeping the number of such pairs.
//
// Every draw comes from a RandomSource, so tests can script the draws and a
// run can be repeated from its seed.
#pragma once

#include <cstdint>
#include <random>

#include "core/network.h"

namespace ddinfer {

// Yields integers from 0 to 2147483647 inclusive.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual std::int32_t next() = 0;
};

// The standard library's rand, seeded elsewhere with srand.
class StdRand : public RandomSource {
public:
    std::int32_t next() override;
};

// A generator of its own, the same on every platform, seeded from a seed
// and a run number, so that run r of seed S draws the same numbers however
// the runs are spread over processes.
class SeededRandom : public RandomSource {
public:
    SeededRandom(std::uint64_t seed, std::uint64_t run);
    std::int32_t next() override;
    // Uniform in [0, 1).
    double uniform() { return next() / 2147483648.0; }

private:
    std::mt19937 engine_;
};

// A draw in 0 .. n - 1: floor(r * n / 2147483647), n - 1 when r is the
// largest value; 0 without a draw when n <= 0.
int rand_int(int n, RandomSource& random);

// Each returns 0, or 1 without drawing or changing anything when the input
// would make it loop for ever: a protein with more domains than there are
// domains; for permut_test2 also fewer member places than protein slots;
// for permut_test3 more pairs than distinct pairs among the proteins that
// carry domains.
int permut_test1(protdom& network, RandomSource& random);
// A slot whose drawn domain is full takes the next domain, in cyclic order,
// that has room and that the protein does not already hold; when there is
// none the slot is dropped (the protein's n falls by one), so both sides of
// every membership agree afterwards.
int permut_test2(protdom& network, RandomSource& random);
int permut_test3(const protdom& network, inter_table& pint, RandomSource& random);

}  // namespace ddinfer
