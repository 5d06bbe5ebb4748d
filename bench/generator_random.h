#ifndef VARNETH_BENCH_GENERATOR_RANDOM_H
#define VARNETH_BENCH_GENERATOR_RANDOM_H

// The generator's own random numbers: the same on every platform and
// standard library for the same seed (the standard distributions are not).

#include <cstdint>

namespace varneth_bench {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    // An independent stream for one record of one seeded run.
    Random(std::uint64_t seed, std::uint64_t recno, std::uint64_t salt)
        : state_(seed ^ (recno * 0x9E3779B97F4A7C15ULL) ^ (salt * 0xD1B54A32D192ED03ULL))
    {
        Next();
    }

    // splitmix64
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // 0 to bound - 1 (bound > 0).
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

    // True with the given chance in parts per thousand.
    bool PerMille(unsigned chance) { return Below(1000) < chance; }

    // [0, 1)
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

    // Successes in trials of a fair coin.
    unsigned CoinSum(unsigned trials)
    {
        unsigned sum = 0;
        for (unsigned i = 0; i < trials; ++i) {
            sum += static_cast<unsigned>(Next() >> 63);
        }
        return sum;
    }

private:
    std::uint64_t state_;
};

}  // namespace varneth_bench

#endif
