// An ordered pool of small values (at most 256) for drawing without replacement.
#pragma once
#include <array>
#include <cstdint>

#include "coding/random_source.h"

class ValuePool {
public:
    static constexpr uint32_t kCapacity = 256;

    // Puts value at the back. The pool must not be full.
    void append(uint32_t value);
    // Draws position p = next(size) from the front, stores that element in *out and,
    // with remove, takes it out (the elements behind move up). The pool must not be
    // empty. Returns the status of next (0).
    int32_t draw(RandomSource& random, uint32_t* out, bool remove);
    void clear() { size_ = 0; }
    uint32_t size() const { return size_; }

private:
    std::array<uint32_t, kCapacity> values_{};
    uint32_t size_ = 0;
};
