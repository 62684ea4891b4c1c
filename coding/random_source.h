// The tool's one source of randomness: a 16-byte state advanced by MD5 on every
// draw (state <- MD5(state); value = LE32(state[0..3]) mod range).
#pragma once
#include <array>
#include <cstdint>

using RandomState = std::array<uint8_t, 16>;

class RandomSource {
public:
    // Seeds from the clock: srand(time(nullptr)), then one rand() % 256 per byte.
    RandomSource();
    // Starts from a given state (tests, and seeds given in a configuration script).
    explicit RandomSource(const RandomState& state);

    // Advances the state; stores a value in 0..range-1 in *out when out is given.
    // range must be at least 1. Returns 0, or STATUS_SYSTEM_RANDOM_FAILED when
    // the platform's MD5 is unavailable (Windows CNG refused it).
    int32_t next(uint32_t range, uint32_t* out);
    // next() with the low 8 bits of the value stored in *out; next()'s status.
    int32_t nextByte(uint32_t range, uint8_t* out);

    const RandomState& state() const { return state_; }
    void setState(const RandomState& state) { state_ = state; }

private:
    RandomState state_{};
};
